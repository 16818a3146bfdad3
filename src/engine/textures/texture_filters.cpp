#include "textures/texture_filters.h"

#include "maths/cosine_table.h"
#include "maths/number_convert.h"
#include "textures/texture_generators.h"
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

// The integer part of a finite source coordinate taken modulo n (exactly, for any size) and its
// fraction.
static int filter_ripple_wrap(double u, int n, double *fraction) {
    double f = std::floor(u);
    *fraction = u - f;
    int32_t r = std::fabs(f) < 1073741824.0 ? static_cast<int32_t>(f) % n
                                            : maths::convert_to_i32(std::fmod(f, double(n)));
    return r < 0 ? r + n : r;
}

// One Ripple pixel from source position (u, v), with the operation's own double arithmetic.
static void filter_ripple_pixel(const uint8_t *a, int n, double u, double v, uint8_t *out) {
    // A source position that is not finite reads as position 0.
    if (!std::isfinite(u)) u = 0;
    if (!std::isfinite(v)) v = 0;
    double fx, fy;
    int i = filter_ripple_wrap(u, n, &fx), j = filter_ripple_wrap(v, n, &fy);
    int i1 = i + 1 == n ? 0 : i + 1, j1 = j + 1 == n ? 0 : j + 1;
    double d00 = std::sqrt(fx * fx + fy * fy);
    double d10 = std::sqrt((1 - fx) * (1 - fx) + fy * fy);
    double d01 = std::sqrt(fx * fx + (1 - fy) * (1 - fy));
    double d11 = std::sqrt((1 - fx) * (1 - fx) + (1 - fy) * (1 - fy));
    double sum = d00 + d10 + d01 + d11;
    const uint8_t *p00 = a + (size_t(j) * n + i) * 3, *p10 = a + (size_t(j) * n + i1) * 3;
    const uint8_t *p01 = a + (size_t(j1) * n + i) * 3, *p11 = a + (size_t(j1) * n + i1) * 3;
    for (int c = 0; c < 3; c++)
        out[c] = texture_byte((p00[c] * d00 + p10[c] * d10 + p01[c] * d01 + p11[c] * d11) / sum);
}

#if TEXTURE_SIMD_SSE2

// Ripple in vector registers. The source positions are formed exactly as above; the weighted sums
// and quotients are then estimated in single precision, four pixels at a time. Every term is
// non-negative, so each estimated quotient is within 16 units of 2^-24 of the double one,
// relatively: below 2.5e-4 for quotients up to 255. Where an estimate lies farther than 1/1024
// from a whole number its truncation is the double one's; any other pixel is done again with the
// double arithmetic (flat areas, where the quotient is a whole number give or take a rounding,
// always are).

// The squared fractions of four pixels (fx^2, (1 - fx)^2, fy^2, (1 - fy)^2, each fraction rounded to
// float first) and the byte offsets of their source pixels (i, j), (i + 1, j), (i, j + 1),
// (i + 1, j + 1).
struct RippleFour {
    __m128 fx2, gx2, fy2, gy2;
    int32_t corner[4][4];
    bool whole; // no corner is the image's last pixel
};

// Four bytes of the image at an offset: the pixel there and one byte more, where it exists (the
// image's very last pixel has only its own three).
static inline int filter_ripple_word(const uint8_t *a, size_t last, int32_t offset) {
    uint32_t w;
    if (size_t(offset) < last) {
        std::memcpy(&w, a + offset, 4);
    } else {
        const uint8_t *q = a + offset;
        w = uint32_t(q[0]) | uint32_t(q[1]) << 8 | uint32_t(q[2]) << 16;
    }
    return static_cast<int>(w);
}

// One source word straight into the low lane of a vector.
static inline __m128i filter_ripple_load(const uint8_t *a, int32_t offset) {
    int w;
    std::memcpy(&w, a + uint32_t(offset), 4);
    return _mm_cvtsi32_si128(w);
}

// Four source words from four offsets, in the lanes of one vector.
static inline __m128i filter_ripple_loads(const uint8_t *a, const int32_t *offset) {
    __m128i w0 = filter_ripple_load(a, offset[0]), w1 = filter_ripple_load(a, offset[1]);
    __m128i w2 = filter_ripple_load(a, offset[2]), w3 = filter_ripple_load(a, offset[3]);
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(w0, w1), _mm_unpacklo_epi32(w2, w3));
}

