// Glyph models made from Debian's DejaVu Sans (fonts-dejavu-core), loaded back through the player's
// model loader: flat glyphs face the camera and cover exactly the outline's area; extruded glyphs
// are closed solids whose walls face out, creased at corners and smooth along curves.
#include "geometry/model.h"
#include "resources/packed.h"
#include "tools/font_mesh.h"
#include "tools/font_outline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

const char *const kDejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct LoadedGlyph {
    tools::GlyphShape shape;
    tools::GlyphMesh built;
    geometry::Mesh mesh = {};
    ~LoadedGlyph() { geometry::mesh_release(&mesh); }
};

// Makes the glyph of a character, packs it and loads it as the player loads a model.
void load_glyph(tools::FontFile *font, uint32_t codepoint, double depth, LoadedGlyph *out) {
    std::string error;
    uint32_t index = tools::font_file_glyph_index(font, codepoint);
    ASSERT_NE(index, 0u) << codepoint;
    ASSERT_TRUE(tools::font_file_glyph_shape(font, index, &out->shape, &error)) << error;
    tools::glyph_mesh_build(out->shape, depth, &out->built);
    uint32_t packed_size = 0, length = 0;
    uint8_t *packed = tools::glyph_mesh_pack(out->built, &packed_size);
    ASSERT_NE(packed, nullptr);
    resources::PackedStatus status;
    uint8_t *block = resources::packed_inflate(packed, packed_size, &length, &status);
    std::free(packed);
    ASSERT_NE(block, nullptr);
    ASSERT_TRUE(geometry::mesh_from_model_file(&out->mesh, block, length, "glyph"));
}

