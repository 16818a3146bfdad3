// The browser's side of the GL door (gl_driver.h): WebGL 2 through emscripten.
#include "render/gl_driver.h"

#include "render/gl_state.h"
#include "render/shader_text.h"
#include "resources/log.h"

#include <GL/glew.h>
#include <cstdlib>

namespace render {

namespace {

// Client memory reaches WebGL only through buffers: each array of a draw gets a buffer of its own
// from a small ring (a draw reads at most five arrays), refilled whole with glBufferData, which
// leaves the draws already issued with the contents they saw.
constexpr int kVertexStreams = 8;
constexpr int kIndexStreams = 2;
GLuint g_vertex_streams[kVertexStreams];
GLuint g_index_streams[kIndexStreams];
int g_next_vertex_stream = 0, g_next_index_stream = 0;

char *g_shader_text = nullptr;

} // namespace

const void *gl_driver_vertex_array(const void *memory, size_t bytes, uint32_t buffer) {
    if (buffer || !memory) {
        gl_state_array_buffer(buffer);
        return nullptr;
    }
    if (!g_vertex_streams[0]) glGenBuffers(kVertexStreams, g_vertex_streams);
    GLuint stream = g_vertex_streams[g_next_vertex_stream];
    g_next_vertex_stream = (g_next_vertex_stream + 1) % kVertexStreams;
    gl_state_array_buffer(stream);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(bytes), memory, GL_STREAM_DRAW);
    return nullptr;
}

const void *gl_driver_index_array(const uint16_t *memory, size_t count, uint32_t buffer) {
    if (buffer || !memory) {
        gl_state_element_buffer(buffer);
        return nullptr;
    }
    // An element buffer can never serve as an array buffer in WebGL: these rings stay apart.
    if (!g_index_streams[0]) glGenBuffers(kIndexStreams, g_index_streams);
    GLuint stream = g_index_streams[g_next_index_stream];
    g_next_index_stream = (g_next_index_stream + 1) % kIndexStreams;
    gl_state_element_buffer(stream);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(uint16_t)), memory,
                 GL_STREAM_DRAW);
    return nullptr;
}

void gl_driver_line_width(float) {
    // WebGL draws lines one pixel wide only.
}

const char *gl_driver_shader_text(const char *text, uint32_t length, bool fragment, uint32_t *out_length) {
    std::free(g_shader_text);
    g_shader_text = text ? shader_text_to_es3(text, length, fragment, out_length) : nullptr;
    if (!g_shader_text) *out_length = 0;
    return g_shader_text ? g_shader_text : "";
}

} // namespace render

// What the engine calls by desktop names but WebGL 2 spells otherwise or lacks. The frame buffer
// object entry points are the core ones; buffers cannot be mapped, so callers take their
// client-memory path; and the fixed-function pipeline does not exist: the texture-combiner path is
// never taken in the browser (the capabilities make every material GLSL), so its calls end here
// unused.
extern "C" {

void APIENTRY glGenFramebuffersEXT(GLsizei n, GLuint *framebuffers) {
    glGenFramebuffers(n, framebuffers);
}
void APIENTRY glBindFramebufferEXT(GLenum target, GLuint framebuffer) {
    glBindFramebuffer(target, framebuffer);
}
void APIENTRY glDeleteFramebuffersEXT(GLsizei n, const GLuint *framebuffers) {
    glDeleteFramebuffers(n, framebuffers);
}
void APIENTRY glFramebufferTexture2DEXT(GLenum target, GLenum attachment, GLenum textarget, GLuint texture,
                                        GLint level) {
    glFramebufferTexture2D(target, attachment, textarget, texture, level);
}
void APIENTRY glFramebufferRenderbufferEXT(GLenum target, GLenum attachment, GLenum renderbuffertarget,
                                           GLuint renderbuffer) {
    glFramebufferRenderbuffer(target, attachment, renderbuffertarget, renderbuffer);
}
void APIENTRY glGenRenderbuffersEXT(GLsizei n, GLuint *renderbuffers) {
    glGenRenderbuffers(n, renderbuffers);
}
void APIENTRY glDeleteRenderbuffersEXT(GLsizei n, const GLuint *renderbuffers) {
    glDeleteRenderbuffers(n, renderbuffers);
}
void APIENTRY glBindRenderbufferEXT(GLenum target, GLuint renderbuffer) {
    glBindRenderbuffer(target, renderbuffer);
}
void APIENTRY glRenderbufferStorageEXT(GLenum target, GLenum internalformat, GLsizei width, GLsizei height) {
    glRenderbufferStorage(target, internalformat, width, height);
}

void *APIENTRY glMapBuffer(GLenum, GLenum) {
    return nullptr;
}
GLboolean APIENTRY glUnmapBuffer(GLenum) {
    return GL_FALSE;
}

void GLAPIENTRY glTexEnvi(GLenum, GLenum, GLint) {}
void GLAPIENTRY glTexEnvfv(GLenum, GLenum, const GLfloat *) {}
void GLAPIENTRY glTexGeni(GLenum, GLenum, GLint) {}
void GLAPIENTRY glFogf(GLenum, GLfloat) {}
void GLAPIENTRY glFogfv(GLenum, const GLfloat *) {}
void GLAPIENTRY glFogi(GLenum, GLint) {}
void GLAPIENTRY glLightfv(GLenum, GLenum, const GLfloat *) {}
void GLAPIENTRY glLightModelfv(GLenum, const GLfloat *) {}
void GLAPIENTRY glColor4f(GLfloat, GLfloat, GLfloat, GLfloat) {}
void GLAPIENTRY glColorMaterial(GLenum, GLenum) {}
void GLAPIENTRY glShadeModel(GLenum) {}
void GLAPIENTRY glTexCoordPointer(GLint, GLenum, GLsizei, const GLvoid *) {}
void GLAPIENTRY glVertexPointer(GLint, GLenum, GLsizei, const GLvoid *) {}
void GLAPIENTRY glNormalPointer(GLenum, GLsizei, const GLvoid *) {}
void GLAPIENTRY glClientActiveTexture(GLenum) {}
void GLAPIENTRY glEnableClientState(GLenum) {}
void GLAPIENTRY glDisableClientState(GLenum) {}
void GLAPIENTRY glMatrixMode(GLenum) {}
void GLAPIENTRY glLoadMatrixf(const GLfloat *) {}
void GLAPIENTRY glPolygonMode(GLenum, GLenum) {}

} // extern "C"
