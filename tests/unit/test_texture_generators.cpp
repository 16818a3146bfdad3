#include "textures/texture_definitions.h"
#include "textures/texture_generators.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <cstring>
#include <vector>

using namespace textures;

namespace {

constexpr int N = 256;

struct Image {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(N * N * 3, 0xAB);
    const uint8_t *at(int x, int y) const { return &bytes[(size_t(y) * N + x) * 3]; }
};

Image generate(int32_t kind, std::initializer_list<float> values) {
    float p[kLayerParameters] = {};
    int i = 0;
    for (float v : values)
        p[i++] = v;
    Image image;
    texture_generate(kind, p, image.bytes.data(), N);
    return image;
}

bool all_pixels(const Image &img, uint8_t r, uint8_t g, uint8_t b) {
    for (int y = 0; y < N; y++)
        for (int x = 0; x < N; x++) {
            const uint8_t *p = img.at(x, y);
            if (p[0] != r || p[1] != g || p[2] != b) return false;
        }
    return true;
}

TEST(Generators, FlatCases) {
    EXPECT_TRUE(all_pixels(generate(GENERATOR_COLOR, {1, 0.5f, 0}), 255, 127, 0));
    // Both repeats 0: v = trunc(0 x 63.5 + 127) everywhere.
    EXPECT_TRUE(all_pixels(generate(GENERATOR_PLASMA, {1, 0.5f, 0.25f, 0, 0}), 127, 63, 31));
    // Maze: fullness 0 is black, fullness 1 the flat colour.
    EXPECT_TRUE(all_pixels(generate(GENERATOR_MAZE, {1, 0.5f, 0.2f, 3, 7, 0}), 0, 0, 0));
    EXPECT_TRUE(all_pixels(generate(GENERATOR_MAZE, {1, 0.5f, 0.2f, 3, 7, 1}), 255, 127, 51));
    // Bricks without margins draw no joints.
    EXPECT_TRUE(all_pixels(generate(GENERATOR_BRICKS, {1, 0, 0, 0, 1, 0, 4, 4, 0, 0, 17}), 255, 0, 0));
    // A kind above 5 leaves the image as it was.
    EXPECT_TRUE(all_pixels(generate(6, {1, 1, 1}), 0xAB, 0xAB, 0xAB));
}

TEST(Generators, RadialCentreIsTheCentreColour) {
    Image img = generate(GENERATOR_RADIAL, {0.5f, 0.25f, 1, 1, 1, 0, 1, 0});
    const uint8_t *c = img.at(128, 128);
    EXPECT_EQ(c[0], 127);
    EXPECT_EQ(c[1], 63);
    EXPECT_EQ(c[2], 255);
    // Far from the centre the margin colour has taken over: at (0, 0), d = 181, a saturates.
    const uint8_t *corner = img.at(0, 0);
    EXPECT_EQ(corner[0], 255);
    EXPECT_EQ(corner[1], 255);
    EXPECT_EQ(corner[2], 0);
}

TEST(Generators, RadialOffsetAtHalfTheSideIsAllMargin) {
    // On a 64-pixel image an offset of 32 makes the blend's divisor h - k zero: every blend is
    // infinite or NaN, so every pixel takes the saturated margin colour.
    constexpr int n = 64;
    float p[kLayerParameters] = {1, 0, 0, 0, 1, 0, 1.3f, 32};
    std::vector<uint8_t> img(size_t(n) * n * 3, 7);
    texture_generate(GENERATOR_RADIAL, p, img.data(), n);
    for (size_t i = 0; i < img.size(); i += 3)
        ASSERT_TRUE(img[i] == 0 && img[i + 1] == 255 && img[i + 2] == 0) << i / 3;
}

TEST(Generators, MazeSizeLimitsDeterminismAndTiling) {
    Image size1 = generate(GENERATOR_MAZE, {1, 1, 1, 1, 42, 0.5f});
    Image size0 = generate(GENERATOR_MAZE, {1, 1, 1, 0, 42, 0.5f});
    Image size7 = generate(GENERATOR_MAZE, {1, 1, 1, 7, 42, 0.5f});
    Image size9 = generate(GENERATOR_MAZE, {1, 1, 1, 9, 42, 0.5f});
    EXPECT_EQ(size0.bytes, size1.bytes);
    EXPECT_EQ(size9.bytes, size7.bytes);
    // Sizes round to nearest, ties to even: 2.5 is 2, 3.5 is 4.
    EXPECT_EQ(generate(GENERATOR_MAZE, {1, 1, 1, 2.5f, 42, 0.5f}).bytes,
              generate(GENERATOR_MAZE, {1, 1, 1, 2, 42, 0.5f}).bytes);
    EXPECT_EQ(generate(GENERATOR_MAZE, {1, 1, 1, 3.5f, 42, 0.5f}).bytes,
              generate(GENERATOR_MAZE, {1, 1, 1, 4, 42, 0.5f}).bytes);
    Image again = generate(GENERATOR_MAZE, {1, 1, 1, 4, 42, 0.5f});
    Image same = generate(GENERATOR_MAZE, {1, 1, 1, 4, 42, 0.5f});
    Image other = generate(GENERATOR_MAZE, {1, 1, 1, 4, 43, 0.5f});
    EXPECT_EQ(again.bytes, same.bytes);
    EXPECT_NE(again.bytes, other.bytes);
    // The corner grid tiles, so the image's last row and column show the corners its first ones
    // show. They are not byte-equal: a full cell writes 255 where a tile's edge reaches curve[255].
    for (const Image *img : {&again, &size1, &size7}) {
        int worst = 0;
        for (int i = 0; i < N; i++)
            for (int c = 0; c < 3; c++) {
                worst = std::max(worst, std::abs(img->at(i, 0)[c] - img->at(i, N - 1)[c]));
                worst = std::max(worst, std::abs(img->at(0, i)[c] - img->at(N - 1, i)[c]));
            }
        EXPECT_LE(worst, 255 - kMazeCurve[255]);
    }
}

TEST(Generators, MazeTilesCornersAndCurve) {
    maze_tiles_build();
    // Size 2 (4 x 4): T0 is 255 at the top-left corner (curve 253) and 0 at the other three.
    const uint8_t *t0 = maze_tile(2, 0);
    EXPECT_EQ(t0[0], kMazeCurve[255]);
    EXPECT_EQ(kMazeCurve[255], 253);
    EXPECT_EQ(t0[3], 0);
    EXPECT_EQ(t0[15], 0);
    // T1 is a ramp from 0 (top row) to 255 (bottom row): row 1 of 4 is trunc(1 x 3 x 255 / 9) = 85.
    const uint8_t *t1 = maze_tile(2, 1);
    EXPECT_EQ(t1[0], 0);
    EXPECT_EQ(t1[4], kMazeCurve[85]);
    EXPECT_EQ(t1[12], kMazeCurve[255]);
    // T3 is 0 only at the top-left corner.
    const uint8_t *t3 = maze_tile(2, 3);
    EXPECT_EQ(t3[0], 0);
    EXPECT_EQ(t3[3], 253);
    EXPECT_EQ(t3[12], 253);
}

TEST(Generators, BricksJointsAndOffsetRows) {
    // 4 x 4 bricks of 64 pixels, margins 2, second line offset 32.
    Image img = generate(GENERATOR_BRICKS, {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, 32});
    auto colour = [&](int x, int y) {
        const uint8_t *p = img.at(x, y);
        return p[0] == 255 ? 'B' : p[2] == 255 ? 'W' : '?';
    };
    // Rows 0, 1 are a horizontal joint (t < 2), row 63 too (64 - 63 < 2), row 64 (t = 64 is not
    // above 64: 64 - 64 < 2), row 65 (t = 1).
    for (int y : {0, 1, 63, 64, 65})
        EXPECT_EQ(colour(10, y), 'W') << "row " << y;
    // Brick rows: vertical joints at columns 0, 1, 63, 64, 65 of the brick row.
    EXPECT_EQ(colour(10, 2), 'B');
    EXPECT_EQ(colour(0, 2), 'W');
    EXPECT_EQ(colour(63, 2), 'W');
    EXPECT_EQ(colour(66, 2), 'B');
    // Row 66 (second line of bricks) is the brick row rotated left by 32: its joints sit 32 earlier.
    EXPECT_EQ(colour(32, 66), 'W');
    EXPECT_EQ(colour(31, 66), 'W'); // 31 + 32 = 63
    EXPECT_EQ(colour(0, 66), 'B');
    // Offsets wrap with the sign of the dividend, then add N: -32 is 224.
    Image negative = generate(GENERATOR_BRICKS, {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, -32});
    Image wrapped = generate(GENERATOR_BRICKS, {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, 224});
    EXPECT_EQ(negative.bytes, wrapped.bytes);
    // Counts of 0 make infinite bricks: no joints in either direction.
    EXPECT_TRUE(all_pixels(generate(GENERATOR_BRICKS, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}), 255, 0, 0));
    // Negative and huge counts must not loop for ever (a negative brick size is all joint).
    EXPECT_TRUE(all_pixels(generate(GENERATOR_BRICKS, {1, 0, 0, 0, 0, 1, -3, 0, 0, 0, 0}), 0, 0, 255));
    Image tiny = generate(GENERATOR_BRICKS, {1, 0, 0, 0, 0, 1, 1e9f, 1e9f, 1, 1, 0});
    EXPECT_TRUE(all_pixels(tiny, 0, 0, 255)) << "bricks far below a pixel are all joint";
}

