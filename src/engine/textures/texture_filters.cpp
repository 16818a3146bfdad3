#include "textures/texture_filters.h"

#include "maths/number_convert.h"
#include "textures/texture_generators.h"
#include "textures/texture_ripple.h"
#include "textures/texture_scale.h"
#include "textures/texture_simd.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace textures {

const FilterDescriptor kFilterDescriptors[kFilterCount] = {
    {"Add", 1, 2, {"1. scale", "2. scale"}},
    {"Multiply", 1, 1, {"Scale"}},
    {"Maximum", 1, 2, {"1. scale", "2. scale"}},
    {"Minimum", 1, 2, {"1. scale", "2. scale"}},
    {"Invert", 1, 0, {}},
    {"Multiply", 1, 1, {"Scale"}},
    {"Offset", 1, 2, {"X offset", "Y offset"}},
    {"Ripple", 1, 4, {"X amplitude", "Y amplitude", "X wavelength", "Y wavelength"}},
    {"Blur", 1, 0, {}},
    {"Emboss", 1, 1, {"Direction (1-4)"}},
    {"Add 2", 2, 2, {"1. scale", "2. scale"}},
    {"Mul 2", 2, 1, {"Scale"}},
    {"Max 2", 2, 2, {"1. scale", "2. scale"}},
    {"Min 2", 2, 2, {"1. scale", "2. scale"}},
};
static_assert(sizeof(kFilterDescriptors) / sizeof(kFilterDescriptors[0]) == kFilterCount,
              "one row per operation");

int texture_filter_row(uint8_t type) {
    if (type >= 101 && type <= 104) return type - 101;
    if (type >= 201 && type <= 210) return type - 201 + 4;
    return -1;
}

// ---------------------------------------------------------------------------------------------
// The exact arithmetic of the per-byte operations. The fast kernels below reproduce it; these
// scalar forms serve the parameters the kernels cannot represent, and the bytes left over.

// trunc() to an integer wide enough for any product of bytes and float scales; NaN gives the
// lowest value, magnitudes beyond 9e18 the end of their side.
static int64_t filter_trunc_wide(double v) {
    if (!(v > -9.0e18 && v < 9.0e18)) return v > 0 ? INT64_MAX : INT64_MIN;
    return static_cast<int64_t>(v);
}

// Both limits applied.
static uint8_t filter_clamped(int64_t t) {
    return static_cast<uint8_t>(t < 0 ? 0 : t > 255 ? 255 : t);
}

// Only the upper limit: a negative result keeps its low 8 bits.
static uint8_t filter_upper_limited(int64_t t) {
    return t > 255 ? 255 : static_cast<uint8_t>(t & 0xFF);
}

enum PerByteKind { PER_BYTE_ADD, PER_BYTE_MAXIMUM, PER_BYTE_MINIMUM };

// Add, Maximum or Minimum of x * sx and y * sy, byte by byte, from two tables of the 256 products
// (a byte times a float is exact in a double, so the tables hold the very values a direct
// computation would form).
static void filter_pair_exact(PerByteKind kind, const uint8_t *x, double sx, const uint8_t *y, double sy,
                              size_t bytes, uint8_t *dst) {
    double tx[256], ty[256];
    for (int v = 0; v < 256; v++) {
        tx[v] = v * sx;
        ty[v] = v * sy;
    }
    if (kind == PER_BYTE_ADD) {
        for (size_t i = 0; i < bytes; i++)
            dst[i] = filter_clamped(filter_trunc_wide(tx[x[i]] + ty[y[i]]));
        return;
    }
    int64_t ix[256], iy[256];
    for (int v = 0; v < 256; v++) {
        ix[v] = filter_trunc_wide(tx[v]);
        iy[v] = filter_trunc_wide(ty[v]);
    }
    for (size_t i = 0; i < bytes; i++) {
        int64_t u = ix[x[i]], w = iy[y[i]];
        dst[i] = filter_upper_limited(kind == PER_BYTE_MAXIMUM ? (u > w ? u : w) : (u < w ? u : w));
    }
}

// trunc(x * y * s) of two bytes, clamped (Mul 2) or upper-limited (layer Multiply).
static void filter_product_exact(const uint8_t *x, const uint8_t *y, double s, bool clamp, size_t bytes,
                                 uint8_t *dst) {
    for (size_t i = 0; i < bytes; i++) {
        int64_t t = filter_trunc_wide(double(x[i]) * y[i] * s);
        dst[i] = clamp ? filter_clamped(t) : filter_upper_limited(t);
    }
}

