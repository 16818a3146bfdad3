// 2D effect generation at 512 x 512 (24 and 8 bits), one image per iteration, next to a memset of
// the same buffer.
#include "maths/cosine_table.h"
#include "geometry/effect2d.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 512;

void BM_MemsetEffectImage(benchmark::State &state) {
    int bits = static_cast<int>(state.range(0));
    std::vector<uint8_t> image(size_t(kSize) * kSize * bits / 8);
    uint8_t v = 0;
    for (auto _ : state) {
        std::memset(image.data(), v++, image.size());
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}
BENCHMARK(BM_MemsetEffectImage)->Arg(24)->Arg(8);

void BM_Effect2D(benchmark::State &state) {
    maths::cosine_table_build();
    geometry::Effect2D e = {};
    e.kind = static_cast<uint8_t>(state.range(0));
    e.bits_per_pixel = static_cast<uint8_t>(state.range(1));
    e.width = e.height = kSize;
    geometry::AmobaState amoba = {};
    std::vector<uint8_t> amoba_image;
    if (e.kind == geometry::EFFECT2D_AMOBA) {
        amoba_image.assign(geometry::effect2d_image_bytes(&e), 0);
        for (size_t i = 0; i < amoba_image.size(); i += 97)
            amoba_image[i] = 200; // something to grow
        amoba.image = amoba_image.data();
        e.state = &amoba;
    }
    state.SetLabel(std::string(geometry::kEffect2DDescriptors[e.kind].name) +
                   (e.bits_per_pixel == 8 ? " 8" : " 24"));
    std::vector<uint8_t> image(geometry::effect2d_image_bytes(&e));
    float p[geometry::kEffect2DParameters] = {};
    for (auto _ : state) {
        p[0] += 1.0f; // a new whole step every update, so "Amoba" grows each time
        geometry::effect2d_generate(&e, p, image.data());
        benchmark::DoNotOptimize(image.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(image.size()));
}
BENCHMARK(BM_Effect2D)->ArgsProduct({{0, 1, 2, 3, 4}, {24, 8}})->Unit(benchmark::kMicrosecond);

} // namespace