TEST(Generators, NoiseSeedsAndTheFirstState) {
    TextureRandom r = texture_random_seed(0);
    EXPECT_EQ(texture_random_next(&r), 0.0f);
    EXPECT_EQ(r.state, 12345u);
    // The next state is the low 32 bits of 12345 x 1103515245 + 12345.
    uint64_t next = (12345ull * 1103515245ull + 12345ull) & 0xFFFFFFFFull;
    texture_random_next(&r);
    EXPECT_EQ(r.state, next);
    EXPECT_EQ(texture_random_seed(-1.5f).state, 0xFFFFFFFFu);
    EXPECT_EQ(texture_random_seed(4294967297.0f).state, 0u); // 2^32 + 1 is the float 2^32
    Image a = generate(GENERATOR_NOISE, {1, 1, 1, 99});
    Image b = generate(GENERATOR_NOISE, {1, 1, 1, 99});
    Image c = generate(GENERATOR_NOISE, {1, 1, 1, 100});
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_NE(a.bytes, c.bytes);
    // All three channels use the same u.
    const uint8_t *p = a.at(17, 3);
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[1], p[2]);
}

TEST(Generators, OutOfRangeParametersGiveTheirStatedResults) {
    // Document numbers become integers by truncation, NaN reading as 0 (or the lower limit of a
    // clamp) and values beyond 32 bits held at the ends; offsets are taken modulo 256 exactly; a NaN
    // maze fullness sets no corner. Each case must draw what its plain equivalent draws.
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char *what;
        int32_t kind;
        std::vector<float> params, same_as;
    } cases[] = {
        {"maze NaN fullness is 0", GENERATOR_MAZE, {1, 1, 1, 3, 7, nan}, {1, 1, 1, 3, 7, 0}},
        {"maze NaN size is 1", GENERATOR_MAZE, {1, 1, 1, nan, 7, 0.5f}, {1, 1, 1, 1, 7, 0.5f}},
        {"maze huge size is 7", GENERATOR_MAZE, {1, 1, 1, 1e10f, 7, 0.5f}, {1, 1, 1, 7, 7, 0.5f}},
        {"maze NaN seed is 0", GENERATOR_MAZE, {1, 1, 1, 3, nan, 0.5f}, {1, 1, 1, 3, 0, 0.5f}},
        {"radial NaN offset is 0",
         GENERATOR_RADIAL,
         {1, 0, 0, 0, 1, 0, 1.3f, nan},
         {1, 0, 0, 0, 1, 0, 1.3f, 0}},
        {"radial huge offset is 127",
         GENERATOR_RADIAL,
         {1, 0, 0, 0, 1, 0, 3, 1e10f},
         {1, 0, 0, 0, 1, 0, 3, 127}},
        {"bricks huge offset is 0 modulo 256",
         GENERATOR_BRICKS,
         {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, 1e20f},
         {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, 0}},
        {"bricks offset -300 is 212",
         GENERATOR_BRICKS,
         {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, -300},
         {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, 212}},
        {"bricks infinite offset is 0",
         GENERATOR_BRICKS,
         {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, inf},
         {1, 0, 0, 0, 0, 1, 4, 4, 2, 2, 0}},
        {"bricks NaN margins are 0",
         GENERATOR_BRICKS,
         {1, 0, 0, 0, 0, 1, 4, 4, nan, nan, 0},
         {1, 0, 0, 0, 0, 1, 4, 4, 0, 0, 0}},
        {"bricks huge count is 2^31 - 1",
         GENERATOR_BRICKS,
         {1, 0, 0, 0, 0, 1, 1e10f, 4, 1, 1, 0},
         {1, 0, 0, 0, 0, 1, 2147483647.0f, 4, 1, 1, 0}},
        {"noise infinite seed is 0", GENERATOR_NOISE, {1, 1, 1, inf}, {1, 1, 1, 0}},
        {"noise NaN seed is 0", GENERATOR_NOISE, {1, 1, 1, nan}, {1, 1, 1, 0}},
    };
    for (const Case &c : cases) {
        float p[kLayerParameters] = {}, q[kLayerParameters] = {};
        std::copy(c.params.begin(), c.params.end(), p);
        std::copy(c.same_as.begin(), c.same_as.end(), q);
        Image a, b;
        texture_generate(c.kind, p, a.bytes.data(), N);
        texture_generate(c.kind, q, b.bytes.data(), N);
        EXPECT_EQ(a.bytes, b.bytes) << c.what;
    }
    // A NaN fullness draws the black maze (nothing set), not whatever a NaN conversion gives.
    EXPECT_TRUE(all_pixels(generate(GENERATOR_MAZE, {1, 1, 1, 3, 7, nan}), 0, 0, 0));
}

} // namespace
