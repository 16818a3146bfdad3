#include "tools/tool_gl_count.h"

#include <GL/glew.h>
#include <chrono>
#include <dlfcn.h>

// Two lists of the entry points the engine uses. The GL 1.1 ones are defined here, so that the
// engine's calls (linked into bvtool) reach these first; each then calls the library's own, found
// with dlsym. The extension ones are GLEW pointers, swapped for counting ones after loading.
#define BV_GL11_ENTRY_POINTS(X)                                                                              \
    X(glTexEnvi, (GLenum a, GLenum b, GLint c), (a, b, c))                                                   \
    X(glTexEnvfv, (GLenum a, GLenum b, const GLfloat *c), (a, b, c))                                         \
    X(glTexParameteri, (GLenum a, GLenum b, GLint c), (a, b, c))                                             \
    X(glTexGeni, (GLenum a, GLenum b, GLint c), (a, b, c))                                                   \
    X(glEnable, (GLenum a), (a))                                                                             \
    X(glDisable, (GLenum a), (a))                                                                            \
    X(glBindTexture, (GLenum a, GLuint b), (a, b))                                                           \
    X(glPixelStorei, (GLenum a, GLint b), (a, b))                                                            \
    X(glEnableClientState, (GLenum a), (a))                                                                  \
    X(glDisableClientState, (GLenum a), (a))                                                                 \
    X(glTexImage2D,                                                                                          \
      (GLenum a, GLint b, GLint c, GLsizei d, GLsizei e, GLint f, GLenum g, GLenum h, const void *i),        \
      (a, b, c, d, e, f, g, h, i))                                                                           \
    X(glTexSubImage2D,                                                                                       \
      (GLenum a, GLint b, GLint c, GLint d, GLsizei e, GLsizei f, GLenum g, GLenum h, const void *i),        \
      (a, b, c, d, e, f, g, h, i))                                                                           \
    X(glCopyTexSubImage2D, (GLenum a, GLint b, GLint c, GLint d, GLint e, GLint f, GLsizei g, GLsizei h),    \
      (a, b, c, d, e, f, g, h))                                                                              \
    X(glGenTextures, (GLsizei a, GLuint * b), (a, b))                                                        \
    X(glDeleteTextures, (GLsizei a, const GLuint *b), (a, b))                                                \
    X(glClear, (GLbitfield a), (a))                                                                          \
    X(glClearColor, (GLfloat a, GLfloat b, GLfloat c, GLfloat d), (a, b, c, d))                              \
    X(glMatrixMode, (GLenum a), (a))                                                                         \
    X(glLoadMatrixf, (const GLfloat *a), (a))                                                                \
    X(glLightfv, (GLenum a, GLenum b, const GLfloat *c), (a, b, c))                                          \
    X(glLightModelfv, (GLenum a, const GLfloat *b), (a, b))                                                  \
    X(glHint, (GLenum a, GLenum b), (a, b))                                                                  \
    X(glViewport, (GLint a, GLint b, GLsizei c, GLsizei d), (a, b, c, d))                                    \
    X(glScissor, (GLint a, GLint b, GLsizei c, GLsizei d), (a, b, c, d))                                     \
    X(glPolygonMode, (GLenum a, GLenum b), (a, b))                                                           \
    X(glLineWidth, (GLfloat a), (a))                                                                         \
    X(glFogf, (GLenum a, GLfloat b), (a, b))                                                                 \
    X(glFogi, (GLenum a, GLint b), (a, b))                                                                   \
    X(glFogfv, (GLenum a, const GLfloat *b), (a, b))                                                         \
    X(glDrawElements, (GLenum a, GLsizei b, GLenum c, const void *d), (a, b, c, d))                          \
    X(glVertexPointer, (GLint a, GLenum b, GLsizei c, const void *d), (a, b, c, d))                          \
    X(glNormalPointer, (GLenum a, GLsizei b, const void *c), (a, b, c))                                      \
    X(glTexCoordPointer, (GLint a, GLenum b, GLsizei c, const void *d), (a, b, c, d))                        \
    X(glShadeModel, (GLenum a), (a))                                                                         \
    X(glReadPixels, (GLint a, GLint b, GLsizei c, GLsizei d, GLenum e, GLenum f, void *g),                   \
      (a, b, c, d, e, f, g))                                                                                 \
    X(glReadBuffer, (GLenum a), (a))                                                                         \
    X(glGetTexImage, (GLenum a, GLint b, GLenum c, GLenum d, void *e), (a, b, c, d, e))                      \
    X(glGetIntegerv, (GLenum a, GLint * b), (a, b))                                                          \
    X(glDepthFunc, (GLenum a), (a))                                                                          \
    X(glColorMaterial, (GLenum a, GLenum b), (a, b))                                                         \
    X(glColor4f, (GLfloat a, GLfloat b, GLfloat c, GLfloat d), (a, b, c, d))                                 \
    X(glBlendFunc, (GLenum a, GLenum b), (a, b))

