// Every section reader of the scene document, driven through the scene loader as the player drives
// it: the input is a document's text. It is loaded twice, as the loading scene (no buffer objects)
// and as the demo (with progress frames that draw the loading scene), and the demo is then drawn
// at a few times. Models, bitmaps and cube-map faces come from a package made in memory with the
// test demo's entry names. The input's length picks the render path and the capabilities.
#include "fuzz_support.h"

#include "maths/cosine_table.h"
#include "render/frame.h"
#include "maths/matrix.h"
#include "resources/xml.h"
#include "scene/load_progress.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "textures/texture_format.h"
#include "textures/texture_generators.h"

#include <string>
#include <vector>

#include "gl_null/gl_null.h"

namespace {

std::vector<uint8_t> g_package;
FILE *g_package_file;
textures::TextureFormatTable g_formats;

struct Frames {
    scene::Scene *loading;
    render::Capabilities caps;
    int8_t glsl;
    uint32_t clock;
};

constexpr render::Viewport kViewport = {0, 0, 1280, 720};

// A clock that moves 7 ms a call: a progress frame every eighth record.
uint32_t fake_ticks(void *user) {
    return static_cast<Frames *>(user)->clock += 7;
}

void draw_loading(void *user, uint32_t value) {
    Frames *frames = static_cast<Frames *>(user);
    render::render_at_time(frames->loading, value, 1280, 720, kViewport, frames->caps, frames->glsl);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::fuzz_quiet_log();
    maths::cosine_table_build();
    textures::maze_tiles_build();
    std::vector<uint8_t> model = fuzz::fuzz_packed(fuzz::fuzz_cube_model());
    std::vector<fuzz::FuzzEntry> entries = {
        {"quad.mdl", model},
        {"cube.mdl", model},
        {"target.png", fuzz::fuzz_png(256, 256, 3)},
        {"quarter.png", fuzz::fuzz_png(64, 64, 3)},
        {"atlas.png", fuzz::fuzz_png(384, 256, 3)},
        {"checker.png", fuzz::fuzz_png(64, 64, 3)},
        {"checker_mm1.png", fuzz::fuzz_png(32, 32, 3)},
        {"alpha.png", fuzz::fuzz_png(32, 16, 4)},
        {"grey.jpg", fuzz::fuzz_jpeg(64, 64, 1)},
    };
    for (const char *face :
         {"sky_px.png", "sky_nx.png", "sky_py.png", "sky_ny.png", "sky_pz.png", "sky_nz.png"})
        entries.push_back({face, fuzz::fuzz_png(64, 64, 3)});
    g_package = fuzz::fuzz_package(entries);
    g_package_file = fuzz::fuzz_memory_file(g_package.data(), g_package.size());
    g_formats = textures::texture_format_table_build(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string text(reinterpret_cast<const char *>(data), size);
    resources::XmlNode *document = resources::xml_parse(text.c_str());
    if (!document) return 0;

    uint32_t pick = static_cast<uint32_t>(size);
    render::Capabilities caps = {1,
                                 1,
                                 1,
                                 uint8_t(1 + (pick >> 1) % 4),
                                 uint8_t((pick >> 3) & 1),
                                 uint8_t((pick >> 4) & 1),
                                 1,
                                 uint8_t((pick >> 5) & 1)};
    int8_t glsl = int8_t(pick & 1);
    maths::matrix_reset(maths::matrix_state());
    render::render_set_framebuffer(caps.fbo ? 1 : 0);
    render::render_reset_targets();

    Frames frames = {scene::scene_create(), render::capabilities_for_loading(caps), glsl, 0};
    scene::LoadContext loading_ctx = {g_package_file, &g_formats, frames.caps, glsl,
                                      nullptr,        nullptr,    nullptr};
    scene::scene_document_build(frames.loading, document, "loading.xmlz", &loading_ctx);

    scene::Scene *demo = scene::scene_create();
    scene::LoadProgress progress = {};
    progress.ticks = fake_ticks;
    progress.draw_frame = draw_loading;
    progress.user = &frames;
    scene::LoadContext demo_ctx = {g_package_file, &g_formats, caps, glsl, &progress, nullptr, nullptr};
    if (scene::scene_document_build(demo, document, "demo.xmlz", &demo_ctx) == scene::DOCUMENT_OK) {
        for (uint32_t t : {0u, 1u, 150u, 1000u, 9999u, 72000u, 429496729u})
            render::render_at_time(demo, t, 1280, 720, kViewport, caps, glsl);
    }
    scene::scene_release(frames.loading);
    scene::scene_release(demo);
    resources::xml_free(document);
    gl_null::gl_null_reset();
    return 0;
}
