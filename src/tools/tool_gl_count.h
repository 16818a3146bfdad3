// Counting the OpenGL calls the engine makes (for bvtool bench): every GL entry point the engine
// uses is routed through a counter that can also time the calls. Only bvtool carries this layer.
#pragma once

#include <cstdint>

namespace tools {

// False where the build cannot count (Windows: the engine reaches GL 1.1 through the import
// table, which no definition here can stand in for); every function below then does nothing and
// reports zero.
bool gl_count_available();

// Routes the extension entry points (loaded by GLEW) through the counters. Call after the GL
// window is set up; the GL 1.1 entry points are counted from the start.
void gl_count_install();

// With timing on, every call also adds its duration to gl_count_seconds (two clock reads a call).
void gl_count_timing(bool on);

void gl_count_reset();
uint64_t gl_count_calls();
double gl_count_seconds();

// Every entry point called since the program started, with its number of calls (not reset).
void gl_count_each(void (*report)(void *user, const char *name, uint64_t calls), void *user);

} // namespace tools
