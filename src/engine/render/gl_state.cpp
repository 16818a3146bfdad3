#include "render/gl_state.h"

#include <GL/glew.h>
#include <cstring>

namespace render {

namespace {

// -1 unknown, 0 off, 1 on.
using Known = int8_t;

constexpr int kUnits = 4;
constexpr int kAttribs = 16;
constexpr uint32_t kTextureCache = 4096;

constexpr GLenum kCaps[] = {GL_CULL_FACE, GL_DEPTH_TEST, GL_NORMALIZE,    GL_LIGHTING, GL_LIGHT1,
                            GL_LIGHT2,    GL_FOG,        GL_SCISSOR_TEST, GL_BLEND};
constexpr int kCapCount = sizeof(kCaps) / sizeof(kCaps[0]);
static_assert(kCapCount == 9, "the capabilities the renderer switches");

constexpr GLenum kUnitCaps[] = {GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T,
                                GL_TEXTURE_GEN_R};
constexpr int kUnitCapCount = sizeof(kUnitCaps) / sizeof(kUnitCaps[0]);
static_assert(kUnitCapCount == 5, "the per-unit capabilities the renderer switches");

// An array: whether GL has it on, and whether the drawing under way wants it.
struct ArrayState {
    Known on;
    bool wanted;
};

struct GlState {
    Known caps[kCapCount];
    Known unit_caps[kUnits][kUnitCapCount];
    int active_texture, client_active_texture; // -1 unknown
    int64_t blend_equation, blend_source, blend_destination;
    int64_t program, array_buffer, element_buffer, polygon_mode, framebuffer, matrix_mode;
    bool viewport_known, clear_known;
    int32_t viewport[4];
    float clear[4];
    int32_t combiner[kUnits]; // -1 unknown
    ArrayState attribs[kAttribs];
    ArrayState vertex_array, normal_array, texcoord_arrays[kUnits];
    int8_t wrap[kTextureCache]; // by texture name: -1 unknown, else the wrap mode's index
};

// Everything but the arrays unknown.
void forget(GlState *s) {
    std::memset(&s->caps, -1, sizeof s->caps);
    std::memset(&s->unit_caps, -1, sizeof s->unit_caps);
    s->active_texture = s->client_active_texture = -1;
    s->blend_equation = s->blend_source = s->blend_destination = -1;
    s->program = s->array_buffer = s->element_buffer = s->polygon_mode = s->framebuffer = s->matrix_mode = -1;
    s->viewport_known = s->clear_known = false;
    for (int32_t &c : s->combiner)
        c = -1;
}

GlState g = [] {
    GlState s;
    std::memset(&s, 0, sizeof s); // arrays off, as GL starts
    std::memset(s.wrap, -1, sizeof s.wrap);
    forget(&s);
    return s;
}();

int cap_index(GLenum cap) {
    for (int i = 0; i < kCapCount; i++)
        if (kCaps[i] == cap) return i;
    return -1;
}

int unit_cap_index(GLenum cap) {
    for (int i = 0; i < kUnitCapCount; i++)
        if (kUnitCaps[i] == cap) return i;
    return -1;
}

void set_cap(GLenum cap, bool on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}

// Sends a change of one known-or-unknown value; returns whether it was sent.
bool differs(Known *k, bool on) {
    if (*k == (on ? 1 : 0)) return false;
    *k = on ? 1 : 0;
    return true;
}

void take_array(ArrayState *a, bool on) {
    a->wanted = on;
}

} // namespace

void gl_state_invalidate() {
    forget(&g);
}

void gl_state_enable(uint32_t cap, bool on) {
    int i = cap_index(cap);
    if (i < 0 || differs(&g.caps[i], on)) set_cap(cap, on);
}

void gl_state_active_texture(int unit) {
    if (g.active_texture == unit) return;
    g.active_texture = unit;
    glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
}

void gl_state_client_active_texture(int unit) {
    if (g.client_active_texture == unit) return;
    g.client_active_texture = unit;
    glClientActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
}

void gl_state_unit_enable(int unit, uint32_t cap, bool on) {
    int i = unit_cap_index(cap);
    if (unit < 0 || unit >= kUnits || i < 0) {
        gl_state_active_texture(unit);
        set_cap(cap, on);
        return;
    }
    if (!differs(&g.unit_caps[unit][i], on)) return;
    gl_state_active_texture(unit);
    set_cap(cap, on);
}

void gl_state_blend(uint32_t equation, uint32_t source, uint32_t destination) {
    if (equation && g.blend_equation != equation) {
        g.blend_equation = equation;
        glBlendEquation(equation);
    }
    if (g.blend_source != source || g.blend_destination != destination) {
        g.blend_source = source;
        g.blend_destination = destination;
        glBlendFunc(source, destination);
    }
}

void gl_state_program(uint32_t program) {
    if (g.program == program) return;
    g.program = program;
    glUseProgram(program);
}

void gl_state_array_buffer(uint32_t buffer) {
    if (g.array_buffer == buffer) return;
    g.array_buffer = buffer;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
}

void gl_state_element_buffer(uint32_t buffer) {
    if (g.element_buffer == buffer) return;
    g.element_buffer = buffer;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
}

void gl_state_viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    const int32_t v[4] = {x, y, width, height};
    if (g.viewport_known && std::memcmp(g.viewport, v, sizeof v) == 0) return;
    std::memcpy(g.viewport, v, sizeof v);
    g.viewport_known = true;
    glViewport(x, y, width, height);
}

