#include "render/gl_driver.h"

#include "render/gl_state.h"

#include <GL/glew.h>

namespace render {

const void *gl_driver_vertex_array(const void *memory, size_t, uint32_t buffer) {
    gl_state_array_buffer(buffer);
    return buffer ? nullptr : memory;
}

const void *gl_driver_index_array(const uint16_t *memory, size_t, uint32_t buffer) {
    gl_state_element_buffer(buffer);
    return buffer ? nullptr : memory;
}

void gl_driver_line_width(float width) {
    glLineWidth(width);
}

const char *gl_driver_shader_text(const char *text, uint32_t length, bool, uint32_t *out_length) {
    *out_length = length;
    return text;
}

} // namespace render
