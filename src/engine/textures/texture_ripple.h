// The Ripple operation (filter 204): every pixel read from a source position that waves with the
// row and the column, its four neighbours there weighted by their distances. Exact to the double
// arithmetic of the operation, with a vector path where the image size allows it.
#pragma once

#include <cstdint>

namespace textures {

// Ripple of the n x n RGB image a into out (not a), with p the amplitudes and wavelengths
// (X amplitude, Y amplitude, X wavelength, Y wavelength). Leaves out untouched when it cannot
// allocate its n * 2 shifts.
void texture_ripple(const uint8_t *a, const float *p, int n, uint8_t *out);

} // namespace textures
