#include "gl_null.h"

#include <GL/glew.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace gl_null {

namespace {

struct VertexArray {
    bool enabled;
    GLint size;
    GLenum type;
    GLsizei stride;
    const void *pointer;
    GLuint buffer; // the GL_ARRAY_BUFFER bound when the pointer was given; pointer is then an offset
};

constexpr int kTextureUnits = 8;
constexpr int kAttributes = 16;
constexpr GLsizei kMaxTextureSize = 16384;

struct NullState {
    GLuint next_name;
    GLenum error;
    std::unordered_map<GLuint, std::vector<uint8_t>> buffers;
    GLuint array_buffer, element_buffer, unpack_buffer, pack_buffer;
    GLint unpack_alignment, pack_alignment;
    VertexArray vertex, normal, color, texcoord[kTextureUnits], attribute[kAttributes];
    int client_unit;
};

NullState g_state = {1, GL_NO_ERROR, {}, 0, 0, 0, 0, 4, 4, {}, {}, {}, {}, {}, 0};

// What a stranger's data must never make the engine do to a driver.
[[noreturn]] void fault(const char *what) {
    std::fprintf(stderr, "gl_null: %s\n", what);
    std::abort();
}

void set_error(GLenum e) {
    if (g_state.error == GL_NO_ERROR) g_state.error = e;
}

// Reads every byte of a caller's block (AddressSanitizer checks each access).
volatile uint8_t g_sink;
void touch_read(const void *p, size_t bytes) {
    const volatile uint8_t *b = static_cast<const volatile uint8_t *>(p);
    uint8_t sum = 0;
    for (size_t i = 0; i < bytes; i++)
        sum = uint8_t(sum + b[i]);
    g_sink = sum;
}

void touch_write(void *p, size_t bytes) {
    if (bytes) std::memset(p, 0, bytes);
}

GLuint *binding_for(GLenum target) {
    switch (target) {
    case GL_ARRAY_BUFFER: return &g_state.array_buffer;
    case GL_ELEMENT_ARRAY_BUFFER: return &g_state.element_buffer;
    case GL_PIXEL_UNPACK_BUFFER: return &g_state.unpack_buffer;
    case GL_PIXEL_PACK_BUFFER: return &g_state.pack_buffer;
    default: return nullptr;
    }
}

std::vector<uint8_t> *bound_storage(GLenum target) {
    GLuint *binding = binding_for(target);
    if (!binding || *binding == 0) return nullptr;
    return &g_state.buffers[*binding];
}

size_t components_of(GLenum format) {
    switch (format) {
    case GL_RGB:
    case GL_BGR: return 3;
    case GL_RGBA:
    case GL_BGRA: return 4;
    case GL_LUMINANCE_ALPHA:
    case GL_RG: return 2;
    default: return 1;
    }
}

size_t type_size(GLenum type) {
    switch (type) {
    case GL_UNSIGNED_SHORT:
    case GL_SHORT:
    case GL_HALF_FLOAT: return 2;
    case GL_UNSIGNED_INT:
    case GL_INT:
    case GL_FLOAT: return 4;
    case GL_DOUBLE: return 8;
    default: return 1;
    }
}

// Bytes GL reads or writes for a w x h image: rows padded to the alignment, the last row unpadded.
size_t image_bytes(GLsizei w, GLsizei h, GLenum format, GLenum type, GLint alignment) {
    if (w <= 0 || h <= 0) return 0;
    size_t row = size_t(w) * components_of(format) * type_size(type);
    size_t a = alignment > 0 ? size_t(alignment) : 1;
    size_t padded = (row + a - 1) / a * a;
    return padded * size_t(h - 1) + row;
}

bool image_size_valid(GLsizei w, GLsizei h) {
    if (w < 0 || h < 0 || w > kMaxTextureSize || h > kMaxTextureSize) {
        set_error(GL_INVALID_VALUE);
        return false;
    }
    return true;
}

// An image handed to GL: client memory, or an offset into the bound pixel unpack buffer.
void read_image(GLsizei w, GLsizei h, GLenum format, GLenum type, const void *pixels) {
    size_t bytes = image_bytes(w, h, format, type, g_state.unpack_alignment);
    if (std::vector<uint8_t> *pbo = bound_storage(GL_PIXEL_UNPACK_BUFFER)) {
        uintptr_t offset = reinterpret_cast<uintptr_t>(pixels);
        if (offset > pbo->size() || bytes > pbo->size() - offset)
            fault("texture image runs past its pixel buffer");
        return;
    }
    if (pixels) touch_read(pixels, bytes);
}

void gen_names(GLsizei n, GLuint *names) {
    if (n < 0) {
        set_error(GL_INVALID_VALUE);
        return;
    }
    for (GLsizei i = 0; i < n; i++)
        names[i] = g_state.next_name++;
}

void read_names(GLsizei n, const GLuint *names) {
    if (n < 0) {
        set_error(GL_INVALID_VALUE);
        return;
    }
    touch_read(names, sizeof(GLuint) * size_t(n));
}

void set_array(VertexArray *a, GLint size, GLenum type, GLsizei stride, const void *pointer) {
    a->size = size;
    a->type = type;
    a->stride = stride;
    a->pointer = pointer;
    a->buffer = g_state.array_buffer;
}

// Element `last` of an enabled array must lie inside its memory or its buffer object.
void check_array(const VertexArray &a, uint64_t last) {
    if (!a.enabled) return;
    size_t element = size_t(a.size > 0 ? a.size : 4) * type_size(a.type);
    size_t stride = a.stride > 0 ? size_t(a.stride) : element;
    uint64_t end = last * stride + element;
    if (a.buffer) {
        auto it = g_state.buffers.find(a.buffer);
        uint64_t offset = reinterpret_cast<uintptr_t>(a.pointer);
        if (it == g_state.buffers.end() || offset + end > it->second.size())
            fault("draw reads past a vertex buffer");
        return;
    }
    if (!a.pointer) fault("draw with an enabled vertex array that has no pointer");
    touch_read(static_cast<const uint8_t *>(a.pointer) + last * stride, element);
}

void check_arrays(uint64_t last) {
    check_array(g_state.vertex, last);
    check_array(g_state.normal, last);
    check_array(g_state.color, last);
    for (const VertexArray &a : g_state.texcoord)
        check_array(a, last);
    for (const VertexArray &a : g_state.attribute)
        check_array(a, last);
}

VertexArray *client_array(GLenum cap) {
    switch (cap) {
    case GL_VERTEX_ARRAY: return &g_state.vertex;
    case GL_NORMAL_ARRAY: return &g_state.normal;
    case GL_COLOR_ARRAY: return &g_state.color;
    case GL_TEXTURE_COORD_ARRAY: return &g_state.texcoord[g_state.client_unit];
    default: return nullptr;
    }
}

// A name's place among the attribute slots; -1 never (the engine then always binds something).
GLint location_of(const GLchar *name, GLint count) {
    uint32_t h = 2166136261u;
    for (size_t i = 0, n = std::strlen(name); i < n; i++)
        h = (h ^ uint8_t(name[i])) * 16777619u;
    return GLint(h % uint32_t(count));
}

size_t light_values(GLenum pname) {
    switch (pname) {
    case GL_SPOT_DIRECTION: return 3;
    case GL_SPOT_EXPONENT:
    case GL_SPOT_CUTOFF:
    case GL_CONSTANT_ATTENUATION:
    case GL_LINEAR_ATTENUATION:
    case GL_QUADRATIC_ATTENUATION:
    case GL_SHININESS:
    case GL_FOG_DENSITY:
    case GL_FOG_START:
    case GL_FOG_END:
    case GL_FOG_MODE:
    case GL_FOG_INDEX: return 1;
    default: return 4;
    }
}

// The GLEW entry points that take caller memory.

void GLAPIENTRY null_gen_buffers(GLsizei n, GLuint *names) {
    gen_names(n, names);
    for (GLsizei i = 0; i < n; i++)
        g_state.buffers[names[i]];
}

void GLAPIENTRY null_delete_buffers(GLsizei n, const GLuint *names) {
    read_names(n, names);
    for (GLsizei i = 0; i < n; i++)
        g_state.buffers.erase(names[i]);
}

void GLAPIENTRY null_bind_buffer(GLenum target, GLuint buffer) {
    if (GLuint *binding = binding_for(target)) *binding = buffer;
}

void GLAPIENTRY null_buffer_data(GLenum target, GLsizeiptr size, const void *data, GLenum usage) {
    std::vector<uint8_t> *storage = bound_storage(target);
    if (!storage || size < 0) return set_error(GL_INVALID_VALUE);
    if (size > (GLsizeiptr(1) << 30)) return set_error(GL_OUT_OF_MEMORY);
    storage->assign(size_t(size), 0);
    if (data) {
        touch_read(data, size_t(size));
        std::memcpy(storage->data(), data, size_t(size));
    }
}

void GLAPIENTRY null_buffer_sub_data(GLenum target, GLintptr offset, GLsizeiptr size, const void *data) {
    std::vector<uint8_t> *storage = bound_storage(target);
    if (!storage || offset < 0 || size < 0 || size_t(offset) + size_t(size) > storage->size())
        return set_error(GL_INVALID_VALUE);
    touch_read(data, size_t(size));
    std::memcpy(storage->data() + offset, data, size_t(size));
}

void *GLAPIENTRY null_map_buffer(GLenum target, GLenum access) {
    std::vector<uint8_t> *storage = bound_storage(target);
    return storage && !storage->empty() ? storage->data() : nullptr;
}

void *GLAPIENTRY null_map_buffer_range(GLenum target, GLintptr offset, GLsizeiptr length, GLbitfield access) {
    std::vector<uint8_t> *storage = bound_storage(target);
    if (!storage || offset < 0 || length <= 0 || size_t(offset) + size_t(length) > storage->size())
        return nullptr;
    return storage->data() + offset;
}

GLboolean GLAPIENTRY null_unmap_buffer(GLenum target) {
    return GL_TRUE;
}

void GLAPIENTRY null_gen_names(GLsizei n, GLuint *names) {
    gen_names(n, names);
}
void GLAPIENTRY null_delete_names(GLsizei n, const GLuint *names) {
    read_names(n, names);
}

GLuint GLAPIENTRY null_create_shader(GLenum type) {
    return g_state.next_name++;
}
GLuint GLAPIENTRY null_create_program() {
    return g_state.next_name++;
}

void GLAPIENTRY null_shader_source(GLuint shader, GLsizei count, const GLchar *const *strings,
                                   const GLint *lengths) {
    if (count < 0) return set_error(GL_INVALID_VALUE);
    for (GLsizei i = 0; i < count; i++) {
        if (!strings[i]) fault("null shader source string");
        bool counted = lengths && lengths[i] >= 0;
        touch_read(strings[i], counted ? size_t(lengths[i]) : std::strlen(strings[i]) + 1);
    }
}

void GLAPIENTRY null_get_object_iv(GLuint object, GLenum pname, GLint *params) {
    *params =
        (pname == GL_COMPILE_STATUS || pname == GL_LINK_STATUS || pname == GL_VALIDATE_STATUS) ? GL_TRUE : 0;
}

void GLAPIENTRY null_get_info_log(GLuint object, GLsizei size, GLsizei *length, GLchar *log) {
    if (size > 0) touch_write(log, size_t(size));
    if (length) *length = 0;
}

GLint GLAPIENTRY null_get_uniform_location(GLuint program, const GLchar *name) {
    return location_of(name, 64);
}
GLint GLAPIENTRY null_get_attrib_location(GLuint program, const GLchar *name) {
    return location_of(name, kAttributes);
}

void GLAPIENTRY null_uniform_matrix4fv(GLint location, GLsizei count, GLboolean transpose,
                                       const GLfloat *value) {
    if (count > 0) touch_read(value, sizeof(GLfloat) * 16 * size_t(count));
}
void GLAPIENTRY null_uniform_matrix3fv(GLint location, GLsizei count, GLboolean transpose,
                                       const GLfloat *value) {
    if (count > 0) touch_read(value, sizeof(GLfloat) * 9 * size_t(count));
}
void GLAPIENTRY null_uniform4fv(GLint location, GLsizei count, const GLfloat *value) {
    if (count > 0) touch_read(value, sizeof(GLfloat) * 4 * size_t(count));
}
void GLAPIENTRY null_uniform3fv(GLint location, GLsizei count, const GLfloat *value) {
    if (count > 0) touch_read(value, sizeof(GLfloat) * 3 * size_t(count));
}
void GLAPIENTRY null_uniform1fv(GLint location, GLsizei count, const GLfloat *value) {
    if (count > 0) touch_read(value, sizeof(GLfloat) * size_t(count));
}

void GLAPIENTRY null_client_active_texture(GLenum unit) {
    int u = int(unit) - int(GL_TEXTURE0);
    if (u < 0 || u >= kTextureUnits) return set_error(GL_INVALID_ENUM);
    g_state.client_unit = u;
}

void GLAPIENTRY null_enable_attribute(GLuint index) {
    if (index >= GLuint(kAttributes)) return set_error(GL_INVALID_VALUE);
    g_state.attribute[index].enabled = true;
}
void GLAPIENTRY null_disable_attribute(GLuint index) {
    if (index >= GLuint(kAttributes)) return set_error(GL_INVALID_VALUE);
    g_state.attribute[index].enabled = false;
}
void GLAPIENTRY null_attribute_pointer(GLuint index, GLint size, GLenum type, GLboolean normalized,
                                       GLsizei stride, const void *pointer) {
    if (index >= GLuint(kAttributes)) return set_error(GL_INVALID_VALUE);
    set_array(&g_state.attribute[index], size, type, stride, pointer);
}

void GLAPIENTRY null_draw_range_elements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type,
                                         const void *indices);

