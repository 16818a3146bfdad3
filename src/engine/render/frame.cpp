#include "render/frame.h"

#include "functions/dynamic_value.h"
#include "render/draw_capture.h"
#include "render/draw_object.h"
#include "render/gl_state.h"
#include "render/layer.h"
#include "render/material.h"
#include "maths/matrix.h"
#include "render/render_target.h"
#include "scene/scene.h" // upward on purpose: the aggregate holds render's records and render walks it
#include "textures/texture_definitions.h"

#include <GL/glew.h>
#include <cmath>
#include <cstring>

namespace render {

using resources::object_at;
using textures::Bitmap;
using textures::CubeMap;

namespace {

// What stays between frames: the window, the switches, and a render-to-texture still to complete.
struct FrameState {
    uint16_t window_width, window_height;
    uint16_t half_width, half_height;
    bool fbo;
    bool npot;
    int8_t glsl;
    bool in_progress;
    uint16_t bitmap_in_progress;
    uint32_t framebuffer;
    Viewport viewport;
};

FrameState g_frame;

// Camera angles of one pass (degrees).
struct PassAngles {
    float z, y, x;
};

constexpr PassAngles kCubePasses[6] = {{180, 270, 0},  {180, 90, 0},  {180, 180, 270},
                                       {180, 180, 90}, {180, 180, 0}, {0, 180, 180}};
static_assert(sizeof(kCubePasses) / sizeof(kCubePasses[0]) == 6, "one pass per cube face");
constexpr GLenum kCubeFaces[6] = {GL_TEXTURE_CUBE_MAP_NEGATIVE_X, GL_TEXTURE_CUBE_MAP_POSITIVE_X,
                                  GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y,
                                  GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z};
static_assert(sizeof(kCubeFaces) / sizeof(kCubeFaces[0]) == 6, "one face per cube pass");

struct AtlasCell {
    int col, row;
    PassAngles angles;
};
constexpr AtlasCell kAtlasPasses[6] = {{0, 0, {180, 0, 0}},    {1, 0, {180, 180, 0}}, {2, 0, {180, 270, 270}},
                                       {0, 1, {180, 270, 90}}, {1, 1, {180, 270, 0}}, {2, 1, {0, 270, 180}}};
static_assert(sizeof(kAtlasPasses) / sizeof(kAtlasPasses[0]) == 6, "one cell per atlas pass");

void set_viewport(int32_t x, int32_t y, int32_t w, int32_t h) {
    gl_state_viewport(x, y, w, h);
}

void restore_viewport() {
    const Viewport &v = g_frame.viewport;
    set_viewport(v.x, v.y, v.width, v.height);
}

// A mip-mapped bitmap becomes linear the first time it is drawn into.
void bitmap_filter_linear(Bitmap *b) {
    if (b->texture_filter != textures::FILTER_MIPMAP) return;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    b->texture_filter = textures::FILTER_LINEAR;
}

void complete_in_progress(scene::Scene *sc, uint8_t type) {
    if (!g_frame.in_progress) return;
    if (!g_frame.fbo) {
        Bitmap *b = object_at<Bitmap>(sc->bitmaps, g_frame.bitmap_in_progress);
        if (!b) return;
        glBindTexture(GL_TEXTURE_2D, b->gl_texture);
        bitmap_filter_linear(b);
        render_target_copy_window(GL_TEXTURE_2D, GL_TEXTURE_2D, b->gl_texture, b->width, b->height);
    } else if (type == MODE_SIMPLE) {
        render_target_detach();
    }
}

// Makes bitmap rtex the target of a render-to-texture (types 1, 2 and 5).
void bitmap_target(scene::Scene *sc, const Layer *layer) {
    Bitmap *b = object_at<Bitmap>(sc->bitmaps, layer->rtex);
    if (!b) return;
    int32_t ww = g_frame.window_width, wh = g_frame.window_height;
    if (layer->type == MODE_QUARTER_TEXTURE) {
        int32_t w = g_frame.half_width, h = g_frame.half_height;
        if (!g_frame.npot) {
            w = layer_power_of_two(w);
            h = layer_power_of_two(h);
        }
        if (b->width != w || b->height != h) render_target_resize(b, w, h, g_frame.fbo);
    }
    if (!g_frame.fbo) {
        // The picture is drawn in the window and copied out, so it cannot be larger than the window.
        if (b->width > ww || b->height > wh) {
            if (g_frame.npot)
                render_target_resize(b, ww, wh, false);
            else
                render_target_resize(b, layer_power_of_two(ww), layer_power_of_two(wh), false);
        }
    } else {
        render_target_depth(&b->depth_renderbuffer, b->width, b->height);
        glBindTexture(GL_TEXTURE_2D, b->gl_texture);
        bitmap_filter_linear(b);
        render_target_bind(b->gl_texture, GL_TEXTURE_2D, b->depth_renderbuffer);
    }
    set_viewport(0, 0, b->width, b->height);
    gl_state_enable(GL_SCISSOR_TEST, false);
    g_frame.bitmap_in_progress = layer->rtex;
    g_frame.in_progress = true;
}

CubeMap *cube_target(scene::Scene *sc, const Layer *layer) {
    CubeMap *c = object_at<CubeMap>(sc->cube_maps, layer->rtex);
    if (!c) return nullptr;
    set_viewport(0, 0, c->width, c->height);
    gl_state_enable(GL_SCISSOR_TEST, false);
    if (g_frame.fbo) render_target_depth(&c->depth_renderbuffer, c->width, c->height);
    return c;
}

void clear_target(uint8_t flags) {
    GLbitfield mask = 0;
    if (flags & 1) mask |= GL_COLOR_BUFFER_BIT;
    if (flags & 2) mask |= GL_DEPTH_BUFFER_BIT;
    if (mask) glClear(mask);
}

float layer_value(const scene::Scene *sc, const Layer *layer, uint32_t slot, uint8_t flag, uint32_t te) {
    return functions::dynamic_evaluate(slot, (layer->dynamic_flags & flag) != 0, sc->functions, te);
}

void set_view(float x, float y, float z, const PassAngles &a) {
    maths::MatrixState *s = maths::matrix_state();
    maths::matrix_identity(s, maths::MATRIX_VIEW);
    maths::matrix_rotate_z(s, maths::MATRIX_VIEW, a.z);
    maths::matrix_rotate_x(s, maths::MATRIX_VIEW, a.x);
    maths::matrix_rotate_y(s, maths::MATRIX_VIEW, a.y);
    maths::matrix_translate(s, maths::MATRIX_VIEW, -x, -y, -z);
}

// Draws one layer that is active at te; returns whether it drew an object.
bool layer_render(scene::Scene *sc, const Layer *layer, uint32_t te, const Capabilities &caps) {
    if (layer->type > MODE_CUBE_ATLAS) return false;
    float x = layer_value(sc, layer, layer->camera[0], LAYER_DYN_X, te);
    float y = layer_value(sc, layer, layer->camera[1], LAYER_DYN_Y, te);
    float z = layer_value(sc, layer, layer->camera[2], LAYER_DYN_Z, te);
    PassAngles camera = {layer_value(sc, layer, layer->rotation[2], LAYER_DYN_ROT_Z, te),
                         layer_value(sc, layer, layer->rotation[1], LAYER_DYN_ROT_Y, te),
                         layer_value(sc, layer, layer->rotation[0], LAYER_DYN_ROT_X, te)};
    float far_plane = layer_value(sc, layer, layer->far_plane, LAYER_DYN_FAR, te);

    float clear[3] = {0.0f, 0.0f, 0.0f};
    const Light *light = layer->clearcolor ? object_at<Light>(sc->lights, layer->clearcolor) : nullptr;
    for (int k = 0; light && k < 3; k++)
        clear[k] = light_value(light, LIGHT_DIFFUSE_R + k, sc->functions, te);
    gl_state_clear_colour(clear[0], clear[1], clear[2], 1.0f);

    CubeMap *cube = nullptr;
    switch (layer->type) {
    case MODE_SIMPLE:
        complete_in_progress(sc, layer->type);
        restore_viewport();
        gl_state_enable(GL_SCISSOR_TEST, true);
        g_frame.in_progress = false;
        break;
    case MODE_TEXTURE:
    case MODE_QUARTER_TEXTURE:
    case MODE_CUBE_ATLAS:
        complete_in_progress(sc, layer->type);
        if (layer->rtex) bitmap_target(sc, layer);
        break;
    case MODE_CUBEMAP:
        if (layer->rtex) cube = cube_target(sc, layer);
        break;
    default: break;
    }

    maths::MatrixState *s = maths::matrix_state();
    if (layer->projection_kind == PROJECTION_ORTHO) {
        projection_ortho(s->m[maths::MATRIX_PROJECTION]);
    } else {
        float fov = layer->projection_kind == PROJECTION_DYNAMIC
                        ? functions::dynamic_evaluate(layer->projection, true, sc->functions, te)
                        : functions::dynamic_slot_float(layer->projection);
        float aspect = layer_value(sc, layer, layer->aspect, LAYER_DYN_ASPECT, te);
        projection_perspective(s->m[maths::MATRIX_PROJECTION], fov, aspect, 0.1f, far_plane);
    }
    if (!g_frame.glsl) {
        gl_state_load_matrix(s, maths::MATRIX_PROJECTION);
        gl_state_matrix_mode(GL_MODELVIEW);
    }
    // A cube map layer clears each face as it draws it; clearing here as well would wipe
    // whatever the window holds.
    if (layer->type != MODE_CUBEMAP) clear_target(layer->clear_flags);

    DrawView view = {camera.y, camera.z, camera.x, caps, g_frame.glsl};
    bool drew = false;
    if (cube) {
        for (int pass = 0; pass < 6; pass++) {
            if (g_frame.fbo)
                render_target_bind(cube->gl_texture, kCubeFaces[pass], cube->depth_renderbuffer);
            else if (pass > 0)
                render_target_copy_window(kCubeFaces[pass - 1], GL_TEXTURE_CUBE_MAP, cube->gl_texture,
                                          cube->width, cube->height);
            clear_target(layer->clear_flags);
            set_view(x, y, z, kCubePasses[pass]);
            view.rotation_y = kCubePasses[pass].y;
            view.rotation_z = kCubePasses[pass].z;
            view.rotation_x = kCubePasses[pass].x;
            if (layer->object) drew = object_draw(sc, layer->object, te, view) || drew;
        }
        if (!g_frame.fbo)
            render_target_copy_window(kCubeFaces[5], GL_TEXTURE_CUBE_MAP, cube->gl_texture, cube->width,
                                      cube->height);
        else
            render_target_detach();
        restore_viewport();
    } else if (layer->type == MODE_CUBE_ATLAS && g_frame.in_progress) {
        Bitmap *b = object_at<Bitmap>(sc->bitmaps, g_frame.bitmap_in_progress);
        int32_t cw = b ? layer_power_of_two(b->width / 3) : 0, ch = b ? layer_power_of_two(b->height / 2) : 0;
        for (const AtlasCell &cell : kAtlasPasses) {
            set_viewport(cell.col * cw, cell.row * ch, cw, ch);
            set_view(x, y, z, cell.angles);
            view.rotation_y = cell.angles.y;
            view.rotation_z = cell.angles.z;
            view.rotation_x = cell.angles.x;
            if (layer->object) drew = object_draw(sc, layer->object, te, view) || drew;
        }
    } else {
        set_view(x, y, z, camera);
        if (layer->object) drew = object_draw(sc, layer->object, te, view);
    }
    return drew;
}

} // namespace

void projection_ortho(float out[16]) {
    const float m[16] = {2, 0, 0, 0, 0, -2, 0, 0, 0, 0, -1, 0, -1, 1, 0, 1};
    std::memcpy(out, m, sizeof m);
}

void projection_perspective(float out[16], float fov_degrees, float aspect, float near_plane,
                            float far_plane) {
    std::memset(out, 0, sizeof(float) * 16);
    float f = 1.0f / std::tan(fov_degrees * 3.14159265358979f / 360.0f);
    out[0] = f / aspect;
    out[5] = f;
    out[10] = (far_plane + near_plane) / (near_plane - far_plane);
    out[11] = -1.0f;
    out[14] = 2.0f * far_plane * near_plane / (near_plane - far_plane);
}

void render_set_framebuffer(uint32_t framebuffer) {
    g_frame.framebuffer = framebuffer;
}

void render_reset_targets() {
    g_frame.in_progress = false;
    g_frame.bitmap_in_progress = 0;
}

uint32_t render_at_time(scene::Scene *sc, uint32_t t, uint16_t window_width, uint16_t window_height,
                        Viewport viewport, const Capabilities &caps, int8_t glsl) {
    if (!sc || !sc->slots[0].layers || sc->slots[0].layers->count == 0) return 0;
    g_frame.window_width = window_width;
    g_frame.window_height = window_height;
    g_frame.half_width = static_cast<uint16_t>(window_width / 2);
    g_frame.half_height = static_cast<uint16_t>(window_height / 2);
    g_frame.fbo = caps.fbo != 0 && g_frame.framebuffer != 0;
    g_frame.npot = caps.npot != 0;
    g_frame.glsl = glsl;
    g_frame.viewport = viewport;
    // Loading, uploads and the tools change GL state between frames.
    gl_state_invalidate();
    draw_frame_begin();
    uint32_t drawn = 0;
    for (uint32_t number = 0; number < kLayerSlotCount; number++) {
        const scene::LayerSlot &slot = sc->slots[number];
        uint32_t index, local;
        if (!layer_find_active(&slot, t, &index, &local)) continue;
        draw_capture_set_layer(number, index + 1);
        const Layer *layer = resources::short_at<Layer>(slot.layers, index + 1);
        uint32_t te = local + layer->offset;
        if (layer_render(sc, layer, te, caps)) drawn++;
    }
    return drawn;
}

} // namespace render