#if TEXTURE_SIMD_SSE2

// ---------------------------------------------------------------------------------------------
// Exact fixed-point scales, for the SSE2 kernels below (the scalar paths compute in doubles).

// a * p0 + b * p1 as (a * X0 + b * X1) / 2^S with integers |X| < 2^30, each split into a signed
// high part and a 15-bit low part: floor of the sum = (H + (L >> 15)) >> (S - 15), where
// H = a * high0 + b * high1 and L = a * low0 + b * low1. The double sum the operation forms is
// exact for such scales, so this floor is its floor.
struct FilterPairScale {
    int16_t high0, high1, low0, low1;
    int shift; // S - 15, at most 31 (further shifts change nothing)
};

// The power of two that makes p an integer (p a finite float), in *bits; false beyond 24 bits.
static bool filter_scale_bits(double p, int *bits) {
    *bits = -1000;
    if (p == 0) return true;
    int e;
    double f = std::frexp(std::fabs(p), &e);
    double x = std::ldexp(f, 24);
    if (x != std::floor(x)) return false;
    uint32_t xi = static_cast<uint32_t>(x);
    int zeros = 0;
    while (!(xi & 1u)) {
        xi >>= 1;
        zeros++;
    }
    *bits = 24 - e - zeros;
    return true;
}

static bool filter_pair_scale_make(double p0, double p1, FilterPairScale *s) {
    if (!std::isfinite(p0) || !std::isfinite(p1)) return false;
    int b0, b1;
    if (!filter_scale_bits(p0, &b0) || !filter_scale_bits(p1, &b1)) return false;
    int S = b0 > b1 ? b0 : b1;
    if (S < 15) S = 15;
    double x0 = std::ldexp(p0, S), x1 = std::ldexp(p1, S);
    const double limit = 1073741824.0; // 2^30
    if (!(std::fabs(x0) < limit && std::fabs(x1) < limit)) return false;
    int32_t i0 = static_cast<int32_t>(x0), i1 = static_cast<int32_t>(x1);
    // Arithmetic split: the high part rounds down, so the low part is 0..32767 for either sign.
    int32_t h0 = static_cast<int32_t>(std::floor(x0 / 32768.0)),
            h1 = static_cast<int32_t>(std::floor(x1 / 32768.0));
    *s = FilterPairScale{static_cast<int16_t>(h0), static_cast<int16_t>(h1),
                         static_cast<int16_t>(i0 - h0 * 32768), static_cast<int16_t>(i1 - h1 * 32768),
                         S - 15 > 31 ? 31 : S - 15};
    return true;
}

// The order key of trunc(x * p) for Maximum and Minimum, in 16 bits: values above 255 all read
// as 256 (they all store 255), negative values stay exact (possible for |p| * 255 < 32768), and
// NaN (whose conversion gives the lowest integer) reads as -32768, below every other key.
struct FilterKeyScale {
    TextureScale scale;
    uint16_t cap;     // 256 for a non-negative scale, 65535 (no cap) for a negative one
    uint16_t nan_key; // 0x8000 for a NaN scale
};

static bool filter_key_scale_make(double p, FilterKeyScale *k) {
    if (p != p) {
        *k = FilterKeyScale{TextureScale{0, 0, 0, false}, 256, 0x8000};
        return true;
    }
    if (!texture_scale_make(p, &k->scale)) return false;
    if (k->scale.negative && !(std::floor(255 * -p) <= 32767)) return false;
    k->cap = k->scale.negative ? 0xFFFF : 256;
    k->nan_key = 0;
    return true;
}

// The common Maximum and Minimum: scales that are NaN or non-negative with trunc(255 * p) below
// 32768. Then every term is min(trunc(x * p), 255) as a byte (a NaN term, which converts to the
// lowest integer, is 0: below every other term and stored as 0), and the operation is a byte
// maximum or minimum of those.
static bool filter_byte_scale_make(double p, TextureScale *s) {
    if (p != p) {
        *s = TextureScale{0, 0, 0, false};
        return true;
    }
    return texture_scale_make(p, s) && !s->negative && std::floor(255 * p) <= 32767;
}