// Adds four source pixels (one corner of four output pixels), weighted by d, to the sums. Whole:
// none of the four is the image's last pixel, so four bytes can be read at each.
template <bool Whole>
static inline void filter_ripple_corner(const uint8_t *a, size_t last, const int32_t *offset, __m128 d,
                                        __m128 *r, __m128 *g, __m128 *b) {
    const __m128i low8 = _mm_set1_epi32(255);
    __m128i words =
        Whole ? filter_ripple_loads(a, offset)
              : _mm_set_epi32(filter_ripple_word(a, last, offset[3]), filter_ripple_word(a, last, offset[2]),
                              filter_ripple_word(a, last, offset[1]), filter_ripple_word(a, last, offset[0]));
    *r = _mm_add_ps(*r, _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(words, low8)), d));
    *g = _mm_add_ps(*g, _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(words, 8), low8)), d));
    *b = _mm_add_ps(*b, _mm_mul_ps(_mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(words, 16), low8)), d));
}

// trunc of one channel's four quotients (in the low byte of each lane); clears the lanes of `sure`
// whose quotient lies within 1/1024 of a whole number.
static inline __m128i filter_ripple_channel(__m128 num, __m128 inverse, __m128 margin, __m128 top,
                                            __m128 *sure) {
    __m128 q = _mm_mul_ps(num, inverse);
    __m128i t = _mm_cvttps_epi32(q);
    __m128 fraction = _mm_sub_ps(q, _mm_cvtepi32_ps(t));
    *sure = _mm_and_ps(*sure, _mm_and_ps(_mm_cmpgt_ps(fraction, margin), _mm_cmplt_ps(fraction, top)));
    return t;
}

// Four pixels: 12 bytes at dst (16 stored; the last 4 belong to the next pixels). Returns the bits
// of the pixels whose estimate is not sure.
template <bool Whole>
static int filter_ripple_four(const uint8_t *a, size_t last, const RippleFour &f, uint8_t *dst) {
    __m128 d00 = _mm_sqrt_ps(_mm_add_ps(f.fx2, f.fy2)), d10 = _mm_sqrt_ps(_mm_add_ps(f.gx2, f.fy2));
    __m128 d01 = _mm_sqrt_ps(_mm_add_ps(f.fx2, f.gy2)), d11 = _mm_sqrt_ps(_mm_add_ps(f.gx2, f.gy2));
    __m128 inverse = _mm_div_ps(_mm_set1_ps(1.0f), _mm_add_ps(_mm_add_ps(d00, d10), _mm_add_ps(d01, d11)));
    __m128 red = _mm_setzero_ps(), green = _mm_setzero_ps(), blue = _mm_setzero_ps();
    filter_ripple_corner<Whole>(a, last, f.corner[0], d00, &red, &green, &blue);
    filter_ripple_corner<Whole>(a, last, f.corner[1], d10, &red, &green, &blue);
    filter_ripple_corner<Whole>(a, last, f.corner[2], d01, &red, &green, &blue);
    filter_ripple_corner<Whole>(a, last, f.corner[3], d11, &red, &green, &blue);
    const __m128 margin = _mm_set1_ps(1.0f / 1024), top = _mm_set1_ps(1.0f - 1.0f / 1024);
    const __m128i low8 = _mm_set1_epi32(255);
    __m128 sure = _mm_castsi128_ps(_mm_set1_epi32(-1));
    __m128i r = filter_ripple_channel(red, inverse, margin, top, &sure);
    __m128i g = filter_ripple_channel(green, inverse, margin, top, &sure);
    __m128i b = filter_ripple_channel(blue, inverse, margin, top, &sure);
    __m128i px = _mm_or_si128(_mm_or_si128(_mm_and_si128(r, low8), _mm_slli_epi32(_mm_and_si128(g, low8), 8)),
                              _mm_slli_epi32(_mm_and_si128(b, low8), 16));
    texture_simd_store_rgb4(px, dst);
    return ~_mm_movemask_ps(sure) & 15;
}

