#include "player/capabilities.h"

#include <cstdio>
#include <cstring>

namespace player {

static const char *const kSeparator =
    "==========================================================================\r\n";

void capabilities_decide(const GlProbe &probe, bool vbo_switch, bool glsl, const char *first_argument,
                         render::Capabilities *caps, std::string *log) {
    *log += kSeparator;
    if (vbo_switch) {
        caps->vbo = probe.arb_vertex_buffer_object ? 1 : 0;
        *log += caps->vbo ? "VBO support detected.\r\n" : "No VBO support.\r\n";
    }

    bool force_pbo = first_argument && std::strncmp(first_argument, "-forcepbo", 9) == 0;
    caps->pbo = 0;
    if (!probe.arb_pixel_buffer_object) {
        *log += "No PBO support.\r\n";
    } else if (probe.version_2_1 || force_pbo) {
        caps->pbo = 1;
        *log += "PBO support detected.\r\n";
    } else {
        *log += "PBO support detected, but it may be slow (opengl version is lower than 2.1), so i disable it. "
                "Use -forcepbo to enable it.\r\n";
    }

    caps->npot = probe.arb_texture_non_power_of_two ? 1 : 0;
    *log += caps->npot ? "NPOT texture support detected.\r\n" : "No NPOT texture support.\r\n";

    caps->texture_compression = probe.arb_texture_compression ? 1 : 0;
    *log += caps->texture_compression ? "Texture compression support detected.\r\n"
                                      : "No texture compression support.\r\n";

    caps->fbo = probe.ext_framebuffer_object ? 1 : 0;
    *log += caps->fbo ? "EXT_framebuffer_object support detected.\r\n" : "No EXT_framebuffer_object support.\r\n";

    int32_t units = probe.max_texture_units;
    caps->texture_units = static_cast<uint8_t>(units > 4 ? 4 : units < 1 ? 1 : units);

    if (glsl) {
        *log += "Using GLSL shaders.\r\n";
    } else {
        char line[64];
        std::snprintf(line, sizeof line, "Using %d texture units", caps->texture_units);
        *log += line;
    }

    caps->combine4 = probe.nv_texture_env_combine4 ? 1 : 0;
    caps->combine3 = !caps->combine4 && probe.ati_texture_env_combine3 ? 1 : 0;
    if (!glsl) {
        if (caps->combine4)
            *log += " + NV_texture_env_combine4.\r\n";
        else if (caps->combine3)
            *log += " + ATI_texture_env_combine3.\r\n";
        else
            *log += ".\r\n";
    }
    *log += kSeparator;
}

} // namespace player
