// Mesh effects: procedural meshes rebuilt from animated parameters while the demo plays.
#pragma once

#include "geometry/mesh.h"

#include <cstdint>

namespace geometry {

struct MeshEffect {
    uint8_t kind;                     // row of the mesh effect table
    uint16_t parameter_functions[32]; // function index per parameter, 0 for none
    void *state;                      // the kind's state; owned
    Mesh mesh;                        // drawn from memory, no buffer objects
};

} // namespace geometry

#include "resources/object_list.h"

namespace geometry {

// Brings mesh effect `index` up to time t (no-op for an index that names no effect).
void mesh_effect_update(uint32_t index, resources::ObjectList *effects, const resources::ObjectList *functions,
                        uint32_t t);

} // namespace geometry
