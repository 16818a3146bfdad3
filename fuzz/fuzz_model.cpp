// The model file reader through normals, line indices and centre: any bytes as an inflated model.
#include "fuzz_support.h"

#include "geometry/mesh.h"
#include "geometry/model.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace geometry;

static volatile float g_sink;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    fuzz::fuzz_quiet_log();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 0xFFFFFFFFu) return 0;
    // The mesh owns its block, as a model owns its inflated file.
    uint8_t *block = static_cast<uint8_t *>(std::malloc(size ? size : 1));
    if (size) std::memcpy(block, data, size);
    Mesh mesh;
    if (!mesh_from_model_file(&mesh, block, static_cast<uint32_t>(size), "fuzz.mdl")) {
        std::free(block);
        return 0;
    }
    for (uint32_t i = 0; i < mesh.index_count; i++)
        if (mesh.indices[i] >= mesh.vertex_count) fuzz::fuzz_fail("a kept triangle names a missing vertex");
    // The Rippler's separate arrays first, then the mesh's own.
    std::vector<float> normals(size_t(mesh.vertex_count) * 3);
    mesh_normals_from(mesh.positions, normals.data(), mesh.vertex_count, mesh.indices, mesh.index_count);
    mesh_recompute_normals(&mesh);
    const uint16_t *lines = mesh_line_indices(&mesh);
    if (lines && mesh.index_count) g_sink = float(lines[2 * mesh.index_count - 1]);
    const float *centre = mesh_centre(&mesh);
    if (centre) g_sink = centre[0] + centre[1] + centre[2];
    mesh_release(&mesh);
    return 0;
}
