// Instances and manipulators: an item is drawn once per instance of the list its manipulators make.
#pragma once

#include "geometry/mesh.h"
#include "resources/object_list.h"

#include <cstdint>

namespace geometry {

// Position x, y, z; rotation about x, y, z in degrees; scale x, y, z.
struct Instance {
    float v[9];
};

struct InstanceList {
    Instance *items; // heap, owned
    uint32_t count;
};

constexpr int kManipulatorParameters = 16;

// One manipulator of an item, as the document gives it.
struct ManipulatorEntry {
    uint8_t kind;
    uint16_t target_index;
    uint8_t target_kind;   // 0 model, other: mesh effect
    uint8_t animated[2];   // bit 0x80 >> (i % 8) of byte i / 8 set when parameter i is animated
    uint32_t parameters[kManipulatorParameters];
};

// The instance list of an item: one instance made from its placement. The manipulator entries are
// read and kept with the item; applying them belongs to the manipulator kinds, which are not
// built yet, so the list holds that one instance. Release with instance_list_free.
InstanceList manipulators_run(const ManipulatorEntry *entries, uint8_t count, const Instance &placement,
                              Mesh *own_mesh, uint32_t t);

void instance_list_free(InstanceList *list);

} // namespace geometry