void GLAPIENTRY null_tex_image_3d(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLsizei d,
                                  GLint border, GLenum format, GLenum type, const void *pixels) {
    if (!image_size_valid(w, h) || d < 0 || d > kMaxTextureSize) return;
    for (GLsizei z = 0; z < d && pixels; z++)
        read_image(w, h, format, type,
                   static_cast<const uint8_t *>(pixels) +
                       size_t(z) * image_bytes(w, h, format, type, g_state.unpack_alignment));
}

void GLAPIENTRY null_compressed_tex_image_2d(GLenum target, GLint level, GLenum internal, GLsizei w,
                                             GLsizei h, GLint border, GLsizei size, const void *data) {
    if (!image_size_valid(w, h) || size < 0) return;
    if (data && !g_state.unpack_buffer) touch_read(data, size_t(size));
}

} // namespace

void gl_null_reset() {
    g_state.buffers.clear();
    g_state.array_buffer = g_state.element_buffer = g_state.unpack_buffer = g_state.pack_buffer = 0;
    g_state.unpack_alignment = g_state.pack_alignment = 4;
    g_state.vertex = g_state.normal = g_state.color = VertexArray{};
    for (VertexArray &a : g_state.texcoord)
        a = VertexArray{};
    for (VertexArray &a : g_state.attribute)
        a = VertexArray{};
    g_state.client_unit = 0;
    g_state.error = GL_NO_ERROR;
}

