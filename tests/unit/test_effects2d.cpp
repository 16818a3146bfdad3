#include "geometry/effect2d.h"
#include "maths/shared_random.h"
#include "resources/xml.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace geometry;

namespace {

// Reads one effect element into a list of its own.
struct ReadEffect {
    resources::ObjectList *list = resources::object_list_create(sizeof(Effect2D));
    Effect2D *e = nullptr;
    explicit ReadEffect(const std::string &xml) {
        resources::XmlNode *root = resources::xml_parse(xml.c_str());
        uint32_t slot = effect2d_read(list, root->first_child);
        e = resources::object_at<Effect2D>(list, slot);
        resources::xml_free(root);
    }
    ~ReadEffect() {
        effect2d_release(e);
        resources::object_list_free(list);
    }
    std::vector<uint8_t> generate(float p0, float p1 = 0) {
        std::vector<uint8_t> out(effect2d_image_bytes(e), 0xAB);
        float p[kEffect2DParameters] = {p0, p1};
        effect2d_generate(e, p, out.data());
        return out;
    }
};

// Draws taken from the shared sequence since it was seeded with `seed`, found by replaying it.
int draws_since(uint32_t seed, int32_t next_value) {
    maths::shared_random_seed(seed);
    for (int n = 0; n < 1000000; n++)
        if (maths::shared_random_next() == next_value) return n;
    return -1;
}

TEST(Effects2D, ResolutionAndDepthFollowTheExactTexts) {
    const struct {
        const char *resolution;
        uint16_t size;
    } sizes[] = {{"64x64", 64},    {"128x128", 128}, {"256x256", 256}, {"512x512", 512},
                 {"100x100", 512}, {"64x64 ", 512},  {nullptr, 512}};
    for (const auto &c : sizes)
        EXPECT_EQ(effect2d_resolution(c.resolution), c.size) << (c.resolution ? c.resolution : "-");
    const struct {
        const char *bpp;
        uint8_t bits;
    } depths[] = {{"8", 8}, {"24", 24}, {"32", 24}, {"08", 24}, {nullptr, 24}};
    for (const auto &c : depths)
        EXPECT_EQ(effect2d_bits(c.bpp), c.bits) << (c.bpp ? c.bpp : "-");
    ReadEffect r(
        "<e name=\"wave\" type=\"1\" texture_format=\"2\" texture_filter=\"2\" resolution=\"128x128\" "
        "bpp=\"8\"><p>4</p><p>70000</p><x>5</x><p>6</p></e>");
    EXPECT_STREQ(r.e->name, "wave");
    EXPECT_EQ(r.e->width, 128);
    EXPECT_EQ(r.e->height, 128);
    EXPECT_EQ(r.e->bits_per_pixel, 8);
    EXPECT_EQ(r.e->texture_format, 2);
    EXPECT_EQ(r.e->parameter_functions[0], 4);
    EXPECT_EQ(r.e->parameter_functions[1], 65535); // beyond 16 bits: names no function
    EXPECT_EQ(r.e->parameter_functions[2], 0);     // reading stopped at <x>
    EXPECT_EQ(r.e->time_stamp, 0xFFFFu);
}

TEST(Effects2D, TestEffectBaseAndWrap) {
    ReadEffect rgb("<e type=\"0\" resolution=\"256x256\"/>");
    std::vector<uint8_t> img = rgb.generate(1.5f, 1.4f); // base 2
    auto px = [&](int x, int y, int c) { return img[(y * 256 + x) * 3 + c]; };
    EXPECT_EQ(px(0, 0, 0), 2);
    EXPECT_EQ(px(0, 0, 1), 2);
    EXPECT_EQ(px(0, 0, 2), 2);
    EXPECT_EQ(px(252, 0, 1), 254);
    EXPECT_EQ(px(253, 0, 1), 0); // modulo 255: 254 wraps to 0
    EXPECT_EQ(px(0, 10, 0), 12);
    EXPECT_EQ(px(200, 60, 2), 7); // 262 mod 255
    ReadEffect grey("<e type=\"0\" resolution=\"64x64\" bpp=\"8\"/>");
    img = grey.generate(-1.0f, 0.0f); // base -1 as an unsigned 32-bit value: (2^32 - 1 + x + y) mod 255
    EXPECT_EQ(img[0], (4294967295u) % 255u);
    EXPECT_EQ(img[64 + 1], (4294967295u + 2u) % 255u);
}

TEST(Effects2D, AmobaSeedsOnceAndGrowsOneStepPerChange) {
    for (int bits : {8, 24}) {
        SCOPED_TRACE(bits);
        std::string xml = "<e type=\"2\" resolution=\"64x64\" bpp=\"" + std::to_string(bits) + "\"/>";
        ReadEffect amoba(xml);
        // 64 x 64 / 400 = 10 seeds, each a position and one value (8 bits) or three (24 bits).
        EXPECT_EQ(draws_since(5, maths::shared_random_next()), 10 * (bits == 8 ? 2 : 4));
        maths::shared_random_seed(99);
        std::vector<uint8_t> start = amoba.generate(3.9f);
        EXPECT_EQ(draws_since(99, maths::shared_random_next()), 2 * 512)
            << "3.9 after creation: one step of 512 attempts";
        auto nonzero = [](const std::vector<uint8_t> &img) {
            size_t n = 0;
            for (uint8_t v : img)
                n += v != 0;
            return n;
        };
        size_t seeded = nonzero(start);
        maths::shared_random_seed(99);
        EXPECT_EQ(amoba.generate(3.2f), start) << "the same whole step changes nothing";
        EXPECT_EQ(draws_since(99, maths::shared_random_next()), 0);
        maths::shared_random_seed(7);
        std::vector<uint8_t> grown = amoba.generate(4.0f);
        EXPECT_EQ(draws_since(7, maths::shared_random_next()), 2 * 512);
        maths::shared_random_seed(7);
        for (int step = 0; step < 20; step++)
            grown = amoba.generate(10.0f + 10 * step);
        EXPECT_EQ(draws_since(7, maths::shared_random_next()), 20 * 2 * 512)
            << "4 to 10 and on: one step per change";
        EXPECT_GE(nonzero(grown), seeded); // growth copies pixels; nothing is erased
    }
}

TEST(Effects2D, NormalmapIsBlueAndUnknownKindsAreCleared) {
    ReadEffect normal("<e type=\"4\" resolution=\"64x64\"/>");
    std::vector<uint8_t> img = normal.generate(37.5f);
    for (size_t i = 2; i < img.size(); i += 3)
        ASSERT_EQ(img[i], 255) << i;
    ReadEffect grey("<e type=\"4\" resolution=\"64x64\" bpp=\"8\"/>");
    EXPECT_EQ(grey.generate(3.0f), std::vector<uint8_t>(64 * 64, 0));
    ReadEffect unknown("<e type=\"9\" resolution=\"64x64\"/>");
    EXPECT_EQ(unknown.generate(3.0f), std::vector<uint8_t>(64 * 64 * 3, 0));
}

} // namespace

