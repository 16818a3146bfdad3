#include "textures/texture_filters.h"

#include "geometry/cosine_table.h"
#include "textures/texture_generators.h"

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
static_assert(sizeof(kFilterDescriptors) / sizeof(kFilterDescriptors[0]) == kFilterCount, "one row per operation");

int texture_filter_row(uint8_t type) {
    if (type >= 101 && type <= 104) return type - 101;
    if (type >= 201 && type <= 210) return type - 201 + 4;
    return -1;
}

// trunc() to an integer wide enough for any product of bytes and float scales.
static int64_t trunc_wide(double v) {
    if (!(v > -9.0e18 && v < 9.0e18)) return v > 0 ? INT64_MAX : INT64_MIN;
    return static_cast<int64_t>(v);
}

// Both limits applied.
static uint8_t clamped(double v) {
    int64_t t = trunc_wide(v);
    return static_cast<uint8_t>(t < 0 ? 0 : t > 255 ? 255 : t);
}

// Only the upper limit: a negative result keeps its low 8 bits.
static uint8_t upper_limited(int64_t t) { return t > 255 ? 255 : static_cast<uint8_t>(t & 0xFF); }

// Maximum or Minimum: the larger (or smaller) of trunc(x * sx) and trunc(y * sy), upper limit only.
static void extreme_bytes(const uint8_t *x, double sx, const uint8_t *y, double sy, size_t bytes, uint8_t *dst,
                          bool maximum) {
    for (size_t i = 0; i < bytes; i++) {
        int64_t u = trunc_wide(x[i] * sx), v = trunc_wide(y[i] * sy);
        dst[i] = upper_limited(maximum ? (u > v ? u : v) : (u < v ? u : v));
    }
}

static int wrap(int64_t v, int n) {
    int64_t r = v % n;
    return static_cast<int>(r < 0 ? r + n : r);
}

static void offset(const uint8_t *a, const float *p, int n, uint8_t *out) {
    // Offsets of any size wrap, negative ones included.
    int x_off = wrap(trunc_wide(p[0]), n), y_off = wrap(trunc_wide(p[1]), n);
    for (int y = 0; y < n; y++)
        for (int x = 0; x < n; x++)
            std::memcpy(out + (size_t(y) * n + x) * 3, a + (size_t((y + x_off) % n) * n + (x + y_off) % n) * 3, 3);
}

static void ripple(const uint8_t *a, const float *p, int n, uint8_t *out) {
    double ax = p[0], ay = p[1];
    double wx = std::fabs(std::trunc(double(p[2]))), wy = std::fabs(std::trunc(double(p[3])));
    double inverse_n = 1.0 / n;
    for (int y = 0; y < n; y++) {
        double cy = geometry::cosine_step(trunc_wide(wy * 4096 * inverse_n * y));
        for (int x = 0; x < n; x++) {
            double cx = geometry::cosine_step(trunc_wide(x * wx * 4096 * inverse_n));
            double u = ax * n * cy + x, v = ay * n * cx + y;
            double fu = std::floor(u), fv = std::floor(v);
            if (!std::isfinite(fu)) fu = 0, u = 0;
            if (!std::isfinite(fv)) fv = 0, v = 0;
            double fx = u - fu, fy = v - fv;
            int i = wrap(trunc_wide(fu), n), j = wrap(trunc_wide(fv), n);
            int i1 = (i + 1) % n, j1 = (j + 1) % n;
            double d00 = std::sqrt(fx * fx + fy * fy);
            double d10 = std::sqrt((1 - fx) * (1 - fx) + fy * fy);
            double d01 = std::sqrt(fx * fx + (1 - fy) * (1 - fy));
            double d11 = std::sqrt((1 - fx) * (1 - fx) + (1 - fy) * (1 - fy));
            double sum = d00 + d10 + d01 + d11;
            const uint8_t *p00 = a + (size_t(j) * n + i) * 3, *p10 = a + (size_t(j) * n + i1) * 3;
            const uint8_t *p01 = a + (size_t(j1) * n + i) * 3, *p11 = a + (size_t(j1) * n + i1) * 3;
            for (int c = 0; c < 3; c++)
                out[(size_t(y) * n + x) * 3 + c] =
                    texture_byte((p00[c] * d00 + p10[c] * d10 + p01[c] * d01 + p11[c] * d11) / sum);
        }
    }
}

