// The engine's software matrix state: 4 x 4 float matrices in column order (as GL takes them),
// post-multiplied by translate, rotate and scale like the classic GL calls. No GL here: render
// loads the matrices (gl_state_load_matrix).
#pragma once

#include <cstdint>

namespace maths {

enum MatrixSelector : int {
    MATRIX_MODEL = 0,
    MATRIX_PROJECTION = 1,
    MATRIX_TEXTURE = 2,
    MATRIX_VIEW = 3,
    MATRIX_MODELVIEW = 4, // view x model
    MATRIX_PLACEMENT = 5,
};

struct MatrixState {
    float m[6][16];  // by selector; element (row r, column c) at c * 4 + r
    float normal[9]; // inverse transpose of the modelview's upper 3 x 3, column order
};

// The one state the renderer uses.
MatrixState *matrix_state();

// Every matrix to identity.
void matrix_reset(MatrixState *s);
void matrix_identity(MatrixState *s, int selector);

// Column 3 += x column 0 + y column 1 + z column 2 (model, view, placement and texture matrices).
void matrix_translate(MatrixState *s, int selector, float x, float y, float z);
// Post-multiplies by a rotation about one axis, in degrees (selectors 0, 1, 2, 3 and 5; others
// do nothing). Radians are degrees x (1/180 as a float) x pi.
void matrix_rotate_x(MatrixState *s, int selector, float degrees);
void matrix_rotate_y(MatrixState *s, int selector, float degrees);
void matrix_rotate_z(MatrixState *s, int selector, float degrees);
// Columns 0, 1, 2 multiplied by x, y, z (model and placement matrices).
void matrix_scale(MatrixState *s, int selector, float x, float y, float z);

// modelview = view x model.
void matrix_make_modelview(MatrixState *s);
// normal = transpose of the inverse of the modelview's upper-left 3 x 3 (identity when singular).
void matrix_make_normal(MatrixState *s);

// out = a x b (column order).
void matrix_multiply(const float *a, const float *b, float *out);

} // namespace maths
