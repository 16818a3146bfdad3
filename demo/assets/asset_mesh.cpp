#include "asset_mesh.h"

#include "geometry/mesh.h"
#include "resources/packed.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace assets {

uint16_t mesh_vertex(MeshBuilder *m, float x, float y, float z, float s, float t, float nx, float ny,
                     float nz) {
    Vertex v = {{x, y, z}, {s, t}, {s, t}, {nx, ny, nz}};
    m->vertices.push_back(v);
    return static_cast<uint16_t>(m->vertices.size() - 1);
}

void mesh_triangle(MeshBuilder *m, uint16_t a, uint16_t b, uint16_t c) {
    m->indices.insert(m->indices.end(), {a, b, c});
}

void mesh_quad(MeshBuilder *m, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    mesh_triangle(m, a, b, c);
    mesh_triangle(m, a, c, d);
}

void mesh_smooth_normals(MeshBuilder *m) {
    size_t n = m->vertices.size();
    std::vector<float> positions(n * 3), normals(n * 3);
    for (size_t i = 0; i < n; i++)
        std::memcpy(&positions[i * 3], m->vertices[i].p, 12);
    geometry::mesh_normals_from(positions.data(), normals.data(), static_cast<uint32_t>(n), m->indices.data(),
                                static_cast<uint32_t>(m->indices.size()));
    for (size_t i = 0; i < n; i++)
        std::memcpy(m->vertices[i].n, &normals[i * 3], 12);
}

static void put_bytes(std::vector<uint8_t> &out, const void *data, size_t size) {
    const uint8_t *b = static_cast<const uint8_t *>(data);
    out.insert(out.end(), b, b + size); // the build machines are little-endian, as the format is
}

bool mesh_write_model(const MeshBuilder &m, const std::string &path) {
    std::vector<uint8_t> file;
    uint16_t n = static_cast<uint16_t>(m.vertices.size());
    put_bytes(file, &n, 2);
    file.push_back(static_cast<uint8_t>(m.texcoord_sets));
    file.push_back(0);
    for (const Vertex &v : m.vertices)
        put_bytes(file, v.p, 12);
    for (const Vertex &v : m.vertices)
        put_bytes(file, v.t0, 8);
    if (m.texcoord_sets > 1)
        for (const Vertex &v : m.vertices)
            put_bytes(file, v.t1, 8);
    for (const Vertex &v : m.vertices)
        put_bytes(file, v.n, 12);
    put_bytes(file, m.indices.data(), m.indices.size() * 2);
    uint32_t packed_size = 0;
    uint8_t *packed =
        resources::packed_compress(file.data(), static_cast<uint32_t>(file.size()), &packed_size);
    FILE *f = packed ? std::fopen(path.c_str(), "wb") : nullptr;
    bool ok = f && std::fwrite(packed, 1, packed_size, f) == packed_size;
    if (f) ok = std::fclose(f) == 0 && ok;
    std::free(packed);
    return ok;
}

bool mesh_write_obj(const MeshBuilder &m, const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "# written by the sample demo's asset program\n");
    for (const Vertex &v : m.vertices)
        std::fprintf(f, "v %.6f %.6f %.6f\n", v.p[0], v.p[1], v.p[2]);
    for (const Vertex &v : m.vertices)
        std::fprintf(f, "vt %.6f %.6f\n", v.t0[0], v.t0[1]);
    for (const Vertex &v : m.vertices)
        std::fprintf(f, "vn %.6f %.6f %.6f\n", v.n[0], v.n[1], v.n[2]);
    for (size_t i = 0; i + 2 < m.indices.size(); i += 3) {
        std::fputc('f', f);
        for (int k = 0; k < 3; k++)
            std::fprintf(f, " %d/%d/%d", m.indices[i + k] + 1, m.indices[i + k] + 1, m.indices[i + k] + 1);
        std::fputc('\n', f);
    }
    return std::fclose(f) == 0;
}

} // namespace assets
