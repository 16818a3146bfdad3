// bench.html's program, the browser's side of bench_sample.cpp: the page fetches a package into the
// file system and passes its path; the program sets up a 640 x 360 canvas as frame.html does and
// makes the measurements of sample_timing.cpp, the same rounds as the native benchmarks. The
// page's title then says "bench ready {JSON}" (medians in milliseconds, the output images'
// CRC-32, the SIMD sources of this build), or "bench failed: REASON". With "textures" after the
// path it only generates the texture graph once and says "textures ready {JSON}" with each output
// image's CRC-32, for the tests.
#include "../sample_timing.h"

#include "player/gl_window.h"
#include "player/screen.h"
#include "resources/log.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "scene/scene_release.h"

#include <SDL.h>
#include <cstdio>
#include <emscripten.h>
#include <string>

namespace {

int fail(const std::string &reason) {
    emscripten_set_window_title(("bench failed: " + reason).c_str());
    std::printf("bench failed: %s\n", reason.c_str());
    return 1;
}

// The output images' CRC-32s as a JSON list.
std::string crc_list(const bench::GraphRound &graph) {
    std::string list = "[";
    for (uint32_t i = 0; i < graph.outputs && i < bench::kGraphRoundImageCrcs; i++)
        list += (i ? ", " : "") + std::to_string(graph.output_crc32[i]);
    return list + "]";
}

} // namespace

int main(int argc, char **argv) {
    bool textures_only = argc == 3 && std::string(argv[2]) == "textures";
    if (argc != 2 && !textures_only) return fail("bad parameters (package=P[&only=textures])");
    resources::log_attach(stdout);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail("no video");
    player::GlWindow win = {};
    win.screen = player::ScreenSize{bench::kSampleFrameWidth, bench::kSampleFrameHeight};
    win.aspect = player::screen_aspect_for(0, win.screen);
    win.viewport = player::screen_viewport_fit(win.screen, win.aspect);
    win.glsl = 1;
    if (!player::gl_window_open(&win, false, false, "bench") || !player::gl_window_setup(&win, true, nullptr))
        return fail("no WebGL 2");

    FILE *package = std::fopen(argv[1], "rb");
    if (!package) return fail("cannot open the package");
    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(package, "demo.xmlz", &status);
    if (!document) return fail("demo.xmlz cannot be read");

    bench::GraphRound graph;
    if (!bench::sample_graph_round(document, &win.formats, &graph))
        return fail("the texture graph cannot be made");
    if (textures_only) {
        std::string json = "{\"outputs\": " + std::to_string(graph.outputs) +
                           ", \"output_crc32\": " + crc_list(graph) +
                           ", \"simd_sources\": \"" BV_WEB_SIMD_SOURCES "\"}";
        resources::xml_free(document);
        std::fclose(package);
        emscripten_set_window_title(("textures ready " + json).c_str());
        return 0;
    }
    double graph_ms[bench::kSampleGraphRounds];
    for (double &ms : graph_ms) {
        bench::sample_graph_round(document, &win.formats, &graph);
        ms = graph.ms;
    }

    scene::Scene *demo = scene::scene_create();
    scene::LoadContext ctx = {package, &win.formats, win.caps, win.glsl, nullptr, nullptr, nullptr};
    status =
        demo ? scene::scene_document_build(demo, document, "demo.xmlz", &ctx) : scene::DOCUMENT_MALFORMED;
    resources::xml_free(document);
    std::fclose(package);
    if (status != scene::DOCUMENT_OK) return fail("demo.xmlz cannot be played");
    bench::sample_frame_round(demo, win.viewport, win.caps, win.glsl); // programs and caches warmed
    double issue_ms[bench::kSampleFrameRounds], finish_ms[bench::kSampleFrameRounds];
    for (int i = 0; i < bench::kSampleFrameRounds; i++) {
        bench::FrameRound round = bench::sample_frame_round(demo, win.viewport, win.caps, win.glsl);
        issue_ms[i] = round.issue_ms;
        finish_ms[i] = round.finish_ms;
    }
    scene::scene_delete_gl_objects(demo);
    scene::scene_release(demo);

    char json[512];
    std::snprintf(json, sizeof json,
                  "{\"graph_ms\": %.4f, \"graph_rounds\": %d, \"outputs\": %u, \"image_crc32\": %u, "
                  "\"issue_ms\": %.4f, \"finish_ms\": %.4f, \"frame_rounds\": %d, \"simd_sources\": \"%s\"}",
                  bench::sample_median(graph_ms, bench::kSampleGraphRounds), bench::kSampleGraphRounds,
                  graph.outputs, graph.image_crc32, bench::sample_median(issue_ms, bench::kSampleFrameRounds),
                  bench::sample_median(finish_ms, bench::kSampleFrameRounds), bench::kSampleFrameRounds,
                  BV_WEB_SIMD_SOURCES);
    std::printf("bench ready %s\n", json);
    emscripten_set_window_title((std::string("bench ready ") + json).c_str());
    return 0;
}
