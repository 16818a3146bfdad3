#include "textures/texture_generators.h"

#include "maths/number_convert.h"
#include "textures/texture_scale.h"
#include "textures/texture_simd.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace textures {

const GeneratorDescriptor kGeneratorDescriptors[kGeneratorCount] = {
    {"Color", 1, 0, {"Color"}},
    {"Sinus plasma", 1, 2, {"Plasma color", "Repeat x", "Repeat y"}},
    {"Radial colors", 2, 2, {"Center color", "Margin color", "Inverse radian", "Color offset (0-127)"}},
    {"Maze",
     1,
     3,
     {"Color", "Maze size (1 - 7 integer)", "Maze field (integer)", "Maze fullness (0 - 1 float)"}},
    {"Bricks",
     2,
     5,
     {"Brick color", "Wall color", "Horizontal number", "Vertical number", "Horizontal margin",
      "Vertical margin", "Second line offset"}},
    {"Noise", 1, 1, {"Color", "Random seed"}},
};
static_assert(sizeof(kGeneratorDescriptors) / sizeof(kGeneratorDescriptors[0]) == kGeneratorCount,
              "one descriptor per generator");

// clang-format off
const uint8_t kMazeCurve[256] = {
      0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   1,   1,   1,   1,   1,
      1,   1,   2,   2,   2,   2,   2,   3,   3,   3,   3,   3,   4,   4,   4,   5,
      5,   5,   6,   6,   6,   7,   7,   7,   8,   8,   8,   9,   9,  10,  10,  11,
     11,  11,  12,  12,  13,  13,  14,  14,  15,  15,  16,  17,  17,  18,  18,  19,
     19,  20,  21,  21,  22,  23,  23,  24,  24,  25,  26,  27,  27,  28,  29,  29,
     30,  31,  32,  32,  33,  34,  35,  35,  36,  37,  38,  39,  40,  40,  41,  42,
     43,  44,  45,  46,  47,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,
     58,  59,  60,  61,  62,  63,  64,  65,  66,  67,  68,  69,  70,  71,  72,  74,
     75,  76,  77,  78,  79,  80,  81,  83,  84,  85,  86,  87,  88,  90,  91,  92,
     93,  94,  96,  97,  98,  99, 101, 102, 103, 104, 106, 107, 108, 109, 111, 112,
    113, 115, 116, 117, 119, 120, 121, 123, 124, 125, 127, 128, 129, 131, 132, 133,
    135, 136, 138, 139, 140, 142, 143, 145, 146, 147, 149, 150, 152, 153, 155, 156,
    157, 159, 160, 162, 163, 165, 166, 168, 169, 171, 172, 174, 175, 176, 178, 179,
    181, 182, 184, 185, 187, 188, 190, 192, 193, 195, 196, 198, 199, 201, 202, 204,
    205, 207, 208, 210, 211, 213, 214, 216, 218, 219, 221, 222, 224, 225, 227, 228,
    230, 232, 233, 235, 236, 238, 239, 241, 242, 244, 246, 247, 249, 250, 252, 253,
};
// clang-format on
static_assert(sizeof(kMazeCurve) == 256, "one entry per byte value");

uint8_t texture_byte(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return 0;
    return static_cast<uint8_t>(static_cast<int32_t>(v));
}

TextureRandom texture_random_seed(float seed) {
    double t = std::trunc(static_cast<double>(seed));
    // The low 32 bits of the integer (two's complement for negative seeds); NaN and infinities
    // seed 0.
    double wrapped = std::fmod(t, 4294967296.0);
    if (wrapped < 0) wrapped += 4294967296.0;
    return TextureRandom{std::isfinite(wrapped) ? static_cast<uint32_t>(wrapped) : 0u};
}

float texture_random_next(TextureRandom *random) {
    random->state = random->state * 1103515245u + 12345u;
    uint32_t r = (random->state >> 16) & 0x7FFF;
    return static_cast<float>(r) * 3.0517578e-05f;
}

// ---------------------------------------------------------------------------------------------
// Maze tiles

static uint8_t g_tiles[8][4][128 * 128];
static bool g_tiles_built = false;

void maze_tiles_build() {
    if (g_tiles_built) return;
    for (int s = 1; s <= 7; s++) {
        int n = 1 << s;
        double m = n - 1, k = 1.0 / m;
        for (int r = 0; r < n; r++) {
            for (int c = 0; c < n; c++) {
                double R = r, C = c;
                double t[4] = {
                    (m - C) * (m - R) * k * k * 255,
                    R * m * 255 * k * k,
                    (C * (m - R) * k + (m - C) * R * k) * k * 255,
                    (C * ((m - R) * k + R * k) + (m - C) * R * k) * k * 255,
                };
                for (int tile = 0; tile < 4; tile++)
                    g_tiles[s][tile][r * n + c] = kMazeCurve[texture_byte(t[tile])];
            }
        }
    }
    g_tiles_built = true;
}

