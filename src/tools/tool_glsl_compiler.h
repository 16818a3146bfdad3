// A GLSL compiler that needs no window: the system's OpenGL through EGL, with a context and no
// surface, for a language server that compiles as the author types and must not open windows.
#pragma once

#include "analysis/analysis.h"

#include <cstdint>
#include <string>

namespace tools {

struct GlslCompiler;

// Makes a context current on the calling thread, which is the one to compile on. Null, with
// *why, where there is none (no EGL, or a platform this is not built for).
GlslCompiler *glsl_compiler_open(std::string *why);
void glsl_compiler_close(GlslCompiler *c);

// Compiles both shaders and links them, as the player's loader does.
void glsl_compiler_compile(GlslCompiler *c, const char *vertex, uint32_t vertex_length, const char *fragment,
                           uint32_t fragment_length, analysis::GlslResult *out);

} // namespace tools
