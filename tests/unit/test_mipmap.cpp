#include "textures/mipmap.h"
#include "textures/texture_definitions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace textures;

namespace {

TEST(Mipmap, ChainSizesGoDownToOneByOne) {
    std::vector<uint8_t> base(256 * 64 * 3, 7);
    MipChain chain;
    ASSERT_TRUE(mipmap_build(base.data(), 256, 64, 3, MipLevel{}, MipLevel{}, &chain));
    int32_t expected[][2] = {{128, 32}, {64, 16}, {32, 8}, {16, 4}, {8, 2}, {4, 1}, {2, 1}, {1, 1}};
    ASSERT_EQ(chain.count, 8);
    for (int i = 0; i < 8; i++) {
        EXPECT_EQ(chain.levels[i].width, expected[i][0]);
        EXPECT_EQ(chain.levels[i].height, expected[i][1]);
        EXPECT_EQ(chain.levels[i].pixels[0], 7);
    }
    mipmap_chain_free(&chain);
    ASSERT_TRUE(mipmap_build(base.data(), 1, 1, 3, MipLevel{}, MipLevel{}, &chain));
    EXPECT_EQ(chain.count, 0);
}

TEST(Mipmap, AveragesTruncateAndFollowTheThreeRules) {
    // 2 x 2 block 1, 2, 2, 2 gives 7 >> 2 = 1.
    uint8_t block[] = {1, 2, 2, 2};
    MipChain chain;
    ASSERT_TRUE(mipmap_build(block, 2, 2, 1, MipLevel{}, MipLevel{}, &chain));
    ASSERT_EQ(chain.count, 1);
    EXPECT_EQ(chain.levels[0].pixels[0], 1);
    mipmap_chain_free(&chain);

    // 4 x 4 one channel: level 1 from 2 x 2 blocks, level 2 (1 x 1) from the two top pixels of level 1.
    uint8_t square[] = {10, 20, 30, 40, /**/ 50, 60, 70, 80, /**/ 1, 2, 3, 4, /**/ 5, 6, 7, 8};
    ASSERT_TRUE(mipmap_build(square, 4, 4, 1, MipLevel{}, MipLevel{}, &chain));
    ASSERT_EQ(chain.count, 2);
    uint8_t level1[] = {(10 + 20 + 50 + 60) >> 2, (30 + 40 + 70 + 80) >> 2, (1 + 2 + 5 + 6) >> 2, (3 + 4 + 7 + 8) >> 2};
    for (int i = 0; i < 4; i++) EXPECT_EQ(chain.levels[0].pixels[i], level1[i]) << i;
    EXPECT_EQ(chain.levels[1].pixels[0], (level1[0] + level1[1]) >> 1); // the bottom row plays no part
    mipmap_chain_free(&chain);

    // 2 x 4 RGB: the new width is 1, so pixel i averages pixels 2i and 2i + 1 in memory order,
    // i.e. the two pixels of source row i; source rows 2 and 3 are never read.
    uint8_t tall[2 * 4 * 3];
    for (int i = 0; i < 24; i++) tall[i] = static_cast<uint8_t>(i * 10);
    ASSERT_TRUE(mipmap_build(tall, 2, 4, 3, MipLevel{}, MipLevel{}, &chain));
    ASSERT_EQ(chain.levels[0].width, 1);
    ASSERT_EQ(chain.levels[0].height, 2);
    for (int i = 0; i < 2; i++)
        for (int c = 0; c < 3; c++)
            EXPECT_EQ(chain.levels[0].pixels[i * 3 + c], (tall[(2 * i) * 3 + c] + tall[(2 * i + 1) * 3 + c]) >> 1);
    mipmap_chain_free(&chain);

    // 4 x 2: the new height is 1, pixels 2x and 2x + 1 of row 0 only.
    uint8_t wide[] = {9, 3, 100, 51, /**/ 255, 255, 255, 255};
    ASSERT_TRUE(mipmap_build(wide, 4, 2, 1, MipLevel{}, MipLevel{}, &chain));
    EXPECT_EQ(chain.levels[0].pixels[0], 6);
    EXPECT_EQ(chain.levels[0].pixels[1], 75);
    mipmap_chain_free(&chain);
}

TEST(Mipmap, PremadeLevelsReplaceOnlyTheirOwnLevelWhenTheSizeFits) {
    std::vector<uint8_t> base(8 * 8, 200);
    std::vector<uint8_t> one(4 * 4, 40), two(2 * 2, 10), wrong(3 * 3, 99);
    MipChain chain;
    ASSERT_TRUE(mipmap_build(base.data(), 8, 8, 1, MipLevel{4, 4, one.data()}, MipLevel{2, 2, two.data()}, &chain));
    ASSERT_EQ(chain.count, 3);
    EXPECT_EQ(chain.levels[0].pixels[0], 40);
    EXPECT_EQ(chain.levels[1].pixels[0], 10);
    EXPECT_EQ(chain.levels[2].pixels[0], 10); // computed from the premade level 2
    mipmap_chain_free(&chain);
    ASSERT_TRUE(mipmap_build(base.data(), 8, 8, 1, MipLevel{3, 3, wrong.data()}, MipLevel{}, &chain));
    EXPECT_EQ(chain.levels[0].pixels[0], 200);
    mipmap_chain_free(&chain);
}

TEST(Mipmap, UnpackAlignmentMatchesPackedRows) {
    struct Case {
        int32_t width;
        int channels, alignment;
    } cases[] = {{256, 3, 4}, {4, 3, 4}, {2, 3, 2}, {1, 3, 1}, {33, 3, 1}, {6, 3, 2}, {1, 4, 4}, {3, 1, 1}, {2, 1, 2}};
    for (const Case &c : cases)
        EXPECT_EQ(texture_unpack_alignment(c.width, c.channels), c.alignment) << c.width << "x" << c.channels;
}

TEST(Bitmap, PremadeLevelNames) {
    struct Case {
        const char *name;
        int level;
        const char *expected;
    } cases[] = {{"wall.png", 1, "wall_mm1.png"}, {"logo.jpg", 2, "logo_mm2.jpg"},
                 {"tex/a.jpeg", 1, "tex/a._mm1jpeg"}, {"abc", 1, "_mm1abc"}};
    for (const Case &c : cases) {
        char out[64];
        bitmap_level_name(c.name, c.level, out, sizeof out);
        EXPECT_STREQ(out, c.expected);
    }
}

} // namespace