// A scale below 1 as |p| = k / 2^16 + k2 / 2^32 exactly (at most 32 fraction bits), so that the
// floor of a 16-bit product q * |p| needs only 16-bit lanes: floor(q * k / 2^16) plus the carry
// of the two fractions (q * k mod 2^16 plus floor(q * k2 / 2^16) reaching 2^16).
struct FilterFineScale {
    uint16_t k, k2;
    bool negative;
};

static bool filter_fine_scale_make(double p, FilterFineScale *f) {
    TextureScale s;
    if (!texture_scale_make(p, &s)) return false;
    uint32_t x = uint32_t(s.high) << 16 | s.low;
    if (x == 0) {
        *f = FilterFineScale{0, 0, s.negative};
        return true;
    }
    if (s.shift < 8 || s.shift > 16) return false;
    *f = FilterFineScale{static_cast<uint16_t>(x >> s.shift),
                         static_cast<uint16_t>((x & ((1u << s.shift) - 1)) << (16 - s.shift)), s.negative};
    return true;
}

// ---------------------------------------------------------------------------------------------
// SSE2 kernels over whole 16-byte blocks.

struct FilterScaleVectors {
    __m128i high, low, shift;
};

static FilterScaleVectors filter_scale_vectors(const TextureScale &s) {
    return FilterScaleVectors{_mm_set1_epi16(static_cast<short>(s.high)),
                              _mm_set1_epi16(static_cast<short>(s.low)), _mm_cvtsi32_si128(s.shift)};
}

// floor(x * |p|) of eight bytes held in 16-bit lanes (the result fits: below 65280).
static inline __m128i filter_scale_words(__m128i x, const FilterScaleVectors &v) {
    return _mm_srl_epi16(_mm_add_epi16(_mm_mullo_epi16(x, v.high), _mm_mulhi_epu16(x, v.low)), v.shift);
}

static void filter_scale_fast(const uint8_t *a, const TextureScale &s, size_t bytes, uint8_t *dst) {
    FilterScaleVectors v = filter_scale_vectors(s);
    const __m128i zero = _mm_setzero_si128(), c255 = _mm_set1_epi16(255);
    for (size_t i = 0; i < bytes; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        __m128i lo = filter_scale_words(_mm_unpacklo_epi8(x, zero), v);
        __m128i hi = filter_scale_words(_mm_unpackhi_epi8(x, zero), v);
        if (s.negative) {
            // The low 8 bits of -floor(x * |p|).
            lo = _mm_and_si128(_mm_sub_epi16(zero, lo), c255);
            hi = _mm_and_si128(_mm_sub_epi16(zero, hi), c255);
        } else {
            lo = _mm_sub_epi16(lo, _mm_subs_epu16(lo, c255)); // min(lo, 255), unsigned
            hi = _mm_sub_epi16(hi, _mm_subs_epu16(hi, c255));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(lo, hi));
    }
}

// floor((a * X0 + b * X1) / 2^S) of four word pairs (a, b): madd forms a * high0 + b * high1 and
// a * low0 + b * low1 exactly.
static inline __m128i filter_add_dwords(__m128i pairs, __m128i high, __m128i low, __m128i shift) {
    __m128i h = _mm_madd_epi16(pairs, high), l = _mm_madd_epi16(pairs, low);
    return _mm_sra_epi32(_mm_add_epi32(h, _mm_srli_epi32(l, 15)), shift);
}

static void filter_add_fast(const uint8_t *a, const uint8_t *b, const FilterPairScale &s, size_t bytes,
                            uint8_t *dst) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i high =
        _mm_set_epi16(s.high1, s.high0, s.high1, s.high0, s.high1, s.high0, s.high1, s.high0);
    const __m128i low = _mm_set_epi16(s.low1, s.low0, s.low1, s.low0, s.low1, s.low0, s.low1, s.low0);
    const __m128i shift = _mm_cvtsi32_si128(s.shift);
    for (size_t i = 0; i < bytes; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        // Interleaved bytes a0 b0 a1 b1 ..., widened: the word pairs (a, b).
        __m128i xyl = _mm_unpacklo_epi8(x, y), xyh = _mm_unpackhi_epi8(x, y);
        __m128i s0 = filter_add_dwords(_mm_unpacklo_epi8(xyl, zero), high, low, shift);
        __m128i s1 = filter_add_dwords(_mm_unpackhi_epi8(xyl, zero), high, low, shift);
        __m128i s2 = filter_add_dwords(_mm_unpacklo_epi8(xyh, zero), high, low, shift);
        __m128i s3 = filter_add_dwords(_mm_unpackhi_epi8(xyh, zero), high, low, shift);
        // Signed saturation to 16 bits, then to 0..255: exactly the clamp.
        __m128i words0 = _mm_packs_epi32(s0, s1), words1 = _mm_packs_epi32(s2, s3);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(words0, words1));
    }
}