const uint8_t *maze_tile(int size, int tile) {
    maze_tiles_build();
    return g_tiles[size][tile];
}

// ---------------------------------------------------------------------------------------------
// Generators

// A pixel's three bytes in the first three of four, so that a row can be written with one 4-byte
// store a pixel (each store's fourth byte is overwritten by the next pixel).
static uint32_t generator_pixel(uint8_t r, uint8_t g, uint8_t b) {
    const uint8_t bytes[4] = {r, g, b, 0};
    uint32_t px;
    std::memcpy(&px, bytes, 4);
    return px;
}

// The three bytes of each channel of a colour times v, as texture_byte stores them.
static uint32_t generator_scaled_pixel(double v, const float *colour) {
    return generator_pixel(texture_byte(v * double(colour[0])), texture_byte(v * double(colour[1])),
                           texture_byte(v * double(colour[2])));
}

static bool generator_little_endian() {
    const uint32_t one = 1;
    uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// Writes pixels from a pixel table: pixel x is table[index[x]], and nothing past the last pixel
// changes. Four pixels make 12 bytes, stored as one 8-byte and one 4-byte word where the pixel
// values hold their bytes in numeric order (every processor this runs on).
template <typename IndexOf>
static void generator_row_from_table(const uint32_t *table, int n, uint8_t *row, IndexOf index_of) {
    int x = 0;
    if (generator_little_endian()) {
        for (; x + 4 <= n; x += 4) {
            uint64_t p0 = table[index_of(x)], p1 = table[index_of(x + 1)], p2 = table[index_of(x + 2)];
            uint64_t p3 = table[index_of(x + 3)];
            uint64_t w0 = p0 | p1 << 24 | p2 << 48;
            uint32_t w1 = static_cast<uint32_t>(p2 >> 16 | p3 << 8);
            std::memcpy(row + size_t(x) * 3, &w0, 8);
            std::memcpy(row + size_t(x) * 3 + 8, &w1, 4);
        }
    }
    for (; x < n; x++)
        std::memcpy(row + size_t(x) * 3, &table[index_of(x)], 3);
}

// n copies of a pixel.
static void generator_fill_row(uint32_t px, int n, uint8_t *row) {
    for (int x = 0; x + 1 < n; x++)
        std::memcpy(row + size_t(x) * 3, &px, 4);
    if (n > 0) std::memcpy(row + size_t(n - 1) * 3, &px, 3);
}

// A colour that byte values v (0..255) scale: channel c is texture_byte(v * colour[c]). Vector
// code when all three channels have an exact fixed-point scale (every colour below 256), else a
// table of the 256 pixels.
struct ColourScale {
    TextureScale rgb[3];
    bool exact;
    uint32_t table[256];
};

static void colour_scale_make(const float *colour, ColourScale *s) {
    s->exact = texture_scale_make(colour[0], &s->rgb[0]) && texture_scale_make(colour[1], &s->rgb[1]) &&
               texture_scale_make(colour[2], &s->rgb[2]);
    if (!s->exact)
        for (int v = 0; v < 256; v++)
            s->table[v] = generator_scaled_pixel(v, colour);
}

static void colour_scale_row(const ColourScale &s, const uint8_t *v, int n, uint8_t *out) {
    if (s.exact)
        texture_scale_pixels(v, size_t(n), s.rgb, out);
    else
        generator_row_from_table(s.table, n, out, [v](int x) { return v[x]; });
}

static void generate_color(const float *p, uint8_t *image, int n) {
    size_t row = size_t(n) * 3;
    generator_fill_row(
        generator_pixel(texture_byte(p[0] * 255.0), texture_byte(p[1] * 255.0), texture_byte(p[2] * 255.0)),
        n, image);
    for (int y = 1; y < n; y++)
        std::memcpy(image + size_t(y) * row, image, row);
}

// Columns whose value before truncation lies this close below the next whole number are noted: a
// row whose sine differs from this one's by less than kPlasmaNear / 63.5 can change only there.
constexpr double kPlasmaNear = 1.0 / 8192;

// v = trunc((sx + sy) * 63.5 + 127) of one column, 0..254 (a NaN sine is stored as -1000, which
// the lower limit turns into 0).
static int32_t plasma_value(double sx, double sy, bool *near) {
    double t = (sx + sy) * 63.5 + 127.0;
    int32_t whole = static_cast<int32_t>(t);
    *near = t - whole > 1 - kPlasmaNear;
    return whole < 0 ? 0 : whole;
}

#if TEXTURE_SIMD_SSE2
// v of two columns in the low two 32-bit lanes; the bits of those near the next whole number are
// added to *near (bit k for column x + k).
static inline __m128i plasma_pair(const double *sx, __m128d sy, int shift, int *near) {
    __m128d t = _mm_mul_pd(_mm_add_pd(_mm_loadu_pd(sx), sy), _mm_set1_pd(63.5));
    t = _mm_add_pd(t, _mm_set1_pd(127.0));
    __m128i v = _mm_cvttpd_epi32(t);
    __m128d fraction = _mm_sub_pd(t, _mm_cvtepi32_pd(v));
    *near |= _mm_movemask_pd(_mm_cmpgt_pd(fraction, _mm_set1_pd(1 - kPlasmaNear))) << shift;
    return v;
}
#endif

// The plasma's v of every pixel of a row; the columns near the next whole number are listed in
// `near`, their count returned.
static int plasma_row(const double *column_sine, double row_sine, int n, uint8_t *v, int32_t *near) {
    int x = 0, count = 0;
#if TEXTURE_SIMD_SSE2
    const __m128d sy = _mm_set1_pd(row_sine);
    for (; x + 16 <= n; x += 16) {
        const double *sx = column_sine + x;
        int bits = 0;
        __m128i q0 = _mm_unpacklo_epi64(plasma_pair(sx, sy, 0, &bits), plasma_pair(sx + 2, sy, 2, &bits));
        __m128i q1 = _mm_unpacklo_epi64(plasma_pair(sx + 4, sy, 4, &bits), plasma_pair(sx + 6, sy, 6, &bits));
        __m128i q2 =
            _mm_unpacklo_epi64(plasma_pair(sx + 8, sy, 8, &bits), plasma_pair(sx + 10, sy, 10, &bits));
        __m128i q3 =
            _mm_unpacklo_epi64(plasma_pair(sx + 12, sy, 12, &bits), plasma_pair(sx + 14, sy, 14, &bits));
        // Saturating packs: negative values become 0, the lower limit.
        __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q0, q1), _mm_packs_epi32(q2, q3));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(v + x), bytes);
        for (int k = 0; bits; k++, bits >>= 1)
            if (bits & 1) near[count++] = x + k;
    }
