#include "geometry/manipulator.h"
#include "geometry/mesh_effect.h"
#include "render/draw_object.h"
#include "render/scene_object.h"
#include "resources/xml.h"
#include "scene/scene.h"

#include "log_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace geometry;

namespace {

Instance instance(std::initializer_list<float> v) {
    Instance out = {};
    int i = 0;
    for (float x : v)
        out.v[i++] = x;
    return out;
}

InstanceList list_of(std::vector<Instance> items) {
    InstanceList list = {static_cast<Instance *>(std::malloc(sizeof(Instance) * items.size())),
                         static_cast<uint32_t>(items.size())};
    std::memcpy(list.items, items.data(), sizeof(Instance) * items.size());
    return list;
}

// Applies one manipulator and hands back the result as a vector.
std::vector<Instance> apply(std::vector<Instance> in, uint8_t kind, std::vector<float> params,
                            Mesh *own = nullptr, const Mesh *target = nullptr, bool *cut = nullptr) {
    float p[kManipulatorParameters] = {};
    for (size_t i = 0; i < params.size(); i++)
        p[i] = params[i];
    bool unused = false;
    InstanceList out = manipulator_apply(list_of(in), kind, p, own, target, cut ? cut : &unused);
    std::vector<Instance> v(out.items, out.items + out.count);
    instance_list_free(&out);
    return v;
}

// A small mesh in memory: three vertices of one triangle.
struct Triangle {
    float positions[9] = {1, 0, 0, 3, 0, 0, 2, 3, 0};
    float normals[9] = {};
    uint16_t indices[3] = {0, 1, 2};
    Mesh mesh{};
    Triangle() {
        mesh.vertex_count = 3;
        mesh.index_count = 3;
        mesh.positions = positions;
        mesh.normals = normals;
        mesh.indices = indices;
    }
    ~Triangle() { std::free(mesh.centre); }
};

TEST(Manipulators, MultipliersCountAndOrder) {
    const Instance base = instance({1, 2, 3, 0, 0, 0, 1, 1, 1});
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        std::vector<float> counts;
        size_t expected;
    } cases[] = {{{2.9f, 1, 3}, 6}, {{0, 5, 5}, 0}, {{4, -1, 2}, 0}, {{nan, 2, 2}, 0}, {{1, 1, 1}, 1}};
    for (const Case &c : cases) {
        std::vector<float> p = c.counts;
        p.resize(12, 0.0f);
        EXPECT_EQ(apply({base, base}, MANIPULATOR_XYZ_MULTIPLIER, p).size(), 2 * c.expected);
    }
    // iz changes fastest: (0,0,0), (0,0,1), (0,0,2), (1,0,0), ...; steps scale with the indexes.
    std::vector<Instance> out =
        apply({base}, MANIPULATOR_XYZ_MULTIPLIER, {2.9f, 1, 3, 10, 20, 1, 90, 0, 5, 0.5f, 0, 0});
    const float expected[6][3] = {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}, {1, 0, 0}, {1, 0, 1}, {1, 0, 2}};
    for (int i = 0; i < 6; i++) {
        EXPECT_FLOAT_EQ(out[i].v[0], 1 + 10 * expected[i][0]) << i;
        EXPECT_FLOAT_EQ(out[i].v[2], 3 + 1 * expected[i][2]) << i;
        EXPECT_FLOAT_EQ(out[i].v[3], 90 * expected[i][0]) << i;
        EXPECT_FLOAT_EQ(out[i].v[5], 5 * expected[i][2]) << i;
        EXPECT_FLOAT_EQ(out[i].v[6], 1 + 0.5f * expected[i][0]) << i;
    }
    // X Multiplier: instance 0 of each group is its input; then i times every step.
    out = apply({base, instance({9})}, MANIPULATOR_X_MULTIPLIER, {3, 1, 0, 0, 0, 0, 10, 0, 0, 2});
    ASSERT_EQ(out.size(), 6u);
    EXPECT_EQ(std::memcmp(&out[0], &base, sizeof base), 0);
    EXPECT_FLOAT_EQ(out[2].v[0], 3);
    EXPECT_FLOAT_EQ(out[2].v[5], 20);
    EXPECT_FLOAT_EQ(out[2].v[8], 5);
    EXPECT_FLOAT_EQ(out[3].v[0], 9);
}

