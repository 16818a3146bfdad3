// The native side of the browser comparison (scripts/bench-web.sh runs both): the sample demo's
// texture graph, and its frames at fixed times at 640 x 360 on the GLSL path, measured by
// sample_timing.cpp exactly as bench.html measures them in the browser. One untimed warm-up
// round first, then a fixed number of rounds; the counters are medians over those rounds.
// Needs a display (xvfb-run -a: Mesa llvmpipe).
#include "sample_timing.h"

#include "player/gl_window.h"
#include "player/platform/platform.h"
#include "player/screen.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "scene/scene_release.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <vector>

namespace {

// The one window of both cases, at the frames' size, set up as frame.html sets up its canvas.
player::GlWindow *sample_window() {
    static player::GlWindow win;
    static bool ok = player::platform_video_start() && [] {
        win.screen = player::ScreenSize{bench::kSampleFrameWidth, bench::kSampleFrameHeight};
        win.aspect = player::screen_aspect_for(0, win.screen);
        win.viewport = player::screen_viewport_fit(win.screen, win.aspect);
        win.glsl = 1;
        return player::gl_window_open(&win, false, false, "bench") &&
               player::gl_window_setup(&win, true, nullptr);
    }();
    return ok ? &win : nullptr;
}

resources::XmlNode *sample_document() {
    FILE *package = std::fopen(BV_SAMPLE_DPK, "rb");
    if (!package) return nullptr;
    scene::DocumentStatus status;
    resources::XmlNode *doc = scene::scene_document_read(package, "demo.xmlz", &status);
    std::fclose(package);
    return doc;
}

void BM_SampleDemoGraph(benchmark::State &state) {
    player::GlWindow *win = sample_window();
    resources::XmlNode *doc = win ? sample_document() : nullptr;
    bench::GraphRound round;
    if (!doc || !bench::sample_graph_round(doc, &win->formats, &round)) {
        state.SkipWithError("needs an OpenGL window and the sample demo's package");
        resources::xml_free(doc);
        return;
    }
    std::vector<double> ms;
    for (auto _ : state) {
        bench::sample_graph_round(doc, &win->formats, &round);
        state.SetIterationTime(round.ms / 1000);
        ms.push_back(round.ms);
    }
    state.counters["median_ms"] = bench::sample_median(ms.data(), int(ms.size()));
    state.counters["outputs"] = round.outputs;
    state.counters["image_crc32"] = round.image_crc32;
    resources::xml_free(doc);
}
BENCHMARK(BM_SampleDemoGraph)
    ->Iterations(bench::kSampleGraphRounds)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SampleDemoFrames(benchmark::State &state) {
    player::GlWindow *win = sample_window();
    FILE *package = win ? std::fopen(BV_SAMPLE_DPK, "rb") : nullptr;
    scene::DocumentStatus status = scene::DOCUMENT_MISSING;
    resources::XmlNode *doc = package ? scene::scene_document_read(package, "demo.xmlz", &status) : nullptr;
    scene::Scene *demo = doc ? scene::scene_create() : nullptr;
    if (demo) {
        scene::LoadContext ctx = {package, &win->formats, win->caps, win->glsl, nullptr, nullptr, nullptr};
        status = scene::scene_document_build(demo, doc, "demo.xmlz", &ctx);
    }
    resources::xml_free(doc);
    if (package) std::fclose(package);
    if (!demo || status != scene::DOCUMENT_OK) {
        state.SkipWithError("needs an OpenGL window and the sample demo's package");
        scene::scene_release(demo);
        return;
    }
    bench::sample_frame_round(demo, win->viewport, win->caps, win->glsl); // programs and caches warmed
    std::vector<double> issue, finish;
    for (auto _ : state) {
        bench::FrameRound round = bench::sample_frame_round(demo, win->viewport, win->caps, win->glsl);
        state.SetIterationTime(round.issue_ms / 1000);
        issue.push_back(round.issue_ms);
        finish.push_back(round.finish_ms);
    }
    state.counters["issue_ms"] = bench::sample_median(issue.data(), int(issue.size()));
    state.counters["finish_ms"] = bench::sample_median(finish.data(), int(finish.size()));
    scene::scene_delete_gl_objects(demo);
    scene::scene_release(demo);
}
BENCHMARK(BM_SampleDemoFrames)
    ->Iterations(bench::kSampleFrameRounds)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
