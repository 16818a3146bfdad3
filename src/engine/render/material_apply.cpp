#include "render/capabilities.h"
#include "render/gl_driver.h"
#include "render/gl_state.h"
#include "render/material.h"
#include "maths/matrix.h"

#include "functions/dynamic_value.h"
#include "functions/function.h"
#include "maths/number_convert.h"
#include "geometry/effect2d.h"
#include "scene/scene.h" // upward on purpose: the aggregate holds render's records and render walks it
#include "textures/texture_definitions.h"

#include <GL/glew.h>

namespace render {

using resources::object_at;

ResolvedTextures material_resolve_textures(const Material *m, scene::Scene *sc, uint32_t t, bool pbo) {
    ResolvedTextures r = {};
    for (int i = 0; i < 3; i++) {
        if (i > 0 && !r.present[i - 1]) break;
        const TextureSlot *slot =
            m->texture[i] > 0 ? object_at<TextureSlot>(sc->texture_slots, m->texture[i]) : nullptr;
        if (!slot) break;
        uint32_t index = slot->index > 0 ? static_cast<uint32_t>(slot->index) : 0;
        switch (slot->kind) {
        case TEXTURE_PROCEDURAL: {
            const textures::ProceduralTexture *p =
                object_at<textures::ProceduralTexture>(sc->textures, index);
            if (p) r.names[i] = p->gl_texture, r.present[i] = true;
            break;
        }
        case TEXTURE_BITMAP: {
            const textures::Bitmap *b = object_at<textures::Bitmap>(sc->bitmaps, index);
            if (b) r.names[i] = b->gl_texture, r.present[i] = true;
            break;
        }
        case TEXTURE_EFFECT2D: {
            geometry::Effect2D *e = object_at<geometry::Effect2D>(sc->effects2d, index);
            if (!e) break;
            // Many materials may show one effect at one time: regenerate it once per time.
            if (e->time_stamp != t) {
                geometry::effect2d_update(index, sc->effects2d, sc->functions, t, pbo);
                e->time_stamp = t;
            }
            r.names[i] = e->texture;
            r.present[i] = true;
            break;
        }
        default: {
            const textures::CubeMap *c = object_at<textures::CubeMap>(sc->cube_maps, index);
            if (c) r.names[i] = c->gl_texture, r.present[i] = true, r.cube[i] = true;
            break;
        }
        }
        if (!r.present[i]) break;
    }
    return r;
}

static float material_value(const Material *m, int which, const scene::Scene *sc, uint32_t t) {
    return functions::dynamic_evaluate(m->values[which], m->dynamic[which] != 0, sc->functions, t);
}

static void set_enabled(GLenum cap, bool on) {
    gl_state_enable(cap, on);
}

static void apply_blend(uint8_t blend_function, bool set_equation) {
    static const GLenum kBlend[5][3] = {
        {GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
        {GL_FUNC_ADD, GL_ONE, GL_ONE},
        {GL_FUNC_ADD, GL_ONE, GL_ZERO},
        {GL_FUNC_ADD, GL_ONE, GL_ONE_MINUS_SRC_ALPHA},
        {GL_FUNC_REVERSE_SUBTRACT, GL_SRC_ALPHA, GL_ONE},
    };
    if (blend_function > 4) return;
    gl_state_blend(set_equation ? kBlend[blend_function][0] : 0, kBlend[blend_function][1],
                   kBlend[blend_function][2]);
}

static const Light *light_at(const scene::Scene *sc, int32_t index) {
    return index > 0 ? object_at<Light>(sc->lights, static_cast<uint32_t>(index)) : nullptr;
}

static void set_gl_light(GLenum gl_light, const Light *light, const scene::Scene *sc, uint32_t t) {
    float ambient[4], diffuse[4], position[4];
    for (int k = 0; k < 3; k++) {
        ambient[k] = light_value(light, LIGHT_AMBIENT_R + k, sc->functions, t);
        diffuse[k] = light_value(light, LIGHT_DIFFUSE_R + k, sc->functions, t);
        position[k] = light_value(light, LIGHT_POSITION_X + k, sc->functions, t);
    }
    ambient[3] = diffuse[3] = position[3] = 1.0f;
    gl_state_enable(gl_light, true);
    glLightfv(gl_light, GL_AMBIENT, ambient);
    glLightfv(gl_light, GL_DIFFUSE, diffuse);
    glLightfv(gl_light, GL_POSITION, position);
}

// Texture matrix of the fixed-function form, in the engine's texture matrix.
static void texture_matrix_fixed(bool rotation, bool cube, float a, float b) {
    maths::MatrixState *s = maths::matrix_state();
    maths::matrix_identity(s, maths::MATRIX_TEXTURE);
    if (rotation) {
        maths::matrix_translate(s, maths::MATRIX_TEXTURE, 0.5f, 0.5f, 0.0f);
        maths::matrix_rotate_z(s, maths::MATRIX_TEXTURE, -a);
        maths::matrix_translate(s, maths::MATRIX_TEXTURE, -0.5f, -0.5f, 0.0f);
    } else if (cube) {
        maths::matrix_rotate_y(s, maths::MATRIX_TEXTURE, -a);
        maths::matrix_rotate_x(s, maths::MATRIX_TEXTURE, -b);
    }
}

// Wrap mode of the 2D texture just bound.
static void set_wrap(uint32_t texture, uint8_t wrapmode) {
    if (wrapmode > 1) return;
    gl_state_texture_wrap(texture, wrapmode == 0 ? GL_REPEAT : GL_CLAMP_TO_EDGE);
}

// A texture coordinate pointer: from the buffer when buffers are in use and the mesh has one.
static const void *bind_texcoords(const TexcoordSources &src, int unit, bool vbo) {
    bool from_buffer = vbo && src.buffers[unit] != 0;
    return gl_driver_vertex_array(src.pointers[unit], sizeof(float) * 2 * src.vertex_count,
                                  from_buffer ? src.buffers[unit] : 0);
}

static bool has_texcoords(const TexcoordSources &src, int unit, bool vbo) {
    return (vbo && src.buffers[unit] != 0) || src.pointers[unit] != nullptr;
}

static void combine(GLenum rgb_mode, GLenum alpha_mode) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, static_cast<GLint>(rgb_mode));
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, static_cast<GLint>(alpha_mode));
}