#endif
    for (; x < n; x++) {
        bool close;
        v[x] = static_cast<uint8_t>(plasma_value(column_sine[x], row_sine, &close));
        if (close) near[count++] = x;
    }
    return count;
}

static void generate_plasma(const float *p, uint8_t *image, int n) {
    float a = static_cast<float>(p[3] * 6.283185307179586 / n);
    float b = static_cast<float>(p[4] * 6.283185307179586 / n);
    ColourScale colour;
    colour_scale_make(p, &colour);
    size_t row = size_t(n) * 3;
    double *sine = static_cast<double *>(std::malloc(size_t(n) * 2 * sizeof(double)));
    uint8_t *v = static_cast<uint8_t *>(std::malloc(size_t(n) * 3));
    int32_t *order = static_cast<int32_t *>(std::malloc(size_t(n) * 2 * sizeof(int32_t)));
    if (sine && v && order) {
        int32_t *near = order + n;
        double *column_sine = sine, *row_sine = sine + n;
        for (int i = 0; i < n; i++) {
            // A NaN sine reads as far below the range, which the lower limit turns into v = 0.
            double sx = std::sin(static_cast<double>(static_cast<float>(i) * a));
            double sy = std::sin(static_cast<double>(static_cast<float>(i) * b));
            column_sine[i] = sx == sx ? sx : -1000.0;
            row_sine[i] = sy == sy ? sy : -1000.0;
            order[i] = i;
        }
        std::sort(order, order + n, [&](int32_t l, int32_t r) { return row_sine[l] < row_sine[r]; });
        // The v rows: this row's, the one before's, and that of the last row computed in full.
        uint8_t *current = v, *previous = v + n, *computed = v + 2 * n;
        double computed_sine = 0;
        int near_count = -1; // none computed yet
        for (int i = 0; i < n; i++) {
            int y = order[i];
            if (near_count >= 0 && 63.5 * (row_sine[y] - computed_sine) + 1e-12 < kPlasmaNear) {
                std::memcpy(current, computed, size_t(n));
                for (int k = 0; k < near_count; k++) {
                    bool close;
                    current[near[k]] =
                        static_cast<uint8_t>(plasma_value(column_sine[near[k]], row_sine[y], &close));
                }
            } else {
                near_count = plasma_row(column_sine, row_sine[y], n, computed, near);
                computed_sine = row_sine[y];
                std::memcpy(current, computed, size_t(n));
            }
            uint8_t *dst = image + size_t(y) * row;
            if (i > 0 && std::memcmp(current, previous, size_t(n)) == 0)
                std::memcpy(dst, image + size_t(order[i - 1]) * row, row);
            else
                colour_scale_row(colour, current, n, dst);
            std::swap(current, previous);
        }
    }
    std::free(sine);
    std::free(v);
    std::free(order);
}