// The byte offsets of the four corners of four pixels from their i and j (n = 2^bits); f->whole
// tells whether none of them is the image's last pixel.
static inline void filter_ripple_corners(__m128i i, __m128i j, int bits, RippleFour *f) {
    const __m128i mask = _mm_set1_epi32((1 << bits) - 1), one = _mm_set1_epi32(1);
    const __m128i count = _mm_cvtsi32_si128(bits);
    __m128i i1 = _mm_and_si128(_mm_add_epi32(i, one), mask);
    __m128i row0 = _mm_sll_epi32(j, count),
            row1 = _mm_sll_epi32(_mm_and_si128(_mm_add_epi32(j, one), mask), count);
    // Any corner can be the last pixel: compare every one with it.
    const __m128i final = _mm_set1_epi32((1 << (2 * bits)) - 1);
    __m128i pixel[4] = {_mm_add_epi32(row0, i), _mm_add_epi32(row0, i1), _mm_add_epi32(row1, i),
                        _mm_add_epi32(row1, i1)};
    __m128i at_end = _mm_setzero_si128();
    for (int k = 0; k < 4; k++) {
        at_end = _mm_or_si128(at_end, _mm_cmpeq_epi32(pixel[k], final));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(f->corner[k]),
                         _mm_add_epi32(_mm_slli_epi32(pixel[k], 1), pixel[k])); // times 3
    }
    f->whole = _mm_movemask_epi8(at_end) == 0;
}

// floor(u) and its 32-bit value for two coordinates below 2^30 in magnitude, exactly.
static inline __m128d filter_ripple_floor(__m128d u, __m128i *whole) {
    __m128d t = _mm_cvtepi32_pd(_mm_cvttpd_epi32(u));
    __m128d f = _mm_sub_pd(t, _mm_and_pd(_mm_cmpgt_pd(t, u), _mm_set1_pd(1.0)));
    *whole = _mm_cvttpd_epi32(f);
    return f;
}

// Squares, as floats, of four fractions held as two pairs of doubles.
static inline __m128 filter_ripple_squares(__m128d low, __m128d high) {
    __m128 f = _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high));
    return _mm_mul_ps(f, f);
}

// Positions of four pixels of row y, each formed on its own: u = shift + x, v = column_shift[x] + y.
static void filter_ripple_positions(double shift, const double *column_shift, int x, int y, int bits,
                                    RippleFour *f) {
    const __m128d ones = _mm_set1_pd(1.0), dy = _mm_set1_pd(y), sx = _mm_set1_pd(shift);
    __m128d u0 = _mm_add_pd(sx, _mm_set_pd(x + 1, x)), u1 = _mm_add_pd(sx, _mm_set_pd(x + 3, x + 2));
    __m128d v0 = _mm_add_pd(_mm_loadu_pd(column_shift + x), dy),
            v1 = _mm_add_pd(_mm_loadu_pd(column_shift + x + 2), dy);
    __m128i i0, i1, j0, j1;
    __m128d fx0 = _mm_sub_pd(u0, filter_ripple_floor(u0, &i0)),
            fx1 = _mm_sub_pd(u1, filter_ripple_floor(u1, &i1));
    __m128d fy0 = _mm_sub_pd(v0, filter_ripple_floor(v0, &j0)),
            fy1 = _mm_sub_pd(v1, filter_ripple_floor(v1, &j1));
    f->fx2 = filter_ripple_squares(fx0, fx1);
    f->gx2 = filter_ripple_squares(_mm_sub_pd(ones, fx0), _mm_sub_pd(ones, fx1));
    f->fy2 = filter_ripple_squares(fy0, fy1);
    f->gy2 = filter_ripple_squares(_mm_sub_pd(ones, fy0), _mm_sub_pd(ones, fy1));
    const __m128i mask = _mm_set1_epi32((1 << bits) - 1);
    filter_ripple_corners(_mm_and_si128(_mm_unpacklo_epi64(i0, i1), mask),
                          _mm_and_si128(_mm_unpacklo_epi64(j0, j1), mask), bits, f);
}

// Whether s + k is exact in a double for every whole k from 0 to n - 1 (|s| + n below 2^30): then
// every pixel of a row (or column) has the same fraction, and its integer parts run on by one.
static bool filter_ripple_exact_sums(double s, int n) {
    if (s == 0) return true;
    int e;
    double m = std::ldexp(std::frexp(std::fabs(s), &e), 53);
    uint64_t bits = static_cast<uint64_t>(m);
    int lowest = e - 53; // s = bits * 2^lowest
    while (!(bits & 1)) {
        bits >>= 1;
        lowest++;
    }
    return lowest >= 0 || std::fabs(s) + n < std::ldexp(1.0, 53 + lowest);
}

static float filter_ripple_square(double fraction) {
    float f = static_cast<float>(fraction);
    return f * f;
}