void gl_state_clear_colour(float r, float gr, float b, float a) {
    const float c[4] = {r, gr, b, a};
    if (g.clear_known && std::memcmp(g.clear, c, sizeof c) == 0) return;
    std::memcpy(g.clear, c, sizeof c);
    g.clear_known = true;
    glClearColor(r, gr, b, a);
}

void gl_state_polygon_mode(uint32_t mode) {
    if (g.polygon_mode == mode) return;
    g.polygon_mode = mode;
    glPolygonMode(GL_FRONT_AND_BACK, mode);
}

void gl_state_matrix_mode(uint32_t mode) {
    if (g.matrix_mode == mode) return;
    g.matrix_mode = mode;
    glMatrixMode(mode);
}

void gl_state_load_matrix(const maths::MatrixState *s, int selector) {
    GLenum mode;
    switch (selector) {
    case maths::MATRIX_PROJECTION: mode = GL_PROJECTION; break;
    case maths::MATRIX_TEXTURE: mode = GL_TEXTURE; break;
    case maths::MATRIX_MODELVIEW: mode = GL_MODELVIEW; break;
    default: return;
    }
    gl_state_matrix_mode(mode);
    glLoadMatrixf(s->m[selector]);
}

void gl_state_framebuffer(uint32_t framebuffer) {
    if (g.framebuffer == framebuffer) return;
    g.framebuffer = framebuffer;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
}

void gl_state_texture_wrap(uint32_t texture, int32_t wrap) {
    int8_t key = wrap == GL_REPEAT ? 0 : 1;
    if (texture < kTextureCache) {
        if (g.wrap[texture] == key) return;
        g.wrap[texture] = key;
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
}

void gl_state_forget_texture(uint32_t texture) {
    if (texture < kTextureCache) g.wrap[texture] = -1;
}

bool gl_state_combiner_changed(int unit, int32_t key) {
    if (unit < 0 || unit >= kUnits) return true;
    if (g.combiner[unit] == key) return false;
    g.combiner[unit] = key;
    return true;
}

void gl_state_attrib_array(uint32_t index, bool on) {
    if (index >= kAttribs) {
        if (on)
            glEnableVertexAttribArray(index);
        else
            glDisableVertexAttribArray(index);
        return;
    }
    ArrayState &a = g.attribs[index];
    take_array(&a, on);
    if (on && differs(&a.on, true)) glEnableVertexAttribArray(index);
}

void gl_state_client_array(uint32_t array, int unit, bool on) {
    ArrayState *a = array == GL_VERTEX_ARRAY ? &g.vertex_array
                    : array == GL_NORMAL_ARRAY
                        ? &g.normal_array
                        : (unit >= 0 && unit < kUnits ? &g.texcoord_arrays[unit] : nullptr);
    if (array == GL_TEXTURE_COORD_ARRAY) gl_state_client_active_texture(unit);
    if (!a) {
        if (on)
            glEnableClientState(array);
        else
            glDisableClientState(array);
        return;
    }
    take_array(a, on);
    if (on && differs(&a->on, true)) glEnableClientState(array);
}

void gl_state_arrays_release() {
    for (ArrayState &a : g.attribs)
        a.wanted = false;
    g.vertex_array.wanted = g.normal_array.wanted = false;
    for (ArrayState &a : g.texcoord_arrays)
        a.wanted = false;
}

void gl_state_arrays_commit() {
    for (uint32_t i = 0; i < kAttribs; i++) {
        ArrayState &a = g.attribs[i];
        if (!a.wanted && differs(&a.on, false)) glDisableVertexAttribArray(i);
    }
    if (!g.vertex_array.wanted && differs(&g.vertex_array.on, false)) glDisableClientState(GL_VERTEX_ARRAY);
    if (!g.normal_array.wanted && differs(&g.normal_array.on, false)) glDisableClientState(GL_NORMAL_ARRAY);
    for (int u = 0; u < kUnits; u++) {
        ArrayState &a = g.texcoord_arrays[u];
        if (a.wanted || !differs(&a.on, false)) continue;
        gl_state_client_active_texture(u);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}

} // namespace render
