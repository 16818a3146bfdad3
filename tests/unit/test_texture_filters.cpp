#include "maths/cosine_table.h"
#include "textures/texture_filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace textures;

namespace {

constexpr int N = 256;
using Image = std::vector<uint8_t>;

Image constant(uint8_t v) {
    return Image(N * N * 3, v);
}

// A pattern whose every byte differs from its neighbours.
Image pattern() {
    Image img(N * N * 3);
    for (size_t i = 0; i < img.size(); i++)
        img[i] = static_cast<uint8_t>((i * 37 + i / 768 * 11) & 0xFF);
    return img;
}

Image apply(uint8_t type, const Image &a, const Image &b, const Image &l,
            std::initializer_list<float> params) {
    float p[9] = {};
    int i = 0;
    for (float v : params)
        p[i++] = v;
    Image out(N * N * 3, 0x5A);
    texture_filter_apply(type, a.data(), b.data(), l.data(), p, N, out.data());
    return out;
}

const uint8_t *px(const Image &img, int x, int y) {
    return &img[(size_t(y) * N + x) * 3];
}

TEST(Filters, DescriptorRowsFollowTheTypes) {
    EXPECT_EQ(texture_filter_row(101), 0);
    EXPECT_EQ(texture_filter_row(104), 3);
    EXPECT_EQ(texture_filter_row(201), 4);
    EXPECT_EQ(texture_filter_row(210), 13);
    EXPECT_EQ(texture_filter_row(105), -1);
    EXPECT_EQ(texture_filter_row(255), -1);
    EXPECT_STREQ(kFilterDescriptors[texture_filter_row(207)].name, "Add 2");
    EXPECT_EQ(kFilterDescriptors[texture_filter_row(204)].parameter_count, 4);
}

TEST(Filters, PerByteArithmeticAndItsLimits) {
    Image zero = constant(0), ten = constant(10), p = pattern();
    struct Case {
        const char *what;
        uint8_t type;
        Image a, b, l;
        std::vector<float> params;
        uint8_t expected; // every byte
    } cases[] = {
        {"invert of nothing", 201, zero, zero, zero, {}, 255},
        {"add 2 clamps at 0", 207, ten, ten, zero, {-1, -1}, 0},
        {"add 2 clamps at 255", 207, constant(200), constant(200), zero, {1, 1}, 255},
        {"mul 2 clamps at 0", 208, ten, ten, zero, {-1}, 0},
        {"mul 2 of bytes, scaled", 208, ten, constant(20), zero, {0.5f}, 100},
        {"max 2 with negative scales keeps the low 8 bits", 209, ten, ten, zero, {-1, -1}, 246},
        {"min 2 upper limit", 210, constant(200), constant(250), zero, {2, 2}, 255},
        {"multiply upper limit", 202, constant(200), zero, zero, {2}, 255},
        {"multiply negative wraps", 202, ten, zero, zero, {-0.5f}, 251},
        {"layer add", 101, ten, zero, constant(20), {2, 0.5f}, 30},
        {"layer multiply", 102, ten, zero, constant(3), {2}, 60},
        {"layer maximum", 103, ten, zero, constant(3), {2, 10}, 30},
        {"layer minimum", 104, ten, zero, constant(3), {2, 10}, 20},
    };
    for (const Case &c : cases) {
        float params[9] = {};
        for (size_t i = 0; i < c.params.size(); i++)
            params[i] = c.params[i];
        Image out(N * N * 3, 0x5A);
        texture_filter_apply(c.type, c.a.data(), c.b.data(), c.l.data(), params, N, out.data());
        EXPECT_EQ(out, constant(c.expected)) << c.what;
    }
    // Add 2 of halves returns the image: 0.5a + 0.5a truncates to a.
    EXPECT_EQ(apply(207, p, p, zero, {0.5f, 0.5f}), p);
    // A layer add with the first input absent and scales 0, 1 is the layer itself.
    EXPECT_EQ(apply(101, zero, zero, p, {0, 1}), p);
    // A type without an operation leaves the destination alone.
    EXPECT_EQ(apply(150, p, p, p, {1, 1}), constant(0x5A));
}

TEST(Filters, OffsetMovesWholePixelsAndWraps) {
    Image p = pattern();
    Image up = apply(203, p, p, p, {-1, 0});
    for (int x : {0, 7, 255}) {
        EXPECT_EQ(std::memcmp(px(up, x, 0), px(p, x, 255), 3), 0) << "row 0 takes row 255";
        EXPECT_EQ(std::memcmp(px(up, x, 10), px(p, x, 9), 3), 0) << "row 10 takes row 9";
    }
    EXPECT_EQ(apply(203, p, p, p, {256, 0}), p);
    EXPECT_EQ(apply(203, p, p, p, {0, 256}), p);
    // Negative offsets of any size wrap properly.
    EXPECT_EQ(apply(203, p, p, p, {-257, 0}), up);
    EXPECT_EQ(apply(203, p, p, p, {-1000, -3}), apply(203, p, p, p, {24, 253}));
    // The second parameter shifts columns: pixel (x, y) comes from column x + 5.
    Image right = apply(203, p, p, p, {0, 5});
    EXPECT_EQ(std::memcmp(px(right, 3, 4), px(p, 8, 4), 3), 0);
    EXPECT_EQ(std::memcmp(px(right, 253, 4), px(p, 2, 4), 3), 0);
}

TEST(Filters, BlurEmbossAndRippleByHand) {
    // Blur of a constant: 9 x 0.111111111 is just below 1.
    EXPECT_EQ(apply(205, constant(255), constant(0), constant(0), {}), constant(254));
    EXPECT_EQ(apply(205, constant(1), constant(0), constant(0), {}), constant(0));
    // Emboss of a constant returns it, in every direction (and out-of-range ones clamp to 1..4).
    for (float d : {1.0f, 2.0f, 3.0f, 4.0f, 0.0f, 9.0f})
        EXPECT_EQ(apply(206, constant(77), constant(0), constant(0), {d}), constant(77)) << d;

    Image p = pattern();
    // Blur at one pixel: the wrapped 3 x 3 neighbourhood of (0, 0).
    Image blurred = apply(205, p, p, p, {});
    int sum = 0;
    for (int dy : {255, 0, 1})
        for (int dx : {255, 0, 1})
            sum += px(p, dx, dy)[1];
    EXPECT_EQ(px(blurred, 0, 0)[1], static_cast<uint8_t>(sum * 0.111111111));
    // Emboss direction 1 at (5, 5): weights -2 -1 0 / -1 1 1 / 0 1 2.
    Image embossed = apply(206, p, p, p, {1});
    int w[3][3] = {{-2, -1, 0}, {-1, 1, 1}, {0, 1, 2}}, e = 0;
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
            e += w[dy + 1][dx + 1] * px(p, 5 + dx, 5 + dy)[2];
    EXPECT_EQ(px(embossed, 5, 5)[2], e < 0 ? 0 : e > 255 ? 255 : e);

    // Ripple with both amplitudes 0: the weighted right, lower and lower-right neighbours.
    Image rippled = apply(204, p, p, p, {0, 0, 3, 5});
    for (int y : {0, 100, 255})
        for (int x : {0, 31, 255})
            for (int c = 0; c < 3; c++) {
                double expected = (px(p, (x + 1) % N, y)[c] + px(p, x, (y + 1) % N)[c] +
                                   1.4142135623730951 * px(p, (x + 1) % N, (y + 1) % N)[c]) /
                                  3.414213562373095;
                EXPECT_EQ(px(rippled, x, y)[c], static_cast<uint8_t>(expected)) << x << "," << y;
            }
}

// The formulas of the per-byte operations, evaluated directly in doubles: trunc() wide enough for
// any product (NaN the lowest value, beyond 9e18 the end of its side), then both limits or only
// the upper one (a negative result keeping its low 8 bits).
int64_t formula_trunc(double v) {
    if (!(v > -9.0e18 && v < 9.0e18)) return v > 0 ? INT64_MAX : INT64_MIN;
    return static_cast<int64_t>(v);
}
uint8_t formula_clamped(int64_t t) {
    return static_cast<uint8_t>(t < 0 ? 0 : t > 255 ? 255 : t);
}
uint8_t formula_upper(int64_t t) {
    return t > 255 ? 255 : static_cast<uint8_t>(t & 0xFF);
}

uint8_t per_byte_formula(uint8_t type, uint8_t x, uint8_t y, double p0, double p1) {
    switch (type) {
    case 101:
    case 207: return formula_clamped(formula_trunc(x * p0 + y * p1));
    case 102: return formula_upper(formula_trunc(double(y) * x * p0));
    case 103:
    case 209: return formula_upper(std::max(formula_trunc(y * p1), formula_trunc(x * p0)));
    case 104:
    case 210: return formula_upper(std::min(formula_trunc(x * p0), formula_trunc(y * p1)));
    case 202: return formula_upper(formula_trunc(x * p0));
    case 208: return formula_clamped(formula_trunc(double(x) * y * p0));
    default: return 0;
    }
}

TEST(Filters, PerByteOperationsFollowTheirFormulaForEveryBytePair) {
    // 149 x 149 pixels hold every pair (x, y) of input bytes once, and leave a tail of bytes
    // outside whole 16-byte blocks. The scales reach each exact fixed-point form (short and long
    // mantissas, below and above 1/2, 1 and 256, tiny, negative) and the plain double fallbacks.
    const int n = 149;
    const size_t bytes = size_t(n) * n * 3;
    Image x(bytes), y(bytes), out(bytes);
    for (size_t i = 0; i < bytes; i++) {
        x[i] = static_cast<uint8_t>(i & 0xFF);
        y[i] = static_cast<uint8_t>((i >> 8) & 0xFF);
    }
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float scales[] = {0,       -0.0f,  0.5f,   0.6f,  1.0f / 255, 0.7f,  0.999999f, 1.3f,
                            3.7f,    100.3f, 255.9f, 256,   300.5f,     -0.6f, -2.5f,     -128.7f,
                            -200.3f, 1e-5f,  1e-30f, 1e10f, -1e10f,     inf,   -inf,      nan};
    const float seconds[] = {0.7f, -1, 0.01f, nan};
    for (uint8_t type : {101, 102, 103, 104, 202, 207, 208, 209, 210})
        for (float p0 : scales)
            for (float p1 : seconds) {
                float p[9] = {p0, p1};
                texture_filter_apply(type, x.data(), y.data(), y.data(), p, n, out.data());
                size_t wrong = 0, first = 0;
                for (size_t i = 0; i < bytes; i++)
                    if (out[i] != per_byte_formula(type, x[i], y[i], p0, p1) && !wrong++) first = i;
                EXPECT_EQ(wrong, 0u) << "type " << int(type) << " scales " << p0 << ", " << p1
                                     << ": first at x " << int(x[first]) << ", y " << int(y[first]);
            }
}

// Blur, Emboss and Ripple at every pixel, from their formulas written out plainly.
uint8_t blur_formula(const Image &a, int n, int x, int y, int c) {
    int sum = 0;
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++)
            sum += a[(size_t((y + dy + n) % n) * n + (x + dx + n) % n) * 3 + c];
    return static_cast<uint8_t>(sum * 0.111111111);
}