#define BV_GLEW_ENTRY_POINTS(X)                                                                              \
    X(void, ActiveTexture, (GLenum a), (a))                                                                  \
    X(void, ClientActiveTexture, (GLenum a), (a))                                                            \
    X(void, BindBuffer, (GLenum a, GLuint b), (a, b))                                                        \
    X(void, BufferData, (GLenum a, GLsizeiptr b, const void *c, GLenum d), (a, b, c, d))                     \
    X(void, GenBuffers, (GLsizei a, GLuint * b), (a, b))                                                     \
    X(void, DeleteBuffers, (GLsizei a, const GLuint *b), (a, b))                                             \
    X(void *, MapBuffer, (GLenum a, GLenum b), (a, b))                                                       \
    X(GLboolean, UnmapBuffer, (GLenum a), (a))                                                               \
    X(GLint, GetUniformLocation, (GLuint a, const GLchar *b), (a, b))                                        \
    X(GLint, GetAttribLocation, (GLuint a, const GLchar *b), (a, b))                                         \
    X(void, UseProgram, (GLuint a), (a))                                                                     \
    X(void, UniformMatrix4fv, (GLint a, GLsizei b, GLboolean c, const GLfloat *d), (a, b, c, d))             \
    X(void, UniformMatrix3fv, (GLint a, GLsizei b, GLboolean c, const GLfloat *d), (a, b, c, d))             \
    X(void, Uniform4f, (GLint a, GLfloat b, GLfloat c, GLfloat d, GLfloat e), (a, b, c, d, e))               \
    X(void, Uniform1i, (GLint a, GLint b), (a, b))                                                           \
    X(void, Uniform1f, (GLint a, GLfloat b), (a, b))                                                         \
    X(void, VertexAttribPointer, (GLuint a, GLint b, GLenum c, GLboolean d, GLsizei e, const void *f),       \
      (a, b, c, d, e, f))                                                                                    \
    X(void, EnableVertexAttribArray, (GLuint a), (a))                                                        \
    X(void, DisableVertexAttribArray, (GLuint a), (a))                                                       \
    X(void, VertexAttrib2f, (GLuint a, GLfloat b, GLfloat c), (a, b, c))                                     \
    X(GLuint, CreateShader, (GLenum a), (a))                                                                 \
    X(void, ShaderSource, (GLuint a, GLsizei b, const GLchar *const *c, const GLint *d), (a, b, c, d))       \
    X(void, CompileShader, (GLuint a), (a))                                                                  \
    X(void, GetShaderiv, (GLuint a, GLenum b, GLint * c), (a, b, c))                                         \
    X(void, GetShaderInfoLog, (GLuint a, GLsizei b, GLsizei * c, GLchar * d), (a, b, c, d))                  \
    X(GLuint, CreateProgram, (void), ())                                                                     \
    X(void, AttachShader, (GLuint a, GLuint b), (a, b))                                                      \
    X(void, DetachShader, (GLuint a, GLuint b), (a, b))                                                      \
    X(void, LinkProgram, (GLuint a), (a))                                                                    \
    X(void, GetProgramiv, (GLuint a, GLenum b, GLint * c), (a, b, c))                                        \
    X(void, GetProgramInfoLog, (GLuint a, GLsizei b, GLsizei * c, GLchar * d), (a, b, c, d))                 \
    X(void, BlendEquation, (GLenum a), (a))                                                                  \
    X(void, BindFramebufferEXT, (GLenum a, GLuint b), (a, b))                                                \
    X(void, FramebufferTexture2DEXT, (GLenum a, GLenum b, GLenum c, GLuint d, GLint e), (a, b, c, d, e))     \
    X(void, FramebufferRenderbufferEXT, (GLenum a, GLenum b, GLenum c, GLuint d), (a, b, c, d))              \
    X(void, GenFramebuffersEXT, (GLsizei a, GLuint * b), (a, b))                                             \
    X(void, GenRenderbuffersEXT, (GLsizei a, GLuint * b), (a, b))                                            \
    X(void, BindRenderbufferEXT, (GLenum a, GLuint b), (a, b))                                               \
    X(void, RenderbufferStorageEXT, (GLenum a, GLenum b, GLsizei c, GLsizei d), (a, b, c, d))