static void rgb_args(GLenum a0, GLenum a1) {
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, static_cast<GLint>(a0));
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, static_cast<GLint>(a1));
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
}

static void alpha_args(GLenum a0, GLenum a1) {
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, static_cast<GLint>(a0));
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA, static_cast<GLint>(a1));
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
}

static void combine_unit0(uint8_t function) {
    switch (function) {
    case 0:
        combine(GL_MODULATE, GL_MODULATE);
        rgb_args(GL_PRIMARY_COLOR, GL_TEXTURE);
        alpha_args(GL_PRIMARY_COLOR, GL_TEXTURE);
        break;
    case 1:
        combine(GL_MODULATE, GL_REPLACE);
        rgb_args(GL_PRIMARY_COLOR, GL_TEXTURE);
        alpha_args(GL_TEXTURE, GL_PRIMARY_COLOR);
        break;
    case 2:
        combine(GL_REPLACE, GL_REPLACE);
        rgb_args(GL_TEXTURE, GL_PRIMARY_COLOR);
        alpha_args(GL_TEXTURE, GL_PRIMARY_COLOR);
        break;
    case 3:
        combine(GL_ADD, GL_ADD);
        rgb_args(GL_PRIMARY_COLOR, GL_TEXTURE);
        alpha_args(GL_PRIMARY_COLOR, GL_TEXTURE);
        break;
    default: break;
    }
}

static void combine_unit1(uint8_t function) {
    if (function > 5) return;
    static const GLenum kModes[6] = {GL_ADD,         GL_MODULATE,    GL_DOT3_RGB,
                                     GL_INTERPOLATE, GL_INTERPOLATE, GL_ADD};
    combine(kModes[function], GL_REPLACE);
    if (function == 1)
        rgb_args(GL_PREVIOUS, GL_TEXTURE);
    else
        rgb_args(GL_TEXTURE, GL_PREVIOUS);
    if (function == 3 || function == 4) {
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB, function == 3 ? GL_SRC_COLOR : GL_SRC_ALPHA);
    }
    alpha_args(GL_TEXTURE, GL_PREVIOUS);
}

static void combine_unit2(const Capabilities &caps) {
    if (caps.combine4) {
        // texture x primary colour + previous x constant alpha
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE4_NV);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_ADD);
        rgb_args(GL_TEXTURE, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB, GL_PREVIOUS);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB, GL_SRC_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE3_RGB_NV, GL_CONSTANT);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND3_RGB_NV, GL_SRC_ALPHA);
        const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, white);
    } else if (caps.combine3) {
        // modulate-add: argument 0 x argument 2 + argument 1
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE_ADD_ATI);
        rgb_args(GL_TEXTURE, GL_PREVIOUS);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB, GL_PRIMARY_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB, GL_SRC_COLOR);
    } else {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_ADD);
        rgb_args(GL_TEXTURE, GL_PREVIOUS);
    }
}