// Radial colors: everything a pixel shows follows from its squared distance D to the centre.
struct Radial {
    double h;
    int32_t k;
    const float *p;
};

// One Radial colors pixel at squared distance D.
static uint32_t radial_pixel(const Radial &r, int32_t D) {
    const float *p = r.p;
    double d = std::sqrt(double(D));
    double f = d * p[6] - r.k;
    if (f < 0) f = 0;
    double a = r.h * (f / (r.h - r.k));
    double margin = 255, centre = 0;
    if (a <= 127) {
        margin = 2 * a;
        centre = 255 - 2 * a;
    }
    return generator_pixel(texture_byte(margin * p[3] + centre * p[0]),
                           texture_byte(margin * p[4] + centre * p[1]),
                           texture_byte(margin * p[5] + centre * p[2]));
}

// The pixels of `count` squared distances; two at a time in vector registers, with the very
// operations of radial_pixel (the 32-bit conversion gives texture_byte's 0 for values it cannot
// hold).
static void radial_pixels(const Radial &r, const int32_t *D, int32_t count, uint32_t *out) {
    int32_t i = 0;
#if TEXTURE_SIMD_SSE2
    const float *p = r.p;
    const __m128d zero = _mm_setzero_pd(), scale = _mm_set1_pd(p[6]), k = _mm_set1_pd(r.k);
    const __m128d h = _mm_set1_pd(r.h), hk = _mm_set1_pd(r.h - r.k), c127 = _mm_set1_pd(127);
    const __m128d c255 = _mm_set1_pd(255), two = _mm_set1_pd(2);
    const __m128d mc[3] = {_mm_set1_pd(p[3]), _mm_set1_pd(p[4]), _mm_set1_pd(p[5])};
    const __m128d cc[3] = {_mm_set1_pd(p[0]), _mm_set1_pd(p[1]), _mm_set1_pd(p[2])};
    const __m128i low8 = _mm_set1_epi32(255);
    for (; i + 2 <= count; i += 2) {
        __m128d d = _mm_sqrt_pd(_mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(D + i))));
        __m128d f = _mm_sub_pd(_mm_mul_pd(d, scale), k);
        f = _mm_andnot_pd(_mm_cmplt_pd(f, zero), f); // f < 0 becomes 0; NaN stays
        __m128d a = _mm_mul_pd(h, _mm_div_pd(f, hk));
        __m128d blend = _mm_cmple_pd(a, c127), a2 = _mm_mul_pd(two, a);
        __m128d margin = _mm_or_pd(_mm_and_pd(blend, a2), _mm_andnot_pd(blend, c255));
        __m128d centre = _mm_and_pd(blend, _mm_sub_pd(c255, a2));
        __m128i px = _mm_setzero_si128();
        for (int c = 0; c < 3; c++) {
            __m128i v = _mm_cvttpd_epi32(_mm_add_pd(_mm_mul_pd(margin, mc[c]), _mm_mul_pd(centre, cc[c])));
            px = _mm_or_si128(px, _mm_slli_epi32(_mm_and_si128(v, low8), 8 * c));
        }
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + i), px);
    }
#endif
    for (; i < count; i++)
        out[i] = radial_pixel(r, D[i]);
}

// The largest squared distance 0..limit for which `below` holds, given that it holds at 0 and,
// once false, stays false for every larger distance.
template <typename Below> static int32_t radial_last(int32_t limit, Below below) {
    int32_t lo = 0, hi = limit;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo + 1) / 2;
        if (below(mid))
            lo = mid;
        else
            hi = mid - 1;
    }
    return lo;
}

// floor(sqrt(m)) of a whole number m >= 0, exactly.
static int32_t radial_root(int32_t m) {
    int32_t r = static_cast<int32_t>(std::sqrt(double(m)));
    while (r * r > m)
        r--;
    while ((r + 1) * (r + 1) <= m)
        r++;
    return r;
}

