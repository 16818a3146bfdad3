// Layers: the timeline of a scene, 24 slots of layers laid end to end in time.
#pragma once

#include <cstdint>

namespace render {

enum RenderMode : uint8_t {
    MODE_SIMPLE = 0,
    MODE_TEXTURE = 1,
    MODE_QUARTER_TEXTURE = 2,
    MODE_CUBEMAP = 3,
    MODE_LINK = 4,
    MODE_CUBE_ATLAS = 5,
};

constexpr int kRenderModeCount = 6;
// Names of the render modes, by type.
inline constexpr const char *kRenderModeNames[] = {
    "Simple render",     "Render to texture",  "Render to quarter screen texture",
    "Render to cubemap", "Link with previous", "Cubemap to texture",
};
static_assert(sizeof(kRenderModeNames) / sizeof(kRenderModeNames[0]) == kRenderModeCount,
              "one name per mode");

// Whether a render mode reads "rtex", and whether that names a cube map rather than a bitmap.
constexpr bool render_mode_has_target(uint8_t type) {
    return type == MODE_TEXTURE || type == MODE_QUARTER_TEXTURE || type == MODE_CUBEMAP ||
           type == MODE_CUBE_ATLAS;
}

enum ProjectionKind : uint8_t { PROJECTION_STATIC = 0, PROJECTION_ORTHO = 1, PROJECTION_DYNAMIC = 2 };
// The projection child's "type" words (anything else is a static field of view).
inline constexpr const char *kProjectionDynamicWord = "dynamic";
inline constexpr const char *kProjectionOrthoWord = "ortographic";

// Dynamic flags of a layer.
enum LayerDynamic : uint8_t {
    LAYER_DYN_X = 0x80,
    LAYER_DYN_Y = 0x40,
    LAYER_DYN_Z = 0x20,
    LAYER_DYN_ROT_X = 0x10,
    LAYER_DYN_ROT_Y = 0x08,
    LAYER_DYN_ROT_Z = 0x04,
    LAYER_DYN_FAR = 0x02,
    LAYER_DYN_ASPECT = 0x01,
};

struct Layer {
    uint16_t object;
    uint32_t space_before;
    uint32_t offset;
    uint32_t length;
    uint8_t type;
    uint16_t rtex;
    uint32_t camera[3];
    uint32_t rotation[3];
    uint32_t projection;
    uint32_t far_plane;
    uint32_t aspect;
    uint8_t dynamic_flags;
    uint8_t projection_kind;
    uint16_t clearcolor;
    uint32_t end_time;
    uint8_t clear_flags; // bit 0 colour, bit 1 depth
};

constexpr int kLayerSlotCount = 24;
constexpr int kLayerBucketCount = 720; // one per second of the timeline

} // namespace render

#include "resources/object_list.h"

namespace resources {
struct XmlNode;
}
namespace scene {
struct LayerSlot;
struct Scene;
} // namespace scene

namespace render {

// Reads the layer section into the scene's slots: children are slots (at most 24), their children
// the layers in time order. Each layer is placed in its slot as it is read.
void layer_section_read(scene::Scene *sc, const resources::XmlNode *section,
                        void (*record_done)(void *user), void *user);

// Reads one layer element into a zeroed layer record.
void layer_read(Layer *layer, const resources::XmlNode *element);

// Places the layer at 0-based index in its slot after the ones before it: sets its end time, the
// slot's end time and the buckets of the seconds it covers (never past the table). running_time
// carries the slot's time from one layer to the next.
void layer_place(scene::LayerSlot *slot, Layer *layer, uint32_t index, uint32_t *running_time);

// The layer of the slot active at time t: its 0-based index and local time, or false when the slot
// has no layer there (past its end, inside a gap, or empty).
bool layer_find_active(const scene::LayerSlot *slot, uint32_t t, uint32_t *index, uint32_t *local_time);

// Power-of-two rule: up to 63 gives 32, up to 127 gives 64, up to 255 gives 128, else 256.
int32_t layer_power_of_two(int32_t size);

} // namespace render
