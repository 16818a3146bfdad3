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

// Every graph image is 256 x 256 RGB (the fuzz build makes them smaller to generate graphs faster).
#ifndef BV_GRAPH_IMAGE_SIZE
#define BV_GRAPH_IMAGE_SIZE 256
#endif
constexpr uint32_t kGraphImageSize = BV_GRAPH_IMAGE_SIZE;
constexpr uint32_t kGraphImageBytes = kGraphImageSize * kGraphImageSize * 3;

enum TextureFilter : uint8_t { FILTER_NEAREST = 0, FILTER_LINEAR = 1, FILTER_MIPMAP = 2 };

enum PendingState : uint8_t { NODE_COMPUTED = 0, NODE_PENDING = 1, NODE_WAITING = 2 };

constexpr uint8_t kOutputNodeType = 255;
constexpr int kNodeParameters = 9;
constexpr int kNodeOutputs = 255;
// The children of a node element that name its second input and its outputs.
inline constexpr const char *kNodeSecondInputName = "input";
inline constexpr const char *kNodeOutputName = "output";

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

static_assert(sizeof(ProceduralTexture::parameters) / sizeof(float) == kNodeParameters &&
                  sizeof(ProceduralTexture::outputs) / sizeof(int32_t) == kNodeOutputs,
              "a node's room for parameters and outputs");

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

namespace textures {

// Reads one procedural texture element (graph node) into a new record: type, name, format, filter,
// first input from the first child's text; an output node (255) gets its empty 256 x 256 GL
// texture at once and reads nothing more; other types read "layer_id" (up to 200), an optional
// "input" child (second input), "output" children and float parameters. Returns the slot.
uint32_t procedural_texture_read(resources::ObjectList *textures, const resources::XmlNode *element,
                                 const TextureFormatTable *formats);

// The reading alone, without GL: fills a zeroed record from the element (an output node gets no
// texture). Returns whether outputs or parameters were left out for want of room.
bool procedural_texture_parse(ProceduralTexture *t, const resources::XmlNode *element);

// Output node step of the graph: copies the input image (null for an all-zero one) into the node's
// working image and uploads it, with a full mip chain when the node's filter is 2.
void procedural_output_upload(ProceduralTexture *node, const uint8_t *input_image, const TextureFormatTable *formats);

// Reads one bitmap element: decodes "filename" from the package with its own channel count, looks
// up the premade "_mm1"/"_mm2" levels, uploads, and releases the decoded pixels. A missing,
// undecodable or oversized entry, or one that is not PNG or JPEG, is logged; the record is still
// added, with no image. Returns the slot.
uint32_t bitmap_read(resources::ObjectList *bitmaps, const resources::XmlNode *element, FILE *package,
                     const TextureFormatTable *formats);

// The entry name of a premade mip level: "_mm1" or "_mm2" inserted before the last four characters.
void bitmap_level_name(const char *name, int level, char *out, uint32_t out_size);

// Reads one cube map element: six faces "xp" .. "zn"; uploads only when all six decode with equal
// sizes (faces that differ in size are logged and leave the texture without an image). Faces that
// differ only in channel count are decoded to the count that holds them all.
uint32_t cube_map_read(resources::ObjectList *cube_maps, const resources::XmlNode *element, FILE *package,
                       const TextureFormatTable *formats);

// Sets the min and mag filters of the bound 2D texture for a filter byte (0 nearest, 1 linear,
// 2 linear with trilinear minification); other values set nothing.
void texture_apply_filter(uint8_t filter);

// Frees what a record owns (working image, decoded pixels). GL textures stay.
void procedural_texture_release(ProceduralTexture *t);
void bitmap_release(Bitmap *b);
void cube_map_release(CubeMap *c);

} // namespace textures