// One channel of two pixels from their four corners with the operation's double arithmetic:
// trunc of ((A00 d00 + A10 d10) + A01 d01 + A11 d11) / sum, in the low two lanes.
static inline __m128i filter_ripple_exact_channel(const uint8_t *a, const int32_t corner[4][2], int c,
                                                  __m128d d00, __m128d d10, __m128d d01, __m128d d11,
                                                  __m128d sum) {
    auto at = [&](int k) { return _mm_set_pd(a[corner[k][1] + c], a[corner[k][0] + c]); };
    __m128d num = _mm_add_pd(_mm_mul_pd(at(0), d00), _mm_mul_pd(at(1), d10));
    num = _mm_add_pd(_mm_add_pd(num, _mm_mul_pd(at(2), d01)), _mm_mul_pd(at(3), d11));
    return _mm_cvttpd_epi32(_mm_div_pd(num, sum));
}

// Two pixels of row y (columns x0 and x1) with the operation's own double arithmetic, side by
// side: the pixels whose single-precision estimate was not sure.
static void filter_ripple_exact_pair(const uint8_t *a, int bits, double shift, const double *column_shift,
                                     int y, int x0, int x1, uint8_t *row_out) {
    const __m128d one = _mm_set1_pd(1.0);
    __m128d u = _mm_add_pd(_mm_set1_pd(shift), _mm_set_pd(x1, x0));
    __m128d v = _mm_add_pd(_mm_set_pd(column_shift[x1], column_shift[x0]), _mm_set1_pd(y));
    __m128i fi, fj;
    __m128d fx = _mm_sub_pd(u, filter_ripple_floor(u, &fi)), fy = _mm_sub_pd(v, filter_ripple_floor(v, &fj));
    __m128d gx = _mm_sub_pd(one, fx), gy = _mm_sub_pd(one, fy);
    __m128d fx2 = _mm_mul_pd(fx, fx), gx2 = _mm_mul_pd(gx, gx), fy2 = _mm_mul_pd(fy, fy),
            gy2 = _mm_mul_pd(gy, gy);
    __m128d d00 = _mm_sqrt_pd(_mm_add_pd(fx2, fy2)), d10 = _mm_sqrt_pd(_mm_add_pd(gx2, fy2));
    __m128d d01 = _mm_sqrt_pd(_mm_add_pd(fx2, gy2)), d11 = _mm_sqrt_pd(_mm_add_pd(gx2, gy2));
    __m128d sum = _mm_add_pd(_mm_add_pd(_mm_add_pd(d00, d10), d01), d11);
    int32_t whole[4];
    _mm_storeu_si128(reinterpret_cast<__m128i *>(whole), _mm_unpacklo_epi64(fi, fj));
    int32_t mask = (1 << bits) - 1, corner[4][2];
    for (int k = 0; k < 2; k++) {
        int32_t i = whole[k] & mask, j = whole[2 + k] & mask, i1 = (i + 1) & mask, j1 = (j + 1) & mask;
        corner[0][k] = ((j << bits) + i) * 3;
        corner[1][k] = ((j << bits) + i1) * 3;
        corner[2][k] = ((j1 << bits) + i) * 3;
        corner[3][k] = ((j1 << bits) + i1) * 3;
    }
    int32_t bytes[3][4];
    for (int c = 0; c < 3; c++)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(bytes[c]),
                         filter_ripple_exact_channel(a, corner, c, d00, d10, d01, d11, sum));
    for (int c = 0; c < 3; c++) {
        row_out[x0 * 3 + c] = static_cast<uint8_t>(bytes[c][0]);
        row_out[x1 * 3 + c] = static_cast<uint8_t>(bytes[c][1]);
    }
}