uint8_t ripple_formula(const Image &a, int n, const float *p, int x, int y, int c) {
    double ax = p[0], ay = p[1], wx = std::fabs(std::trunc(double(p[2]))),
           wy = std::fabs(std::trunc(double(p[3])));
    double cy = maths::cosine_step(static_cast<int64_t>(wy * 4096 * (1.0 / n) * y));
    double cx = maths::cosine_step(static_cast<int64_t>(x * wx * 4096 * (1.0 / n)));
    double u = ax * n * cy + x, v = ay * n * cx + y;
    double i = std::floor(u), j = std::floor(v), fx = u - i, fy = v - j;
    int i0 = static_cast<int>(((static_cast<int64_t>(i) % n) + n) % n),
        j0 = static_cast<int>(((static_cast<int64_t>(j) % n) + n) % n);
    int i1 = (i0 + 1) % n, j1 = (j0 + 1) % n;
    double d00 = std::sqrt(fx * fx + fy * fy), d10 = std::sqrt((1 - fx) * (1 - fx) + fy * fy);
    double d01 = std::sqrt(fx * fx + (1 - fy) * (1 - fy)),
           d11 = std::sqrt((1 - fx) * (1 - fx) + (1 - fy) * (1 - fy));
    auto at = [&](int col, int row) { return a[(size_t(row) * n + col) * 3 + c]; };
    return static_cast<uint8_t>(
        static_cast<int>((at(i0, j0) * d00 + at(i1, j0) * d10 + at(i0, j1) * d01 + at(i1, j1) * d11) /
                         (d00 + d10 + d01 + d11)));
}

