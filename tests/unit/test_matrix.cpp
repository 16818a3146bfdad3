#include "render/frame.h"
#include "maths/matrix.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace render;
using namespace maths;

namespace {

void expect_matrix(const float *m, std::initializer_list<float> columns, const char *what) {
    int i = 0;
    for (float v : columns) {
        EXPECT_NEAR(m[i], v, 1e-5) << what << " element " << i;
        i++;
    }
}

// m x (x, y, z, 1)
void transform(const float *m, const float p[3], float out[4]) {
    for (int r = 0; r < 4; r++)
        out[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r];
}

TEST(Matrix, TranslateThenRotatePostMultiplies) {
    MatrixState s;
    matrix_reset(&s);
    matrix_translate(&s, MATRIX_MODEL, 1, 2, 3);
    matrix_rotate_z(&s, MATRIX_MODEL, 90);
    // T(1, 2, 3) Rz(90): x goes to y, y to -x, then the translation.
    expect_matrix(s.m[MATRIX_MODEL], {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}, "T Rz");
    float p[3] = {1, 0, 0}, out[4];
    transform(s.m[MATRIX_MODEL], p, out);
    EXPECT_NEAR(out[0], 1, 1e-6);
    EXPECT_NEAR(out[1], 3, 1e-6);
    EXPECT_NEAR(out[2], 3, 1e-6);

    matrix_reset(&s);
    matrix_rotate_z(&s, MATRIX_MODEL, 90);
    matrix_translate(&s, MATRIX_MODEL, 1, 0, 0);
    expect_matrix(s.m[MATRIX_MODEL], {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 1, 0, 1}, "Rz T");
}

TEST(Matrix, RotationsMatchTheClassicCalls) {
    MatrixState s;
    matrix_reset(&s);
    matrix_rotate_x(&s, MATRIX_VIEW, 90); // y goes to z
    expect_matrix(s.m[MATRIX_VIEW], {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1}, "Rx");
    matrix_reset(&s);
    matrix_rotate_y(&s, MATRIX_PLACEMENT, 90); // z goes to x
    expect_matrix(s.m[MATRIX_PLACEMENT], {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1}, "Ry");
    // The modelview selector is not rotated, nor is an unknown one.
    matrix_reset(&s);
    matrix_rotate_z(&s, MATRIX_MODELVIEW, 45);
    matrix_rotate_z(&s, 9, 45);
    expect_matrix(s.m[MATRIX_MODELVIEW], {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                  "modelview untouched");
    // Scale applies to the model and placement matrices only.
    matrix_scale(&s, MATRIX_VIEW, 2, 2, 2);
    matrix_scale(&s, MATRIX_MODEL, 2, 3, 4);
    expect_matrix(s.m[MATRIX_VIEW], {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "view not scaled");
    expect_matrix(s.m[MATRIX_MODEL], {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}, "model scaled");
}

TEST(Matrix, ModelviewAndNormalMatrix) {
    MatrixState s;
    matrix_reset(&s);
    matrix_translate(&s, MATRIX_VIEW, 0, 0, -5);
    matrix_scale(&s, MATRIX_MODEL, 2, 4, 8);
    matrix_make_modelview(&s);
    expect_matrix(s.m[MATRIX_MODELVIEW], {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 0, 0, -5, 1}, "view x model");
    matrix_make_normal(&s);
    // Inverse transpose of diag(2, 4, 8).
    expect_matrix(s.normal, {0.5f, 0, 0, 0, 0.25f, 0, 0, 0, 0.125f}, "normal of a scale");

    // A rotation is its own inverse transpose; with a non-uniform scale the normal stays perpendicular.
    matrix_reset(&s);
    matrix_rotate_z(&s, MATRIX_MODEL, 30);
    matrix_scale(&s, MATRIX_MODEL, 1, 3, 1);
    matrix_make_modelview(&s);
    matrix_make_normal(&s);
    // Surface tangent (1, 1, 0) and normal (1, -1, 0) before the transform.
    const float *m = s.m[MATRIX_MODELVIEW];
    float t[3] = {m[0] + m[4], m[1] + m[5], m[2] + m[6]};
    float n[3] = {s.normal[0] - s.normal[3], s.normal[1] - s.normal[4], s.normal[2] - s.normal[5]};
    EXPECT_NEAR(t[0] * n[0] + t[1] * n[1] + t[2] * n[2], 0.0f, 1e-5);
}

TEST(Projection, OrthographicRunsYDownAndPerspectiveByHand) {
    float o[16];
    projection_ortho(o);
    float top_left[3] = {0, 0, 0}, bottom_right[3] = {1, 1, 0}, clip[4];
    transform(o, top_left, clip);
    EXPECT_FLOAT_EQ(clip[0], -1);
    EXPECT_FLOAT_EQ(clip[1], 1);
    transform(o, bottom_right, clip);
    EXPECT_FLOAT_EQ(clip[0], 1);
    EXPECT_FLOAT_EQ(clip[1], -1);

    float p[16];
    projection_perspective(p, 60, 2, 0.1f, 100);
    float f = 1.0f / std::tan(30.0f * 3.14159265f / 180.0f);
    expect_matrix(p,
                  {f / 2, 0, 0, 0, 0, f, 0, 0, 0, 0, 100.1f / -99.9f, -1, 0, 0, 2 * 100 * 0.1f / -99.9f, 0},
                  "perspective");
}

} // namespace
