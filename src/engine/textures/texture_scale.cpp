#include "textures/texture_scale.h"

#include "textures/texture_simd.h"

#include <cmath>
#include <cstring>

namespace textures {

bool texture_scale_make(double p, TextureScale *s) {
    double m = std::fabs(p);
    if (!(m < 256.0)) return false; // also NaN and infinities
    *s = TextureScale{0, 0, 0, p < 0};
    if (m == 0) return true;
    int e;
    double f = std::frexp(m, &e); // m = f * 2^e with 0.5 <= f < 1 and e <= 8
    double x = std::ldexp(f, 24); // = m * 2^(16 + 8 - e)
    if (x != std::floor(x)) return false;
    // Beyond 24 bits of shift x * |p| stays below 1 for every x below 2^16: the scale is zero.
    if (8 - e >= 24) return true;
    uint32_t xi = static_cast<uint32_t>(x);
    s->high = static_cast<uint16_t>(xi >> 16);
    s->low = static_cast<uint16_t>(xi & 0xFFFF);
    s->shift = 8 - e;
    return true;
}

uint32_t texture_scale_floor(const TextureScale &s, uint32_t x) {
    return (x * s.high + ((x * s.low) >> 16)) >> s.shift;
}

// The low 8 bits of trunc(v * p) for one value.
static uint8_t texture_scale_byte(const TextureScale &s, uint32_t v) {
    uint32_t f = texture_scale_floor(s, v);
    return static_cast<uint8_t>(s.negative ? 0u - f : f);
}

#if TEXTURE_SIMD_SSE2

struct TextureScaleVectors {
    __m128i high, low, shift, negative;
};

static TextureScaleVectors texture_scale_vectors(const TextureScale &s) {
    return TextureScaleVectors{_mm_set1_epi16(static_cast<short>(s.high)),
                               _mm_set1_epi16(static_cast<short>(s.low)), _mm_cvtsi32_si128(s.shift),
                               _mm_set1_epi16(s.negative ? -1 : 0)};
}

// floor(v * |p|) of eight values in 16-bit lanes.
static inline __m128i texture_scale_words(__m128i v, const TextureScaleVectors &s) {
    return _mm_srl_epi16(_mm_add_epi16(_mm_mullo_epi16(v, s.high), _mm_mulhi_epu16(v, s.low)), s.shift);
}

// One channel of 16 values (held as two vectors of words): the low 8 bits of +-floor(v * |p|).
// Plain: the scale is non-negative and every floor is at most 255, so the saturating pack alone
// gives the bytes.
template <bool Plain>
static inline __m128i texture_scale_channel(__m128i v_lo, __m128i v_hi, const TextureScaleVectors &s) {
    const __m128i c255 = _mm_set1_epi16(255);
    __m128i lo = texture_scale_words(v_lo, s), hi = texture_scale_words(v_hi, s);
    if (!Plain) {
        lo = _mm_and_si128(_mm_sub_epi16(_mm_xor_si128(lo, s.negative), s.negative), c255);
        hi = _mm_and_si128(_mm_sub_epi16(_mm_xor_si128(hi, s.negative), s.negative), c255);
    }
    return _mm_packus_epi16(lo, hi);
}

// 16 pixels: 48 bytes at dst, and 4 more that the next pixels overwrite.
template <bool Plain>
static inline void texture_scale_put16(__m128i v, const TextureScaleVectors *s, uint8_t *dst) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    __m128i r = texture_scale_channel<Plain>(lo, hi, s[0]), g = texture_scale_channel<Plain>(lo, hi, s[1]);
    __m128i b = texture_scale_channel<Plain>(lo, hi, s[2]);
    __m128i rg_lo = _mm_unpacklo_epi8(r, g), rg_hi = _mm_unpackhi_epi8(r, g);
    __m128i b_lo = _mm_unpacklo_epi8(b, zero), b_hi = _mm_unpackhi_epi8(b, zero);
    texture_simd_store_rgb4(_mm_unpacklo_epi16(rg_lo, b_lo), dst);
    texture_simd_store_rgb4(_mm_unpackhi_epi16(rg_lo, b_lo), dst + 12);
    texture_simd_store_rgb4(_mm_unpacklo_epi16(rg_hi, b_hi), dst + 24);
    texture_simd_store_rgb4(_mm_unpackhi_epi16(rg_hi, b_hi), dst + 36);
}

template <bool Plain>
static size_t texture_scale_pixels_fast(const uint8_t *v, size_t count, const TextureScale rgb[3],
                                        uint8_t *out) {
    const TextureScaleVectors s[3] = {texture_scale_vectors(rgb[0]), texture_scale_vectors(rgb[1]),
                                      texture_scale_vectors(rgb[2])};
    size_t i = 0;
    // Whole groups of 16 while at least two more pixels follow to take the 4 spare bytes.
    for (; i + 18 <= count; i += 16)
        texture_scale_put16<Plain>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(v + i)), s, out + i * 3);
    if (i + 16 <= count) {
        uint8_t last[52];
        texture_scale_put16<Plain>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(v + i)), s, last);
        std::memcpy(out + i * 3, last, 48);
        i += 16;
    }
    return i;
}

#endif // TEXTURE_SIMD_SSE2

void texture_scale_pixels(const uint8_t *v, size_t count, const TextureScale rgb[3], uint8_t *out) {
    size_t i = 0;
#if TEXTURE_SIMD_SSE2
    bool plain = true;
    for (int c = 0; c < 3; c++)
        plain = plain && !rgb[c].negative && texture_scale_floor(rgb[c], 255) <= 255;
    i = plain ? texture_scale_pixels_fast<true>(v, count, rgb, out)
              : texture_scale_pixels_fast<false>(v, count, rgb, out);
#endif
    for (; i < count; i++)
        for (int c = 0; c < 3; c++)
            out[i * 3 + c] = texture_scale_byte(rgb[c], v[i]);
}

} // namespace textures
