#include "geometry/mesh.h"
#include "geometry/model.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace geometry;

namespace {

void put_f32(std::vector<uint8_t> &out, float v) {
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    out.insert(out.end(), b, b + 4);
}
void put_u16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// Lays out an inflated model file: positions i, texcoord set s vertex i = (100s + i, -i), normals
// (0, 0, i), then the indices.
std::vector<uint8_t> model_file(uint16_t n, uint8_t sets, const std::vector<uint16_t> &indices) {
    std::vector<uint8_t> out;
    put_u16(out, n);
    out.push_back(sets);
    out.push_back(0);
    for (uint16_t i = 0; i < n; i++) {
        put_f32(out, float(i));
        put_f32(out, float(2 * i));
        put_f32(out, float(3 * i));
    }
    for (uint8_t s = 0; s < sets; s++)
        for (uint16_t i = 0; i < n; i++) {
            put_f32(out, float(100 * s + i));
            put_f32(out, -float(i));
        }
    for (uint16_t i = 0; i < n; i++) {
        put_f32(out, 0);
        put_f32(out, 0);
        put_f32(out, float(i));
    }
    for (uint16_t v : indices) put_u16(out, v);
    return out;
}

// Copies into a malloc'd block as the loader hands it over.
uint8_t *block_of(const std::vector<uint8_t> &bytes) {
    uint8_t *b = static_cast<uint8_t *>(std::malloc(bytes.size() + 1));
    std::memcpy(b, bytes.data(), bytes.size());
    return b;
}

TEST(Model, ArraysPointIntoTheFileForEachSetCount) {
    for (uint8_t sets = 1; sets <= 3; sets++) {
        std::vector<uint8_t> bytes = model_file(4, sets, {0, 1, 2, 2, 3, 0});
        bytes.push_back(0x7F); // an odd trailing byte is ignored
        uint8_t *block = block_of(bytes);
        Mesh mesh;
        ASSERT_TRUE(mesh_from_model_file(&mesh, block, static_cast<uint32_t>(bytes.size()), "m"));
        EXPECT_EQ(mesh.vertex_count, 4);
        EXPECT_EQ(mesh.texcoord_set_count, sets);
        EXPECT_EQ(mesh.index_count, 6u);
        EXPECT_EQ(reinterpret_cast<uint8_t *>(mesh.positions), block + 4);
        // Normals start at 4 + 12N + 8NT: with T = 1 that is 4 + 20N.
        EXPECT_EQ(reinterpret_cast<uint8_t *>(mesh.normals), block + 4 + 12 * 4 + 8 * 4 * sets);
        EXPECT_EQ(mesh.positions[3 * 3 + 2], 9.0f);
        EXPECT_EQ(mesh.normals[3 * 3 + 2], 3.0f);
        for (int s = 0; s < 3; s++) {
            if (s < sets) {
                ASSERT_NE(mesh.texcoords[s], nullptr);
                EXPECT_EQ(mesh.texcoords[s][2 * 3], float(100 * s + 3));
            } else {
                EXPECT_EQ(mesh.texcoords[s], nullptr);
            }
        }
        EXPECT_EQ(mesh.indices[4], 3);
        mesh_release(&mesh);
    }
}

TEST(Model, BadFilesLeaveTheMeshEmpty) {
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> cut = model_file(10, 2, {});
    cut.resize(cut.size() - 1);
    Case cases[] = {
        {"no sets", model_file(3, 0, {})},
        {"four sets", model_file(3, 4, {})},
        {"shorter than its vertices", cut},
        {"header only, cut", {5, 0}},
    };
    for (const Case &c : cases) {
        testutil::LogCapture log;
        uint8_t *block = block_of(c.bytes);
        Mesh mesh;
        EXPECT_FALSE(mesh_from_model_file(&mesh, block, static_cast<uint32_t>(c.bytes.size()), "bad.mdl")) << c.what;
        EXPECT_EQ(mesh.vertex_count, 0) << c.what;
        EXPECT_EQ(mesh.index_count, 0u) << c.what;
        EXPECT_EQ(mesh.data_block, nullptr) << c.what;
        EXPECT_NE(log.text().find("bad.mdl"), std::string::npos) << c.what;
        std::free(block);
    }
}

TEST(Model, TrianglesNamingMissingVerticesAreDropped) {
    testutil::LogCapture log;
    std::vector<uint8_t> bytes = model_file(3, 1, {0, 1, 2, 0, 1, 3, 2, 1, 0, 65535, 0, 1, 2, 2});
    uint8_t *block = block_of(bytes);
    Mesh mesh;
    ASSERT_TRUE(mesh_from_model_file(&mesh, block, static_cast<uint32_t>(bytes.size()), "holes.mdl"));
    ASSERT_EQ(mesh.index_count, 6u); // two good triangles; the trailing two indices make no triangle
    uint16_t expected[] = {0, 1, 2, 2, 1, 0};
    for (int i = 0; i < 6; i++) EXPECT_EQ(mesh.indices[i], expected[i]);
    EXPECT_EQ(log.text(), "Error: model holes.mdl: 2 triangles name vertices it does not have; they are dropped.\r\n");
    mesh_release(&mesh);
}

struct Normals {
    std::vector<float> positions;
    std::vector<uint16_t> indices;
    std::vector<float> normals;
    Normals(std::vector<float> p, std::vector<uint16_t> i) : positions(p), indices(i), normals(p.size(), -1.0f) {
        mesh_normals_from(positions.data(), normals.data(), static_cast<uint32_t>(positions.size() / 3),
                          indices.data(), static_cast<uint32_t>(indices.size()));
    }
    void expect(uint32_t v, float x, float y, float z) const {
        EXPECT_NEAR(normals[v * 3], x, 1e-6) << "vertex " << v;
        EXPECT_NEAR(normals[v * 3 + 1], y, 1e-6) << "vertex " << v;
        EXPECT_NEAR(normals[v * 3 + 2], z, 1e-6) << "vertex " << v;
    }
};

TEST(Normals, AverageOfUnitFaceNormals) {
    // One triangle in the XY plane: n = (P0 - P1) x (P1 - P2) = (0, 0, 1) for a counter-clockwise face.
    Normals one({0, 0, 0, 1, 0, 0, 0, 1, 0, 5, 5, 5}, {0, 1, 2});
    one.expect(0, 0, 0, 1);
    one.expect(2, 0, 0, 1);
    one.expect(3, 0, 0, 0); // used by no triangle
    // A second triangle at 90 degrees whose normal is (0, 1, 0): shared vertices average to (0, .5, .5).
    Normals two({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}, {0, 1, 2, 0, 3, 1});
    two.expect(0, 0, 0.5f, 0.5f);
    two.expect(1, 0, 0.5f, 0.5f);
    two.expect(2, 0, 0, 1);
    two.expect(3, 0, 1, 0);
    // A scaled triangle still contributes a unit normal.
    Normals big({0, 0, 0, 10, 0, 0, 0, 10, 0}, {0, 1, 2});
    big.expect(1, 0, 0, 1);
}

TEST(Normals, DegenerateTrianglesCountButAddAlmostNothing) {
    // A collinear triangle adds (0, 0, 0) and still counts as a face for vertex 0.
    Normals flat({0, 0, 0, 1, 0, 0, 0, 1, 0, 2, 0, 0}, {0, 1, 2, 0, 3, 1});
    flat.expect(0, 0, 0, 0.5f);
    flat.expect(3, 0, 0, 0);
    // A tiny face (|n| = 0.0005 < 0.001) adds its unnormalised normal.
    Normals tiny({0, 0, 0, 0.01f, 0, 0, 0, 0.05f, 0}, {0, 1, 2});
    tiny.expect(0, 0, 0, 0.0005f);
    Normals none({1, 2, 3, 4, 5, 6}, {});
    none.expect(0, 0, 0, 0);
    none.expect(1, 0, 0, 0);
}

TEST(Mesh, LineIndicesAreBuiltOnceAndCentreIsCached) {
    std::vector<uint8_t> bytes = model_file(4, 1, {0, 1, 2, 2, 3, 0});
    Mesh mesh;
    ASSERT_TRUE(mesh_from_model_file(&mesh, block_of(bytes), static_cast<uint32_t>(bytes.size()), "m"));
    testing::internal::CaptureStdout();
    const uint16_t *lines = mesh_line_indices(&mesh);
    const uint16_t *again = mesh_line_indices(&mesh);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "GenerateLineIndexArray\n");
    EXPECT_EQ(lines, again);
    uint16_t expected[] = {0, 1, 1, 2, 2, 0, 2, 3, 3, 0, 0, 2};
    for (int i = 0; i < 12; i++) EXPECT_EQ(lines[i], expected[i]);
    const float *c = mesh_centre(&mesh);
    EXPECT_FLOAT_EQ(c[0], 1.5f); // (0 + 1 + 2 + 3) / 4
    EXPECT_FLOAT_EQ(c[1], 3.0f);
    EXPECT_FLOAT_EQ(c[2], 4.5f);
    mesh.positions[0] = 100.0f; // later moves do not change the cached centre
    EXPECT_FLOAT_EQ(mesh_centre(&mesh)[0], 1.5f);
    mesh_release(&mesh);

    Mesh empty = {};
    const float *zero = mesh_centre(&empty);
    EXPECT_EQ(zero[0], 0.0f);
    EXPECT_EQ(zero[1], 0.0f);
    EXPECT_EQ(zero[2], 0.0f);
    EXPECT_EQ(mesh_line_indices(&empty), nullptr);
    mesh_release(&empty);
}

} // namespace
