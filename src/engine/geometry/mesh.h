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

namespace geometry {

// Recomputes the normals of a mesh from its positions and triangles: the average of the unit face
// normals around each vertex (not normalised again); a face normal shorter than 0.001 is added
// unnormalised. Double-precision arithmetic, float results.
void mesh_recompute_normals(Mesh *mesh);

// The same on separate arrays (vertex_count x 3 floats each), for displaced copies of a mesh.
// Triangles that name a vertex at or above vertex_count are skipped.
void mesh_normals_from(const float *positions, float *normals, uint32_t vertex_count, const uint16_t *indices,
                       uint32_t index_count);

// The line index array (three edges per triangle, 2 x index_count values), built on first call,
// which prints "GenerateLineIndexArray" on standard output. Null when the mesh has no triangles.
const uint16_t *mesh_line_indices(Mesh *mesh);

// The mesh centre (mean of the positions, summed in float), computed on first call and cached;
// (0, 0, 0) for a mesh without vertices.
const float *mesh_centre(Mesh *mesh);

// Frees what the mesh owns (its data block or arrays, line indices, centre). GL buffers stay.
void mesh_release(Mesh *mesh);

} // namespace geometry