struct FilterKeyVectors {
    FilterScaleVectors scale;
    __m128i cap, negative, nan_key;
};

static FilterKeyVectors filter_key_vectors(const FilterKeyScale &k) {
    return FilterKeyVectors{filter_scale_vectors(k.scale), _mm_set1_epi16(static_cast<short>(k.cap)),
                            _mm_set1_epi16(k.scale.negative ? -1 : 0),
                            _mm_set1_epi16(static_cast<short>(k.nan_key))};
}

static inline __m128i filter_key_words(__m128i x, const FilterKeyVectors &v) {
    __m128i f = filter_scale_words(x, v.scale);
    f = _mm_sub_epi16(f, _mm_subs_epu16(f, v.cap));              // min(f, cap), unsigned
    f = _mm_sub_epi16(_mm_xor_si128(f, v.negative), v.negative); // negated for a negative scale
    return _mm_or_si128(f, v.nan_key);
}

// Maximum or Minimum of the keys, upper-limited, then the low 8 bits of what is left (negative
// values), for eight words of each input.
template <bool Maximum>
static inline __m128i filter_extreme_words(__m128i x, const FilterKeyVectors &va, __m128i y,
                                           const FilterKeyVectors &vb) {
    const __m128i c255 = _mm_set1_epi16(255);
    __m128i u = filter_key_words(x, va), w = filter_key_words(y, vb);
    __m128i r = Maximum ? _mm_max_epi16(u, w) : _mm_min_epi16(u, w);
    return _mm_and_si128(_mm_min_epi16(r, c255), c255);
}

template <bool Maximum>
static void filter_extreme_fast(const uint8_t *a, const FilterKeyScale &ka, const uint8_t *b,
                                const FilterKeyScale &kb, size_t bytes, uint8_t *dst) {
    FilterKeyVectors va = filter_key_vectors(ka), vb = filter_key_vectors(kb);
    const __m128i zero = _mm_setzero_si128();
    for (size_t i = 0; i < bytes; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        __m128i lo =
            filter_extreme_words<Maximum>(_mm_unpacklo_epi8(x, zero), va, _mm_unpacklo_epi8(y, zero), vb);
        __m128i hi =
            filter_extreme_words<Maximum>(_mm_unpackhi_epi8(x, zero), va, _mm_unpackhi_epi8(y, zero), vb);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(lo, hi));
    }
}

// trunc(q * p) of eight byte products q (below 2^16) as words: floor(q * |p|) in 32-bit lanes,
// negated to its low 8 bits for a negative scale, then saturated to 16 bits (the floors stay below
// 2^24, so every value above 255 becomes 32767).
static inline __m128i filter_product_words(__m128i q, const FilterScaleVectors &v, __m128i shift,
                                           __m128i negative) {
    const __m128i zero = _mm_setzero_si128(), c255 = _mm_set1_epi32(255);
    __m128i lo = _mm_mullo_epi16(q, v.high), hi = _mm_mulhi_epu16(q, v.high),
            fraction = _mm_mulhi_epu16(q, v.low);
    __m128i f0 =
        _mm_srl_epi32(_mm_add_epi32(_mm_unpacklo_epi16(lo, hi), _mm_unpacklo_epi16(fraction, zero)), shift);
    __m128i f1 =
        _mm_srl_epi32(_mm_add_epi32(_mm_unpackhi_epi16(lo, hi), _mm_unpackhi_epi16(fraction, zero)), shift);
    // For a negative scale: (-f) & 255, selected without a branch.
    f0 = _mm_or_si128(_mm_andnot_si128(negative, f0),
                      _mm_and_si128(negative, _mm_and_si128(_mm_sub_epi32(zero, f0), c255)));
    f1 = _mm_or_si128(_mm_andnot_si128(negative, f1),
                      _mm_and_si128(negative, _mm_and_si128(_mm_sub_epi32(zero, f1), c255)));
    return _mm_packs_epi32(f0, f1);
}

