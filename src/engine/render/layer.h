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

enum ProjectionKind : uint8_t { PROJECTION_STATIC = 0, PROJECTION_ORTHO = 1, PROJECTION_DYNAMIC = 2 };

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