// Indices of a draw: client memory, or an offset into the bound element buffer. Returns the
// largest index, or -1 for none.
static int64_t read_indices(GLsizei count, GLenum type, const void *indices) {
    if (count <= 0) return -1;
    size_t size = type_size(type);
    std::vector<uint8_t> copy;
    const uint8_t *bytes = static_cast<const uint8_t *>(indices);
    if (std::vector<uint8_t> *ebo = bound_storage(GL_ELEMENT_ARRAY_BUFFER)) {
        uintptr_t offset = reinterpret_cast<uintptr_t>(indices);
        if (offset > ebo->size() || size * size_t(count) > ebo->size() - offset)
            fault("draw reads past its index buffer");
        bytes = ebo->data() + offset;
    } else if (!indices) {
        fault("draw without indices");
    }
    int64_t last = -1;
    for (GLsizei i = 0; i < count; i++) {
        uint32_t v = 0;
        std::memcpy(&v, bytes + size_t(i) * size, size); // little-endian: the low bytes first
        if (int64_t(v) > last) last = v;
    }
    return last;
}

namespace {
void GLAPIENTRY null_draw_range_elements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type,
                                         const void *indices) {
    int64_t last = read_indices(count, type, indices);
    if (last >= 0) check_arrays(uint64_t(last));
}
} // namespace

} // namespace gl_null

