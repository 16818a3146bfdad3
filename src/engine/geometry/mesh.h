// The mesh shared by models, mesh effects and glyphs: 16-bit vertex count, positions, normals, up to
// three texture coordinate sets, 16-bit triangle indices, and what is built from them on demand.
#pragma once

#include <cstdint>

namespace geometry {

enum MeshBuffer { MESH_BUFFER_POSITIONS = 0, MESH_BUFFER_TEXCOORD0 = 1, MESH_BUFFER_NORMALS = 4, MESH_BUFFER_INDICES = 5 };

struct Mesh {
    uint8_t *data_block;      // a model's inflated file, which the arrays point into; owned
    uint16_t vertex_count;    // N
    uint32_t index_count;     // 16-bit triangle indices, three per triangle
    float *positions;         // N x 3
    float *texcoords[3];      // N x 2 each; null when absent
    uint8_t texcoord_set_count;
    float *normals;           // N x 3
    uint16_t *indices;        // index_count
    uint16_t *line_indices;   // 2 x index_count; null until first needed
    uint32_t buffers[6];      // GL buffers: positions, texcoord 0, 1, 2, normals, indices; 0 when none
    float *centre;            // 3 floats; null until first needed
};

} // namespace geometry
