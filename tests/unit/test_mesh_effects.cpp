#include "maths/cosine_table.h"
#include "geometry/mesh_effect.h"
#include "maths/shared_random.h"
#include "resources/xml.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace geometry;

namespace {

// A record of one kind, built and released as the scene would.
struct Effect {
    MeshEffect e{};
    explicit Effect(uint8_t kind) { EXPECT_TRUE(mesh_effect_init(&e, kind)); }
    ~Effect() { mesh_effect_release(&e); }
    void update(float a, float b = 0, float c = 0) {
        float p[3] = {a, b, c};
        mesh_effect_apply(&e, p);
    }
    float y(int v) const { return e.mesh.positions[v * 3 + 1]; }
    LakeWaterState *lake() { return static_cast<LakeWaterState *>(e.state); }
};

// The seed whose first draw is `value` (bits 16..30 of the next state), found by inverting the
// generator's multiplier modulo 2^32.
uint32_t seed_giving(int32_t value) {
    uint32_t inverse = 1;
    for (int i = 0; i < 5; i++)
        inverse *= 2u - 214013u * inverse; // Newton steps for the inverse
    uint32_t next = static_cast<uint32_t>(value) << 16;
    return (next - 2531011u) * inverse;
}

TEST(SharedRandom, FollowsTheFixedSequenceFromStateOne) {
    // The first draws of this generator from state 1, as widely published for it.
    maths::shared_random_seed(1);
    const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (int32_t v : expected)
        EXPECT_EQ(maths::shared_random_next(), v);
    maths::shared_random_seed(seed_giving(32767));
    EXPECT_EQ(maths::shared_random_next(), 32767);
}

TEST(MeshEffects, WaterGridIsFlatAndFacesUpAtCreation) {
    for (uint8_t kind : {MESH_EFFECT_LAKE_WATER, MESH_EFFECT_CENTERWAVE_WATER}) {
        Effect w(kind);
        ASSERT_EQ(w.e.mesh.vertex_count, 900);
        ASSERT_EQ(w.e.mesh.index_count, 5046u);
        EXPECT_EQ(w.e.mesh.texcoord_set_count, 2);
        EXPECT_FLOAT_EQ(w.e.mesh.positions[(30 * 4 + 7) * 3], 4.0f); // vertex 30i + j at (i, 0, j)
        EXPECT_FLOAT_EQ(w.e.mesh.positions[(30 * 4 + 7) * 3 + 2], 7.0f);
        mesh_recompute_normals(&w.e.mesh);
        // Both halves of the triangle list wind the same way: every normal points up.
        for (int v = 0; v < 900; v++)
            ASSERT_FLOAT_EQ(w.e.mesh.normals[v * 3 + 1], 1.0f) << v;
    }
}

TEST(MeshEffects, LakeWaterStepsOnlyWhenTheTimeReachesTheNextWholeStep) {
    maths::shared_random_seed(1); // first draws 41, 18467, 6334, 26500: drops at 1, 507, 173 and 727
    Effect lake(MESH_EFFECT_LAKE_WATER);
    lake.update(0.5f);
    for (int v = 0; v < 900; v++)
        ASSERT_EQ(lake.y(v), 0.0f);
    lake.update(3.2f);
    EXPECT_EQ(lake.lake()->step, 3);
    lake.update(10.7f); // a jump: S becomes 10 and no step runs (10.7 < 11)
    EXPECT_EQ(lake.lake()->step, 10);
    for (int v = 0; v < 900; v++)
        ASSERT_EQ(lake.y(v), 0.0f);
    lake.update(11.0f); // one step: the four drops land in H1, and with f = 0 y = 0.1 x H1
    EXPECT_EQ(lake.lake()->step, 11);
    EXPECT_FLOAT_EQ(lake.y(1), -0.6f);
    EXPECT_FLOAT_EQ(lake.y(507), -0.5f);
    EXPECT_FLOAT_EQ(lake.y(173), -0.6f);
    EXPECT_FLOAT_EQ(lake.y(727), -0.5f);
    EXPECT_EQ(lake.y(2), 0.0f);
    EXPECT_EQ(maths::shared_random_next(), 19169); // exactly four draws were taken
    lake.update(11.9f);                            // no new step; only the blend factor moves
    EXPECT_EQ(maths::shared_random_next(), 15724);
}

TEST(MeshEffects, LakeWaterStepArithmeticAndTheLastDropIndex) {
    Effect lake(MESH_EFFECT_LAKE_WATER);
    LakeWaterState *s = lake.lake();
    // Before the step H1 and H2 trade arrays: the neighbours are read from today's H2 array and
    // the previous value from today's H1 array.
    struct Case {
        int k;
        int32_t neighbour, previous, expected;
    } cases[] = {
        {95, 5, 5, 4},      // v = 5 is above 4.8: stored as 4
        {100, 4, 4, 4},     // v = 4 stays
        {215, 0, 100, -96}, // no lower limit: -100 - (-100 >> 5)
        {400, 40, 0, 4},    // 80 - 2 = 78: stored as 4
        {31, 0, 64, -62},   // -64 - (-64 >> 5)
    };
    for (const Case &c : cases) {
        for (int d : {-1, 1, -30, 30})
            s->heights[s->h2][c.k + d] = c.neighbour;
        s->heights[s->h1][c.k] = c.previous;
    }
    s->heights[s->h2][59] = 1000; // feeds vertex 60 (row 2, column 0), which the border clears
    maths::shared_random_seed(seed_giving(32767)); // 32767 x 0.0274666585 is 899.99997: the last vertex
    lake.update(1.0f);
    for (const Case &c : cases)
        EXPECT_EQ(s->heights[s->h2][c.k], c.expected) << c.k;
    EXPECT_EQ(s->heights[s->h2][60], 0);
    EXPECT_EQ(s->heights[s->h1][899], -6);
}

TEST(MeshEffects, CenterwaveSkipsSmallStepsAndIsFlatFromDistanceFourteen) {
    Effect wave(MESH_EFFECT_CENTERWAVE_WATER);
    wave.update(1.000f);
    const int centre = 30 * 15 + 15;
    float first = wave.y(centre);
    EXPECT_NEAR(first, 1.4 * std::cos(-1.0), 3e-3);
    EXPECT_EQ(wave.y(30 * 29 + 15), 0.0f); // distance exactly 14
    EXPECT_EQ(wave.y(0), 0.0f);            // beyond 14
    EXPECT_NE(wave.y(30 * 15 + 5), 0.0f);  // distance 10
    wave.update(1.005f);
    EXPECT_EQ(wave.y(centre), first);
    wave.update(1.2f);
    EXPECT_NEAR(wave.y(centre), 1.4 * std::cos(-1.2), 3e-3);
}

TEST(MeshEffects, UmbrellaSideCountsAndArrayReuse) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float sides;
        int32_t n;
    } cases[] = {{2.9f, 3}, {-5.0f, 3}, {nan, 3}, {7.9f, 7}, {64.0f, 64}, {1e9f, kUmbrellaMaxSides}};
    for (const Case &c : cases) {
        testutil::LogCapture log;
        Effect u(MESH_EFFECT_UMBRELLA);
        EXPECT_EQ(u.e.mesh.vertex_count, 0);
        u.update(c.sides, 2.0f, 1.5707963267948966f);
        ASSERT_EQ(u.e.mesh.vertex_count, c.n + 1) << c.sides;
        ASSERT_EQ(u.e.mesh.index_count, uint32_t(3 * c.n));
        const uint16_t *last = u.e.mesh.indices + 3 * (c.n - 1);
        EXPECT_EQ(last[0], 0);
        EXPECT_EQ(last[1], c.n);
        EXPECT_EQ(last[2], 1); // the fan is closed
        // An angle of a right angle gives a flat disc of radius "Size".
        float x = u.e.mesh.positions[3], y = u.e.mesh.positions[4], z = u.e.mesh.positions[5];
        EXPECT_NEAR(std::sqrt(x * x + z * z), 2.0, 1e-5);
        EXPECT_NEAR(y, 0.0, 1e-6);
        u.update(c.sides, 2.0f, 1.5707963267948966f);
        EXPECT_EQ(log.text().find("cut to") != std::string::npos, c.n == kUmbrellaMaxSides);
        EXPECT_EQ(log.text().find("cut to"), log.text().rfind("cut to")); // at most once
    }
    Effect u(MESH_EFFECT_UMBRELLA);
    u.update(6.0f, 1.0f, 0.0f); // angle 0: a vertical segment, rim at -Size
    const float *positions = u.e.mesh.positions;
    EXPECT_FLOAT_EQ(positions[4], -1.0f);
    u.update(6.5f, 3.0f, 0.0f); // same side count, new size: arrays kept, vertices moved
    EXPECT_EQ(u.e.mesh.positions, positions);
    EXPECT_FLOAT_EQ(positions[4], -3.0f);
    // Wireframe lines follow a change of side count: every line end names a vertex of the new fan
    // and the last triangle's edges are there.
    ASSERT_NE(geometry::mesh_line_indices(&u.e.mesh), nullptr);
    u.update(9.0f, 3.0f, 0.0f);
    EXPECT_EQ(u.e.mesh.vertex_count, 10);
    const uint16_t *lines = geometry::mesh_line_indices(&u.e.mesh);
    ASSERT_NE(lines, nullptr);
    for (uint32_t k = 0; k < 2 * u.e.mesh.index_count; k++)
        ASSERT_LT(lines[k], u.e.mesh.vertex_count) << k;
    EXPECT_EQ(lines[6 * 8 + 2], 9);
    EXPECT_EQ(lines[6 * 8 + 3], 1);
}

