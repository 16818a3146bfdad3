#include "asset_shapes.h"

#include <cmath>

namespace assets {

namespace {

constexpr float kPi = 3.14159265358979f;

float hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h =
        static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xFFFFFF) / 16777215.0f;
}

float smooth(float t) {
    return t * t * (3 - 2 * t);
}

} // namespace

float noise2(float x, float y, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    float u = smooth(x - fx), v = smooth(y - fy);
    float a = hash(ix, iy, seed), b = hash(ix + 1, iy, seed), c = hash(ix, iy + 1, seed),
          d = hash(ix + 1, iy + 1, seed);
    return (a + (b - a) * u) + ((c + (d - c) * u) - (a + (b - a) * u)) * v;
}

float noise2_periodic(float x, float y, int period, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    auto wrap = [period](int32_t i) { return ((i % period) + period) % period; };
    int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    float u = smooth(x - fx), v = smooth(y - fy);
    float a = hash(wrap(ix), wrap(iy), seed), b = hash(wrap(ix + 1), wrap(iy), seed);
    float c = hash(wrap(ix), wrap(iy + 1), seed), d = hash(wrap(ix + 1), wrap(iy + 1), seed);
    return (a + (b - a) * u) + ((c + (d - c) * u) - (a + (b - a) * u)) * v;
}

float fractal2(float x, float y, uint32_t seed, int octaves) {
    float sum = 0, amplitude = 0.5f, total = 0;
    for (int o = 0; o < octaves; o++) {
        sum += amplitude * noise2(x, y, seed + uint32_t(o) * 17u);
        total += amplitude;
        x *= 2.03f;
        y *= 2.03f;
        amplitude *= 0.5f;
    }
    return sum / total;
}

float terrain_height(float x, float z) {
    float valley = 0.018f * x * x; // a floor along z rising to ridges on both sides
    return valley + 2.2f * (fractal2(x * 0.12f, z * 0.12f, 7, 4) - 0.5f) - 1.0f;
}

MeshBuilder shape_quad(float x0, float y0, float x1, float y1) {
    MeshBuilder m;
    uint16_t a = mesh_vertex(&m, x0, y0, 0, 0, 0, 0, 0, 1);
    uint16_t b = mesh_vertex(&m, x1, y0, 0, 1, 0, 0, 0, 1);
    uint16_t c = mesh_vertex(&m, x1, y1, 0, 1, 1, 0, 0, 1);
    uint16_t d = mesh_vertex(&m, x0, y1, 0, 0, 1, 0, 0, 1);
    mesh_quad(&m, a, b, c, d);
    return m;
}

MeshBuilder shape_cube(float h) {
    MeshBuilder m;
    const float faces[6][3][3] = {{{1, 0, 0}, {0, 0, -1}, {0, 1, 0}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
                                  {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
                                  {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}}};
    for (const auto &f : faces) {
        uint16_t first = 0;
        const int corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int c = 0; c < 4; c++) {
            float p[3];
            for (int k = 0; k < 3; k++)
                p[k] = h * (f[0][k] + corners[c][0] * f[1][k] + corners[c][1] * f[2][k]);
            uint16_t v = mesh_vertex(&m, p[0], p[1], p[2], (corners[c][0] + 1) * 0.5f,
                                     (corners[c][1] + 1) * 0.5f, f[0][0], f[0][1], f[0][2]);
            if (c == 0) first = v;
        }
        mesh_quad(&m, first, first + 1, first + 2, first + 3);
    }
    return m;
}

MeshBuilder shape_sphere(int slices, int stacks) {
    MeshBuilder m;
    m.texcoord_sets = 2;
    for (int j = 0; j <= stacks; j++) {
        float v = float(j) / stacks, phi = v * kPi;
        for (int i = 0; i <= slices; i++) {
            float u = float(i) / slices, theta = u * 2 * kPi;
            float x = std::sin(phi) * std::cos(theta), y = std::cos(phi),
                  z = -std::sin(phi) * std::sin(theta);
            uint16_t n = mesh_vertex(&m, x, y, z, u, v, x, y, z);
            m.vertices[n].t1[0] = u * 4;
            m.vertices[n].t1[1] = v * 2;
        }
    }
    for (int j = 0; j < stacks; j++)
        for (int i = 0; i < slices; i++) {
            uint16_t a = static_cast<uint16_t>(j * (slices + 1) + i),
                     b = static_cast<uint16_t>(a + slices + 1);
            mesh_quad(&m, a, b, static_cast<uint16_t>(b + 1), static_cast<uint16_t>(a + 1));
        }
    return m;
}

MeshBuilder shape_torus(float major, float minor, int around, int tube) {
    MeshBuilder m;
    for (int j = 0; j <= tube; j++) {
        float v = float(j) / tube, b = v * 2 * kPi;
        for (int i = 0; i <= around; i++) {
            float u = float(i) / around, a = u * 2 * kPi;
            float nx = std::cos(b) * std::cos(a), ny = std::sin(b), nz = -std::cos(b) * std::sin(a);
            float cx = major * std::cos(a), cz = -major * std::sin(a);
            mesh_vertex(&m, cx + minor * nx, minor * ny, cz + minor * nz, u * 4, v, nx, ny, nz);
        }
    }
    for (int j = 0; j < tube; j++)
        for (int i = 0; i < around; i++) {
            uint16_t a = static_cast<uint16_t>(j * (around + 1) + i),
                     b = static_cast<uint16_t>(a + around + 1);
            mesh_quad(&m, a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(b + 1), b);
        }
    return m;
}

