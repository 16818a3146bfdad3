// Where no EGL is built in (the Windows tool): the language server checks everything but the
// programs, and says so.
#include "tools/tool_glsl_compiler.h"

namespace tools {

struct GlslCompiler {};

GlslCompiler *glsl_compiler_open(std::string *why) {
    *why = "this build compiles no GLSL without a window; the native bvtool does";
    return nullptr;
}

void glsl_compiler_close(GlslCompiler *) {}

void glsl_compiler_compile(GlslCompiler *, const char *, uint32_t, const char *, uint32_t,
                           analysis::GlslResult *out) {
    *out = analysis::GlslResult{};
}

} // namespace tools