// With a positive finite scale the blend grows with the distance: up to some D it is the centre
// colour (f <= 0), beyond another the saturated margin colour (a > 127), and only the ring between
// needs pixels of its own. Each D of the ring that occurs is computed once into a table; rows are
// runs of the two flat colours around ring pixels read from the table, and the lower half of the
// image mirrors the upper half.
static void generate_radial(const float *p, uint8_t *image, int n) {
    if (n <= 0) return;
    Radial r = {double(n / 2), maths::convert_clamped(p[7], 0, 127), p};
    int32_t hc = n / 2, reach = hc > n - 1 - hc ? hc : n - 1 - hc, limit = 2 * reach * reach;
    int32_t flat_centre = -1, flat_margin = limit;
    double scale = p[6];
    // With k >= h the blend's divisor is zero or negative and it no longer grows with D: no shortcut.
    if (scale > 0 && std::isfinite(scale) && r.h > r.k) {
        flat_centre = radial_last(limit, [&](int32_t D) { return std::sqrt(double(D)) * scale - r.k <= 0; });
        flat_margin = radial_last(limit, [&](int32_t D) {
            double f = std::sqrt(double(D)) * scale - r.k;
            if (f < 0) f = 0;
            return r.h * (f / (r.h - r.k)) <= 127;
        });
    }
    uint32_t centre_px = radial_pixel(r, 0),
             margin_px = radial_pixel(r, flat_margin < limit ? flat_margin + 1 : 0);
    int32_t base = flat_centre + 1, ring = flat_margin - flat_centre; // the ring is base .. base + ring - 1
    size_t row = size_t(n) * 3;
    int32_t *square = static_cast<int32_t *>(std::malloc(size_t(n) * sizeof(int32_t)));
    uint8_t *seen = static_cast<uint8_t *>(std::calloc(size_t(ring) + 1, 1));
    int32_t *todo = static_cast<int32_t *>(std::malloc((size_t(ring) + 1) * sizeof(int32_t)));
    uint32_t *table = static_cast<uint32_t *>(std::malloc((size_t(ring) + 1) * 2 * sizeof(uint32_t)));
    uint8_t *flat = static_cast<uint8_t *>(std::malloc(row * 2)); // a row of each flat colour
    if (square && seen && todo && table && flat) {
        for (int c = 0; c < n; c++)
            square[c] = (hc - c) * (hc - c);
        // Every D of the image is dx^2 + dy^2 with 0 <= dy <= dx <= reach; those of the ring have
        // base <= D <= flat_margin.
        int32_t count = 0;
        for (int32_t dy = 0; dy <= reach && dy * dy * 2 <= flat_margin; dy++) {
            int32_t from = base - dy * dy > 0 ? radial_root(base - dy * dy - 1) + 1 : 0;
            int32_t to = radial_root(flat_margin - dy * dy);
            for (int32_t dx = from > dy ? from : dy; dx <= to && dx <= reach; dx++) {
                int32_t D = dx * dx + dy * dy;
                if (!seen[D - base]) {
                    seen[D - base] = 1;
                    todo[count++] = D;
                }
            }
        }
        uint32_t *computed = table + ring + 1;
        radial_pixels(r, todo, count, computed);
        for (int32_t i = 0; i < count; i++)
            table[todo[i] - base] = computed[i];
        generator_fill_row(centre_px, n, flat);
        generator_fill_row(margin_px, n, flat + row);
        for (int y = 0; y < n; y++) {
            uint8_t *dst = image + size_t(y) * row;
            int mirror = 2 * hc - y;
            if (mirror >= 0 && mirror < y) {
                std::memcpy(dst, image + size_t(mirror) * row, row);
                continue;
            }
            // Columns hc - outer .. hc + outer are inside the margin radius, hc - inner .. hc + inner
            // inside the centre radius (-1: none).
            int32_t outer = flat_margin - square[y] >= 0 ? radial_root(flat_margin - square[y]) : -1;
            int32_t inner = flat_centre - square[y] >= 0 ? radial_root(flat_centre - square[y]) : -1;
            int32_t bounds[4] = {hc - outer, hc - inner, hc + inner + 1, hc + outer + 1};
            if (inner < 0) bounds[1] = bounds[2] = hc;
            if (outer < 0) bounds[0] = bounds[3] = hc;
            for (int32_t &b : bounds)
                b = b < 0 ? 0 : b > n ? n : b;
            std::memcpy(dst, flat + row, size_t(bounds[0]) * 3);
            const int32_t *column = square;
            int32_t offset = square[y] - base;
            for (int32_t side = 0; side < 2; side++) {
                int32_t from = side ? bounds[2] : bounds[0], to = side ? bounds[3] : bounds[1];
                generator_row_from_table(table, to - from, dst + size_t(from) * 3,
                                         [column, offset, from](int x) { return column[from + x] + offset; });
            }
            std::memcpy(dst + size_t(bounds[1]) * 3, flat, size_t(bounds[2] - bounds[1]) * 3);
            std::memcpy(dst + size_t(bounds[3]) * 3, flat + row, size_t(n - bounds[3]) * 3);
        }
    }
    std::free(square);
    std::free(seen);
    std::free(todo);
    std::free(table);
    std::free(flat);
}

