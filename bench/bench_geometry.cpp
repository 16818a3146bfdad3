// Mesh effect updates and manipulator steps, each next to a copy of the bytes it writes.
#include "maths/cosine_table.h"
#include "geometry/manipulator.h"
#include "geometry/mesh_effect.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace {

// Positions and normals of the 900-vertex water grid: what one water update rewrites.
constexpr size_t kWaterBytes = size_t(geometry::kWaterVertices) * 6 * sizeof(float);
// 900 instances: what a 30 x 30 multiplier or a placer on the grid writes.
constexpr size_t kInstanceBytes = 900 * sizeof(geometry::Instance);

void copy_bytes(benchmark::State &state, size_t bytes) {
    std::vector<uint8_t> a(bytes, 7), b(bytes, 1);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
void BM_MemcpyWaterBytes(benchmark::State &state) {
    copy_bytes(state, kWaterBytes);
}
void BM_MemcpyInstanceBytes(benchmark::State &state) {
    copy_bytes(state, kInstanceBytes);
}
BENCHMARK(BM_MemcpyWaterBytes);
BENCHMARK(BM_MemcpyInstanceBytes);

// One update per iteration at a time that moves on, so every update does its full work (Lake
// water runs one simulation step per whole time unit).
void water(benchmark::State &state, uint8_t kind) {
    maths::cosine_table_build();
    geometry::MeshEffect e = {};
    geometry::mesh_effect_init(&e, kind);
    float t = 0.0f;
    for (auto _ : state) {
        t += 1.0f;
        float p[3] = {t, 0.0f, 0.0f};
        geometry::mesh_effect_apply(&e, p);
        benchmark::DoNotOptimize(e.mesh.positions);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kWaterBytes));
    geometry::mesh_effect_release(&e);
}
void BM_LakeWaterUpdate(benchmark::State &state) {
    water(state, geometry::MESH_EFFECT_LAKE_WATER);
}
void BM_CenterwaveUpdate(benchmark::State &state) {
    water(state, geometry::MESH_EFFECT_CENTERWAVE_WATER);
}
BENCHMARK(BM_LakeWaterUpdate);
BENCHMARK(BM_CenterwaveUpdate);

void BM_XyzMultiplier30x30(benchmark::State &state) {
    const float p[geometry::kManipulatorParameters] = {30, 30, 1, 1, 1, 0, 0, 0, 5, 0, 0, 0};
    bool cut = false;
    for (auto _ : state) {
        geometry::InstanceList in = {
            static_cast<geometry::Instance *>(std::calloc(1, sizeof(geometry::Instance))), 1};
        geometry::InstanceList out =
            geometry::manipulator_apply(in, geometry::MANIPULATOR_XYZ_MULTIPLIER, p, nullptr, nullptr, &cut);
        benchmark::DoNotOptimize(out.items);
        geometry::instance_list_free(&out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kInstanceBytes));
}
BENCHMARK(BM_XyzMultiplier30x30);

void BM_ModelPlacerOnWaterGrid(benchmark::State &state) {
    geometry::MeshEffect grid = {};
    geometry::mesh_effect_init(&grid, geometry::MESH_EFFECT_CENTERWAVE_WATER);
    const float p[geometry::kManipulatorParameters] = {1, 2, 3, 10, 20, 30, 2, 2, 2, 0, 5, 0};
    bool cut = false;
    for (auto _ : state) {
        geometry::InstanceList in = {
            static_cast<geometry::Instance *>(std::calloc(1, sizeof(geometry::Instance))), 1};
        geometry::InstanceList out =
            geometry::manipulator_apply(in, geometry::MANIPULATOR_MODEL_PLACER, p, nullptr, &grid.mesh, &cut);
        benchmark::DoNotOptimize(out.items);
        geometry::instance_list_free(&out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kInstanceBytes));
    geometry::mesh_effect_release(&grid);
}
BENCHMARK(BM_ModelPlacerOnWaterGrid);

} // namespace