// trunc(a * b * p) limited above at 255; a negative scale keeps the low 8 bits (layer Multiply).
static void filter_product_fast(const uint8_t *a, const uint8_t *b, const TextureScale &s, size_t bytes,
                                uint8_t *dst) {
    FilterScaleVectors v = filter_scale_vectors(s);
    const __m128i shift = _mm_cvtsi32_si128(s.shift), zero = _mm_setzero_si128();
    const __m128i negative = _mm_set1_epi32(s.negative ? -1 : 0);
    for (size_t i = 0; i < bytes; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        __m128i lo = filter_product_words(
            _mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero)), v, shift, negative);
        __m128i hi = filter_product_words(
            _mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero)), v, shift, negative);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(lo, hi));
    }
}

// min(trunc(x * p), 255) of 16 bytes for a scale of filter_byte_scale_make.
static inline __m128i filter_scale_bytes(__m128i x, const FilterScaleVectors &v) {
    const __m128i zero = _mm_setzero_si128();
    return _mm_packus_epi16(filter_scale_words(_mm_unpacklo_epi8(x, zero), v),
                            filter_scale_words(_mm_unpackhi_epi8(x, zero), v));
}

template <bool Maximum>
static void filter_extreme_bytes_fast(const uint8_t *a, const TextureScale &sa, const uint8_t *b,
                                      const TextureScale &sb, size_t bytes, uint8_t *dst) {
    FilterScaleVectors va = filter_scale_vectors(sa), vb = filter_scale_vectors(sb);
    for (size_t i = 0; i < bytes; i += 16) {
        __m128i u = filter_scale_bytes(_mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i)), va);
        __m128i w = filter_scale_bytes(_mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i)), vb);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i),
                         Maximum ? _mm_max_epu8(u, w) : _mm_min_epu8(u, w));
    }
}

// trunc(q * p) of eight byte products q for a fine scale, upper-limited at 255, or negated to its
// low 8 bits for a negative scale.
template <bool Negative> static inline __m128i filter_fine_words(__m128i q, __m128i k, __m128i k2) {
    const __m128i flip = _mm_set1_epi16(0x7FFF), sign = _mm_set1_epi16(static_cast<short>(0x8000));
    const __m128i c255 = _mm_set1_epi16(255);
    __m128i whole = _mm_mulhi_epu16(q, k), part = _mm_mullo_epi16(q, k), more = _mm_mulhi_epu16(q, k2);
    // more > 65535 - part, unsigned: the fractions carry into the whole part.
    __m128i carry = _mm_cmpgt_epi16(_mm_xor_si128(more, sign), _mm_xor_si128(part, flip));
    __m128i f = _mm_sub_epi16(whole, carry); // below 65025: q * |p| < q
    if (Negative) return _mm_and_si128(_mm_sub_epi16(_mm_setzero_si128(), f), c255);
    return _mm_sub_epi16(f, _mm_subs_epu16(f, c255));
}

template <bool Negative>
static void filter_product_fine_fast(const uint8_t *a, const uint8_t *b, const FilterFineScale &s,
                                     size_t bytes, uint8_t *dst) {
    const __m128i zero = _mm_setzero_si128(), k = _mm_set1_epi16(static_cast<short>(s.k));
    const __m128i k2 = _mm_set1_epi16(static_cast<short>(s.k2));
    for (size_t i = 0; i < bytes; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        __m128i lo = filter_fine_words<Negative>(
            _mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero)), k, k2);
        __m128i hi = filter_fine_words<Negative>(
            _mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero)), k, k2);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(lo, hi));
    }
}

// trunc(a * b * p) upper-limited at 255 for 1 <= p < 256: every product of 256 or more gives 255,
// so the products are capped at 255 first and scaled as bytes.
static void filter_product_large_fast(const uint8_t *a, const uint8_t *b, const TextureScale &s, size_t bytes,
                                      uint8_t *dst) {
    FilterScaleVectors v = filter_scale_vectors(s);
    const __m128i zero = _mm_setzero_si128(), c255 = _mm_set1_epi16(255);
    for (size_t i = 0; i < bytes; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        __m128i qlo = _mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero));
        __m128i qhi = _mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero));
        qlo = _mm_sub_epi16(qlo, _mm_subs_epu16(qlo, c255));
        qhi = _mm_sub_epi16(qhi, _mm_subs_epu16(qhi, c255));
        __m128i lo = filter_scale_words(qlo, v), hi = filter_scale_words(qhi, v);
        lo = _mm_sub_epi16(lo, _mm_subs_epu16(lo, c255));
        hi = _mm_sub_epi16(hi, _mm_subs_epu16(hi, c255));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(lo, hi));
    }
}

