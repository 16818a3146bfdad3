// Mesh building for the sample demo's content: vertices with one or two texture coordinate sets,
// triangles, and the packed model file the player reads (or a Wavefront OBJ file).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assets {

struct Vertex {
    float p[3];
    float t0[2];
    float t1[2];
    float n[3];
};

struct MeshBuilder {
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
    int texcoord_sets = 1; // 1 or 2
};

// Appends a vertex and returns its number.
uint16_t mesh_vertex(MeshBuilder *m, float x, float y, float z, float s, float t, float nx, float ny,
                     float nz);
void mesh_triangle(MeshBuilder *m, uint16_t a, uint16_t b, uint16_t c);
// Two triangles a b c and a c d.
void mesh_quad(MeshBuilder *m, uint16_t a, uint16_t b, uint16_t c, uint16_t d);
// Replaces every normal by the player's own rule (average of the unit face normals).
void mesh_smooth_normals(MeshBuilder *m);

// Writes the packed model file (u32 length + zlib). False when the file cannot be written.
bool mesh_write_model(const MeshBuilder &m, const std::string &path);
// Writes positions, texture set 0 and normals as a Wavefront OBJ file of triangles.
bool mesh_write_obj(const MeshBuilder &m, const std::string &path);

} // namespace assets