TEST(MeshEffects, SwirlKeepsItsCentreAndLiesInThePlane) {
    Effect swirl(MESH_EFFECT_SWIRL);
    ASSERT_EQ(swirl.e.mesh.vertex_count, 256);
    ASSERT_EQ(swirl.e.mesh.index_count, 765u);
    EXPECT_EQ(swirl.e.mesh.indices[762], 0);
    EXPECT_EQ(swirl.e.mesh.indices[763], 255);
    EXPECT_EQ(swirl.e.mesh.indices[764], 1);
    swirl.update(0.3f, 2.0f);
    const float *p = swirl.e.mesh.positions;
    EXPECT_EQ(p[0], 0.0f);
    EXPECT_EQ(p[1], 0.0f);
    for (int v = 0; v < 256; v++)
        ASSERT_EQ(p[v * 3 + 2], 0.0f);
    // X = 0: p = cos 0 = 1, and q reads step trunc(1.5707963266 x 651.8986469) = 1023, one step
    // short of a quarter turn; vertex v is (v + 2, q (v + q)).
    swirl.update(0.0f, 0.0f);
    double q = std::cos(1023 * 6.283185307179586 / 4096);
    EXPECT_FLOAT_EQ(p[3], 2.0f);
    EXPECT_NEAR(p[4], q * (1 + q), 1e-7);
    EXPECT_FLOAT_EQ(p[200 * 3], 201.0f);
}

