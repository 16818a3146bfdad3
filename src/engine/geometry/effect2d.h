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
