#include "render/frame.h"
#include "render/layer.h"
#include "resources/xml.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace render;

namespace {

struct Span {
    uint32_t space_before, length;
};

// A slot holding layers placed one after another, as the reader places them.
scene::LayerSlot slot_of(const std::vector<Span> &spans) {
    scene::LayerSlot slot = {};
    slot.layers = resources::short_list_create(sizeof(Layer));
    uint32_t running = 0;
    for (const Span &s : spans) {
        uint8_t n = resources::short_list_add(slot.layers);
        Layer *layer = static_cast<Layer *>(slot.layers->record[n - 1]);
        layer->space_before = s.space_before;
        layer->length = s.length;
        layer->object = n;
        layer_place(&slot, layer, slot.layers->count - 1u, &running);
    }
    return slot;
}

struct Found {
    bool active;
    uint32_t index, local;
};

Found find(const scene::LayerSlot &slot, uint32_t t) {
    Found f = {};
    f.active = layer_find_active(&slot, t, &f.index, &f.local);
    return f;
}

TEST(Layers, PlacementWritesTheBucketsOfEachSecond) {
    // 0..150, then 150..180 (shorter than the rest of its second: no bucket), then 180..380.
    scene::LayerSlot slot = slot_of({{0, 150}, {0, 30}, {0, 200}});
    EXPECT_EQ(slot.end_time, 380u);
    EXPECT_EQ(slot.buckets[0], 0);
    EXPECT_EQ(slot.buckets[1], 0);
    EXPECT_EQ(slot.buckets[2], 2);
    EXPECT_EQ(slot.buckets[3], 2);
    EXPECT_EQ(slot.buckets[4], 0) << "untouched";
    struct Case {
        uint32_t t;
        bool active;
        uint32_t index, local;
    } cases[] = {
        {0, true, 0, 0},     {150, true, 0, 150}, // the end time itself belongs to the layer
        {151, true, 1, 1},   {170, true, 1, 20},  // found by walking on from bucket 1
        {180, true, 1, 30},  {190, true, 2, 10},  {380, true, 2, 200},
        {381, false, 0, 0},  {100000, false, 0, 0},
    };
    for (const Case &c : cases) {
        Found f = find(slot, c.t);
        EXPECT_EQ(f.active, c.active) << "t " << c.t;
        if (c.active) {
            EXPECT_EQ(f.index, c.index) << "t " << c.t;
            EXPECT_EQ(f.local, c.local) << "t " << c.t;
        }
    }
    resources::short_list_free(slot.layers);
}

TEST(Layers, GapsAndStartsOnWholeSeconds) {
    // A 50-unit gap before a 100-unit layer, then a layer starting exactly at 300.
    scene::LayerSlot slot = slot_of({{50, 100}, {150, 100}});
    EXPECT_EQ(find(slot, 49).active, false) << "inside the first gap";
    Found f = find(slot, 50);
    EXPECT_TRUE(f.active);
    EXPECT_EQ(f.local, 0u);
    EXPECT_FALSE(find(slot, 200).active) << "inside the second gap";
    f = find(slot, 300);
    EXPECT_TRUE(f.active);
    EXPECT_EQ(f.index, 1u);
    EXPECT_EQ(f.local, 0u);
    EXPECT_EQ(slot.buckets[3], 1);
    resources::short_list_free(slot.layers);
}

TEST(Layers, TimesPastTheBucketTableStillFindTheirLayer) {
    // 700 s, then 200 s more: the second layer ends past the 720-second table.
    scene::LayerSlot slot = slot_of({{0, 70000}, {0, 20000}});
    EXPECT_EQ(slot.buckets[719], 1);
    Found f = find(slot, 85000);
    EXPECT_TRUE(f.active);
    EXPECT_EQ(f.index, 1u);
    EXPECT_EQ(f.local, 15000u);
    EXPECT_FALSE(find(slot, 90001).active);
    resources::short_list_free(slot.layers);

    scene::LayerSlot empty = slot_of({});
    EXPECT_FALSE(find(empty, 0).active);
    resources::short_list_free(empty.layers);
}

TEST(Layers, ReaderTakesAttributesAndTheNineValues) {
    resources::XmlNode *doc = resources::xml_parse(
        "<l id=\"3\" space_before=\"10\" length=\"200\" offset=\"7\" type=\"1\" rtex=\"2\" clearcolor=\"4\" "
        "clearcolorbuffer=\"3\" clearzbuffer=\"1\">"
        "<v type=\"static\" value=\"1.5\"/><v type=\"dynamic\" value=\"2\"/><v type=\"static\" value=\"3\"/>"
        "<v type=\"static\" value=\"10\"/><v type=\"whatever\" value=\"20\"/><v type=\"dynamic\" value=\"5\"/>"
        "<v type=\"ortographic\" value=\"99\"/><v type=\"dynamic\" value=\"6\"/><v type=\"static\" value=\"1.25\"/></l>"
        "<l type=\"0\" rtex=\"9\"><v/><v/><v/><v/><v/><v/><v type=\"dynamic\" value=\"8\"/></l>");
    Layer a = {}, b = {};
    layer_read(&a, doc->first_child);
    layer_read(&b, doc->first_child->next);
    resources::xml_free(doc);
    EXPECT_EQ(a.object, 3);
    EXPECT_EQ(a.space_before, 10u);
    EXPECT_EQ(a.offset, 7u);
    EXPECT_EQ(a.rtex, 2);
    EXPECT_EQ(a.clearcolor, 4);
    EXPECT_EQ(a.clear_flags, 3) << "bit 0 from the value's lowest bit, bit 1 from clearzbuffer";
    EXPECT_EQ(a.dynamic_flags, LAYER_DYN_Y | LAYER_DYN_ROT_Z | LAYER_DYN_FAR);
    EXPECT_EQ(a.camera[1], 2u);
    EXPECT_EQ(a.projection_kind, PROJECTION_ORTHO);
    EXPECT_EQ(a.far_plane, 6u);
    EXPECT_EQ(b.rtex, 0) << "only types 1, 2, 3 and 5 read rtex";
    EXPECT_EQ(b.projection_kind, PROJECTION_DYNAMIC);
    EXPECT_EQ(b.projection, 8u);
}

TEST(Layers, PowerOfTwoRuleAndEmptySlotZero) {
    int32_t sizes[][2] = {{0, 32}, {63, 32}, {64, 64}, {127, 64}, {128, 128}, {255, 128}, {256, 256}, {4000, 256}};
    for (auto &s : sizes) EXPECT_EQ(layer_power_of_two(s[0]), s[1]) << s[0];
    // Slot 0 empty: nothing is drawn and the result is 0 whatever the other slots hold.
    scene::Scene *sc = scene::scene_create();
    resources::short_list_add(sc->slots[3].layers);
    EXPECT_EQ(render_at_time(sc, 0, 640, 360, Viewport{0, 0, 640, 360}, Capabilities{}, 1), 0u);
    scene::scene_release(sc);
}

} // namespace
