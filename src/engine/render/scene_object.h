// Scene objects: what a layer draws, a list of up to 255 items.
#pragma once

#include "geometry/manipulator.h"
#include "resources/object_list.h"

#include <cstdint>


namespace render {

enum ItemType : uint8_t { ITEM_MODEL = 0, ITEM_MESH_EFFECT = 1, ITEM_TEXT = 2 };
constexpr int kItemTypeCount = 3;
inline constexpr const char *kItemTypeNames[] = {"static model", "mesh effect", "text"};
static_assert(sizeof(kItemTypeNames) / sizeof(kItemTypeNames[0]) == kItemTypeCount, "one name per item type");

// Children of an item by position: nine placement values, then these three, then manipulators.
constexpr int kItemPlacementValues = 9;
constexpr int kItemVisibilityChild = 10;
constexpr int kItemTimeOffsetChild = 11;
constexpr int kItemFaceCameraChild = 12;
// The first child of a manipulator names its target when it is called this.
inline constexpr const char *kManipulatorTargetName = "manipulator";

constexpr int kMaxManipulators = 7;
using geometry::ManipulatorEntry;
using geometry::kManipulatorParameters;

constexpr uint16_t kItemFaceCamera = 1u << 9;

struct Item {
    uint8_t type;
    uint16_t object;   // model or mesh effect index
    uint16_t material; // 0 = not drawn
    uint32_t placement[9];
    uint16_t flags;    // bit k - 1: dynamic flag of placement value k; bit 9: face camera
    uint16_t font;
    char text[32];
    uint16_t visibility; // function index, 0 = always visible
    float time_offset;
    uint8_t manipulator_count;
    ManipulatorEntry manipulators[kMaxManipulators];
    uint32_t cut_logged_frame; // frame number of the last "Instance list cut" line, 0 for none
};

struct SceneObject {
    resources::ShortList *items;
};

} // namespace render

namespace resources {
struct XmlNode;
}

namespace render {

// Reads one object element of the object section: every child is an item (at most 255), read by
// position: nine placement values, visibility, time offset, face-camera flag, then manipulators.
uint32_t scene_object_read(resources::ObjectList *objects, const resources::XmlNode *element);

// Reads one item element into a zeroed item record.
void item_read(Item *item, const resources::XmlNode *element);

// Reads one manipulator element into an entry (target child, up to 16 parameters).
void manipulator_read(ManipulatorEntry *entry, const resources::XmlNode *element);

} // namespace render
