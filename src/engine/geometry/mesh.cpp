#include "geometry/mesh.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace geometry {

void mesh_normals_from(const float *positions, float *normals, uint32_t vertex_count, const uint16_t *indices,
                       uint32_t index_count) {
    if (vertex_count == 0) return;
    std::memset(normals, 0, sizeof(float) * 3 * vertex_count);
    std::vector<uint32_t> faces(vertex_count, 0);
    // Sums in double, one triple per vertex.
    std::vector<double> sum(size_t(vertex_count) * 3, 0.0);
    for (uint32_t i = 0; i + 2 < index_count; i += 3) {
        uint32_t p = indices[i], q = indices[i + 1], r = indices[i + 2];
        if (p >= vertex_count || q >= vertex_count || r >= vertex_count) continue;
        faces[p]++;
        faces[q]++;
        faces[r]++;
        double u[3], w[3];
        for (int k = 0; k < 3; k++) {
            u[k] = double(positions[p * 3 + k]) - positions[q * 3 + k];
            w[k] = double(positions[q * 3 + k]) - positions[r * 3 + k];
        }
        double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (len < 0.001) len = 1.0;
        for (int k = 0; k < 3; k++) {
            sum[p * 3 + k] += n[k] / len;
            sum[q * 3 + k] += n[k] / len;
            sum[r * 3 + k] += n[k] / len;
        }
    }
    for (uint32_t v = 0; v < vertex_count; v++) {
        double scale = faces[v] > 1 ? 1.0 / faces[v] : 1.0;
        for (int k = 0; k < 3; k++) normals[v * 3 + k] = static_cast<float>(sum[v * 3 + k] * scale);
    }
}

void mesh_recompute_normals(Mesh *mesh) {
    if (!mesh->normals || !mesh->positions) return;
    mesh_normals_from(mesh->positions, mesh->normals, mesh->vertex_count, mesh->indices, mesh->index_count);
}

const uint16_t *mesh_line_indices(Mesh *mesh) {
    if (mesh->line_indices) return mesh->line_indices;
    uint32_t triangles = mesh->index_count / 3;
    if (triangles == 0 || !mesh->indices) return nullptr;
    std::printf("GenerateLineIndexArray\n");
    std::fflush(stdout);
    uint16_t *lines = static_cast<uint16_t *>(std::malloc(sizeof(uint16_t) * 6 * size_t(triangles)));
    if (!lines) return nullptr;
    for (uint32_t t = 0; t < triangles; t++) {
        uint16_t p = mesh->indices[t * 3], q = mesh->indices[t * 3 + 1], r = mesh->indices[t * 3 + 2];
        uint16_t *out = lines + t * 6;
        out[0] = p;
        out[1] = q;
        out[2] = q;
        out[3] = r;
        out[4] = r;
        out[5] = p;
    }
    mesh->line_indices = lines;
    return lines;
}

const float *mesh_centre(Mesh *mesh) {
    if (mesh->centre) return mesh->centre;
    float *centre = static_cast<float *>(std::calloc(3, sizeof(float)));
    if (!centre) return nullptr;
    uint32_t n = mesh->vertex_count;
    if (n > 0 && mesh->positions) {
        float sum[3] = {0.0f, 0.0f, 0.0f};
        for (uint32_t v = 0; v < n; v++)
            for (int k = 0; k < 3; k++) sum[k] += mesh->positions[v * 3 + k];
        float inverse = 1.0f / static_cast<float>(n);
        for (int k = 0; k < 3; k++) centre[k] = sum[k] * inverse;
    }
    mesh->centre = centre;
    return centre;
}

void mesh_release(Mesh *mesh) {
    if (mesh->data_block) {
        std::free(mesh->data_block);
    } else {
        // A mesh built in memory owns its arrays one by one.
        std::free(mesh->positions);
        std::free(mesh->normals);
        std::free(mesh->indices);
        for (float *set : mesh->texcoords) std::free(set);
    }
    std::free(mesh->line_indices);
    std::free(mesh->centre);
    std::memset(mesh, 0, sizeof *mesh);
}

} // namespace geometry