using namespace gl_null;

extern "C" {

// GL 1.1 entry points that take caller memory.

GLenum GLAPIENTRY glGetError(void) {
    GLenum e = g_state.error;
    g_state.error = GL_NO_ERROR;
    return e;
}

void GLAPIENTRY glGenTextures(GLsizei n, GLuint *textures) {
    gen_names(n, textures);
}
void GLAPIENTRY glDeleteTextures(GLsizei n, const GLuint *textures) {
    read_names(n, textures);
}

void GLAPIENTRY glPixelStorei(GLenum pname, GLint param) {
    if (param != 1 && param != 2 && param != 4 && param != 8) return set_error(GL_INVALID_VALUE);
    if (pname == GL_UNPACK_ALIGNMENT) g_state.unpack_alignment = param;
    if (pname == GL_PACK_ALIGNMENT) g_state.pack_alignment = param;
}

void GLAPIENTRY glTexImage2D(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border,
                             GLenum format, GLenum type, const void *pixels) {
    if (image_size_valid(w, h)) read_image(w, h, format, type, pixels);
}

void GLAPIENTRY glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h,
                                GLenum format, GLenum type, const void *pixels) {
    if (image_size_valid(w, h)) read_image(w, h, format, type, pixels);
}

void GLAPIENTRY glTexImage1D(GLenum target, GLint level, GLint internal, GLsizei w, GLint border,
                             GLenum format, GLenum type, const void *pixels) {
    if (image_size_valid(w, 1)) read_image(w, 1, format, type, pixels);
}

