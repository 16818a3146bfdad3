// Frames drawn straight into the test window: counting, visibility, and render-target sizing.
#include "gl_util.h"
#include "scene_builder.h"
#include "test_util.h"

#include "render/frame.h"
#include "resources/package.h"
#include "textures/texture_definitions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using gltest::SceneText;

namespace {

std::string value(const char *type, const std::string &v) {
    return std::string("<v type=\"") + type + "\" value=\"" + v + "\"/>";
}

std::string layer(int object, int type, int rtex, int length = 100, const std::string &projection = "ortographic") {
    std::string x = "<layer id=\"" + std::to_string(object) + "\" space_before=\"0\" length=\"" +
                    std::to_string(length) + "\" offset=\"0\" type=\"" + std::to_string(type) + "\" rtex=\"" +
                    std::to_string(rtex) + "\" clearcolor=\"1\" clearcolorbuffer=\"1\" clearzbuffer=\"1\">";
    for (int i = 0; i < 6; i++) x += value("static", "0");
    x += value(projection.c_str(), "60") + value("static", "100") + value("static", "1");
    return x + "</layer>";
}

std::string item(int model, int material, const std::string &visibility = "0") {
    std::string x = "<item type=\"0\" object=\"" + std::to_string(model) + "\" material=\"" + std::to_string(material) + "\">";
    const char *values[9] = {"0", "0", "0", "0", "0", "0", "1", "1", "1"};
    for (const char *v : values) x += value("static", v);
    return x + "<v value=\"" + visibility + "\"/><v value=\"0\"/><v value=\"0\"/></item>";
}

// A package with the unit square model (0..1) and a few images; returns it opened.
struct Assets {
    testutil::TempDir dir;
    FILE *package = nullptr;
    Assets() {
        std::string script = "import sys; sys.path.insert(0, '" + std::string(BV_SOURCE_DIR) +
                             "/scripts'); import bvassets as b; "
                             "open('" + dir.file("square.mdl") + "', 'wb').write(b.pack(b.quad(0, 0, 1, 1))); "
                             "open('" + dir.file("big.png") + "', 'wb').write(b.solid_png(1024, 1024, (1, 2, 3))); "
                             "open('" + dir.file("small.png") + "', 'wb').write(b.solid_png(16, 16, (1, 2, 3)))";
        if (!gltest::shell("python3 -c \"" + script + "\"")) return;
        resources::EntryNode *list = resources::entry_list_new();
        for (const char *n : {"square.mdl", "big.png", "small.png"})
            resources::entry_list_append(list, n, (dir.path.string() + "/").c_str());
        resources::package_write(list, dir.file("t.dpk").c_str(), nullptr);
        resources::entry_list_free(list);
        package = std::fopen(dir.file("t.dpk").c_str(), "rb");
    }
    ~Assets() {
        if (package) std::fclose(package);
    }
};

SceneText base(const std::string &visibility = "0") {
    SceneText s;
    s.sections[gltest::S_MODELS] = "<m filename=\"square.mdl\"/>";
    s.sections[gltest::S_FUNCTIONS] =
        "<f type=\"0\" loop_type=\"0\" loop_begin=\"0\" loop_end=\"0\"><s type=\"0\" length=\"10\"><a>0.999</a></s></f>"
        "<f type=\"0\" loop_type=\"0\" loop_begin=\"0\" loop_end=\"0\"><s type=\"0\" length=\"10\"><a>1</a></s></f>";
    s.sections[gltest::S_LIGHTS] = "<l>" + value("static", "0") + value("static", "0") + value("static", "0") +
                                   value("static", "0") + value("static", "0") + value("static", "1") + "</l>";
    s.sections[gltest::S_MATERIALS] = "<m><blend_function value=\"2\"/><red type=\"static\" value=\"1\"/>"
                                      "<green type=\"static\" value=\"0\"/><blue type=\"static\" value=\"0\"/>"
                                      "<alpha type=\"static\" value=\"1\"/></m>";
    s.sections[gltest::S_OBJECTS] = "<o>" + item(1, 1, visibility) + "</o>";
    return s;
}

uint32_t centre_pixel() {
    uint8_t p[4] = {};
    glReadPixels(gltest::kWindowWidth / 2, gltest::kWindowHeight / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
}

const render::Viewport kFull = {0, 0, gltest::kWindowWidth, gltest::kWindowHeight};

TEST(FrameGL, CountsLayersThatDrewAnObject) {
    Assets assets;
    ASSERT_NE(assets.package, nullptr);
    for (int glsl = 0; glsl <= 1; glsl++) {
        struct Case {
            std::string timeline;
            std::string visibility;
            uint32_t expected_count;
            uint32_t expected_pixel;
        } cases[] = {
            {"<s>" + layer(1, 0, 0) + "</s>", "0", 1, 0xFF0000},
            {"<s>" + layer(0, 0, 0) + "</s>", "0", 0, 0x0000FF},          // no object: cleared, not counted
            {"<s>" + layer(9, 0, 0) + "</s>", "0", 0, 0x0000FF},          // names no object
            {"<s>" + layer(1, 6, 0) + "</s>", "0", 0, 0x000000},          // unknown type: nothing at all
            {"<s>" + layer(1, 0, 0) + "</s><s>" + layer(1, 4, 0) + "</s>", "0", 2, 0xFF0000},
            {"<s>" + layer(1, 0, 0) + "</s>", "1", 1, 0x0000FF},          // visibility 0.999: not drawn
            {"<s>" + layer(1, 0, 0) + "</s>", "2", 1, 0xFF0000},          // visibility exactly 1: drawn
            {"<s>" + layer(1, 0, 0) + "</s>", "9", 1, 0xFF0000},          // names no function: always visible
        };
        for (const Case &c : cases) {
            SceneText text = base(c.visibility);
            text.sections[gltest::S_TIMELINE] = c.timeline;
            scene::Scene *sc = gltest::build_scene(text, static_cast<int8_t>(glsl), gltest::mesa_caps(), assets.package);
            render::render_reset_targets();
            glDisable(GL_SCISSOR_TEST);
            glClearColor(0, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, 0, gltest::kWindowWidth, gltest::kWindowHeight);
            uint32_t count = render::render_at_time(sc, 50, gltest::kWindowWidth, gltest::kWindowHeight, kFull,
                                                    gltest::mesa_caps(), static_cast<int8_t>(glsl));
            EXPECT_EQ(count, c.expected_count) << c.timeline << " glsl " << glsl;
            EXPECT_EQ(centre_pixel(), c.expected_pixel) << std::hex << c.timeline << " glsl " << glsl;
            // Past the end of every slot nothing is active: 0 ends the demo.
            EXPECT_EQ(render::render_at_time(sc, 101, gltest::kWindowWidth, gltest::kWindowHeight, kFull,
                                             gltest::mesa_caps(), static_cast<int8_t>(glsl)),
                      0u);
            scene::scene_release(sc);
        }
    }
    glUseProgram(0);
}

TEST(FrameGL, RenderTargetsAreSizedByTheRules) {
    Assets assets;
    ASSERT_NE(assets.package, nullptr);
    struct Case {
        int type;
        const char *bitmap;
        uint8_t fbo, npot;
        uint16_t window_w, window_h;
        int32_t w, h;
    } cases[] = {
        {1, "big.png", 0, 0, 800, 600, 256, 256},   // larger than the window, copied out: power-of-two rule
        {1, "big.png", 0, 1, 800, 600, 800, 600},   // ... or the window size with any-size textures
        {1, "big.png", 1, 0, 800, 600, 1024, 1024}, // a frame buffer object keeps it as it is
        {2, "small.png", 1, 1, 300, 200, 150, 100}, // quarter screen: half the window
        {2, "small.png", 1, 0, 300, 200, 128, 64},  // ... rounded by the power-of-two rule
        {2, "small.png", 0, 0, 256, 256, 128, 128},
    };
    for (const Case &c : cases) {
        SceneText text = base();
        text.sections[gltest::S_BITMAPS] = std::string("<b filename=\"") + c.bitmap + "\" texture_filter=\"2\"/>";
        text.sections[gltest::S_TIMELINE] = "<s>" + layer(1, c.type, 1) + "</s>";
        render::Capabilities caps = gltest::mesa_caps();
        caps.fbo = c.fbo;
        caps.npot = c.npot;
        scene::Scene *sc = gltest::build_scene(text, 1, caps, assets.package);
        GLuint fbo = 0;
        if (c.fbo) glGenFramebuffersEXT(1, &fbo);
        render::render_set_framebuffer(fbo);
        render::render_reset_targets();
        render::render_at_time(sc, 10, c.window_w, c.window_h, kFull, caps, 1);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        textures::Bitmap *b = resources::object_at<textures::Bitmap>(sc->bitmaps, 1);
        EXPECT_EQ(b->width, c.w) << "type " << c.type << " fbo " << int(c.fbo) << " npot " << int(c.npot);
        EXPECT_EQ(b->height, c.h) << "type " << c.type << " fbo " << int(c.fbo) << " npot " << int(c.npot);
        EXPECT_EQ(b->texture_filter, textures::FILTER_LINEAR) << "a mip-mapped target turns linear";
        if (c.fbo) {
            EXPECT_NE(b->depth_renderbuffer, 0u);
            glDeleteFramebuffersEXT(1, &fbo);
        }
        render::render_set_framebuffer(0);
        scene::scene_release(sc);
    }
    glUseProgram(0);
    glViewport(0, 0, gltest::kWindowWidth, gltest::kWindowHeight);
}

} // namespace