TEST(Manipulators, ListsPastTheCapAreCutAndLoggedOncePerItemAndFrame) {
    bool cut = false;
    std::vector<Instance> out =
        apply({instance({})}, MANIPULATOR_XYZ_MULTIPLIER, {1e9f, 1e9f, 1e9f}, nullptr, nullptr, &cut);
    EXPECT_EQ(out.size(), kInstanceListCap);
    EXPECT_TRUE(cut);
    // The first instances are still in order: iz runs fastest.
    EXPECT_EQ(out[0].v[2], 0.0f);
    cut = false;
    EXPECT_EQ(apply({instance({}), instance({})}, MANIPULATOR_X_MULTIPLIER, {600000}, nullptr, nullptr, &cut)
                  .size(),
              kInstanceListCap);
    EXPECT_TRUE(cut);

    testutil::LogCapture log;
    scene::Scene *sc = scene::scene_create();
    render::Item item = {};
    item.manipulator_count = 2;
    for (int m = 0; m < 2; m++) {
        item.manipulators[m].kind = m == 0 ? MANIPULATOR_XYZ_MULTIPLIER : MANIPULATOR_X_MULTIPLIER;
        const float count = 2e3f;
        for (int i = 0; i < 3; i++)
            std::memcpy(&item.manipulators[m].parameters[i], &count, 4);
    }
    for (int frame = 0; frame < 2; frame++) {
        render::draw_frame_begin();
        for (int pass = 0; pass < 3; pass++) { // a cube map layer draws an item six times a frame
            InstanceList list = render::item_instances(sc, &item, nullptr, 0);
            EXPECT_EQ(list.count, kInstanceListCap);
            instance_list_free(&list);
        }
    }
    EXPECT_EQ(log.text(),
              "Instance list cut at 1000000 instances.\r\nInstance list cut at 1000000 instances.\r\n");
    scene::scene_release(sc);
}

TEST(Manipulators, ModelPlacerPutsAnInstanceOnEveryTargetVertex) {
    MeshEffect grid{};
    ASSERT_TRUE(mesh_effect_init(&grid, MESH_EFFECT_CENTERWAVE_WATER));
    std::vector<Instance> in = {instance({100, 0, 0, 1, 2, 3, 7, 7, 7}), instance({-100, 0, 0})};
    // Translate (1, 2, 3), no turn, scale 2; rotation steps of 1, 0, 0.5 degrees per vertex.
    std::vector<Instance> out =
        apply(in, MANIPULATOR_MODEL_PLACER, {1, 2, 3, 10, 20, 30, 2, 2, 2, 1, 0, 0.5f}, nullptr, &grid.mesh);
    ASSERT_EQ(out.size(), 1800u);
    for (uint32_t v : {0u, 31u, 899u}) {
        float i = float(v / 30), j = float(v % 30);
        SCOPED_TRACE(v);
        // The rotation of the placement turns the grid too: compare the distance to the translation.
        float dx = out[v].v[0] - 101, dy = out[v].v[1] - 2, dz = out[v].v[2] - 3;
        EXPECT_NEAR(std::sqrt(dx * dx + dy * dy + dz * dz), 2 * std::sqrt(i * i + j * j), 1e-3);
        EXPECT_FLOAT_EQ(out[v].v[3], 1 + 10 + float(v));
        EXPECT_FLOAT_EQ(out[v].v[5], 3 + 30 + 0.5f * v);
        EXPECT_FLOAT_EQ(out[v].v[6], 7); // the input's scale, not the placer's
    }
    EXPECT_FLOAT_EQ(out[900].v[0] - out[0].v[0], -200.0f); // the second 900 follow input instance 1
    // Without rotation the placement is plain: vertex (i, 0, j) lands at 2 (i, 0, j) + (1, 2, 3).
    out = apply({instance({})}, MANIPULATOR_MODEL_PLACER, {1, 2, 3, 0, 0, 0, 2, 2, 2}, nullptr, &grid.mesh);
    EXPECT_FLOAT_EQ(out[30 * 4 + 7].v[0], 9);
    EXPECT_FLOAT_EQ(out[30 * 4 + 7].v[1], 2);
    EXPECT_FLOAT_EQ(out[30 * 4 + 7].v[2], 17);
    // No target: the list passes through.
    EXPECT_EQ(apply(in, MANIPULATOR_MODEL_PLACER, {1, 2, 3}).size(), 2u);
    mesh_effect_release(&grid);
}