void GLAPIENTRY glReadPixels(GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type,
                             void *pixels) {
    if (!image_size_valid(w, h)) return;
    size_t bytes = image_bytes(w, h, format, type, g_state.pack_alignment);
    if (std::vector<uint8_t> *pbo = bound_storage(GL_PIXEL_PACK_BUFFER)) {
        uintptr_t offset = reinterpret_cast<uintptr_t>(pixels);
        if (offset > pbo->size() || bytes > pbo->size() - offset)
            fault("read pixels run past their pixel buffer");
        return;
    }
    touch_write(pixels, bytes);
}

void GLAPIENTRY glGetTexImage(GLenum target, GLint level, GLenum format, GLenum type, void *pixels) {
    // Sizes of texture levels are not tracked; a caller that reads one back is not a loader.
}

void GLAPIENTRY glGetIntegerv(GLenum pname, GLint *params) {
    switch (pname) {
    case GL_VIEWPORT:
    case GL_SCISSOR_BOX:
        params[0] = params[1] = 0;
        params[2] = 1280;
        params[3] = 720;
        break;
    case GL_MAX_TEXTURE_SIZE: params[0] = kMaxTextureSize; break;
    case GL_MAX_TEXTURE_UNITS: params[0] = 4; break;
    case GL_UNPACK_ALIGNMENT: params[0] = g_state.unpack_alignment; break;
    case GL_PACK_ALIGNMENT: params[0] = g_state.pack_alignment; break;
    default: params[0] = 0; break;
    }
}

void GLAPIENTRY glGetFloatv(GLenum pname, GLfloat *params) {
    if (pname == GL_MODELVIEW_MATRIX || pname == GL_PROJECTION_MATRIX || pname == GL_TEXTURE_MATRIX)
        touch_write(params, sizeof(GLfloat) * 16);
    else
        params[0] = 0.0f;
}

