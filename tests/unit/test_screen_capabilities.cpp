#include "player/capabilities.h"
#include "player/screen.h"

#include <gtest/gtest.h>

using namespace player;

namespace {

TEST(Screen, ResolutionAndAspectTables) {
    struct Case {
        int index;
        int32_t w, h;
    } sizes[] = {{0, 1366, 768}, {1, 320, 240},  {2, 400, 300},   {3, 512, 384},   {4, 640, 480},
                 {5, 800, 600},  {6, 1024, 768}, {7, 1280, 720},  {8, 1280, 1024}, {9, 1440, 900},
                 {10, 1600, 1200}, {11, 1920, 1080}};
    for (const Case &c : sizes) {
        ScreenSize s = screen_size_for(c.index, 1366, 768);
        EXPECT_EQ(s.width, c.w) << c.index;
        EXPECT_EQ(s.height, c.h) << c.index;
    }
    EXPECT_FLOAT_EQ(screen_aspect_for(0, {1280, 1024}), 1.25f);
    EXPECT_EQ(screen_aspect_for(1, {1, 1}), 1.3333334f);
    EXPECT_EQ(screen_aspect_for(2, {1, 1}), 1.7777778f);
    EXPECT_EQ(screen_aspect_for(3, {1, 1}), 1.6f);
}

TEST(Screen, ViewportFitsTheSixteenByNineImage) {
    struct Case {
        ScreenSize screen;
        int aspect_index;
        render::Viewport expected;
    } cases[] = {
        {{1280, 1024}, 1, {0, 128, 1280, 768}},
        {{1920, 1080}, 0, {0, 0, 1920, 1080}},
        {{1920, 1080}, 2, {0, 0, 1920, 1080}},
        {{1920, 1080}, 1, {0, 135, 1920, 810}},
        {{1440, 900}, 3, {0, 45, 1440, 810}},
        // A monitor wider than 16:9 gets bars left and right: 2560 x 1080 shows 1920 x 1080.
        {{2560, 1080}, 0, {320, 0, 1920, 1080}},
    };
    for (const Case &c : cases) {
        render::Viewport v = screen_viewport_fit(c.screen, screen_aspect_for(c.aspect_index, c.screen));
        EXPECT_EQ(v.x, c.expected.x);
        EXPECT_EQ(v.y, c.expected.y);
        EXPECT_EQ(v.width, c.expected.width);
        EXPECT_EQ(v.height, c.expected.height);
    }
    // A 1280 x 1024 window on a very wide monitor keeps the full height.
    render::Viewport wide = screen_viewport_fit({1280, 1024}, 2.3333333f);
    EXPECT_EQ(wide.width, static_cast<uint16_t>(1280 * (1.7777778f / 2.3333333f)));
    EXPECT_EQ(wide.x, (1280 - wide.width) / 2);
    EXPECT_EQ(wide.height, 1024);
}

GlProbe everything() {
    GlProbe p = {};
    p.version_1_5 = p.version_2_1 = true;
    p.arb_vertex_buffer_object = p.arb_pixel_buffer_object = p.arb_texture_non_power_of_two = true;
    p.arb_texture_compression = p.ext_framebuffer_object = true;
    p.nv_texture_env_combine4 = p.ati_texture_env_combine3 = true;
    p.max_texture_units = 8;
    return p;
}

const std::string kSep = std::string(74, '=') + "\r\n";

TEST(Capabilities, LogLinesAndFlagsFollowTheDriver) {
    GlProbe none = {};
    none.max_texture_units = 2;
    GlProbe gl20 = everything();
    gl20.version_2_1 = false;
    GlProbe only3 = everything();
    only3.nv_texture_env_combine4 = false;
    struct Case {
        const char *what;
        GlProbe probe;
        bool vbo_switch, glsl;
        const char *arg;
        std::string log;
        render::Capabilities caps;
    } cases[] = {
        {"everything, GLSL", everything(), true, true, nullptr,
         kSep + "VBO support detected.\r\nPBO support detected.\r\nNPOT texture support detected.\r\n"
                "Texture compression support detected.\r\nEXT_framebuffer_object support detected.\r\n"
                "Using GLSL shaders.\r\n" + kSep,
         {1, 1, 1, 4, 1, 0, 1, 1}},
        {"everything, combiners, 8 units shown as 4", everything(), true, false, nullptr,
         kSep + "VBO support detected.\r\nPBO support detected.\r\nNPOT texture support detected.\r\n"
                "Texture compression support detected.\r\nEXT_framebuffer_object support detected.\r\n"
                "Using 4 texture units + NV_texture_env_combine4.\r\n" + kSep,
         {1, 1, 1, 4, 1, 0, 1, 1}},
        {"combine3 only, VBO switch off", only3, false, false, nullptr,
         kSep + "PBO support detected.\r\nNPOT texture support detected.\r\n"
                "Texture compression support detected.\r\nEXT_framebuffer_object support detected.\r\n"
                "Using 4 texture units + ATI_texture_env_combine3.\r\n" + kSep,
         {0, 1, 1, 4, 0, 1, 1, 1}},
        {"nothing at all", none, true, false, nullptr,
         kSep + "No VBO support.\r\nNo PBO support.\r\nNo NPOT texture support.\r\n"
                "No texture compression support.\r\nNo EXT_framebuffer_object support.\r\n"
                "Using 2 texture units.\r\n" + kSep,
         {0, 0, 0, 2, 0, 0, 0, 0}},
        {"OpenGL 2.0 with PBO", gl20, true, true, nullptr,
         kSep + "VBO support detected.\r\nPBO support detected, but it may be slow (opengl version is lower than "
                "2.1), so i disable it. Use -forcepbo to enable it.\r\nNPOT texture support detected.\r\n"
                "Texture compression support detected.\r\nEXT_framebuffer_object support detected.\r\n"
                "Using GLSL shaders.\r\n" + kSep,
         {1, 0, 1, 4, 1, 0, 1, 1}},
        {"OpenGL 2.0 with -forcepbo", gl20, true, true, "-forcepbo",
         kSep + "VBO support detected.\r\nPBO support detected.\r\nNPOT texture support detected.\r\n"
                "Texture compression support detected.\r\nEXT_framebuffer_object support detected.\r\n"
                "Using GLSL shaders.\r\n" + kSep,
         {1, 1, 1, 4, 1, 0, 1, 1}},
        {"-forcepbo compares nine characters", gl20, true, true, "-forcepboXYZ",
         kSep + "VBO support detected.\r\nPBO support detected.\r\nNPOT texture support detected.\r\n"
                "Texture compression support detected.\r\nEXT_framebuffer_object support detected.\r\n"
                "Using GLSL shaders.\r\n" + kSep,
         {1, 1, 1, 4, 1, 0, 1, 1}},
    };
    for (const Case &c : cases) {
        render::Capabilities caps = {};
        caps.texture_units = 2;
        std::string log;
        capabilities_decide(c.probe, c.vbo_switch, c.glsl, c.arg, &caps, &log);
        EXPECT_EQ(log, c.log) << c.what;
        EXPECT_EQ(caps.vbo, c.caps.vbo) << c.what;
        EXPECT_EQ(caps.pbo, c.caps.pbo) << c.what;
        EXPECT_EQ(caps.npot, c.caps.npot) << c.what;
        EXPECT_EQ(caps.texture_units, c.caps.texture_units) << c.what;
        EXPECT_EQ(caps.combine4, c.caps.combine4) << c.what;
        EXPECT_EQ(caps.combine3, c.caps.combine3) << c.what;
        EXPECT_EQ(caps.texture_compression, c.caps.texture_compression) << c.what;
        EXPECT_EQ(caps.fbo, c.caps.fbo) << c.what;
    }
    GlProbe forcepb = gl20;
    render::Capabilities caps = {};
    std::string log;
    capabilities_decide(forcepb, true, true, "-forcepb", &caps, &log);
    EXPECT_EQ(caps.pbo, 0) << "eight characters are not enough";
    render::Capabilities loading = render::capabilities_for_loading({1, 1, 1, 4, 1, 0, 1, 1});
    EXPECT_EQ(loading.vbo + loading.pbo + loading.npot, 0);
    EXPECT_EQ(loading.texture_units, 4);
    EXPECT_EQ(loading.fbo, 1);
}

} // namespace