void material_apply_fixed(const Material *m, scene::Scene *sc, uint32_t t, float angle_a, float angle_b,
                          const Capabilities &caps, const TexcoordSources &texcoords) {
    set_enabled(GL_CULL_FACE, m->backface_culling != 0);
    set_enabled(GL_DEPTH_TEST, m->depth_test != 0);
    set_enabled(GL_NORMALIZE, m->normalization != 0);
    if (m->wireframe) {
        gl_state_polygon_mode(GL_LINE);
        glLineWidth(material_value(m, DYN_LINEWIDTH, sc, t));
    } else {
        gl_state_polygon_mode(GL_FILL);
    }
    glColor4f(material_value(m, DYN_RED, sc, t), material_value(m, DYN_GREEN, sc, t),
              material_value(m, DYN_BLUE, sc, t), material_value(m, DYN_ALPHA, sc, t));
    apply_blend(m->blend_function, GLEW_EXT_blend_subtract != 0);

    const Light *light1 = light_at(sc, m->light[0]);
    if (!light1) {
        gl_state_enable(GL_LIGHTING, false);
    } else {
        gl_state_enable(GL_LIGHTING, true);
        set_gl_light(GL_LIGHT1, light1, sc, t);
        const Light *light2 = light_at(sc, m->light[1]);
        if (light2)
            set_gl_light(GL_LIGHT2, light2, sc, t);
        else
            gl_state_enable(GL_LIGHT2, false);
    }

    if (m->fogtype == 0) {
        gl_state_enable(GL_FOG, false);
    } else {
        gl_state_enable(GL_FOG, true);
        glFogi(GL_FOG_MODE, GL_LINEAR);
        if (m->fogtype == 1) glHint(GL_FOG_HINT, GL_FASTEST);
        if (m->fogtype == 2) glHint(GL_FOG_HINT, GL_NICEST);
        float colour[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        const Light *fog_light = light_at(sc, m->fogcolor);
        for (int k = 0; fog_light && k < 3; k++)
            colour[k] = light_value(fog_light, LIGHT_DIFFUSE_R + k, sc->functions, t);
        glFogfv(GL_FOG_COLOR, colour);
        glFogf(GL_FOG_START, material_value(m, DYN_FOGSTART, sc, t));
        glFogf(GL_FOG_END, material_value(m, DYN_FOGEND, sc, t));
    }

    ResolvedTextures tex = material_resolve_textures(m, sc, t, caps.pbo != 0);
    int units = caps.texture_units > 2 ? 3 : 2;
    for (int u = 0; u < units; u++) {
        if (!tex.present[u]) {
            gl_state_unit_enable(u, GL_TEXTURE_2D, false);
            gl_state_unit_enable(u, GL_TEXTURE_CUBE_MAP, false);
            gl_state_client_array(GL_TEXTURE_COORD_ARRAY, u, false);
            continue;
        }
        gl_state_unit_enable(u, GL_TEXTURE_2D, !tex.cube[u]);
        gl_state_unit_enable(u, GL_TEXTURE_CUBE_MAP, tex.cube[u]);
        gl_state_active_texture(u);
        glBindTexture(tex.cube[u] ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D, tex.names[u]);
        if (!tex.cube[u]) set_wrap(tex.names[u], m->wrapmode[u]);
        switch (m->cgenmode[u]) {
        case 0:
            gl_state_unit_enable(u, GL_TEXTURE_GEN_S, false);
            gl_state_unit_enable(u, GL_TEXTURE_GEN_T, false);
            gl_state_unit_enable(u, GL_TEXTURE_GEN_R, false);
            if (has_texcoords(texcoords, u, caps.vbo != 0)) {
                gl_state_client_array(GL_TEXTURE_COORD_ARRAY, u, true);
                glTexCoordPointer(2, GL_FLOAT, 0, bind_texcoords(texcoords, u, caps.vbo != 0));
            } else {
                gl_state_client_array(GL_TEXTURE_COORD_ARRAY, u, false);
            }
            break;
        case 1:
            gl_state_active_texture(u);
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
            gl_state_unit_enable(u, GL_TEXTURE_GEN_S, true);
            gl_state_unit_enable(u, GL_TEXTURE_GEN_T, true);
            gl_state_unit_enable(u, GL_TEXTURE_GEN_R, false);
            gl_state_client_array(GL_TEXTURE_COORD_ARRAY, u, false);
            break;
        case 2:
            gl_state_active_texture(u);
            glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
            glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
            glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP);
            gl_state_unit_enable(u, GL_TEXTURE_GEN_S, true);
            gl_state_unit_enable(u, GL_TEXTURE_GEN_T, true);
            gl_state_unit_enable(u, GL_TEXTURE_GEN_R, true);
            gl_state_client_array(GL_TEXTURE_COORD_ARRAY, u, false);
            break;
        default: break;
        }
        gl_state_active_texture(u);
        texture_matrix_fixed(m->rotation[u] != 0, tex.cube[u], angle_a, angle_b);
        gl_state_load_matrix(maths::matrix_state(), maths::MATRIX_TEXTURE);
    }
    gl_state_matrix_mode(GL_MODELVIEW);

    // Combiner set-ups are sent only when a unit's differs from what it has.
    gl_state_active_texture(0);
    if (gl_state_combiner_changed(0, m->function[0])) combine_unit0(m->function[0]);
    gl_state_active_texture(1);
    if (gl_state_combiner_changed(1, m->function[1])) combine_unit1(m->function[1]);
    if (units > 2 && m->function[2] == 0) {
        gl_state_active_texture(2);
        if (gl_state_combiner_changed(2, 0)) combine_unit2(caps);
    }
    gl_state_active_texture(0);
    gl_state_client_active_texture(0);
}

