// The Ripple operation: source positions formed exactly as the operation forms them, then either
// the operation's own double arithmetic per pixel or four pixels at a time in vector registers
// where the estimate decides the result.
#include "textures/texture_ripple.h"

#include "maths/cosine_table.h"
#include "maths/number_convert.h"
#include "textures/texture_generators.h"
#include "textures/texture_simd.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace textures {

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

void texture_ripple(const uint8_t *a, const float *p, int n, uint8_t *out) {
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

} // namespace textures
