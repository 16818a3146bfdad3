// Scene objects: what a layer draws, a list of up to 255 items.
#pragma once

#include "resources/object_list.h"

#include <cstdint>


namespace render {

enum ItemType : uint8_t { ITEM_MODEL = 0, ITEM_MESH_EFFECT = 1, ITEM_TEXT = 2 };

constexpr int kMaxManipulators = 7;
constexpr int kManipulatorParameters = 16;

struct ManipulatorEntry {
    uint8_t kind;
    uint16_t target_index;
    uint8_t target_kind;   // 0 model, other: mesh effect
    uint8_t animated[2];   // bit 0x80 >> (i % 8) of byte i / 8 set when parameter i is animated
    uint32_t parameters[kManipulatorParameters];
};

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
};

struct SceneObject {
    resources::ShortList *items;
};

} // namespace render
