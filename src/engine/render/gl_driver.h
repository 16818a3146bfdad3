// The render layer's own entry points for what desktop OpenGL and WebGL 2 do differently. Each
// target links one implementation: gl_driver_desktop.cpp, or gl_driver_web.cpp for the browser,
// where there are no client-side arrays, no buffer mapping, no line width but 1, no fixed-function
// pipeline, and shaders must be GLSL ES 3.00.
#pragma once

#include <cstddef>
#include <cstdint>

namespace render {

// The pointer argument for an array pointer call (glVertexAttribPointer and the fixed-function
// ones) of an array of `bytes` bytes: from GL buffer `buffer` when it is not 0, else from client
// memory. Binds the array buffer the call must see. In the browser memory goes through a
// streaming buffer, valid until the next draw call.
const void *gl_driver_vertex_array(const void *memory, size_t bytes, uint32_t buffer);

// The same for the 16-bit index array of glDrawElements (count indices), binding the element
// array buffer.
const void *gl_driver_index_array(const uint16_t *memory, size_t count, uint32_t buffer);

// Line width of wireframe materials, in pixels.
void gl_driver_line_width(float width);

// The text to hand glShaderSource for a shader as the engine or a document wrote it: unchanged for
// desktop GL, translated to GLSL ES 3.00 for WebGL. The result and its length stay valid until
// the next call.
const char *gl_driver_shader_text(const char *text, uint32_t length, bool fragment, uint32_t *out_length);

} // namespace render