// The three columns (or rows) around each position, wrapping at the edges.
static void neighbours(int v, int n, int out[3]) {
    out[0] = (v + n - 1) % n;
    out[1] = v;
    out[2] = (v + 1) % n;
}

// Sums the 3 x 3 neighbourhood of every byte with weights (row y-1, y, y+1; columns x-1, x, x+1).
template <typename Store>
static void convolve(const uint8_t *a, int n, const int weights[3][3], uint8_t *out, Store store) {
    for (int y = 0; y < n; y++) {
        int rows[3];
        neighbours(y, n, rows);
        for (int x = 0; x < n; x++) {
            int cols[3];
            neighbours(x, n, cols);
            for (int c = 0; c < 3; c++) {
                int sum = 0;
                for (int r = 0; r < 3; r++) {
                    const uint8_t *row = a + size_t(rows[r]) * n * 3 + c;
                    sum += weights[r][0] * row[cols[0] * 3] + weights[r][1] * row[cols[1] * 3] +
                           weights[r][2] * row[cols[2] * 3];
                }
                out[(size_t(y) * n + x) * 3 + c] = store(sum);
            }
        }
    }
}

static void blur(const uint8_t *a, int n, uint8_t *out) {
    static const int ones[3][3] = {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}};
    convolve(a, n, ones, out, [](int sum) { return texture_byte(sum * 0.111111111); });
}

static const int kEmboss[4][3][3] = {
    {{-2, -1, 0}, {-1, 1, 1}, {0, 1, 2}},
    {{0, -1, -2}, {1, 1, -1}, {2, 1, 0}},
    {{2, 1, 0}, {1, 1, -1}, {0, -1, -2}},
    {{0, 1, 2}, {-1, 1, 1}, {-2, -1, 0}},
};

static void emboss(const uint8_t *a, const float *p, int n, uint8_t *out) {
    int64_t d = trunc_wide(p[0]);
    d = d < 1 ? 1 : d > 4 ? 4 : d;
    convolve(a, n, kEmboss[d - 1], out,
             [](int sum) { return static_cast<uint8_t>(sum < 0 ? 0 : sum > 255 ? 255 : sum); });
}

void texture_filter_apply(uint8_t type, const uint8_t *a, const uint8_t *b, const uint8_t *l, const float *p, int n,
                          uint8_t *dst) {
    size_t bytes = size_t(n) * n * 3;
    double p0 = p[0], p1 = p[1];
    switch (type) {
    case 101:
        for (size_t i = 0; i < bytes; i++) dst[i] = clamped(a[i] * p0 + l[i] * p1);
        return;
    case 102:
        for (size_t i = 0; i < bytes; i++) dst[i] = upper_limited(trunc_wide(double(l[i]) * a[i] * p0));
        return;
    case 103:
        extreme_bytes(a, p0, l, p1, bytes, dst, true);
        return;
    case 104:
        extreme_bytes(a, p0, l, p1, bytes, dst, false);
        return;
    case 201:
        for (size_t i = 0; i < bytes; i++) dst[i] = static_cast<uint8_t>(255 - a[i]);
        return;
    case 202:
        for (size_t i = 0; i < bytes; i++) dst[i] = upper_limited(trunc_wide(a[i] * p0));
        return;
    case 207:
        for (size_t i = 0; i < bytes; i++) dst[i] = clamped(a[i] * p0 + b[i] * p1);
        return;
    case 208:
        for (size_t i = 0; i < bytes; i++) dst[i] = clamped(double(a[i]) * b[i] * p0);
        return;
    case 209:
        extreme_bytes(a, p0, b, p1, bytes, dst, true);
        return;
    case 210:
        extreme_bytes(a, p0, b, p1, bytes, dst, false);
        return;
    case 203:
    case 204:
    case 205:
    case 206: {
        // These read neighbouring pixels: compute aside, then copy.
        uint8_t *temp = static_cast<uint8_t *>(std::malloc(bytes));
        if (!temp) return;
        if (type == 203) offset(a, p, n, temp);
        if (type == 204) ripple(a, p, n, temp);
        if (type == 205) blur(a, n, temp);
        if (type == 206) emboss(a, p, n, temp);
        std::memcpy(dst, temp, bytes);
        std::free(temp);
        return;
    }
    default: return;
    }
}

} // namespace textures