void material_apply_glsl(Material *m, scene::Scene *sc, uint32_t t, float angle_a, float angle_b,
                         const Capabilities &caps, const TexcoordSources &texcoords) {
    ResolvedTextures tex = material_resolve_textures(m, sc, t, caps.pbo != 0);
    set_enabled(GL_CULL_FACE, m->backface_culling != 0);
    set_enabled(GL_DEPTH_TEST, m->depth_test != 0);
    if (m->wireframe) gl_driver_line_width(material_value(m, DYN_LINEWIDTH, sc, t));
    apply_blend(m->blend_function, true);

    ShaderProgram *p = material_program(m, sc->materials);
    if (!p || !p->program) return;
    gl_state_program(p->program);
    maths::MatrixState *s = maths::matrix_state();
    for (int i = 0; i < 3; i++) {
        if (!tex.present[i]) continue;
        gl_state_active_texture(i);
        glBindTexture(tex.cube[i] ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D, tex.names[i]);
        if (!tex.cube[i]) set_wrap(tex.names[i], m->wrapmode[i]);
        GLint loc = p->loc_texcoord_in[i];
        if (m->cgenmode[i] == 0 && loc >= 0) {
            if (has_texcoords(texcoords, i, caps.vbo != 0)) {
                gl_state_attrib_array(static_cast<GLuint>(loc), true);
                glVertexAttribPointer(static_cast<GLuint>(loc), 2, GL_FLOAT, GL_FALSE, 0,
                                      bind_texcoords(texcoords, i, caps.vbo != 0));
            } else {
                // A mesh without coordinates: a constant instead of reading an array that is not there.
                gl_state_attrib_array(static_cast<GLuint>(loc), false);
                glVertexAttrib2f(static_cast<GLuint>(loc), 0.0f, 0.0f);
            }
        }
        maths::matrix_identity(s, maths::MATRIX_TEXTURE);
        if (m->rotation[i]) {
            maths::matrix_rotate_z(s, maths::MATRIX_TEXTURE, angle_a);
        } else if (tex.cube[i]) {
            maths::matrix_rotate_x(s, maths::MATRIX_TEXTURE, angle_b);
            maths::matrix_rotate_y(s, maths::MATRIX_TEXTURE, angle_a);
        }
        if (p->loc_texture_matrix >= 0)
            glUniformMatrix4fv(p->loc_texture_matrix, 1, GL_FALSE, s->m[maths::MATRIX_TEXTURE]);
    }
    gl_state_active_texture(0);

    const uint32_t *sources = material_uniform_sources(m);
    for (int i = 0; sources && i < kUniformCount; i++) {
        if (p->loc_uniforms[i] < 0 || sources[i] == 0) continue;
        glUniform1f(p->loc_uniforms[i], maths::convert_to_float(functions::function_evaluate_index(
                                            sc->functions, sources[i], t)));
    }
    for (int l = 0; l < 2; l++) {
        const Light *light = light_at(sc, m->light[l]);
        if (p->loc_light_position[l] < 0 || !light) continue;
        glUniform4f(p->loc_light_position[l], light_value(light, LIGHT_POSITION_X, sc->functions, t),
                    light_value(light, LIGHT_POSITION_X + 1, sc->functions, t),
                    light_value(light, LIGHT_POSITION_X + 2, sc->functions, t), 1.0f);
    }
}

} // namespace render
