#include "player/platform/platform_gl.h"

namespace player {

// WebGL 2 has buffers, pixel buffers, any texture size and frame buffer objects in its core, and
// none of the fixed-function texture combiners. Its generic compressed formats do not exist, so
// the texture format table keeps its uncompressed entries. Four units, as the record holds at most.
bool platform_gl_probe(GlProbe *probe) {
    *probe = GlProbe{};
    probe->version_1_5 = true;
    probe->version_2_1 = true;
    probe->arb_vertex_buffer_object = true;
    probe->arb_pixel_buffer_object = true;
    probe->arb_texture_non_power_of_two = true;
    probe->arb_texture_compression = false;
    probe->ext_framebuffer_object = true;
    probe->max_texture_units = 4;
    return true;
}

void platform_gl_buffers_from_arb() {}

bool platform_gl_has_fixed_function() {
    return false;
}

} // namespace player