// How each maze pattern reads its tile: which of T0..T3 (-1: a flat cell), whether tile rows or
// columns run backwards, and whether the cell's rows are the tile's columns.
struct MazePatternRead {
    int8_t tile;
    bool flip_rows, flip_columns, transposed;
};
static constexpr MazePatternRead kMazePatterns[16] = {
    {-1, false, false, false}, // 0: black
    {0, true, true, false},    // 1: T0(n1 - R, n1 - C)
    {0, true, false, false},   // 2: T0(n1 - R, C)
    {1, false, false, false},  // 3: T1(R, C)
    {0, false, true, false},   // 4: T0(R, n1 - C)
    {1, false, false, true},   // 5: T1(C, R)
    {2, false, false, false},  // 6: T2(R, C)
    {3, false, false, false},  // 7: T3(R, C)
    {0, false, false, false},  // 8: T0(R, C)
    {2, false, true, false},   // 9: T2(R, n1 - C)
    {1, false, true, true},    // 10: T1(n1 - C, R)
    {3, false, true, false},   // 11: T3(R, n1 - C)
    {1, true, false, false},   // 12: T1(n1 - R, C)
    {3, true, false, false},   // 13: T3(n1 - R, C)
    {3, true, true, false},    // 14: T3(n1 - R, n1 - C)
    {-1, false, false, false}, // 15: full colour
};
static_assert(sizeof(kMazePatterns) / sizeof(kMazePatterns[0]) == 16, "one read per corner pattern");

// The cell image of one pattern: tile x tile pixels, from the pixel table of the 256 tile values.
static void maze_cell_draw(int pattern, int size, int tile, const ColourScale &colour, uint8_t *index,
                           uint8_t *cell) {
    MazePatternRead read = kMazePatterns[pattern];
    const uint8_t *t = read.tile >= 0 ? maze_tile(size, read.tile) : nullptr;
    int n1 = tile - 1;
    for (int R = 0; R < tile; R++) {
        for (int C = 0; C < tile; C++) {
            if (!t) {
                index[C] = pattern == 15 ? 255 : 0;
                continue;
            }
            int r = read.flip_rows ? n1 - R : R, c = read.flip_columns ? n1 - C : C;
            index[C] = read.transposed ? t[c * tile + r] : t[r * tile + c];
        }
        colour_scale_row(colour, index, tile, cell + size_t(R) * tile * 3);
    }
}

static void generate_maze(const float *p, uint8_t *image, int n) {
    int s = maths::convert_clamped(std::nearbyint(static_cast<double>(p[3])), 1, 7);
    int tile = 1 << s;
    int g = n / tile;
    // Fullness limited to 0..1; NaN counts as 0 (no corner set).
    double fullness = p[5] > 1 ? 1 : p[5] > 0 ? p[5] : 0;
    TextureRandom random = texture_random_seed(p[4]);
    int side = g + 1;
    size_t cell_bytes = size_t(tile) * tile * 3 + 8; // 8 spare bytes for whole-word copies
    uint8_t *grid = static_cast<uint8_t *>(std::malloc(size_t(side) * side));
    uint8_t *cells[16] = {}; // each pattern's cell image, made when first used
    uint8_t *patterns = static_cast<uint8_t *>(std::malloc(size_t(side)));
    uint8_t *index = static_cast<uint8_t *>(std::malloc(size_t(tile)));
    bool ok = grid && patterns && index;
    if (ok) {
        for (int i = 0; i < side * side; i++) {
            double u = texture_random_next(&random) + 2 * fullness - 1;
            u = u < 0 ? 0 : u > 1 ? 1 : u;
            grid[i] = static_cast<uint8_t>(maths::convert_clamped(std::nearbyint(u), 0, 1));
        }
        // Make it tile: the last column and row repeat the first ones.
        grid[side * side - 1] = grid[0];
        for (int i = 0; i <= g; i++) {
            grid[i * side + g] = grid[i * side];
            grid[g * side + i] = grid[i];
        }
        // Tile value t gives trunc(t * colour) (255 is the full colour).
        ColourScale colour;
        colour_scale_make(p, &colour);
        size_t width = size_t(tile) * 3;
        for (int ci = 0; ci < g && ok; ci++) {
            for (int cj = 0; cj < g; cj++) {
                int a = grid[ci * side + cj], b = grid[ci * side + cj + 1];
                int c = grid[(ci + 1) * side + cj], d = grid[(ci + 1) * side + cj + 1];
                int pattern = 8 * a + 4 * b + 2 * c + d;
                patterns[cj] = static_cast<uint8_t>(pattern);
                if (!cells[pattern]) {
                    cells[pattern] = static_cast<uint8_t *>(std::calloc(cell_bytes, 1));
                    ok = cells[pattern] != nullptr;
                    if (!ok) break;
                    maze_cell_draw(pattern, s, tile, colour, index, cells[pattern]);
                }
            }
            for (int R = 0; R < tile && ok; R++) {
                uint8_t *dst = image + (size_t(ci) * tile + R) * size_t(n) * 3;
                for (int cj = 0; cj < g; cj++) {
                    const uint8_t *src = cells[patterns[cj]] + size_t(R) * width;
                    uint8_t *to = dst + size_t(cj) * width;
                    if (width >= 48 || cj == g - 1) {
                        std::memcpy(to, src, width);
                    } else {
                        // Narrow cells: whole 8-byte words; the overshoot lands in the next cell,
                        // which is written after.
                        for (size_t w = 0; w < width; w += 8)
                            std::memcpy(to + w, src + w, 8);
                    }
                }
            }
        }
    }
    std::free(grid);
    for (uint8_t *cell : cells)
        std::free(cell);
    std::free(patterns);
    std::free(index);
}