#include "geometry/mesh_effect.h"
#include "resources/memory_budget.h"

#include "log_capture.h"

namespace {

TEST(Effects2D, WhatPassesTheMemoryBudgetIsLeftOut) {
    testutil::LogCapture log;
    // Room for the lists and a 64 x 64 effect (three images of 12 KiB), not for a 512 x 512 one
    // (three of 768 KiB).
    resources::memory_budget_reset(resources::memory_budget_used() + (1 << 20));
    ReadEffect small("<e type=\"1\" resolution=\"64x64\"/>");
    EXPECT_EQ(small.e->width, 64);
    ReadEffect big("<e type=\"2\" resolution=\"512x512\"/>");
    EXPECT_EQ(big.e->width, 0);
    EXPECT_EQ(big.e->state, nullptr);
    EXPECT_EQ(effect2d_image_bytes(big.e), 0u);
    // An umbrella of 65534 sides needs about 2.6 MB: it stays empty, and tries again later.
    MeshEffect umbrella{};
    ASSERT_TRUE(mesh_effect_init(&umbrella, MESH_EFFECT_UMBRELLA));
    float p[3] = {65534.0f, 1.0f, 1.0f};
    mesh_effect_apply(&umbrella, p);
    EXPECT_EQ(umbrella.mesh.vertex_count, 0);
    p[0] = 8.0f;
    mesh_effect_apply(&umbrella, p);
    EXPECT_EQ(umbrella.mesh.vertex_count, 9);
    mesh_effect_release(&umbrella);
    EXPECT_NE(log.text().find("MiB of memory; what does not fit is left out."), std::string::npos)
        << log.text();
    resources::memory_budget_reset(0);
}

} // namespace