TEST(MeshEffects, ReaderTakesTheKindAndTheLeadingParameterChildren) {
    const char *doc = "<s><e type=\"2\"><p>3</p><p>0</p><q>9</q><p>7</p></e><e type=\"9\"><p>70000</p></e>"
                      "<e type=\"-1\"/><e type=\"257\"/></s>";
    resources::XmlNode *root = resources::xml_parse(doc);
    resources::ObjectList *list = resources::object_list_create(sizeof(MeshEffect));
    for (const resources::XmlNode *e = root->first_child->first_child; e; e = e->next)
        mesh_effect_read(list, e);
    MeshEffect *swirl = resources::object_at<MeshEffect>(list, 1);
    EXPECT_EQ(swirl->kind, MESH_EFFECT_SWIRL);
    EXPECT_EQ(swirl->parameter_functions[0], 3);
    EXPECT_EQ(swirl->parameter_functions[1], 0);
    EXPECT_EQ(swirl->parameter_functions[2], 0); // reading stopped at <q>
    MeshEffect *unknown = resources::object_at<MeshEffect>(list, 2);
    EXPECT_EQ(unknown->parameter_functions[0], 65535); // beyond 16 bits: names no function
    EXPECT_EQ(unknown->mesh.vertex_count, 0);
    EXPECT_GT(resources::object_at<MeshEffect>(list, 3)->kind, 3); // never a real kind by wrapping
    EXPECT_GT(resources::object_at<MeshEffect>(list, 4)->kind, 3);
    mesh_effect_update(2, list, nullptr, 100); // unknown kinds stay empty
    mesh_effect_update(9, list, nullptr, 100); // no record: nothing happens
    EXPECT_EQ(unknown->mesh.vertex_count, 0);
    for (uint32_t p = 1; p <= list->count; p++)
        mesh_effect_release(resources::object_at<MeshEffect>(list, p));
    resources::object_list_free(list);
    resources::xml_free(root);
}

} // namespace
