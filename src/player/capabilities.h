// Deciding the capabilities record and its log lines from what the driver reports.
#pragma once

#include "render/capabilities.h"

#include <cstdint>
#include <string>

namespace player {

// What the extension loader and glGetIntegerv report.
struct GlProbe {
    bool version_1_5;
    bool version_2_1;
    bool arb_vertex_buffer_object;
    bool arb_pixel_buffer_object;
    bool arb_texture_non_power_of_two;
    bool arb_texture_compression;
    bool ext_framebuffer_object;
    bool nv_texture_env_combine4;
    bool ati_texture_env_combine3;
    int32_t max_texture_units;
};

// Fills the capabilities record from the probe and appends the log text of the capability tests
// (separator lines included, every line ended by "\r\n") to log. vbo_switch is the launcher's VBO
// support switch, glsl the render path, first_argument the first program argument or null.
void capabilities_decide(const GlProbe &probe, bool vbo_switch, bool glsl, const char *first_argument,
                         render::Capabilities *caps, std::string *log);

} // namespace player
