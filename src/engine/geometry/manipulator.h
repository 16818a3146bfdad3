// Instances and manipulators: an item is drawn once per instance of the list its manipulators make.
// Each manipulator takes the previous list and makes a new one: repeated along a grid or a line,
// placed on every vertex of another mesh, pushed outward, or drawn from a rippled copy of the mesh.
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
    Instance *items; // heap, owned; null when count is 0
    uint32_t count;
};

enum ManipulatorKind : uint8_t {
    MANIPULATOR_XYZ_MULTIPLIER = 0,
    MANIPULATOR_X_MULTIPLIER = 1,
    MANIPULATOR_RIPPLER = 2,
    MANIPULATOR_MODEL_PLACER = 3,
    MANIPULATOR_RADIAL_MOVE = 4,
};

constexpr int kManipulatorKindCount = 5;
constexpr int kManipulatorParameters = 16;

struct ManipulatorDescriptor {
    char name[32];
    uint8_t needs_target;
    uint8_t parameter_count;
    char parameter_names[kManipulatorParameters][32];
};
extern const ManipulatorDescriptor kManipulatorDescriptors[kManipulatorKindCount];

// One manipulator of an item, as the document gives it.
struct ManipulatorEntry {
    uint8_t kind;
    uint16_t target_index; // 1-based; 0 for none
    uint8_t target_kind;   // 0 model, other: mesh effect
    uint8_t animated[2];   // bit 0x80 >> (i % 8) of byte i / 8 set when parameter i is animated
    uint32_t parameters[kManipulatorParameters]; // float bits, or a function index when animated
};

// Instance lists are cut at this many instances: counts are products of document values.
constexpr uint32_t kInstanceListCap = 1000000;

// The lists manipulators read: parameter functions and Model placer targets.
struct ManipulatorSources {
    const resources::ObjectList *functions;
    resources::ObjectList *models;
    resources::ObjectList *mesh_effects;
};

// The rippled copy of the mesh the current item draws. At most one exists; drawing uses its
// positions and normals in place of the mesh's own while it does.
struct RippleBuffer {
    float *positions; // vertex_count x 3
    float *normals;   // vertex_count x 3
    uint32_t vertex_count;
};

// The instance list of one drawing of an item: the placement instance, transformed by each entry in
// order with its parameters evaluated at t. Sets *cut when a step reached kInstanceListCap. Release
// the list with instance_list_free and then the ripple buffer with ripple_buffer_release.
InstanceList manipulators_run(const ManipulatorEntry *entries, uint8_t count, const Instance &placement,
                              Mesh *own_mesh, uint32_t t, const ManipulatorSources &sources, bool *cut);

// One step: a new list from `list` (which is released) for a kind with its evaluated parameters.
// target is Model placer's mesh or null. Kinds above 4 pass the list through. Sets *cut when the
// result was cut at kInstanceListCap.
InstanceList manipulator_apply(InstanceList list, uint8_t kind, const float *parameters, Mesh *own_mesh,
                               const Mesh *target, bool *cut);

// The evaluated parameters of an entry (as many as its kind uses; the rest 0).
void manipulator_parameters(const ManipulatorEntry *entry, const resources::ObjectList *functions, uint32_t t,
                            float out[kManipulatorParameters]);

void instance_list_free(InstanceList *list);

// The ripple buffer, or null when none exists.
RippleBuffer *ripple_buffer();

// Frees the ripple buffer's arrays and marks it absent (its GL buffers must be deleted first).
void ripple_buffer_release();

} // namespace geometry
