// 2D effect textures under Mesa: creation and updates through pixel buffers and client memory,
// and material application regenerating an effect once per time.
#include "gl_util.h"
#include "scene_builder.h"

#include "geometry/effect2d.h"
#include "render/material.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using gltest::SceneText;

// Function 1: P0 = t / 10. Scenes are built for the combiner path: a GLSL build leaves a program
// in use that would leak into later fixed-function tests.
SceneText effect_scene(const char *effects) {
    SceneText s;
    s.sections[gltest::S_FUNCTIONS] = "<f type=\"0\" loop_type=\"0\" loop_begin=\"0\" loop_end=\"0\">"
                                      "<s type=\"1\" length=\"100000\"><a>0.1</a><b>0</b></s></f>";
    s.sections[gltest::S_EFFECTS2D] = effects;
    s.sections[gltest::S_SLOTS] = "<t type=\"2\" id=\"1\"/>";
    s.sections[gltest::S_MATERIALS] = "<m><texture1 value=\"1\"/></m><m><texture1 value=\"1\"/></m>";
    return s;
}

// The effect's texture as GL holds it (red for an 8-bit effect).
std::vector<uint8_t> texture_of(const geometry::Effect2D *e) {
    int channels = e->bits_per_pixel / 8;
    return gltest::read_level(GL_TEXTURE_2D, e->texture, GL_TEXTURE_2D, 0, channels == 1 ? GL_RED : GL_RGB,
                              channels);
}

// What the effect generates for P0 (a fresh generation of a copy without state).
std::vector<uint8_t> generated(const geometry::Effect2D *e, float p0) {
    geometry::Effect2D copy = *e;
    copy.state = nullptr;
    std::vector<uint8_t> out(geometry::effect2d_image_bytes(e));
    float p[geometry::kEffect2DParameters] = {p0};
    geometry::effect2d_generate(&copy, p, out.data());
    return out;
}

TEST(EffectsGL, PixelBuffersAndClientMemoryUploadTheSameImages) {
    const char *effects =
        "<e type=\"1\" resolution=\"64x64\"><p>1</p></e><e type=\"3\" resolution=\"128x128\" "
        "bpp=\"8\"><p>1</p></e><e type=\"4\" resolution=\"64x64\"><p>1</p></e>";
    render::Capabilities with_pbo = gltest::mesa_caps();
    render::Capabilities without = render::capabilities_for_loading(with_pbo);
    scene::Scene *a = gltest::build_scene(effect_scene(effects), 0, with_pbo);
    scene::Scene *b = gltest::build_scene(effect_scene(effects), 0, without);
    for (uint32_t i = 1; i <= 3; i++) {
        SCOPED_TRACE(i);
        geometry::Effect2D *ea = resources::object_at<geometry::Effect2D>(a->effects2d, i);
        geometry::Effect2D *eb = resources::object_at<geometry::Effect2D>(b->effects2d, i);
        EXPECT_NE(ea->pixel_buffer, 0u);
        EXPECT_EQ(eb->pixel_buffer, 0u); // the loading document never uses pixel buffers
        EXPECT_EQ(texture_of(ea), generated(ea, 0.0f));
        EXPECT_EQ(texture_of(eb), texture_of(ea));
        geometry::effect2d_update(i, a->effects2d, a->functions, 250, true);
        geometry::effect2d_update(i, b->effects2d, b->functions, 250, false);
        EXPECT_EQ(texture_of(ea), generated(ea, 25.0f));
        EXPECT_EQ(texture_of(eb), texture_of(ea));
    }
    scene::scene_release(a);
    scene::scene_release(b);
}

TEST(EffectsGL, TwoMaterialsAtOneTimeRegenerateOnce) {
    scene::Scene *sc = gltest::build_scene(effect_scene("<e type=\"0\" resolution=\"64x64\"><p>1</p></e>"), 0,
                                           gltest::mesa_caps());
    geometry::Effect2D *e = resources::object_at<geometry::Effect2D>(sc->effects2d, 1);
    render::Material *m1 = resources::object_at<render::Material>(sc->materials, 1);
    render::Material *m2 = resources::object_at<render::Material>(sc->materials, 2);
    render::material_resolve_textures(m1, sc, 70, true);
    EXPECT_EQ(e->time_stamp, 70u);
    EXPECT_EQ(texture_of(e), generated(e, 7.0f));
    // Overwritten behind the effect's back: a second binding at the same time must not regenerate.
    std::vector<uint8_t> zeros(64 * 64 * 3, 0);
    glBindTexture(GL_TEXTURE_2D, e->texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 64, 64, GL_RGB, GL_UNSIGNED_BYTE, zeros.data());
    render::material_resolve_textures(m2, sc, 70, true);
    EXPECT_EQ(texture_of(e), zeros);
    render::material_resolve_textures(m2, sc, 80, true);
    EXPECT_EQ(texture_of(e), generated(e, 8.0f));
    EXPECT_EQ(e->time_stamp, 80u);
    scene::scene_release(sc);
}

} // namespace
