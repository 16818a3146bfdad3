// What the OpenGL driver offers the renderer, tested once at start-up, and the screen rectangle
// in which the 16:9 demo image is drawn.
#pragma once

#include <cstdint>

namespace render {

// Eight bytes in this order; every flag is 0 or 1.
struct Capabilities {
    uint8_t vbo;                 // vertex buffer objects usable
    uint8_t pbo;                 // pixel buffer objects usable
    uint8_t npot;                // textures of any size usable
    uint8_t texture_units;       // fixed-function texture units the renderer may use, 1..4
    uint8_t combine4;            // NV_texture_env_combine4
    uint8_t combine3;            // ATI_texture_env_combine3
    uint8_t texture_compression; // ARB_texture_compression
    uint8_t fbo;                 // EXT_framebuffer_object
};
static_assert(sizeof(Capabilities) == 8, "the capabilities record is eight bytes");

// The viewport rectangle, in window pixels.
struct Viewport {
    uint16_t x, y, width, height;
};

// The copy used for the loading screen: as caps, but without VBO, PBO and NPOT.
inline Capabilities capabilities_for_loading(const Capabilities &caps) {
    Capabilities loading = caps;
    loading.vbo = 0;
    loading.pbo = 0;
    loading.npot = 0;
    return loading;
}

} // namespace render