const GLubyte *GLAPIENTRY glGetString(GLenum name) {
    switch (name) {
    case GL_VERSION: return reinterpret_cast<const GLubyte *>("2.1 gl_null");
    case GL_SHADING_LANGUAGE_VERSION: return reinterpret_cast<const GLubyte *>("1.20");
    case GL_EXTENSIONS: return reinterpret_cast<const GLubyte *>("");
    default: return reinterpret_cast<const GLubyte *>("gl_null");
    }
}

void GLAPIENTRY glEnableClientState(GLenum cap) {
    if (VertexArray *a = client_array(cap)) a->enabled = true;
}
void GLAPIENTRY glDisableClientState(GLenum cap) {
    if (VertexArray *a = client_array(cap)) a->enabled = false;
}
void GLAPIENTRY glVertexPointer(GLint size, GLenum type, GLsizei stride, const void *pointer) {
    set_array(&g_state.vertex, size, type, stride, pointer);
}
void GLAPIENTRY glNormalPointer(GLenum type, GLsizei stride, const void *pointer) {
    set_array(&g_state.normal, 3, type, stride, pointer);
}
void GLAPIENTRY glColorPointer(GLint size, GLenum type, GLsizei stride, const void *pointer) {
    set_array(&g_state.color, size, type, stride, pointer);
}
void GLAPIENTRY glTexCoordPointer(GLint size, GLenum type, GLsizei stride, const void *pointer) {
    set_array(&g_state.texcoord[g_state.client_unit], size, type, stride, pointer);
}

void GLAPIENTRY glDrawElements(GLenum mode, GLsizei count, GLenum type, const void *indices) {
    int64_t last = read_indices(count, type, indices);
    if (last >= 0) check_arrays(uint64_t(last));
}

void GLAPIENTRY glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (first < 0 || count < 0) return set_error(GL_INVALID_VALUE);
    if (count > 0) check_arrays(uint64_t(first) + uint64_t(count) - 1);
}

void GLAPIENTRY glLoadMatrixf(const GLfloat *m) {
    touch_read(m, sizeof(GLfloat) * 16);
}
void GLAPIENTRY glMultMatrixf(const GLfloat *m) {
    touch_read(m, sizeof(GLfloat) * 16);
}
void GLAPIENTRY glLightfv(GLenum light, GLenum pname, const GLfloat *params) {
    touch_read(params, sizeof(GLfloat) * light_values(pname));
}
void GLAPIENTRY glMaterialfv(GLenum face, GLenum pname, const GLfloat *params) {
    touch_read(params, sizeof(GLfloat) * light_values(pname));
}
void GLAPIENTRY glFogfv(GLenum pname, const GLfloat *params) {
    touch_read(params, sizeof(GLfloat) * light_values(pname));
}
void GLAPIENTRY glTexEnvfv(GLenum target, GLenum pname, const GLfloat *params) {
    touch_read(params, sizeof(GLfloat) * (pname == GL_TEXTURE_ENV_COLOR ? 4 : 1));
}
void GLAPIENTRY glTexGenfv(GLenum coord, GLenum pname, const GLfloat *params) {
    touch_read(params, sizeof(GLfloat) * (pname == GL_TEXTURE_GEN_MODE ? 1 : 4));
}
void GLAPIENTRY glTexParameterfv(GLenum target, GLenum pname, const GLfloat *params) {
    touch_read(params, sizeof(GLfloat) * (pname == GL_TEXTURE_BORDER_COLOR ? 4 : 1));
}