// t reduced by whole steps of `step` while it is above it. Steps below one unit would take
// millions of rounds, so they are reduced in one go; a step that is not positive never reduces.
static double bricks_reduce(double t, double step, int *count) {
    *count = 0;
    if (!(step > 0) || !std::isfinite(step)) return t;
    if (step < 1.0) {
        double q = std::ceil(t / step) - 1;
        if (q > 0) {
            *count = static_cast<int>(std::fmod(q, 2.0)); // only its parity is used
            t -= q * step;
        }
        return t;
    }
    while (t > step) {
        t -= step;
        (*count)++;
    }
    return t;
}

static void generate_bricks(const float *p, uint8_t *image, int n) {
    double brick[3], wall[3];
    for (int i = 0; i < 3; i++) {
        brick[i] = p[i] * 255.0;
        wall[i] = p[3 + i] * 255.0;
    }
    int32_t h = maths::convert_to_i32(p[6]), v = maths::convert_to_i32(p[7]);
    int32_t hm = maths::convert_to_i32(p[8]), vm = maths::convert_to_i32(p[9]);
    // Floats, as a division by zero gives an infinite brick with no joints in that direction.
    float bh = static_cast<float>(n) / static_cast<float>(h);
    float bw = static_cast<float>(n) / static_cast<float>(v);
    // The offset modulo n exactly, whatever its size; NaN and infinities give 0.
    int32_t o =
        std::isfinite(p[10]) ? maths::convert_to_i32(std::fmod(std::trunc(double(p[10])), double(n))) : 0;
    if (o < 0) o += n;

    uint8_t *rows = static_cast<uint8_t *>(std::malloc(size_t(n) * 3 * 3));
    if (!rows) return;
    uint8_t *wall_row = rows, *brick_row = rows + n * 3, *offset_row = rows + n * 6;
    for (int x = 0; x < n; x++) {
        int steps;
        double t = bricks_reduce(x, bw, &steps);
        bool joint = t < vm || bw - t < vm;
        for (int i = 0; i < 3; i++) {
            wall_row[x * 3 + i] = texture_byte(wall[i]);
            brick_row[x * 3 + i] = texture_byte(joint ? wall[i] : brick[i]);
        }
    }
    for (int x = 0; x < n; x++)
        std::memcpy(offset_row + x * 3, brick_row + ((x + o) % n) * 3, 3);
    for (int y = 0; y < n; y++) {
        int count;
        double t = bricks_reduce(y, bh, &count);
        const uint8_t *row = (t < hm || bh - t < hm) ? wall_row : count % 2 == 0 ? brick_row : offset_row;
        std::memcpy(image + size_t(y) * n * 3, row, size_t(n) * 3);
    }
    std::free(rows);
}

// The generator's state after k steps from s is s * A^k + C * (A^(k-1) + ... + 1): eight interleaved
// sequences, each eight steps apart, give the same numbers without one long chain of multiplies.
static constexpr uint32_t kRandomA = 1103515245u, kRandomC = 12345u;
static constexpr uint32_t kRandomA2 = kRandomA * kRandomA, kRandomC2 = kRandomC * (kRandomA + 1u);
static constexpr uint32_t kRandomA4 = kRandomA2 * kRandomA2, kRandomC4 = kRandomC2 * (kRandomA2 + 1u);
static constexpr uint32_t kRandomA8 = kRandomA4 * kRandomA4, kRandomC8 = kRandomC4 * (kRandomA4 + 1u);
constexpr int kNoiseStreams = 8;

