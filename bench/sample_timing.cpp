#include "sample_timing.h"

#include "render/frame.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "scene/scene_release.h"
#include "textures/texture_definitions.h"
#include "textures/texture_graph.h"

#include <GL/glew.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <zlib.h>

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double ms_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Returns once everything drawn so far is in the frame buffer. glFinish would not do: WebGL's
// finish in Chromium returns without waiting for the GPU process. A pixel read back waits, there
// and natively.
void drawing_wait() {
    uint8_t pixel[4];
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}

} // namespace

bool sample_graph_round(const resources::XmlNode *document, const textures::TextureFormatTable *formats,
                        GraphRound *out) {
    const resources::XmlNode *layers = scene::scene_document_section(document, 1);
    if (resources::xml_child_count(layers) > int32_t(textures::kMaxTextureLayers)) return false;
    scene::Scene *sc = scene::scene_create();
    textures::LayerTable *table =
        static_cast<textures::LayerTable *>(std::calloc(1, sizeof(textures::LayerTable)));
    if (!sc || !table) {
        std::free(table);
        scene::scene_release(sc);
        return false;
    }
    Clock::time_point start = Clock::now();
    textures::texture_graph_load(sc->textures, table, layers, scene::scene_document_section(document, 2),
                                 formats, nullptr, nullptr);
    Clock::time_point done = Clock::now();
    *out = GraphRound{};
    out->ms = ms_between(start, done);
    out->image_crc32 = uint32_t(crc32(0, nullptr, 0));
    for (uint32_t i = 1; i <= sc->textures->count; i++) {
        const textures::ProceduralTexture *t =
            resources::object_at<textures::ProceduralTexture>(sc->textures, i);
        if (!t || t->type != textures::kOutputNodeType || !t->image) continue;
        out->image_crc32 = uint32_t(crc32(out->image_crc32, t->image, uInt(textures::kGraphImageBytes)));
        if (out->outputs < kGraphRoundImageCrcs)
            out->output_crc32[out->outputs] =
                uint32_t(crc32(crc32(0, nullptr, 0), t->image, uInt(textures::kGraphImageBytes)));
        out->outputs++;
    }
    textures::texture_layers_release(table);
    std::free(table);
    textures::texture_graph_release_images(sc->textures);
    scene::scene_delete_gl_objects(sc);
    scene::scene_release(sc);
    return true;
}

FrameRound sample_frame_round(scene::Scene *demo, render::Viewport viewport, const render::Capabilities &caps,
                              int8_t glsl) {
    scene::scene_reset_effects(demo);
    FrameRound sum = {0, 0};
    for (uint32_t t : kSampleFrameTimes) {
        // The whole window black first, bars included, as bvtool render and frame.html clear it.
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        drawing_wait();
        Clock::time_point start = Clock::now();
        render::render_at_time(demo, t / 10, kSampleFrameWidth, kSampleFrameHeight, viewport, caps, glsl);
        Clock::time_point issued = Clock::now();
        drawing_wait();
        Clock::time_point finished = Clock::now();
        sum.issue_ms += ms_between(start, issued);
        sum.finish_ms += ms_between(start, finished);
    }
    return FrameRound{sum.issue_ms / kSampleFrameTimeCount, sum.finish_ms / kSampleFrameTimeCount};
}

double sample_median(const double *values, int n) {
    if (n <= 0 || n > 64) return 0;
    double sorted[64];
    std::copy(values, values + n, sorted);
    std::sort(sorted, sorted + n);
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

} // namespace bench
