// 2D effects: square textures whose pixels a built-in effect recomputes while the demo plays —
// moving plasma patterns, a rotating plasma, a normal map, a growing-blob pattern and a test
// gradient. Generation is pure; the effect2d_upload functions move the pixels into GL.
#pragma once

#include "resources/object_list.h"

#include <cstdint>

namespace resources {
struct XmlNode;
}
namespace textures {
struct TextureFormatTable;
}

namespace geometry {

enum Effect2DKind : uint8_t {
    EFFECT2D_TEST = 0,
    EFFECT2D_EFFECT1 = 1,
    EFFECT2D_AMOBA = 2,
    EFFECT2D_ROTATE = 3,
    EFFECT2D_NORMALMAP = 4,
};

constexpr int kEffect2DKindCount = 5;
constexpr int kEffect2DParameters = 32;
// The parameter children: reading stops at the first child of another name.
inline constexpr const char *kEffect2DParameterName = "p";
constexpr uint32_t kEffect2DMaxSize = 512; // the largest side "resolution" gives

struct Effect2DDescriptor {
    char name[32];
    uint8_t parameter_count;
    char parameter_names[kEffect2DParameters][32];
};
extern const Effect2DDescriptor kEffect2DDescriptors[kEffect2DKindCount];

struct Effect2D {
    char name[32];
    uint8_t kind;
    uint16_t width, height; // always equal (S)
    uint8_t bits_per_pixel; // 8 or 24
    uint16_t parameter_functions[kEffect2DParameters];
    uint32_t texture;
    uint8_t texture_format;
    uint8_t texture_filter; // stored; effect textures always filter linearly
    uint32_t pixel_buffer;  // 0 when the effect is updated through client memory
    uint32_t time_stamp; // time of the last update asked for by material application; 0xFFFF after creation
    void *state;         // AmobaState for "Amoba", null otherwise; owned
};

// "Amoba" keeps its own image and the last step it ran.
struct AmobaState {
    uint8_t *image;    // S x S x bytes per pixel
    int32_t last_step; // the truncated step of the last update
};

// Reads one element of the 2D effect section into a new record and makes its state ("Amoba"
// seeds the shared random sequence with 5 and places its seeds). No GL work: the caller then
// creates the texture with effect2d_upload_create. Returns the slot, 0 when the list is full.
uint32_t effect2d_read(resources::ObjectList *effects, const resources::XmlNode *element);

// The size and depth that the "resolution" and "bpp" texts give: 64, 128 or 256 for those exact
// sizes, else 512; 8 bits only for exactly "8", else 24.
uint16_t effect2d_resolution(const char *text);
uint8_t effect2d_bits(const char *text);

// Bytes of one image of the effect (S x S x bits / 8).
uint32_t effect2d_image_bytes(const Effect2D *e);

// The parameters at time t: the kind's count, function index 0 giving 0.0; the rest 0.
void effect2d_parameters(const Effect2D *e, const resources::ObjectList *functions, uint32_t t,
                         float out[kEffect2DParameters]);

// Writes one complete image of the effect into out (effect2d_image_bytes). Kinds above 4 and
// "Normalmap" at 8 bits write zeros. "Amoba" advances its state by at most one step.
void effect2d_generate(Effect2D *e, const float *parameters, uint8_t *out);

// Frees the state.
void effect2d_release(Effect2D *e);

// Puts an effect back as it was made: "Amoba" clears its image and places its seeds again (seeding
// the shared random sequence with 5, as creation does), and every effect regenerates when next shown.
void effect2d_reset(Effect2D *e);

// GL side ---------------------------------------------------------------------------------------

// Creates the texture with the image at time 0: through a pixel buffer when pixel_buffers is
// set, else through client memory. Linear filters.
void effect2d_upload_create(Effect2D *e, const resources::ObjectList *functions,
                            const textures::TextureFormatTable *formats, bool pixel_buffers);

// Regenerates 2D effect `index` for time t and replaces its texture's content (no-op for an index
// that names no effect). Material application calls it when it binds the effect at a new time.
// An effect without a pixel buffer is always updated through client memory.
void effect2d_update(uint32_t index, resources::ObjectList *effects, const resources::ObjectList *functions,
                     uint32_t t, bool pixel_buffers);

} // namespace geometry