#endif // TEXTURE_SIMD_SSE2

// ---------------------------------------------------------------------------------------------
// The per-byte operations: the fast kernel over whole blocks when the parameters allow it, the
// exact scalar form for everything else.

static void filter_add(const uint8_t *a, double p0, const uint8_t *b, double p1, size_t bytes, uint8_t *dst) {
    size_t done = 0;
#if TEXTURE_SIMD_SSE2
    FilterPairScale s;
    if (filter_pair_scale_make(p0, p1, &s)) {
        done = bytes & ~size_t(15);
        filter_add_fast(a, b, s, done, dst);
    }
#endif
    filter_pair_exact(PER_BYTE_ADD, a + done, p0, b + done, p1, bytes - done, dst + done);
}

static void filter_extreme(bool maximum, const uint8_t *a, double p0, const uint8_t *b, double p1,
                           size_t bytes, uint8_t *dst) {
    size_t done = 0;
#if TEXTURE_SIMD_SSE2
    TextureScale s0, s1;
    FilterKeyScale k0, k1;
    if (filter_byte_scale_make(p0, &s0) && filter_byte_scale_make(p1, &s1)) {
        done = bytes & ~size_t(15);
        if (maximum)
            filter_extreme_bytes_fast<true>(a, s0, b, s1, done, dst);
        else
            filter_extreme_bytes_fast<false>(a, s0, b, s1, done, dst);
    } else if (filter_key_scale_make(p0, &k0) && filter_key_scale_make(p1, &k1)) {
        done = bytes & ~size_t(15);
        if (maximum)
            filter_extreme_fast<true>(a, k0, b, k1, done, dst);
        else
            filter_extreme_fast<false>(a, k0, b, k1, done, dst);
    }
#endif
    filter_pair_exact(maximum ? PER_BYTE_MAXIMUM : PER_BYTE_MINIMUM, a + done, p0, b + done, p1, bytes - done,
                      dst + done);
}

// 202 Multiply: trunc(a * p0) with the upper limit only.
static void filter_scale(const uint8_t *a, double p0, size_t bytes, uint8_t *dst) {
    size_t done = 0;
#if TEXTURE_SIMD_SSE2
    TextureScale s;
    if (texture_scale_make(p0, &s)) {
        done = bytes & ~size_t(15);
        filter_scale_fast(a, s, done, dst);
    }
#endif
    uint8_t table[256];
    for (int v = 0; v < 256; v++)
        table[v] = filter_upper_limited(filter_trunc_wide(v * p0));
    for (size_t i = done; i < bytes; i++)
        dst[i] = table[a[i]];
}

// 102 and 208: trunc(a * b * p0), clamped or with the upper limit only.
static void filter_product(const uint8_t *a, const uint8_t *b, double p0, bool clamp, size_t bytes,
                           uint8_t *dst) {
    size_t done = 0;
    if (clamp && !(p0 > 0)) {
        // No product is positive (NaN included, which converts to the lowest integer).
        std::memset(dst, 0, bytes);
        return;
    }
#if TEXTURE_SIMD_SSE2
    FilterFineScale fine;
    TextureScale s;
    if (filter_fine_scale_make(p0, &fine)) {
        done = bytes & ~size_t(15);
        if (fine.negative)
            filter_product_fine_fast<true>(a, b, fine, done, dst);
        else
            filter_product_fine_fast<false>(a, b, fine, done, dst);
    } else if (texture_scale_make(p0, &s) && !s.negative && p0 >= 1) {
        done = bytes & ~size_t(15);
        filter_product_large_fast(a, b, s, done, dst);
    } else if (texture_scale_make(p0, &s)) {
        done = bytes & ~size_t(15);
        filter_product_fast(a, b, s, done, dst);
    }
#endif
    filter_product_exact(a + done, b + done, p0, clamp, bytes - done, dst + done);
}

static void filter_invert(const uint8_t *__restrict a, size_t bytes, uint8_t *__restrict dst) {
    size_t i = 0;
    for (; i + 64 <= bytes; i += 64)
        for (int k = 0; k < 64; k++)
            dst[i + k] = static_cast<uint8_t>(255 - a[i + k]);
    for (; i < bytes; i++)
        dst[i] = static_cast<uint8_t>(255 - a[i]);
}

