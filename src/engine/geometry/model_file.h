// Writing model files: the packed form that model_read loads (layout in model.h), for the tools
// that make models.
#pragma once

#include <cstdint>

namespace geometry {

// A mesh's arrays as a model file holds them, with one texture coordinate set: vertex_count x 3
// positions, x 2 texture coordinates and x 3 normals; index_count 16-bit triangle indices.
struct ModelArrays {
    const float *positions;
    const float *texcoords;
    const float *normals;
    uint32_t vertex_count;
    const uint16_t *indices;
    uint32_t index_count;
};

constexpr uint32_t kModelMaxVertices = 65535; // the file's vertex count is 16-bit

// The packed model file (length word and zlib stream) in a new heap block (std::free), its size in
// out_size. Null when the mesh has more than kModelMaxVertices vertices or too many bytes to pack.
uint8_t *model_file_pack(const ModelArrays &arrays, uint32_t *out_size);

} // namespace geometry
