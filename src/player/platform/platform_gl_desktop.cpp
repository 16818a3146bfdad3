#include "player/platform/platform_gl.h"

#include <GL/glew.h>

namespace player {

bool platform_gl_probe(GlProbe *probe) {
    *probe = GlProbe{};
    glewInit();
    if (!GLEW_VERSION_1_3) return false;
    probe->version_1_5 = GLEW_VERSION_1_5;
    probe->version_2_1 = GLEW_VERSION_2_1;
    probe->arb_vertex_buffer_object = GLEW_ARB_vertex_buffer_object;
    probe->arb_pixel_buffer_object = GLEW_ARB_pixel_buffer_object;
    probe->arb_texture_non_power_of_two = GLEW_ARB_texture_non_power_of_two;
    probe->arb_texture_compression = GLEW_ARB_texture_compression;
    probe->ext_framebuffer_object = GLEW_EXT_framebuffer_object;
    probe->nv_texture_env_combine4 = GLEW_NV_texture_env_combine4;
    probe->ati_texture_env_combine3 = GLEW_ATI_texture_env_combine3;
    GLint units = 0;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    probe->max_texture_units = units;
    return true;
}

void platform_gl_buffers_from_arb() {
    __glewGenBuffers = __glewGenBuffersARB;
    __glewBindBuffer = __glewBindBufferARB;
    __glewBufferData = __glewBufferDataARB;
    __glewDeleteBuffers = __glewDeleteBuffersARB;
}

bool platform_gl_has_fixed_function() {
    return true;
}

} // namespace player