// ---------------------------------------------------------------------------------------------
// Operations that read neighbouring pixels. They write the destination directly: it never is
// one of the inputs.

// A document offset as a whole number of steps modulo n: trunc(v) mod n exactly, whatever its size
// (fmod is exact); NaN and infinities give 0.
static int filter_wrap(double v, int n) {
    if (!std::isfinite(v)) return 0;
    int32_t r = maths::convert_to_i32(std::fmod(std::trunc(v), double(n)));
    return r < 0 ? r + n : r;
}

static void filter_offset(const uint8_t *a, const float *p, int n, uint8_t *out) {
    int rows = filter_wrap(p[0], n), columns = filter_wrap(p[1], n);
    size_t row = size_t(n) * 3, head = size_t(n - columns) * 3, tail = size_t(columns) * 3;
    for (int y = 0; y < n; y++) {
        // Row y takes row y + rows, rotated left by `columns` pixels.
        const uint8_t *src = a + size_t((y + rows) % n) * row;
        uint8_t *dst = out + size_t(y) * row;
        std::memcpy(dst, src + tail, head);
        std::memcpy(dst + head, src, tail);
    }
}

// Sums of the same byte over three rows, with the row's last pixel copied before its start and its
// first pixel after its end, so that x - 1 and x + 1 wrap by plain indexing.
static void filter_column_sums(const uint8_t *__restrict up, const uint8_t *__restrict mid,
                               const uint8_t *__restrict down, size_t row, uint16_t *__restrict sums) {
    uint16_t *s = sums + 3;
    size_t i = 0;
    for (; i + 16 <= row; i += 16)
        for (int k = 0; k < 16; k++)
            s[i + k] = static_cast<uint16_t>(up[i + k] + mid[i + k] + down[i + k]);
    for (; i < row; i++)
        s[i] = static_cast<uint16_t>(up[i] + mid[i] + down[i]);
    for (int k = 0; k < 3; k++) {
        sums[k] = s[row - 3 + k];
        s[row + k] = s[k];
    }
}

// trunc(s * 0.111111111) for a nine-byte sum s (0..2295). The constant is just below 1/9, so the
// result is floor((s - 1) / 9) for s > 0 and 0 for s = 0; (t * 7282) >> 16 is floor(t / 9) for
// every t below 3640.
static void filter_blur_row(const uint16_t *__restrict sums, size_t row, uint8_t *__restrict out) {
    // sums[i], sums[i + 3] and sums[i + 6] are the columns of pixels x - 1, x and x + 1.
    size_t i = 0;
    for (; i + 16 <= row; i += 16)
        for (int k = 0; k < 16; k++) {
            uint32_t t = sums[i + k] + sums[i + k + 3] + sums[i + k + 6];
            t -= t != 0;
            out[i + k] = static_cast<uint8_t>((t * 7282u) >> 16);
        }
    for (; i < row; i++) {
        uint32_t t = sums[i] + sums[i + 3] + sums[i + 6];
        t -= t != 0;
        out[i] = static_cast<uint8_t>((t * 7282u) >> 16);
    }
}

static void filter_blur(const uint8_t *a, int n, uint8_t *out) {
    size_t row = size_t(n) * 3;
    uint16_t *sums = static_cast<uint16_t *>(std::malloc((row + 6) * sizeof(uint16_t)));
    if (!sums) return;
    for (int y = 0; y < n; y++) {
        filter_column_sums(a + size_t((y + n - 1) % n) * row, a + size_t(y) * row,
                           a + size_t((y + 1) % n) * row, row, sums);
        filter_blur_row(sums, row, out + size_t(y) * row);
    }
    std::free(sums);
}

static const int16_t kEmboss[4][9] = {
    {-2, -1, 0, -1, 1, 1, 0, 1, 2},
    {0, -1, -2, 1, 1, -1, 2, 1, 0},
    {2, 1, 0, 1, 1, -1, 0, -1, -2},
    {0, 1, 2, -1, 1, 1, -2, -1, 0},
};