// The vector rows (n a power of two, at least 4; every shift finite and below 2^30 - n). Returns
// false, writing nothing, when memory is short.
static bool filter_ripple_fast(const uint8_t *a, int n, const double *row_shift, const double *column_shift,
                               uint8_t *out) {
    int bits = 0;
    while ((1 << bits) < n)
        bits++;
    // Columns whose every pixel has the same fraction: their squares and integer parts, once.
    float *column = static_cast<float *>(std::malloc(size_t(n) * 2 * sizeof(float)));
    int32_t *column_floor = static_cast<int32_t *>(std::malloc(size_t(n) * 2 * sizeof(int32_t)));
    if (!column || !column_floor) {
        std::free(column);
        std::free(column_floor);
        return false;
    }
    float *fy2 = column, *gy2 = column + n;
    bool columns_even = true;
    for (int x = 0; x < n; x++) {
        double f = std::floor(column_shift[x]), fy = column_shift[x] - f;
        fy2[x] = filter_ripple_square(fy);
        gy2[x] = filter_ripple_square(1 - fy);
        column_floor[x] = static_cast<int32_t>(f);
        columns_even = columns_even && filter_ripple_exact_sums(column_shift[x], n);
    }
    const __m128i mask = _mm_set1_epi32(n - 1);
    size_t last = (size_t(n) * n - 1) * 3, row = size_t(n) * 3;
    int32_t *redo = column_floor + n; // the row's pixels to do again in doubles
    RippleFour f;
    for (int y = 0; y < n; y++) {
        double shift = row_shift[y];
        bool even = columns_even && filter_ripple_exact_sums(shift, n);
        double fu = std::floor(shift);
        __m128 fx2 = _mm_set1_ps(filter_ripple_square(shift - fu)),
               gx2 = _mm_set1_ps(filter_ripple_square(1 - (shift - fu)));
        __m128i first = _mm_set1_epi32(static_cast<int32_t>(fu)), dy = _mm_set1_epi32(y);
        uint8_t *dst = out + size_t(y) * row;
        int redo_count = 0;
        for (int x = 0; x < n; x += 4) {
            if (even) {
                // i = floor(shift) + x and j = floor(column shift) + y, each taken modulo n.
                f.fx2 = fx2;
                f.gx2 = gx2;
                f.fy2 = _mm_loadu_ps(fy2 + x);
                f.gy2 = _mm_loadu_ps(gy2 + x);
                __m128i i = _mm_and_si128(_mm_add_epi32(first, _mm_set_epi32(x + 3, x + 2, x + 1, x)), mask);
                __m128i j = _mm_and_si128(
                    _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(column_floor + x)), dy),
                    mask);
                filter_ripple_corners(i, j, bits, &f);
            } else {
                filter_ripple_positions(shift, column_shift, x, y, bits, &f);
            }
            // The row's last four pixels go through a spare buffer: nothing past the row changes.
            uint8_t spare[16];
            bool end = x + 4 == n;
            uint8_t *to = end ? spare : dst + size_t(x) * 3;
            int unsure = f.whole ? filter_ripple_four<true>(a, last, f, to)
                                 : filter_ripple_four<false>(a, last, f, to);
            if (end) std::memcpy(dst + size_t(x) * 3, spare, 12);
            for (int k = 0; k < 4; k++)
                if (unsure & (1 << k)) redo[redo_count++] = x + k;
        }
        int k = 0;
        for (; k + 2 <= redo_count; k += 2)
            filter_ripple_exact_pair(a, bits, shift, column_shift, y, redo[k], redo[k + 1], dst);
        if (k < redo_count)
            filter_ripple_pixel(a, n, shift + redo[k], column_shift[redo[k]] + y, dst + size_t(redo[k]) * 3);
    }
    std::free(column);
    std::free(column_floor);
    return true;
}

#endif // TEXTURE_SIMD_SSE2

static void filter_ripple(const uint8_t *a, const float *p, int n, uint8_t *out) {
    double ax = p[0], ay = p[1];
    double wx = std::fabs(std::trunc(double(p[2]))), wy = std::fabs(std::trunc(double(p[3])));
    double inverse_n = 1.0 / n;
    // What depends on one axis only: each row's sideways shift and each column's vertical one.
    double *shift = static_cast<double *>(std::malloc(size_t(n) * 2 * sizeof(double)));
    if (!shift) return;
    double *row_shift = shift, *column_shift = shift + n;
    for (int k = 0; k < n; k++) {
        row_shift[k] = ax * n * maths::cosine_step_of(std::trunc(wy * 4096 * inverse_n * k));
        column_shift[k] = ay * n * maths::cosine_step_of(std::trunc(k * wx * 4096 * inverse_n));
    }
    bool done = false;
#if TEXTURE_SIMD_SSE2
    // The vector rows need n a power of two (at least 4) and every position small and finite.
    bool vector = n >= 4 && (n & (n - 1)) == 0;
    for (int k = 0; k < n && vector; k++)
        vector = std::fabs(column_shift[k]) + n < 1073741824.0 && std::fabs(row_shift[k]) + n < 1073741824.0;
    done = vector && filter_ripple_fast(a, n, row_shift, column_shift, out);
#endif
    for (int y = 0; y < n && !done; y++)
        for (int x = 0; x < n; x++)
            filter_ripple_pixel(a, n, row_shift[y] + x, column_shift[x] + y, out + (size_t(y) * n + x) * 3);
    std::free(shift);
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
    case 204: filter_ripple(a, p, n, dst); return;
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
