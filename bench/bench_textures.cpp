// Texture generation speed: every generator and every graph operation on a 256 x 256 image, next to
// a plain copy of the same 196608 bytes, and the whole texture graph of the test demo.
#include "geometry/cosine_table.h"
#include "player/gl_window.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "textures/texture_filters.h"
#include "textures/texture_generators.h"
#include "textures/texture_graph.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int N = 256;
constexpr size_t kBytes = size_t(N) * N * 3;

void BM_Memcpy(benchmark::State &state) {
    std::vector<uint8_t> a(kBytes, 7), b(kBytes);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), kBytes);
        benchmark::DoNotOptimize(b.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}
BENCHMARK(BM_Memcpy);

void BM_Generator(benchmark::State &state) {
    // Parameters that make each generator do its full work.
    static const float kParams[textures::kGeneratorCount][textures::kLayerParameters] = {
        {0.8f, 0.5f, 0.25f},
        {1, 0.7f, 0.3f, 3, 2},
        {0.9f, 0.1f, 0.2f, 0.1f, 0.3f, 1, 1.3f, 20},
        {0.9f, 0.8f, 0.3f, 4, 1234, 0.5f},
        {0.7f, 0.3f, 0.2f, 0.9f, 0.9f, 0.8f, 6, 5, 3, 2, 21},
        {0.9f, 0.6f, 0.3f, 777},
    };
    int kind = static_cast<int>(state.range(0));
    state.SetLabel(textures::kGeneratorDescriptors[kind].name);
    textures::maze_tiles_build();
    std::vector<uint8_t> image(kBytes);
    for (auto _ : state) {
        textures::texture_generate(kind, kParams[kind], image.data(), N);
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}
BENCHMARK(BM_Generator)->DenseRange(0, textures::kGeneratorCount - 1);

void BM_Filter(benchmark::State &state) {
    static const uint8_t kTypes[textures::kFilterCount] = {101, 102, 103, 104, 201, 202, 203,
                                                           204, 205, 206, 207, 208, 209, 210};
    uint8_t type = kTypes[state.range(0)];
    state.SetLabel(textures::kFilterDescriptors[state.range(0)].name);
    geometry::cosine_table_build();
    std::vector<uint8_t> a(kBytes), b(kBytes), l(kBytes), out(kBytes);
    for (size_t i = 0; i < kBytes; i++) {
        a[i] = static_cast<uint8_t>(i * 31);
        b[i] = static_cast<uint8_t>(i * 17 + 3);
        l[i] = static_cast<uint8_t>(i / 3);
    }
    const float params[9] = {0.6f, 0.5f, 3, 2};
    for (auto _ : state) {
        textures::texture_filter_apply(type, a.data(), b.data(), l.data(), params, N, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}
BENCHMARK(BM_Filter)->DenseRange(0, textures::kFilterCount - 1);

// The test demo's graph: layers drawn, nodes computed, output nodes uploaded (needs a GL window).
void BM_TestDemoGraph(benchmark::State &state) {
    static player::GlWindow win;
    static bool gl = SDL_Init(SDL_INIT_VIDEO) == 0 && [] {
        win.screen = player::ScreenSize{64, 64};
        win.glsl = 1;
        return player::gl_window_open(&win, false, false, "bench") && player::gl_window_setup(&win, false, nullptr);
    }();
    FILE *package = std::fopen(BV_TESTDEMO_DPK, "rb");
    scene::DocumentStatus status;
    resources::XmlNode *doc = package ? scene::scene_document_read(package, "demo.xmlz", &status) : nullptr;
    if (package) std::fclose(package);
    if (!gl || !doc) {
        state.SkipWithError("needs an OpenGL window and the packed test demo");
        resources::xml_free(doc);
        return;
    }
    geometry::cosine_table_build();
    textures::LayerTable *table = static_cast<textures::LayerTable *>(std::calloc(1, sizeof(textures::LayerTable)));
    for (auto _ : state) {
        scene::Scene *sc = scene::scene_create();
        textures::texture_graph_load(sc->textures, table, scene::scene_document_section(doc, 1),
                                     scene::scene_document_section(doc, 2), &win.formats, nullptr, nullptr);
        textures::texture_layers_release(table);
        textures::texture_graph_release_images(sc->textures);
        scene::scene_release(sc);
    }
    std::free(table);
    resources::xml_free(doc);
}
BENCHMARK(BM_TestDemoGraph)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
