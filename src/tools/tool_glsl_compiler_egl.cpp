// The compiler over EGL: a surfaceless context of the desktop GL (Mesa gives one without a
// display), its entry points fetched from EGL itself.
#include "tools/tool_glsl_compiler.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

namespace tools {

struct GlslCompiler {
    EGLDisplay display;
    EGLContext context;
    PFNGLCREATESHADERPROC create_shader;
    PFNGLSHADERSOURCEPROC shader_source;
    PFNGLCOMPILESHADERPROC compile_shader;
    PFNGLGETSHADERIVPROC get_shader;
    PFNGLGETSHADERINFOLOGPROC shader_log;
    PFNGLDELETESHADERPROC delete_shader;
    PFNGLCREATEPROGRAMPROC create_program;
    PFNGLATTACHSHADERPROC attach;
    PFNGLLINKPROGRAMPROC link;
    PFNGLGETPROGRAMIVPROC get_program;
    PFNGLGETPROGRAMINFOLOGPROC program_log;
    PFNGLDELETEPROGRAMPROC delete_program;
};

template <typename F> static bool entry(F *f, const char *name) {
    *f = reinterpret_cast<F>(eglGetProcAddress(name));
    return *f != nullptr;
}

GlslCompiler *glsl_compiler_open(std::string *why) {
    auto platform_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = platform_display
                             ? platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                             : EGL_NO_DISPLAY;
    EGLint major = 0, minor = 0;
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, &major, &minor)) {
        *why = "this system's EGL has no surfaceless display";
        return nullptr;
    }
    const EGLint config_attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    eglChooseConfig(display, config_attributes, &config, 1, &configs);
    const EGLint context_attributes[] = {EGL_NONE};
    EGLContext context = EGL_NO_CONTEXT;
    if (eglBindAPI(EGL_OPENGL_API))
        context = eglCreateContext(display, configs ? config : nullptr, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
        eglTerminate(display);
        *why = "this system's EGL makes no desktop OpenGL context without a surface";
        return nullptr;
    }
    GlslCompiler *c = new GlslCompiler();
    c->display = display;
    c->context = context;
    bool ok = entry(&c->create_shader, "glCreateShader") && entry(&c->shader_source, "glShaderSource") &&
              entry(&c->compile_shader, "glCompileShader") && entry(&c->get_shader, "glGetShaderiv") &&
              entry(&c->shader_log, "glGetShaderInfoLog") && entry(&c->delete_shader, "glDeleteShader") &&
              entry(&c->create_program, "glCreateProgram") && entry(&c->attach, "glAttachShader") &&
              entry(&c->link, "glLinkProgram") && entry(&c->get_program, "glGetProgramiv") &&
              entry(&c->program_log, "glGetProgramInfoLog") && entry(&c->delete_program, "glDeleteProgram");
    if (!ok) {
        glsl_compiler_close(c);
        *why = "this system's OpenGL has no GLSL entry points";
        return nullptr;
    }
    return c;
}

void glsl_compiler_close(GlslCompiler *c) {
    if (!c) return;
    eglMakeCurrent(c->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(c->display, c->context);
    eglTerminate(c->display);
    delete c;
}

static GLuint compile_one(GlslCompiler *c, GLenum kind, const char *text, uint32_t length, bool *ok,
                          std::string *log) {
    GLuint shader = c->create_shader(kind);
    GLint len = static_cast<GLint>(length);
    c->shader_source(shader, 1, &text, &len);
    c->compile_shader(shader);
    GLint status = GL_FALSE;
    c->get_shader(shader, GL_COMPILE_STATUS, &status);
    *ok = status == GL_TRUE;
    if (!*ok) {
        GLint size = 0;
        c->get_shader(shader, GL_INFO_LOG_LENGTH, &size);
        log->resize(size_t(size > 0 ? size : 1));
        GLsizei got = 0;
        c->shader_log(shader, GLsizei(log->size()), &got, &(*log)[0]);
        log->resize(size_t(got));
    }
    return shader;
}

void glsl_compiler_compile(GlslCompiler *c, const char *vertex, uint32_t vertex_length, const char *fragment,
                           uint32_t fragment_length, analysis::GlslResult *out) {
    GLuint vs = compile_one(c, GL_VERTEX_SHADER, vertex, vertex_length, &out->vertex_ok, &out->vertex_log);
    GLuint fs =
        compile_one(c, GL_FRAGMENT_SHADER, fragment, fragment_length, &out->fragment_ok, &out->fragment_log);
    out->linked = false;
    if (out->vertex_ok && out->fragment_ok) {
        GLuint program = c->create_program();
        c->attach(program, vs);
        c->attach(program, fs);
        c->link(program);
        GLint linked = GL_FALSE;
        c->get_program(program, GL_LINK_STATUS, &linked);
        out->linked = linked == GL_TRUE;
        if (!out->linked) {
            char log[2048];
            GLsizei got = 0;
            c->program_log(program, sizeof log, &got, log);
            out->link_log.assign(log, size_t(got));
        }
        c->delete_program(program);
    }
    c->delete_shader(vs);
    c->delete_shader(fs);
}

} // namespace tools