namespace {

uint64_t g_calls = 0;
bool g_timing = false;
double g_seconds = 0.0;

// Calls by entry point, for the report of which calls a frame makes.
constexpr int kMaxEntryPoints = 96;
struct NamedCount {
    const char *name;
    uint64_t calls;
};
NamedCount g_by_name[kMaxEntryPoints];
int g_names = 0;

uint64_t *named_counter(const char *name) {
    if (g_names >= kMaxEntryPoints) return &g_by_name[kMaxEntryPoints - 1].calls;
    g_by_name[g_names].name = name;
    return &g_by_name[g_names++].calls;
}

struct CallScope {
    std::chrono::steady_clock::time_point start;
    explicit CallScope(uint64_t *named) {
        g_calls++;
        (*named)++;
        if (g_timing) start = std::chrono::steady_clock::now();
    }
    ~CallScope() {
        if (g_timing)
            g_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

template <typename F> F next_symbol(const char *name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace

#define BV_DEFINE_GL11(name, params, args)                                                                   \
    void GLAPIENTRY name params {                                                                            \
        using Fn = void(GLAPIENTRY *) params;                                                                \
        static Fn real = next_symbol<Fn>(#name);                                                             \
        static uint64_t *count = named_counter(#name);                                                       \
        CallScope scope(count);                                                                              \
        real args;                                                                                           \
    }

extern "C" {
BV_GL11_ENTRY_POINTS(BV_DEFINE_GL11)
}

#define BV_DEFINE_GLEW(ret, stem, params, args)                                                              \
    decltype(__glew##stem) real_##stem;                                                                      \
    ret GLAPIENTRY counted_##stem params {                                                                   \
        static uint64_t *count = named_counter("gl" #stem);                                                  \
        CallScope scope(count);                                                                              \
        return real_##stem args;                                                                             \
    }

namespace {
BV_GLEW_ENTRY_POINTS(BV_DEFINE_GLEW)
} // namespace

#define BV_INSTALL_GLEW(ret, stem, params, args)                                                             \
    if (__glew##stem && __glew##stem != counted_##stem) {                                                    \
        real_##stem = __glew##stem;                                                                          \
        __glew##stem = counted_##stem;                                                                       \
    }

namespace tools {

bool gl_count_available() {
    return true;
}

void gl_count_install() {
    BV_GLEW_ENTRY_POINTS(BV_INSTALL_GLEW)
}

void gl_count_timing(bool on) {
    g_timing = on;
}

void gl_count_reset() {
    g_calls = 0;
    g_seconds = 0.0;
}

uint64_t gl_count_calls() {
    return g_calls;
}

void gl_count_each(void (*report)(void *user, const char *name, uint64_t calls), void *user) {
    for (int i = 0; i < g_names; i++)
        report(user, g_by_name[i].name, g_by_name[i].calls);
}

double gl_count_seconds() {
    return g_seconds;
}

} // namespace tools
