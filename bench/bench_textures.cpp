// Texture generation speed: every generator and every graph operation on a 256 x 256 image, each
// next to its physical floor measured in the same run (a memset of the same 196608 bytes for the
// generators, a memcpy for the operations), and the whole texture graph of the test demo.
//
// Counters: op_us is the fastest of many single calls, floor_us the fastest of many memsets or
// memcpys of the same bytes (measured just before), x_floor their ratio. The fastest call is what
// the code costs when nothing else competes for the processor; means and even medians of single
// calls swing with whatever else the machine runs.
#include "maths/cosine_table.h"
#include "player/gl_window.h"
#include "player/platform/platform.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "textures/texture_filters.h"
#include "textures/texture_generators.h"
#include "textures/texture_graph.h"

#include <SDL.h>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int N = 256;
constexpr size_t kBytes = size_t(N) * N * 3;
using Clock = std::chrono::steady_clock;

// Buffers allocated and written once, before any timing, so no page is first touched while timed.
struct Buffers {
    std::vector<uint8_t> a, b, l, out, spare;
    Buffers() : a(kBytes), b(kBytes), l(kBytes), out(kBytes), spare(kBytes) {
        for (size_t i = 0; i < kBytes; i++) {
            a[i] = static_cast<uint8_t>(i * 31);
            b[i] = static_cast<uint8_t>(i * 17 + 3);
            l[i] = static_cast<uint8_t>(i / 3);
            out[i] = static_cast<uint8_t>(i);
            spare[i] = static_cast<uint8_t>(i * 7);
        }
    }
};

Buffers &buffers() {
    static Buffers b;
    return b;
}

double fastest(const std::vector<double> &v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

enum Floor { FLOOR_MEMCPY, FLOOR_MEMSET };

// Nanoseconds of the fastest of many single memcpys (or memset) of kBytes between the warm buffers.
double floor_ns(Floor kind) {
    Buffers &buf = buffers();
    std::vector<double> times;
    for (int i = 0; i < 401; i++) {
        Clock::time_point t0 = Clock::now();
        if (kind == FLOOR_MEMCPY)
            std::memcpy(buf.spare.data(), buf.a.data(), kBytes);
        else
            std::memset(buf.spare.data(), i & 0xFF, kBytes);
        benchmark::ClobberMemory();
        times.push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count());
    }
    return fastest(times);
}

// Runs the benchmark loop over `call`, timing each call, and reports the ratio to the floor.
template <typename Call> void run_against_floor(benchmark::State &state, Floor kind, Call call) {
    double floor = floor_ns(kind);
    std::vector<double> times;
    for (auto _ : state) {
        Clock::time_point t0 = Clock::now();
        call();
        benchmark::ClobberMemory();
        times.push_back(std::chrono::duration<double, std::nano>(Clock::now() - t0).count());
    }
    double op = fastest(times);
    state.counters["op_us"] = op / 1000;
    state.counters["floor_us"] = floor / 1000;
    state.counters["x_floor"] = floor > 0 ? op / floor : 0;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kBytes));
}

void BM_Memcpy(benchmark::State &state) {
    Buffers &buf = buffers();
    run_against_floor(state, FLOOR_MEMCPY, [&] { std::memcpy(buf.out.data(), buf.a.data(), kBytes); });
}
BENCHMARK(BM_Memcpy);

void BM_Memset(benchmark::State &state) {
    Buffers &buf = buffers();
    run_against_floor(state, FLOOR_MEMSET, [&] { std::memset(buf.out.data(), 0x3C, kBytes); });
}
BENCHMARK(BM_Memset);

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
    Buffers &buf = buffers();
    run_against_floor(state, FLOOR_MEMSET,
                      [&] { textures::texture_generate(kind, kParams[kind], buf.out.data(), N); });
}
BENCHMARK(BM_Generator)->DenseRange(0, textures::kGeneratorCount - 1);

void BM_Filter(benchmark::State &state) {
    static const uint8_t kTypes[textures::kFilterCount] = {101, 102, 103, 104, 201, 202, 203,
                                                           204, 205, 206, 207, 208, 209, 210};
    uint8_t type = kTypes[state.range(0)];
    state.SetLabel(textures::kFilterDescriptors[state.range(0)].name);
    maths::cosine_table_build();
    Buffers &buf = buffers();
    const float params[9] = {0.6f, 0.5f, 3, 2};
    run_against_floor(state, FLOOR_MEMCPY, [&] {
        textures::texture_filter_apply(type, buf.a.data(), buf.b.data(), buf.l.data(), params, N,
                                       buf.out.data());
    });
}
BENCHMARK(BM_Filter)->DenseRange(0, textures::kFilterCount - 1);

// Ripple of a flat image: every quotient is a whole number give or take a rounding, so every
// pixel takes the double arithmetic (the slowest case).
void BM_RippleOfFlatImage(benchmark::State &state) {
    maths::cosine_table_build();
    Buffers &buf = buffers();
    std::vector<uint8_t> flat(kBytes, 77);
    const float params[9] = {0.6f, 0.5f, 3, 2};
    run_against_floor(state, FLOOR_MEMCPY, [&] {
        textures::texture_filter_apply(204, flat.data(), flat.data(), flat.data(), params, N, buf.out.data());
    });
}
BENCHMARK(BM_RippleOfFlatImage);

// The test demo's graph: layers drawn, nodes computed, output nodes uploaded (needs a GL window).
void BM_TestDemoGraph(benchmark::State &state) {
    static player::GlWindow win;
    static bool gl = player::platform_video_start() && [] {
        win.screen = player::ScreenSize{64, 64};
        win.glsl = 1;
        return player::gl_window_open(&win, false, false, "bench") &&
               player::gl_window_setup(&win, false, nullptr);
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
    maths::cosine_table_build();
    textures::LayerTable *table =
        static_cast<textures::LayerTable *>(std::calloc(1, sizeof(textures::LayerTable)));
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
