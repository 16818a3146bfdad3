#include "maths/matrix.h"

#include <cmath>
#include <cstring>

namespace maths {

static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

MatrixState *matrix_state() {
    static MatrixState state = [] {
        MatrixState s;
        matrix_reset(&s);
        return s;
    }();
    return &state;
}

void matrix_reset(MatrixState *s) {
    for (float *m : s->m)
        std::memcpy(m, kIdentity, sizeof kIdentity);
    const float normal[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::memcpy(s->normal, normal, sizeof normal);
}

void matrix_identity(MatrixState *s, int selector) {
    if (selector >= 0 && selector < 6) std::memcpy(s->m[selector], kIdentity, sizeof kIdentity);
}

void matrix_multiply(const float *a, const float *b, float *out) {
    float r[16];
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 4; row++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++)
                sum += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = sum;
        }
    std::memcpy(out, r, sizeof r);
}

void matrix_translate(MatrixState *s, int selector, float x, float y, float z) {
    if (selector != MATRIX_MODEL && selector != MATRIX_VIEW && selector != MATRIX_PLACEMENT &&
        selector != MATRIX_TEXTURE)
        return;
    float *m = s->m[selector];
    for (int r = 0; r < 4; r++)
        m[12 + r] += x * m[r] + y * m[4 + r] + z * m[8 + r];
}

static bool rotatable(int selector) {
    return selector >= 0 && selector <= 5 && selector != MATRIX_MODELVIEW;
}

static float radians(float degrees) {
    return degrees * (1.0f / 180.0f) * 3.14159265358979f;
}

// Post-multiplies by a rotation that mixes columns i and j: new_i = c i + s j, new_j = c j - s i.
static void rotate_columns(float *m, int i, int j, float degrees) {
    float a = radians(degrees);
    float c = std::cos(a), s = std::sin(a);
    for (int r = 0; r < 4; r++) {
        float ci = m[i * 4 + r], cj = m[j * 4 + r];
        m[i * 4 + r] = ci * c + cj * s;
        m[j * 4 + r] = cj * c - ci * s;
    }
}

void matrix_rotate_x(MatrixState *s, int selector, float degrees) {
    if (rotatable(selector)) rotate_columns(s->m[selector], 1, 2, degrees);
}

void matrix_rotate_y(MatrixState *s, int selector, float degrees) {
    if (rotatable(selector)) rotate_columns(s->m[selector], 2, 0, degrees);
}

void matrix_rotate_z(MatrixState *s, int selector, float degrees) {
    if (rotatable(selector)) rotate_columns(s->m[selector], 0, 1, degrees);
}

void matrix_scale(MatrixState *s, int selector, float x, float y, float z) {
    if (selector != MATRIX_MODEL && selector != MATRIX_PLACEMENT) return;
    float *m = s->m[selector];
    for (int r = 0; r < 4; r++) {
        m[r] *= x;
        m[4 + r] *= y;
        m[8 + r] *= z;
    }
}

void matrix_make_modelview(MatrixState *s) {
    matrix_multiply(s->m[MATRIX_VIEW], s->m[MATRIX_MODEL], s->m[MATRIX_MODELVIEW]);
}

void matrix_make_normal(MatrixState *s) {
    const float *m = s->m[MATRIX_MODELVIEW];
    // a(r, c) of the upper 3 x 3.
    auto a = [m](int r, int c) { return m[c * 4 + r]; };
    float cof[3][3];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[r][c] = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
        }
    float det = a(0, 0) * cof[0][0] + a(0, 1) * cof[0][1] + a(0, 2) * cof[0][2];
    if (det == 0.0f || !std::isfinite(det)) {
        const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        std::memcpy(s->normal, identity, sizeof identity);
        return;
    }
    // inverse(r, c) = cof(c, r) / det; its transpose is cof(r, c) / det, stored column by column.
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++)
            s->normal[c * 3 + r] = cof[r][c] / det;
}

} // namespace maths