struct V3 {
    double x, y, z;
};
V3 position(const geometry::Mesh &m, uint32_t i) {
    return {m.positions[3 * i], m.positions[3 * i + 1], m.positions[3 * i + 2]};
}
V3 normal(const geometry::Mesh &m, uint32_t i) {
    return {m.normals[3 * i], m.normals[3 * i + 1], m.normals[3 * i + 2]};
}
V3 cross(V3 a, V3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 sub(V3 a, V3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
double dot(V3 a, V3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
V3 face_normal(const geometry::Mesh &m, uint32_t t) {
    V3 a = position(m, m.indices[t]), b = position(m, m.indices[t + 1]), c = position(m, m.indices[t + 2]);
    return cross(sub(b, a), sub(c, a));
}

// The area the outline encloses by the shoelace formula, counted positive on the filled side.
double outline_area(const tools::GlyphShape &s) {
    double area = 0;
    for (const auto &c : s.contours)
        for (size_t i = 0; i < c.size(); i++) {
            const tools::OutlinePoint &a = c[i], &b = c[(i + 1) % c.size()];
            area += (a.x * b.y - b.x * a.y) / 2;
        }
    return s.fill_right ? -area : area;
}

class FontModels : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        font = tools::font_file_open(kDejaVuSans, &error);
        ASSERT_NE(font, nullptr) << kDejaVuSans << " " << error
                                 << " (scripts/install-deps.sh installs fonts-dejavu-core)";
    }
    void TearDown() override { tools::font_file_close(font); }
    tools::FontFile *font = nullptr;
};

// Letters with holes, accents, straight corners and curves.
const uint32_t kLetters[] = {'g', 'H', 'o', 0x150 /* Ő */, 0xE1 /* á */, '&'};

TEST_F(FontModels, FlatGlyphsFaceTheCameraAndCoverTheOutline) {
    for (uint32_t c : kLetters) {
        LoadedGlyph g;
        load_glyph(font, c, 0, &g);
        const geometry::Mesh &m = g.mesh;
        SCOPED_TRACE(c);
        EXPECT_EQ(m.vertex_count, g.built.positions.size() / 3);
        ASSERT_GT(m.index_count, 0u);
        EXPECT_EQ(m.index_count, g.built.indices.size()); // the loader dropped nothing
        double area = 0;
        int off_plane = 0, facing_away = 0;
        for (uint32_t v = 0; v < m.vertex_count; v++)
            off_plane += m.positions[3 * v + 2] != 0 || m.normals[3 * v] != 0 || m.normals[3 * v + 1] != 0 ||
                         m.normals[3 * v + 2] != 1;
        for (uint32_t t = 0; t < m.index_count; t += 3) {
            double z = face_normal(m, t).z;
            facing_away += z < -1e-12;
            area += z / 2;
        }
        EXPECT_EQ(off_plane, 0);
        EXPECT_EQ(facing_away, 0);
        // The triangles tile the outline exactly: no overlap, no gap.
        EXPECT_NEAR(area, outline_area(g.shape), 1e-6);
        EXPECT_GT(area, 0.05);
    }
}

TEST_F(FontModels, ExtrudedGlyphsAreClosedSolidsFacingOut) {
    const double depth = 0.25;
    for (uint32_t c : kLetters) {
        LoadedGlyph g;
        load_glyph(font, c, depth, &g);
        const geometry::Mesh &m = g.mesh;
        SCOPED_TRACE(c);
        ASSERT_GT(m.index_count, 0u);
        EXPECT_EQ(m.index_count, g.built.indices.size());
        int not_unit = 0, off_the_faces = 0, against_their_triangle = 0;
        for (uint32_t v = 0; v < m.vertex_count; v++) {
            V3 n = normal(m, v);
            not_unit += std::fabs(std::sqrt(dot(n, n)) - 1) > 1e-5;
            off_the_faces +=
                m.positions[3 * v + 2] != float(depth / 2) && m.positions[3 * v + 2] != float(-depth / 2);
        }
        EXPECT_EQ(not_unit, 0);
        EXPECT_EQ(off_the_faces, 0);
        // Welded by position, every edge borders exactly two triangles, once each way round.
        std::map<std::tuple<float, float, float>, uint32_t> weld;
        auto id = [&](uint32_t v) {
            auto key = std::make_tuple(m.positions[3 * v], m.positions[3 * v + 1], m.positions[3 * v + 2]);
            return weld.emplace(key, uint32_t(weld.size())).first->second;
        };
        std::map<std::pair<uint32_t, uint32_t>, int> directed;
        double volume = 0;
        for (uint32_t t = 0; t < m.index_count; t += 3) {
            for (int k = 0; k < 3; k++)
                directed[{id(m.indices[t + k]), id(m.indices[t + (k + 1) % 3])}]++;
            // Every vertex normal agrees with the way its triangle turns.
            V3 n = face_normal(m, t);
            for (int k = 0; k < 3; k++)
                against_their_triangle += dot(n, normal(m, m.indices[t + k])) < -1e-12;
            volume += dot(position(m, m.indices[t]), n) / 6;
        }
        EXPECT_EQ(against_their_triangle, 0);
        int open_edges = 0;
        for (const auto &e : directed)
            if (e.second != 1 || directed.count({e.first.second, e.first.first}) != 1) open_edges++;
        EXPECT_EQ(open_edges, 0);
        // Positive volume: the surface faces out. Its size: the outline's area times the depth.
        EXPECT_NEAR(volume, outline_area(g.shape) * depth, 1e-5);
    }
}

// The walls of H (straight lines, corners only) are flat facets; the walls of o (curves only)
// share each contour point's pair of vertices between neighbouring walls.
TEST_F(FontModels, WallsCreaseAtCornersAndRoundAlongCurves) {
    const double depth = 0.2;
    for (uint32_t c : {uint32_t('H'), uint32_t('o')}) {
        LoadedGlyph g;
        load_glyph(font, c, depth, &g);
        const geometry::Mesh &m = g.mesh;
        size_t points = 0, smooth = 0;
        for (const auto &contour : g.shape.contours)
            for (const tools::OutlinePoint &p : contour) {
                points++;
                smooth += p.smooth;
            }
        size_t faces = 2 * (g.shape.cap_points.size() / 2); // front and back
        size_t wall_vertices = m.vertex_count - faces;
        if (c == 'H') {
            EXPECT_EQ(smooth, 0u);
            EXPECT_EQ(wall_vertices, 4 * points); // two pairs a wall
            int bent = 0;
            for (uint32_t t = 0; t < m.index_count; t += 3) {
                V3 n = face_normal(m, t);
                double len = std::sqrt(dot(n, n));
                if (len < 1e-12) continue; // three points on a line: the tessellator may leave some
                for (int k = 0; k < 3; k++)
                    bent += std::fabs(dot(n, normal(m, m.indices[t + k])) / len - 1) > 1e-6;
            }
            EXPECT_EQ(bent, 0) << "vertex normals of H that are not their facet's";
        } else {
            EXPECT_EQ(smooth, points);
            // One pair a point, and one more for each contour where its walls come round again.
            EXPECT_EQ(wall_vertices, 2 * points + 2 * g.shape.contours.size());
        }
    }
}

TEST_F(FontModels, CapHeightIsOneAndSpacingComesFromTheFont) {
    LoadedGlyph h;
    load_glyph(font, 'H', 0, &h);
    float top = 0;
    for (uint32_t v = 0; v < h.mesh.vertex_count; v++)
        top = std::fmax(top, h.mesh.positions[3 * v + 1]);
    EXPECT_NEAR(top, 1.0, 1e-6);
    // Models start at the left side bearing: their ink begins at x = 0.
    float left = 1;
    for (uint32_t v = 0; v < h.mesh.vertex_count; v++)
        left = std::fmin(left, h.mesh.positions[3 * v]);
    EXPECT_NEAR(left, 0.0, 1e-6);
    EXPECT_GT(h.shape.advance, h.shape.left_bearing);
    EXPECT_TRUE(h.shape.fill_right); // TrueType
}

} // namespace