#if TEXTURE_SIMD_SSE2
// Four states advanced by eight steps (a 32-bit multiply is two 64-bit ones, lanes 0, 2 and 1, 3).
static inline __m128i noise_advance(__m128i s) {
    const __m128i a8 = _mm_set1_epi32(static_cast<int>(kRandomA8)),
                  c8 = _mm_set1_epi32(static_cast<int>(kRandomC8));
    __m128i even = _mm_mul_epu32(s, a8), odd = _mm_mul_epu32(_mm_srli_epi64(s, 32), a8);
    return _mm_add_epi32(_mm_unpacklo_epi32(_mm_shuffle_epi32(even, 0x08), _mm_shuffle_epi32(odd, 0x08)), c8);
}

// trunc(r * scale) of four values r (two vectors of two), in 32-bit lanes.
static inline __m128i noise_channel(__m128d r01, __m128d r23, __m128d scale) {
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(_mm_mul_pd(r01, scale)),
                              _mm_cvttpd_epi32(_mm_mul_pd(r23, scale)));
}

// The four pixels of four states, written as 12 bytes at dst (and 4 more that later pixels
// overwrite). The 32-bit conversion gives texture_byte's 0 for the values it cannot hold.
static inline void noise_put4(__m128i s, const __m128d sc[3], uint8_t *dst) {
    const __m128i bits = _mm_set1_epi32(0x7FFF), low8 = _mm_set1_epi32(255);
    __m128i r = _mm_and_si128(_mm_srli_epi32(s, 16), bits);
    __m128d r01 = _mm_cvtepi32_pd(r), r23 = _mm_cvtepi32_pd(_mm_shuffle_epi32(r, 0xEE));
    __m128i red = noise_channel(r01, r23, sc[0]), green = noise_channel(r01, r23, sc[1]);
    __m128i blue = noise_channel(r01, r23, sc[2]);
    __m128i px = _mm_or_si128(_mm_and_si128(red, low8), _mm_slli_epi32(_mm_and_si128(green, low8), 8));
    px = _mm_or_si128(px, _mm_slli_epi32(_mm_and_si128(blue, low8), 16));
    texture_simd_store_rgb4(px, dst);
}
#endif

// The noise pixels from the interleaved states (pixel i takes state i mod 8), the channel of value
// r being texture_byte(r * scale[c]).
static void noise_pixels(uint32_t state[kNoiseStreams], const double scale[3], size_t pixels,
                         uint8_t *image) {
    size_t i = 0;
#if TEXTURE_SIMD_SSE2
    __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(state));
    __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(state + 4));
    const __m128d sc[3] = {_mm_set1_pd(scale[0]), _mm_set1_pd(scale[1]), _mm_set1_pd(scale[2])};
    // Eight pixels a round while at least two more follow to take the last group's spare bytes.
    for (; i + 10 <= pixels; i += 8) {
        noise_put4(s0, sc, image + i * 3);
        noise_put4(s1, sc, image + i * 3 + 12);
        s0 = noise_advance(s0);
        s1 = noise_advance(s1);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state), s0);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(state + 4), s1);
#endif
    for (; i < pixels; i++) {
        uint32_t &st = state[i % kNoiseStreams];
        double r = static_cast<double>((st >> 16) & 0x7FFF);
        st = st * kRandomA8 + kRandomC8;
        uint32_t px = generator_pixel(texture_byte(r * scale[0]), texture_byte(r * scale[1]),
                                      texture_byte(r * scale[2]));
        std::memcpy(image + i * 3, &px, 3);
    }
}

static void generate_noise(const float *p, uint8_t *image, int n) {
    TextureRandom random = texture_random_seed(p[3]);
    // u = r / 32768 exactly, so u * p * 255 = r * (p * 255 / 32768), every step exact in a double.
    double scale[3];
    for (int i = 0; i < 3; i++)
        scale[i] = p[i] * 255.0 / 32768.0;
    uint32_t state[kNoiseStreams];
    for (int j = 0; j < kNoiseStreams; j++) {
        texture_random_next(&random);
        state[j] = random.state;
    }
    noise_pixels(state, scale, size_t(n) * n, image);
}

void texture_generate(int32_t kind, const float params[kLayerParameters], uint8_t *image, int n) {
    switch (kind) {
    case GENERATOR_COLOR: generate_color(params, image, n); break;
    case GENERATOR_PLASMA: generate_plasma(params, image, n); break;
    case GENERATOR_RADIAL: generate_radial(params, image, n); break;
    case GENERATOR_MAZE: generate_maze(params, image, n); break;
    case GENERATOR_BRICKS: generate_bricks(params, image, n); break;
    case GENERATOR_NOISE: generate_noise(params, image, n); break;
    default: break;
    }
}

} // namespace textures
