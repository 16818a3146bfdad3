#include "tools/font_mesh.h"

#include "geometry/model_file.h"

#include <cmath>

namespace tools {

namespace {

uint32_t add_vertex(GlyphMesh *m, double x, double y, double z, double nx, double ny, double nz, double s,
                    double t) {
    uint32_t index = uint32_t(m->positions.size() / 3);
    m->positions.insert(m->positions.end(), {float(x), float(y), float(z)});
    m->normals.insert(m->normals.end(), {float(nx), float(ny), float(nz)});
    m->texcoords.insert(m->texcoords.end(), {float(s), float(t)});
    return index;
}

// The face of the filled area at height z, facing +z (front) or -z.
void add_face(const GlyphShape &shape, double z, bool front, GlyphMesh *m) {
    uint32_t first = uint32_t(m->positions.size() / 3);
    const std::vector<double> &p = shape.cap_points;
    for (size_t i = 0; i + 1 < p.size(); i += 2)
        add_vertex(m, p[i], p[i + 1], z, 0, 0, front ? 1 : -1, p[i], p[i + 1]);
    const std::vector<uint32_t> &t = shape.cap_triangles;
    for (size_t i = 0; i + 2 < t.size(); i += 3) {
        if (front)
            m->indices.insert(m->indices.end(), {first + t[i], first + t[i + 1], first + t[i + 2]});
        else
            m->indices.insert(m->indices.end(), {first + t[i], first + t[i + 2], first + t[i + 1]});
    }
}

// The walls of one contour between z = front and z = back.
void add_walls(const std::vector<OutlinePoint> &c, bool fill_right, double front, double back, GlyphMesh *m) {
    size_t n = c.size();
    // Out of the glyph is left of the direction of travel when the fill lies on the right.
    auto outward = [fill_right](double dx, double dy, double *nx, double *ny) {
        *nx = fill_right ? -dy : dy;
        *ny = fill_right ? dx : -dx;
    };
    struct Pair {
        uint32_t front, back;
    };
    std::vector<double> along(n + 1, 0.0); // distance travelled to each point, the first one again at n
    for (size_t i = 0; i < n; i++) {
        const OutlinePoint &a = c[i], &b = c[(i + 1) % n];
        along[i + 1] = along[i] + std::hypot(b.x - a.x, b.y - a.y);
    }
    auto pair_at = [&](size_t i, double nx, double ny) {
        const OutlinePoint &p = c[i % n];
        return Pair{add_vertex(m, p.x, p.y, front, nx, ny, 0, along[i], front),
                    add_vertex(m, p.x, p.y, back, nx, ny, 0, along[i], back)};
    };
    // Smooth points share one pair between the walls on either side.
    std::vector<Pair> shared(n);
    for (size_t i = 0; i < n; i++) {
        if (!c[i].smooth) continue;
        double nx, ny;
        outward(c[i].tx, c[i].ty, &nx, &ny);
        shared[i] = pair_at(i, nx, ny);
    }
    for (size_t i = 0; i < n; i++) {
        size_t j = i + 1; // the wall's far end; n is the first point reached again
        const OutlinePoint &a = c[i], &b = c[j % n];
        double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
        double nx, ny;
        outward(dx / len, dy / len, &nx, &ny);
        Pair p0 = a.smooth ? shared[i] : pair_at(i, nx, ny);
        Pair p1;
        if (!b.smooth) {
            p1 = pair_at(j, nx, ny);
        } else if (j < n) {
            p1 = shared[j];
        } else { // the first point reached again: its own pair, at the contour's full length
            double sx, sy;
            outward(b.tx, b.ty, &sx, &sy);
            p1 = pair_at(j, sx, sy);
        }
        // (front a, front b, back b) faces left of the way from a to b.
        if (fill_right)
            m->indices.insert(m->indices.end(), {p0.front, p1.front, p1.back, p0.front, p1.back, p0.back});
        else
            m->indices.insert(m->indices.end(), {p0.front, p1.back, p1.front, p0.front, p0.back, p1.back});
    }
}

} // namespace

void glyph_mesh_build(const GlyphShape &shape, double depth, GlyphMesh *out) {
    *out = GlyphMesh();
    if (shape.cap_triangles.empty()) return;
    if (depth <= 0) {
        add_face(shape, 0, true, out);
        return;
    }
    double front = depth / 2, back = -depth / 2;
    add_face(shape, front, true, out);
    add_face(shape, back, false, out);
    for (const std::vector<OutlinePoint> &c : shape.contours)
        add_walls(c, shape.fill_right, front, back, out);
}

uint8_t *glyph_mesh_pack(const GlyphMesh &mesh, uint32_t *out_size) {
    *out_size = 0;
    size_t n = mesh.positions.size() / 3;
    if (n > geometry::kModelMaxVertices) return nullptr;
    std::vector<uint16_t> indices(mesh.indices.begin(), mesh.indices.end());
    return geometry::model_file_pack({mesh.positions.data(), mesh.texcoords.data(), mesh.normals.data(),
                                      uint32_t(n), indices.data(), uint32_t(indices.size())},
                                     out_size);
}

} // namespace tools