// GLEW's pointers to the entry points above.
PFNGLGENBUFFERSPROC __glewGenBuffers = null_gen_buffers;
PFNGLDELETEBUFFERSPROC __glewDeleteBuffers = null_delete_buffers;
PFNGLBINDBUFFERPROC __glewBindBuffer = null_bind_buffer;
PFNGLBUFFERDATAPROC __glewBufferData = null_buffer_data;
PFNGLBUFFERSUBDATAPROC __glewBufferSubData = null_buffer_sub_data;
PFNGLMAPBUFFERPROC __glewMapBuffer = null_map_buffer;
PFNGLMAPBUFFERRANGEPROC __glewMapBufferRange = null_map_buffer_range;
PFNGLUNMAPBUFFERPROC __glewUnmapBuffer = null_unmap_buffer;
PFNGLGENBUFFERSARBPROC __glewGenBuffersARB = null_gen_buffers;
PFNGLDELETEBUFFERSARBPROC __glewDeleteBuffersARB = null_delete_buffers;
PFNGLBINDBUFFERARBPROC __glewBindBufferARB = null_bind_buffer;
PFNGLMAPBUFFERARBPROC __glewMapBufferARB = null_map_buffer;
PFNGLUNMAPBUFFERARBPROC __glewUnmapBufferARB = null_unmap_buffer;
PFNGLGENFRAMEBUFFERSEXTPROC __glewGenFramebuffersEXT = null_gen_names;
PFNGLDELETEFRAMEBUFFERSEXTPROC __glewDeleteFramebuffersEXT = null_delete_names;
PFNGLGENRENDERBUFFERSEXTPROC __glewGenRenderbuffersEXT = null_gen_names;
PFNGLDELETERENDERBUFFERSEXTPROC __glewDeleteRenderbuffersEXT = null_delete_names;
PFNGLGENFRAMEBUFFERSPROC __glewGenFramebuffers = null_gen_names;
PFNGLDELETEFRAMEBUFFERSPROC __glewDeleteFramebuffers = null_delete_names;
PFNGLGENRENDERBUFFERSPROC __glewGenRenderbuffers = null_gen_names;
PFNGLDELETERENDERBUFFERSPROC __glewDeleteRenderbuffers = null_delete_names;
PFNGLCREATESHADERPROC __glewCreateShader = null_create_shader;
PFNGLCREATEPROGRAMPROC __glewCreateProgram = null_create_program;
PFNGLSHADERSOURCEPROC __glewShaderSource = null_shader_source;
PFNGLGETSHADERIVPROC __glewGetShaderiv = null_get_object_iv;
PFNGLGETPROGRAMIVPROC __glewGetProgramiv = null_get_object_iv;
PFNGLGETSHADERINFOLOGPROC __glewGetShaderInfoLog = null_get_info_log;
PFNGLGETPROGRAMINFOLOGPROC __glewGetProgramInfoLog = null_get_info_log;
PFNGLGETUNIFORMLOCATIONPROC __glewGetUniformLocation = null_get_uniform_location;
PFNGLGETATTRIBLOCATIONPROC __glewGetAttribLocation = null_get_attrib_location;
PFNGLUNIFORMMATRIX4FVPROC __glewUniformMatrix4fv = null_uniform_matrix4fv;
PFNGLUNIFORMMATRIX3FVPROC __glewUniformMatrix3fv = null_uniform_matrix3fv;
PFNGLUNIFORM4FVPROC __glewUniform4fv = null_uniform4fv;
PFNGLUNIFORM3FVPROC __glewUniform3fv = null_uniform3fv;
PFNGLUNIFORM1FVPROC __glewUniform1fv = null_uniform1fv;
PFNGLCLIENTACTIVETEXTUREPROC __glewClientActiveTexture = null_client_active_texture;
PFNGLENABLEVERTEXATTRIBARRAYPROC __glewEnableVertexAttribArray = null_enable_attribute;
PFNGLDISABLEVERTEXATTRIBARRAYPROC __glewDisableVertexAttribArray = null_disable_attribute;
PFNGLVERTEXATTRIBPOINTERPROC __glewVertexAttribPointer = null_attribute_pointer;
PFNGLDRAWRANGEELEMENTSPROC __glewDrawRangeElements = null_draw_range_elements;
PFNGLTEXIMAGE3DPROC __glewTexImage3D = null_tex_image_3d;
PFNGLCOMPRESSEDTEXIMAGE2DPROC __glewCompressedTexImage2D = null_compressed_tex_image_2d;

} // extern "C"
