// The three static texture kinds of a scene: procedural textures (graph nodes), bitmaps decoded
// from package entries, and cube maps built from six entries.
#pragma once

#include "resources/object_list.h"

#include <cstdint>
#include <cstdio>

namespace resources {
struct XmlNode;
} // namespace resources

namespace textures {

struct TextureFormatTable;

constexpr uint32_t kGraphImageSize = 256; // every graph image is 256 x 256 RGB
constexpr uint32_t kGraphImageBytes = kGraphImageSize * kGraphImageSize * 3;

enum TextureFilter : uint8_t { FILTER_NEAREST = 0, FILTER_LINEAR = 1, FILTER_MIPMAP = 2 };

enum PendingState : uint8_t { NODE_COMPUTED = 0, NODE_PENDING = 1, NODE_WAITING = 2 };

constexpr uint8_t kOutputNodeType = 255;

struct ProceduralTexture {
    uint8_t type;         // 0..100 none, 101..104 layer operations, 201..210 filters, 255 output
    char name[35];        // up to 34 characters
    int32_t layer_index;  // 0-based texture layer, for types up to 200
    float parameters[9];
    int32_t first_input;  // texture list index, 0 = none
    int32_t second_input;
    uint8_t output_count;
    int32_t outputs[255]; // texture list indices of the nodes that take this one as input
    uint8_t *image;       // 256 x 256 x 3 working image; null until first generated
    uint32_t gl_texture;  // output nodes only
    uint8_t texture_format;
    uint8_t texture_filter;
    uint8_t pending;
};

struct Bitmap {
    int32_t width, height, channels;
    uint32_t gl_texture;
    uint32_t depth_renderbuffer; // 0 until the bitmap serves as a render target
    uint8_t texture_format;
    uint8_t texture_filter;
    uint8_t *pixels;  // decoded pixels until uploaded; a render target's own buffer afterwards
    uint8_t *level1;  // premade mip level 1, or null
    uint8_t *level2;  // premade mip level 2, or null
};

struct CubeFace {
    uint8_t *pixels;
    uint32_t size; // 0 for decoded images
};

struct CubeMap {
    int32_t width, height, channels; // those of the last face decoded
    uint32_t gl_texture;
    uint32_t depth_renderbuffer;
    uint8_t texture_format;
    uint8_t texture_filter;
    CubeFace faces[6]; // +X, -X, +Y, -Y, +Z, -Z
};

} // namespace textures