MeshBuilder shape_crystal() {
    MeshBuilder m;
    const float tip[2][3] = {{0, 1.6f, 0}, {0, -1.6f, 0}};
    const float ring[4][3] = {{1, 0, 0}, {0, 0, -1}, {-1, 0, 0}, {0, 0, 1}};
    for (int t = 0; t < 2; t++)
        for (int i = 0; i < 4; i++) {
            const float *a = tip[t], *b = ring[t == 0 ? i : (i + 1) % 4], *c = ring[t == 0 ? (i + 1) % 4 : i];
            float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]},
                  w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            uint16_t first = static_cast<uint16_t>(m.vertices.size());
            for (const float *p : {a, b, c})
                mesh_vertex(&m, p[0], p[1], p[2], p[0] * 0.5f + 0.5f, p[1] * 0.3f + 0.5f, n[0] / len,
                            n[1] / len, n[2] / len);
            mesh_triangle(&m, first, static_cast<uint16_t>(first + 2), static_cast<uint16_t>(first + 1));
        }
    return m;
}

MeshBuilder shape_ring(float inner, float outer, int segments) {
    MeshBuilder m;
    for (int i = 0; i <= segments; i++) {
        float u = float(i) / segments, a = u * 2 * kPi;
        mesh_vertex(&m, inner * std::cos(a), inner * std::sin(a), 0, u * 8, 0, 0, 0, 1);
        mesh_vertex(&m, outer * std::cos(a), outer * std::sin(a), 0, u * 8, 1, 0, 0, 1);
    }
    for (int i = 0; i < segments; i++) {
        uint16_t a = static_cast<uint16_t>(2 * i);
        mesh_quad(&m, a, static_cast<uint16_t>(a + 2), static_cast<uint16_t>(a + 3),
                  static_cast<uint16_t>(a + 1));
    }
    return m;
}

MeshBuilder shape_terrain() {
    MeshBuilder m;
    m.texcoord_sets = 2;
    const int cols = 41, rows = 49;
    for (int j = 0; j < rows; j++)
        for (int i = 0; i < cols; i++) {
            float x = -20.0f + i, z = 4.0f - j;
            uint16_t v = mesh_vertex(&m, x, terrain_height(x, z), z, x * 0.25f, z * 0.25f, 0, 1, 0);
            m.vertices[v].t1[0] = float(i) / (cols - 1);
            m.vertices[v].t1[1] = float(j) / (rows - 1);
        }
    for (int j = 0; j + 1 < rows; j++)
        for (int i = 0; i + 1 < cols; i++) {
            uint16_t a = static_cast<uint16_t>(j * cols + i), b = static_cast<uint16_t>(a + cols);
            // Counter-clockwise seen from above (rows run towards -z): the terrain faces up.
            mesh_quad(&m, a, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(b + 1), b);
        }
    mesh_smooth_normals(&m);
    return m;
}

void cube_face_direction(int face, float s, float t, float d[3]) {
    switch (face) {
    case 0: d[0] = 1, d[1] = -t, d[2] = -s; break;
    case 1: d[0] = -1, d[1] = -t, d[2] = s; break;
    case 2: d[0] = s, d[1] = 1, d[2] = t; break;
    case 3: d[0] = s, d[1] = -1, d[2] = -t; break;
    case 4: d[0] = s, d[1] = -t, d[2] = 1; break;
    default: d[0] = -s, d[1] = -t, d[2] = -1; break;
    }
}

MeshBuilder shape_sky_face(int face) {
    MeshBuilder m;
    const float st[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    uint16_t v[4];
    for (int k = 0; k < 4; k++) {
        float d[3];
        cube_face_direction(face, st[k][0] * 2 - 1, st[k][1] * 2 - 1, d);
        const float inward[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};
        v[k] = mesh_vertex(&m, d[0], d[1], d[2], st[k][0], st[k][1], inward[face][0], inward[face][1],
                           inward[face][2]);
    }
    mesh_quad(&m, v[0], v[1], v[2], v[3]);
    return m;
}

MeshBuilder shape_tree_points(int count) {
    MeshBuilder m;
    for (int k = 0; k < count; k++) {
        // Two rows of trees up the slopes, jittered so they do not look planted.
        float side = k % 2 ? 1.0f : -1.0f;
        float z = 2.0f - 0.9f * k + (noise2(k * 1.7f, 3.1f, 11) - 0.5f) * 1.2f;
        float x = side * (6.0f + 6.0f * noise2(k * 0.9f, 7.3f, 12));
        mesh_vertex(&m, x, terrain_height(x, z), z, 0, 0, 0, 1, 0);
    }
    return m;
}

} // namespace assets
