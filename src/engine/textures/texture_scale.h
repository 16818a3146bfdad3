// Exact fixed-point forms of "a whole number times a float parameter", so that the generators and
// filters can compute trunc(x * p) in 16-bit vector lanes and still store exactly the bytes that
// the double-precision formula gives.
#pragma once

#include <cstddef>
#include <cstdint>

namespace textures {

// floor(x * |p|) for any x below 2^16 is (x * high + floor(x * low / 2^16)) >> shift, where
// |p| * 2^(16 + shift) = high * 2^16 + low exactly and high < 256.
struct TextureScale {
    uint16_t high, low;
    int shift;
    bool negative; // p < 0: trunc(x * p) = -floor(x * |p|)
};

// The scale of p; false when p has none: NaN, infinite, |p| >= 256, or more than 24 significant
// bits (never for a float).
bool texture_scale_make(double p, TextureScale *s);

// floor(x * |p|) for x below 2^16, computed as the vector code does.
uint32_t texture_scale_floor(const TextureScale &s, uint32_t x);

// The RGB pixels of `count` values v (0..255): channel c is texture_byte(v * p_c), which is the low
// 8 bits of trunc(v * p_c) as |v * p_c| < 2^16. Writes exactly count * 3 bytes.
void texture_scale_pixels(const uint8_t *v, size_t count, const TextureScale rgb[3], uint8_t *out);

} // namespace textures
