// The OpenGL of the fuzz build: no driver, no window. Every entry point that glew.h declares exists
// and does nothing, except those that take memory from the caller (texture images, buffer data,
// client-side vertex arrays, index arrays, shader sources, matrices): those touch every byte the
// real driver would read or write, so AddressSanitizer sees an engine buffer that is too short,
// and a draw call whose indices run past a bound buffer object ends the run.
#pragma once

namespace gl_null {

// Forgets every object (names, buffer storage, bindings and array state), as a new context would.
// The fuzz targets call it after each input: the engine never deletes its GL objects.
void gl_null_reset();

} // namespace gl_null
