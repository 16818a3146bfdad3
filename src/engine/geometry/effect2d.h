// 2D effects: square textures whose pixels a built-in effect recomputes while the demo plays.
#pragma once

#include <cstdint>

namespace geometry {

struct Effect2D {
    char name[32];
    uint8_t kind;
    uint16_t width, height; // always equal
    uint8_t bits_per_pixel; // 8 or 24
    uint16_t parameter_functions[32];
    uint32_t texture;
    uint8_t texture_format;
    uint8_t texture_filter;
    uint32_t pixel_buffer;
    uint32_t time_stamp; // time of the last update requested by material application; 0xFFFF after creation
    void *state;
};

} // namespace geometry

#include "resources/object_list.h"

namespace geometry {

// Regenerates 2D effect `index` for time t and replaces its texture's content (no-op for an index
// that names no effect). Material application calls it when it binds the effect at a new time.
void effect2d_update(uint32_t index, resources::ObjectList *effects, const resources::ObjectList *functions,
                     uint32_t t, bool pixel_buffers);

} // namespace geometry
