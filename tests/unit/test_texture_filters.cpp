#include "geometry/cosine_table.h"
#include "textures/texture_filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using namespace textures;

namespace {

constexpr int N = 256;
using Image = std::vector<uint8_t>;

Image constant(uint8_t v) { return Image(N * N * 3, v); }

// A pattern whose every byte differs from its neighbours.
Image pattern() {
    Image img(N * N * 3);
    for (size_t i = 0; i < img.size(); i++) img[i] = static_cast<uint8_t>((i * 37 + i / 768 * 11) & 0xFF);
    return img;
}

Image apply(uint8_t type, const Image &a, const Image &b, const Image &l, std::initializer_list<float> params) {
    float p[9] = {};
    int i = 0;
    for (float v : params) p[i++] = v;
    Image out(N * N * 3, 0x5A);
    texture_filter_apply(type, a.data(), b.data(), l.data(), p, N, out.data());
    return out;
}

const uint8_t *px(const Image &img, int x, int y) { return &img[(size_t(y) * N + x) * 3]; }

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
        for (size_t i = 0; i < c.params.size(); i++) params[i] = c.params[i];
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
        for (int dx : {255, 0, 1}) sum += px(p, dx, dy)[1];
    EXPECT_EQ(px(blurred, 0, 0)[1], static_cast<uint8_t>(sum * 0.111111111));
    // Emboss direction 1 at (5, 5): weights -2 -1 0 / -1 1 1 / 0 1 2.
    Image embossed = apply(206, p, p, p, {1});
    int w[3][3] = {{-2, -1, 0}, {-1, 1, 1}, {0, 1, 2}}, e = 0;
    for (int dy = -1; dy <= 1; dy++)
        for (int dx = -1; dx <= 1; dx++) e += w[dy + 1][dx + 1] * px(p, 5 + dx, 5 + dy)[2];
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

TEST(CosineTable, EntriesAndLookup) {
    const float *t = geometry::cosine_table();
    EXPECT_EQ(t[0], 1.0f);
    EXPECT_EQ(t[4096], static_cast<float>(std::cos(4096 * 0.0015339807861328126)));
    EXPECT_NEAR(t[1024], 0.0f, 1e-6);
    // Negative angles read the first turn, positive ones the second.
    EXPECT_EQ(geometry::cosine_step(-1), t[4095]);
    EXPECT_EQ(geometry::cosine_step(4097), t[4097]);
    EXPECT_EQ(geometry::cosine_step(-4097), t[4095]);
    EXPECT_EQ(geometry::cosine_lookup(3.14159265), t[4096 + 2047]); // trunc(2047.99...) = 2047
    EXPECT_EQ(geometry::cosine_lookup(-0.001), t[4096]);            // trunc(-0.65) = 0
    EXPECT_EQ(geometry::cosine_lookup(1e30), geometry::cosine_lookup(1e30)); // no undefined conversion
}

} // namespace