TEST(Manipulators, RipplerDisplacesAChainTwiceAndTheNextDrawingStartsAfresh) {
    Triangle tri;
    ManipulatorEntry ripple = {};
    ripple.kind = MANIPULATOR_RIPPLER;
    float amplitude = 0.25f; // time 0 and wavelength 0 read the table at step 0: cos 0 = 1
    std::memcpy(&ripple.parameters[1], &amplitude, 4);
    ManipulatorEntry chain[2] = {ripple, ripple};
    ManipulatorSources sources = {nullptr, nullptr, nullptr};
    bool cut = false;
    for (int drawing = 0; drawing < 2; drawing++) {
        InstanceList list = manipulators_run(chain, 2, instance({}), &tri.mesh, 0, sources, &cut);
        EXPECT_EQ(list.count, 1u);
        RippleBuffer *r = ripple_buffer();
        ASSERT_NE(r, nullptr);
        for (int i = 0; i < 9; i++)
            EXPECT_FLOAT_EQ(r->positions[i], tri.positions[i] + 0.5f) << i;
        EXPECT_FLOAT_EQ(r->normals[2], 1.0f); // a moved triangle keeps facing +z
        instance_list_free(&list);
        ripple_buffer_release();
        EXPECT_EQ(ripple_buffer(), nullptr);
    }
    EXPECT_FLOAT_EQ(tri.positions[0], 1.0f); // the mesh itself never moves
}

TEST(Manipulators, RadialMoveAndPassThroughKinds) {
    Triangle tri; // centre (2, 1, 0)
    std::vector<Instance> out = apply({instance({1, 1, 1})}, MANIPULATOR_RADIAL_MOVE, {3}, &tri.mesh);
    EXPECT_FLOAT_EQ(out[0].v[0], 7);
    EXPECT_FLOAT_EQ(out[0].v[1], 4);
    EXPECT_FLOAT_EQ(out[0].v[2], 1);
    Triangle centred;
    for (int i = 0; i < 3; i++)
        centred.positions[i * 3] -= 2, centred.positions[i * 3 + 1] -= 1;
    out = apply({instance({1, 1, 1})}, MANIPULATOR_RADIAL_MOVE, {3}, &centred.mesh);
    EXPECT_FLOAT_EQ(out[0].v[0], 1);
    EXPECT_FLOAT_EQ(out[0].v[1], 1);
    EXPECT_EQ(apply({instance({5}), instance({6})}, 9, {100, 100}).size(), 2u);
    // No manipulators: one instance, the placement itself.
    ManipulatorSources sources = {nullptr, nullptr, nullptr};
    bool cut = false;
    InstanceList list = manipulators_run(nullptr, 0, instance({4, 5, 6}), nullptr, 0, sources, &cut);
    ASSERT_EQ(list.count, 1u);
    EXPECT_FLOAT_EQ(list.items[0].v[1], 5);
    instance_list_free(&list);
}

TEST(Manipulators, ReaderStoresTargetsAndParametersSafely) {
    const char *doc = "<i>"
                      "<m type=\"3\"><manipulator type=\"-1\" model=\"1e10\"/><v value=\"1.5\"/>"
                      "<v type=\"dynamic\" value=\"4\"/></m>"
                      "<m type=\"300\"><manipulator type=\"nan\" model=\"2.9\"/></m>"
                      "<m type=\"0\"><v value=\"2\"/><v value=\"3\"/></m>"
                      "</i>";
    resources::XmlNode *root = resources::xml_parse(doc);
    const resources::XmlNode *m = root->first_child->first_child;
    ManipulatorEntry e[3] = {};
    for (int i = 0; i < 3; i++, m = m->next)
        render::manipulator_read(&e[i], m);
    EXPECT_EQ(e[0].kind, MANIPULATOR_MODEL_PLACER);
    EXPECT_EQ(e[0].target_kind, 1);      // any kind but 0 is a mesh effect
    EXPECT_EQ(e[0].target_index, 65535); // too large: names no record
    EXPECT_EQ(e[0].animated[0], 0x40);   // parameter 1 is animated
    EXPECT_EQ(e[0].parameters[1], 4u);
    EXPECT_GT(e[1].kind, 4); // not wrapped onto a real kind
    EXPECT_EQ(e[1].target_kind, 0);
    EXPECT_EQ(e[1].target_index, 2);
    float p0;
    std::memcpy(&p0, &e[2].parameters[0], 4);
    EXPECT_EQ(p0, 2.0f); // without a target child the first child is parameter 0
    EXPECT_EQ(e[2].target_index, 0);
    resources::xml_free(root);
}

} // namespace