TEST(Filters, NeighbourhoodOperationsFollowTheirFormulaAtEveryPixel) {
    // Images: random bytes, bytes near 0 and near 255 (the extremes of the nine-byte sums), a flat
    // one and a smooth one (where Ripple's quotients sit on or near whole numbers).
    uint32_t state = 99;
    auto next = [&] { return (state = state * 1103515245u + 12345u) >> 16; };
    std::vector<Image> images;
    for (int kind = 0; kind < 5; kind++) {
        Image img(N * N * 3);
        for (size_t i = 0; i < img.size(); i++) {
            uint32_t r = next();
            img[i] = static_cast<uint8_t>(kind == 0   ? r
                                          : kind == 1 ? r % 16
                                          : kind == 2 ? 240 + r % 16
                                          : kind == 3 ? 77
                                                      : (i / 768 + i % 768 / 3) / 2);
        }
        images.push_back(img);
    }
    const float ripples[][4] = {{0.6f, 0.5f, 3, 2}, {0.01f, 0.02f, 3, 2}, {-0.3f, 0.2f, 1, 7},
                                {0.05f, 0, 0, 5},   {1.7f, -2.2f, 9, 4},  {0, 0, 0, 0}};
    for (size_t k = 0; k < images.size(); k++) {
        const Image &a = images[k];
        Image blurred = apply(205, a, a, a, {});
        size_t wrong = 0;
        for (int y = 0; y < N; y++)
            for (int x = 0; x < N; x++)
                for (int c = 0; c < 3; c++)
                    wrong += px(blurred, x, y)[c] != blur_formula(a, N, x, y, c);
        EXPECT_EQ(wrong, 0u) << "blur of image " << k;
        for (const float *r : ripples) {
            Image rippled = apply(204, a, a, a, {r[0], r[1], r[2], r[3]});
            wrong = 0;
            for (int y = 0; y < N; y++)
                for (int x = 0; x < N; x++)
                    for (int c = 0; c < 3; c++)
                        wrong += px(rippled, x, y)[c] != ripple_formula(a, N, r, x, y, c);
            EXPECT_EQ(wrong, 0u) << "ripple " << r[0] << ", " << r[1] << ", " << r[2] << ", " << r[3]
                                 << " of image " << k;
        }
    }
}

TEST(CosineTable, EntriesAndLookup) {
    const float *t = maths::cosine_table();
    EXPECT_EQ(t[0], 1.0f);
    EXPECT_EQ(t[4096], static_cast<float>(std::cos(4096 * 0.0015339807861328126)));
    EXPECT_NEAR(t[1024], 0.0f, 1e-6);
    // Negative angles read the first turn, positive ones the second.
    EXPECT_EQ(maths::cosine_step(-1), t[4095]);
    EXPECT_EQ(maths::cosine_step(4097), t[4097]);
    EXPECT_EQ(maths::cosine_step(-4097), t[4095]);
    EXPECT_EQ(maths::cosine_lookup(3.14159265), t[4096 + 2047]);       // trunc(2047.99...) = 2047
    EXPECT_EQ(maths::cosine_lookup(-0.001), t[4096]);                  // trunc(-0.65) = 0
    EXPECT_EQ(maths::cosine_lookup(1e30), maths::cosine_lookup(1e30)); // no undefined conversion
}

} // namespace