// One image row widened to 16 bits with one wrapped pixel on each side (see filter_column_sums).
static void filter_widen_row(const uint8_t *__restrict src, size_t row, int16_t *__restrict wide) {
    int16_t *w = wide + 3;
    size_t i = 0;
    for (; i + 16 <= row; i += 16)
        for (int k = 0; k < 16; k++)
            w[i + k] = src[i + k];
    for (; i < row; i++)
        w[i] = src[i];
    for (int k = 0; k < 3; k++) {
        wide[k] = w[row - 3 + k];
        w[row + k] = w[k];
    }
}

// The weighted 3 x 3 sum of each byte, clamped; sums stay within +-2295, so 16 bits hold them.
static void filter_emboss_row(const int16_t *__restrict up, const int16_t *__restrict mid,
                              const int16_t *__restrict down, const int16_t *weights, size_t row,
                              uint8_t *__restrict out) {
    const int16_t w0 = weights[0], w1 = weights[1], w2 = weights[2], w3 = weights[3], w4 = weights[4],
                  w5 = weights[5], w6 = weights[6], w7 = weights[7], w8 = weights[8];
    size_t i = 0;
    // Whole blocks first: a fixed inner count lets the compiler vectorise the loop.
    for (; i + 16 <= row; i += 16)
        for (int k = 0; k < 16; k++) {
            size_t j = i + k;
            int16_t s = static_cast<int16_t>(w0 * up[j] + w1 * up[j + 3] + w2 * up[j + 6] + w3 * mid[j] +
                                             w4 * mid[j + 3] + w5 * mid[j + 6] + w6 * down[j] +
                                             w7 * down[j + 3] + w8 * down[j + 6]);
            out[j] = static_cast<uint8_t>(s < 0 ? 0 : s > 255 ? 255 : s);
        }
    for (; i < row; i++) {
        int16_t s = static_cast<int16_t>(w0 * up[i] + w1 * up[i + 3] + w2 * up[i + 6] + w3 * mid[i] +
                                         w4 * mid[i + 3] + w5 * mid[i + 6] + w6 * down[i] + w7 * down[i + 3] +
                                         w8 * down[i + 6]);
        out[i] = static_cast<uint8_t>(s < 0 ? 0 : s > 255 ? 255 : s);
    }
}

static void filter_emboss(const uint8_t *a, const float *p, int n, uint8_t *out) {
    const int16_t *weights = kEmboss[maths::convert_clamped(p[0], 1, 4) - 1];
    size_t row = size_t(n) * 3, wide = row + 6;
    int16_t *rows = static_cast<int16_t *>(std::malloc(3 * wide * sizeof(int16_t)));
    if (!rows) return;
    // Three widened rows in rotation: y - 1, y and y + 1.
    filter_widen_row(a + size_t(n - 1) * row, row, rows);
    filter_widen_row(a, row, rows + wide);
    for (int y = 0; y < n; y++) {
        int16_t *up = rows + (y % 3) * wide, *mid = rows + ((y + 1) % 3) * wide,
                *down = rows + ((y + 2) % 3) * wide;
        filter_widen_row(a + size_t((y + 1) % n) * row, row, down);
        filter_emboss_row(up, mid, down, weights, row, out + size_t(y) * row);
    }
    std::free(rows);
}

void texture_filter_apply(uint8_t type, const uint8_t *a, const uint8_t *b, const uint8_t *l, const float *p,
                          int n, uint8_t *dst) {
    size_t bytes = size_t(n) * n * 3;
    double p0 = p[0], p1 = p[1];
    switch (type) {
    case 101: filter_add(a, p0, l, p1, bytes, dst); return;
    case 102: filter_product(l, a, p0, false, bytes, dst); return;
    case 103: filter_extreme(true, a, p0, l, p1, bytes, dst); return;
    case 104: filter_extreme(false, a, p0, l, p1, bytes, dst); return;
    case 201: filter_invert(a, bytes, dst); return;
    case 202: filter_scale(a, p0, bytes, dst); return;
    case 203: filter_offset(a, p, n, dst); return;
    case 204: texture_ripple(a, p, n, dst); return;
    case 205: filter_blur(a, n, dst); return;
    case 206: filter_emboss(a, p, n, dst); return;
    case 207: filter_add(a, p0, b, p1, bytes, dst); return;
    case 208: filter_product(a, b, p0, true, bytes, dst); return;
    case 209: filter_extreme(true, a, p0, b, p1, bytes, dst); return;
    case 210: filter_extreme(false, a, p0, b, p1, bytes, dst); return;
    default: return;
    }
}

} // namespace textures
