// What a preview reload of the sample demo costs in the engine: the demo document read from the
// package, inflated and parsed, every section built (textures generated, models uploaded, programs
// compiled), and the scene it replaces deleted with its GL objects. The target: a save is on
// screen within a second (bvtool preview adds the document check and the packing, and polls the
// folder every 100 ms). Needs a display, e.g. under xvfb-run.
#include "player/gl_window.h"
#include "player/platform/platform.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "scene/scene_release.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

void BM_SampleDemoReload(benchmark::State &state) {
    static player::GlWindow win;
    static bool gl = player::platform_video_start() && [] {
        win.screen = player::ScreenSize{64, 64};
        win.glsl = 1;
        return player::gl_window_open(&win, false, false, "bench") &&
               player::gl_window_setup(&win, true, nullptr);
    }();
    FILE *package = std::fopen(BV_SAMPLE_DPK, "rb");
    if (!gl || !package) {
        state.SkipWithError("needs an OpenGL window and the sample demo's package");
        if (package) std::fclose(package);
        return;
    }
    scene::Scene *shown = nullptr;
    for (auto _ : state) {
        scene::DocumentStatus status;
        resources::XmlNode *doc = scene::scene_document_read(package, "demo.xmlz", &status);
        scene::Scene *sc = scene::scene_create();
        scene::LoadContext ctx = {package, &win.formats, win.caps, win.glsl, nullptr, nullptr, nullptr};
        if (!doc || !sc || scene::scene_document_build(sc, doc, "demo.xmlz", &ctx) != scene::DOCUMENT_OK) {
            state.SkipWithError("the sample demo does not load");
            resources::xml_free(doc);
            scene::scene_release(sc);
            break;
        }
        resources::xml_free(doc);
        scene::scene_delete_gl_objects(shown);
        scene::scene_release(shown);
        shown = sc;
    }
    scene::scene_delete_gl_objects(shown);
    scene::scene_release(shown);
    std::fclose(package);
}
BENCHMARK(BM_SampleDemoReload)->Unit(benchmark::kMillisecond);

} // namespace
