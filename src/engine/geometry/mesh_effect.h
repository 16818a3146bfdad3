// Mesh effects: procedural meshes rebuilt from animated parameters while the demo plays — two
// water surfaces on a 30 x 30 grid, a spiral fan and an umbrella-shaped cone.
#pragma once

#include "geometry/mesh.h"
#include "resources/object_list.h"

#include <cstdint>

namespace resources {
struct XmlNode;
}

namespace geometry {

enum MeshEffectKind : uint8_t {
    MESH_EFFECT_LAKE_WATER = 0,
    MESH_EFFECT_CENTERWAVE_WATER = 1,
    MESH_EFFECT_SWIRL = 2,
    MESH_EFFECT_UMBRELLA = 3,
};

constexpr int kMeshEffectKindCount = 4;
constexpr int kMeshEffectParameters = 32;
// The parameter children: reading stops at the first child of another name.
inline constexpr const char *kMeshEffectParameterName = "p";

struct MeshEffectDescriptor {
    char name[32];
    uint8_t parameter_count;
    char parameter_names[kMeshEffectParameters][32];
};
extern const MeshEffectDescriptor kMeshEffectDescriptors[kMeshEffectKindCount];

struct MeshEffect {
    uint8_t kind;                                        // row of the table; above 3: an empty mesh
    uint16_t parameter_functions[kMeshEffectParameters]; // function index per parameter, 0 for none
    void *state;                                         // the kind's state below; owned
    Mesh mesh;                                           // drawn from memory, no buffer objects
};

// The 30 x 30 water grid and its simulation.
constexpr int kWaterSide = 30;
constexpr int kWaterVertices = kWaterSide * kWaterSide;
constexpr uint32_t kWaterIndices = 5046;

struct LakeWaterState {
    int32_t heights[3][kWaterVertices]; // H0 is heights[0]; H1 and H2 trade arrays at each step
    uint8_t h1, h2;                     // which array plays H1 and which H2
    int32_t step;                       // S
};

struct CenterwaveState {
    float last_time; // -1 before the first update
};

struct UmbrellaState {
    int32_t sides;   // -1 until the first update builds the fan
    bool cap_logged; // the side count was cut to fit 16-bit indices, logged once
};

// The largest side count whose n + 1 vertices fit the 16-bit vertex count.
constexpr int32_t kUmbrellaMaxSides = 65534;

// Reads one element of the mesh effect section ("type" and the leading "p" children) into a new
// record and builds its initial mesh and state. Returns the slot, 0 when the list is full.
uint32_t mesh_effect_read(resources::ObjectList *effects, const resources::XmlNode *element);

// Builds the initial mesh and state of a zeroed record of the given kind. False when memory runs
// out (the record is then left empty, drawing nothing).
bool mesh_effect_init(MeshEffect *effect, uint8_t kind);

// Brings mesh effect `index` (1-based position) up to time t: evaluates its parameters and rebuilds
// the mesh. Runs at every call. An index that names no record does nothing.
void mesh_effect_update(uint32_t index, resources::ObjectList *effects,
                        const resources::ObjectList *functions, uint32_t t);

// The kind's update with the parameter values already evaluated (as many as the kind uses).
void mesh_effect_apply(MeshEffect *effect, const float *parameters);

// Frees the state and the mesh arrays.
void mesh_effect_release(MeshEffect *effect);

// Puts the state back as it was made (Lake water's heights and step, Centerwave water's last time,
// Umbrella's side count), so that the next update starts the simulation afresh.
void mesh_effect_reset(MeshEffect *effect);

} // namespace geometry
