#include "render/draw_object.h"

#include "functions/dynamic_value.h"
#include "functions/function.h"
#include "geometry/manipulator.h"
#include "geometry/mesh.h"
#include "geometry/mesh_effect.h"
#include "render/draw_capture.h"
#include "render/gl_state.h"
#include "render/draw_text.h"
#include "render/gl_driver.h"
#include "render/material.h"
#include "maths/matrix.h"
#include "render/scene_object.h"
#include "resources/log.h"
#include "maths/number_convert.h"
#include "scene/scene.h" // upward on purpose: the aggregate holds render's records and render walks it

#include <GL/glew.h>
#include <cmath>

namespace render {

using geometry::Mesh;
using resources::object_at;

void instance_transform(const float v[9], float x_shift, bool face_camera, const DrawView &view) {
    maths::MatrixState *s = maths::matrix_state();
    maths::matrix_identity(s, maths::MATRIX_MODEL);
    maths::matrix_translate(s, maths::MATRIX_MODEL, v[0] + x_shift, v[1], v[2]);
    if (face_camera) {
        maths::matrix_rotate_y(s, maths::MATRIX_MODEL, -view.rotation_y);
        maths::matrix_rotate_x(s, maths::MATRIX_MODEL, -view.rotation_x);
        maths::matrix_rotate_z(s, maths::MATRIX_MODEL, -view.rotation_z);
    }
    maths::matrix_rotate_x(s, maths::MATRIX_MODEL, v[3]);
    maths::matrix_rotate_y(s, maths::MATRIX_MODEL, v[4]);
    maths::matrix_rotate_z(s, maths::MATRIX_MODEL, v[5]);
    maths::matrix_scale(s, maths::MATRIX_MODEL, v[6], v[7], v[8]);
    maths::matrix_make_modelview(s);
}

// Unit 0 takes set 0; unit 1 set 1 when there are two or more, else set 0; unit 2 likewise.
static TexcoordSources texcoords_of(const Mesh *mesh, bool from_memory) {
    TexcoordSources src = {};
    src.vertex_count = mesh->vertex_count;
    for (int unit = 0; unit < 3; unit++) {
        int set = mesh->texcoord_set_count > unit ? unit : 0;
        src.pointers[unit] = mesh->texcoords[set];
        src.buffers[unit] =
            from_memory || !mesh->texcoords[set] ? 0 : mesh->buffers[geometry::MESH_BUFFER_TEXCOORD0 + set];
    }
    return src;
}

// An array of 3 floats a vertex in a GL buffer (when buffer is not 0) or in client memory.
struct ArraySource {
    const float *memory;
    uint32_t buffer;
};

// Where a drawing's positions and normals come from: the mesh, or the ripple buffer when a
// Rippler ran for this item.
struct VertexArrays {
    ArraySource positions, normals;
};

// Binds the array's buffer (or none) and returns the pointer argument for gl*Pointer.
static const void *array_bind(const ArraySource &src, const Mesh *mesh) {
    return gl_driver_vertex_array(src.memory, sizeof(float) * 3 * mesh->vertex_count, src.buffer);
}

static void draw_triangles(const Mesh *mesh, bool use_buffers) {
    bool from_buffer = use_buffers && mesh->buffers[geometry::MESH_BUFFER_INDICES] != 0;
    const void *indices = gl_driver_index_array(
        mesh->indices, mesh->index_count, from_buffer ? mesh->buffers[geometry::MESH_BUFFER_INDICES] : 0);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh->index_count), GL_UNSIGNED_SHORT, indices);
}

// Hands one drawn instance to the OBJ capture (a no-op unless `bvtool mesh` is writing a frame).
static void capture_instance(const Mesh *mesh, const VertexArrays &arrays, const geometry::InstanceList &list,
                             uint32_t i) {
    if (!draw_capture_active()) return;
    DrawCaptureMesh m = {arrays.positions.memory,
                         arrays.normals.memory,
                         mesh->texcoord_set_count ? mesh->texcoords[0] : nullptr,
                         mesh->vertex_count,
                         mesh->indices,
                         mesh->index_count};
    draw_capture_instance(m, list.items[i], i + 1);
}

// After the material: a glyph's bitmap on texture unit 0.
static void bind_unit0(uint32_t texture) {
    if (!texture) return;
    gl_state_active_texture(0);
    glBindTexture(GL_TEXTURE_2D, texture);
}

static void draw_fixed(scene::Scene *sc, const MeshDraw &draw, const VertexArrays &arrays, uint32_t t,
                       const DrawView &view, bool use_buffers) {
    Mesh *mesh = draw.mesh;
    Material *material = draw.material;
    const geometry::InstanceList &list = *draw.instances;
    Capabilities caps = view.caps;
    if (!use_buffers) caps.vbo = 0;
    TexcoordSources texcoords = texcoords_of(mesh, !use_buffers);
    gl_state_client_array(GL_VERTEX_ARRAY, 0, true);
    gl_state_client_array(GL_NORMAL_ARRAY, 0, true);
    glVertexPointer(3, GL_FLOAT, 0, array_bind(arrays.positions, mesh));
    glNormalPointer(GL_FLOAT, 0, array_bind(arrays.normals, mesh));
    const PassList *passes = material->passes;
    int pass_count = passes && !passes->single_pass && passes->copies[0] && passes->copies[1] ? 2 : 1;
    for (int pass = 0; pass < pass_count; pass++) {
        const Material *applied = pass_count == 2 ? passes->copies[pass] : material;
        material_apply_fixed(applied, sc, t, view.rotation_y, view.rotation_x, caps, texcoords);
        bind_unit0(draw.unit0_texture);
        gl_state_arrays_commit();
        for (uint32_t i = 0; i < list.count; i++) {
            instance_transform(list.items[i].v, draw.x_shift, draw.face_camera, view);
            if (pass == 0) capture_instance(mesh, arrays, list, i);
            gl_state_load_matrix(maths::matrix_state(), maths::MATRIX_MODELVIEW);
            draw_triangles(mesh, use_buffers);
        }
    }
    gl_state_arrays_release();
}

static void set_matrix_uniform(GLint loc, const float *m) {
    if (loc >= 0) glUniformMatrix4fv(loc, 1, GL_FALSE, m);
}

static void draw_glsl(scene::Scene *sc, const MeshDraw &draw, const VertexArrays &arrays, uint32_t t,
                      const DrawView &view, bool use_buffers) {
    Mesh *mesh = draw.mesh;
    Material *material = draw.material;
    const geometry::InstanceList &list = *draw.instances;
    ShaderProgram *p = material_program(material, sc->materials);
    if (!p || !p->program) return;
    const uint16_t *lines = material->wireframe ? geometry::mesh_line_indices(mesh) : nullptr;
    if (material->wireframe && !lines) return;
    Capabilities caps = view.caps;
    if (!use_buffers) caps.vbo = 0;
    material_apply_glsl(material, sc, t, view.rotation_y, view.rotation_x, caps,
                        texcoords_of(mesh, !use_buffers));
    bind_unit0(draw.unit0_texture);
    if (p->loc_position >= 0) {
        gl_state_attrib_array(static_cast<GLuint>(p->loc_position), true);
        glVertexAttribPointer(static_cast<GLuint>(p->loc_position), 3, GL_FLOAT, GL_FALSE, 0,
                              array_bind(arrays.positions, mesh));
    }
    if (p->loc_normal >= 0) {
        gl_state_attrib_array(static_cast<GLuint>(p->loc_normal), true);
        glVertexAttribPointer(static_cast<GLuint>(p->loc_normal), 3, GL_FLOAT, GL_FALSE, 0,
                              array_bind(arrays.normals, mesh));
    }
    gl_state_arrays_commit();
    maths::MatrixState *s = maths::matrix_state();
    // Instances change only the model matrix and what derives from it.
    set_matrix_uniform(p->loc_viewmatrix, s->m[maths::MATRIX_VIEW]);
    set_matrix_uniform(p->loc_projection, s->m[maths::MATRIX_PROJECTION]);
    for (uint32_t i = 0; i < list.count; i++) {
        instance_transform(list.items[i].v, draw.x_shift, draw.face_camera, view);
        capture_instance(mesh, arrays, list, i);
        set_matrix_uniform(p->loc_modelmatrix, s->m[maths::MATRIX_MODEL]);
        set_matrix_uniform(p->loc_modelview, s->m[maths::MATRIX_MODELVIEW]);
        if (p->loc_normal_matrix >= 0) {
            maths::matrix_make_normal(s);
            glUniformMatrix3fv(p->loc_normal_matrix, 1, GL_FALSE, s->normal);
        }
        if (lines) {
            const void *line_indices = gl_driver_index_array(lines, 2 * size_t(mesh->index_count), 0);
            glDrawElements(GL_LINES, static_cast<GLsizei>(2 * mesh->index_count), GL_UNSIGNED_SHORT,
                           line_indices);
        } else
            draw_triangles(mesh, use_buffers);
    }
    gl_state_arrays_release();
}

// The ripple buffer's positions and normals in GL: two buffers made once and refilled for every
// rippled drawing (making and deleting buffers per item costs far more, above all in WebGL).
static GLuint g_ripple_buffers[2];

static void ripple_upload(const geometry::RippleBuffer *r) {
    if (!g_ripple_buffers[0]) glGenBuffers(2, g_ripple_buffers);
    GLsizeiptr bytes = static_cast<GLsizeiptr>(sizeof(float) * 3 * r->vertex_count);
    gl_state_array_buffer(g_ripple_buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, bytes, r->positions, GL_DYNAMIC_DRAW);
    gl_state_array_buffer(g_ripple_buffers[1]);
    glBufferData(GL_ARRAY_BUFFER, bytes, r->normals, GL_DYNAMIC_DRAW);
}

void draw_ripple_release() {
    geometry::ripple_buffer_release();
}

void mesh_draw_instances(scene::Scene *sc, const MeshDraw &draw, uint32_t t, const DrawView &view) {
    Mesh *mesh = draw.mesh;
    if (!mesh || !draw.material || !draw.instances || mesh->vertex_count == 0 || mesh->index_count == 0 ||
        !mesh->positions || !mesh->normals)
        return;
    if (draw.instances->count == 0) return;
    bool use_buffers = !draw.from_memory && view.caps.vbo;
    VertexArrays arrays = {
        {mesh->positions, use_buffers ? mesh->buffers[geometry::MESH_BUFFER_POSITIONS] : 0},
        {mesh->normals, use_buffers ? mesh->buffers[geometry::MESH_BUFFER_NORMALS] : 0}};
    geometry::RippleBuffer *ripple = draw.ripple;
    if (ripple && ripple->vertex_count == mesh->vertex_count) {
        if (use_buffers) ripple_upload(ripple);
        arrays.positions = {ripple->positions, use_buffers ? g_ripple_buffers[0] : 0};
        arrays.normals = {ripple->normals, use_buffers ? g_ripple_buffers[1] : 0};
    }
    if (view.glsl)
        draw_glsl(sc, draw, arrays, t, view, use_buffers);
    else
        draw_fixed(sc, draw, arrays, t, view, use_buffers);
}

// Item time: the layer time plus the item's offset, to the nearest integer (never below 0; a NaN
// offset gives 0).
static uint32_t item_time(uint32_t t, float offset) {
    return maths::convert_to_u32(std::nearbyint(static_cast<double>(t) + offset));
}

// Frame numbers let a per-frame log line be written once per item and frame.
static uint32_t g_frame_number = 1;

void draw_frame_begin() {
    g_frame_number = g_frame_number == UINT32_MAX ? 1 : g_frame_number + 1;
}

geometry::InstanceList item_instances(scene::Scene *sc, Item *item, Mesh *mesh, uint32_t ti) {
    geometry::Instance placement;
    for (int k = 0; k < 9; k++)
        placement.v[k] =
            functions::dynamic_evaluate(item->placement[k], (item->flags >> k) & 1, sc->functions, ti);
    geometry::ManipulatorSources sources = {sc->functions, sc->models, sc->mesh_effects};
    bool cut = false;
    geometry::InstanceList list = geometry::manipulators_run(item->manipulators, item->manipulator_count,
                                                             placement, mesh, ti, sources, &cut);
    if (cut && item->cut_logged_frame != g_frame_number) {
        item->cut_logged_frame = g_frame_number;
        resources::log_format("Instance list cut at %u instances.\r\n", geometry::kInstanceListCap);
    }
    return list;
}

static void item_draw(scene::Scene *sc, Item *item, uint32_t number, uint32_t t, const DrawView &view) {
    uint32_t ti = item_time(t, item->time_offset);
    // A visibility index that names no function counts as none: always visible.
    functions::Function *visibility = object_at<functions::Function>(sc->functions, item->visibility);
    if (visibility && functions::function_evaluate(visibility, ti) < 1.0) return;
    if (item->type == ITEM_TEXT) {
        text_draw(sc, item, number, ti, view);
        return;
    }
    if (item->type != ITEM_MODEL && item->type != ITEM_MESH_EFFECT) return;
    Material *material = item->material ? object_at<Material>(sc->materials, item->material) : nullptr;
    if (!item->object || !material) return;
    Mesh *mesh = nullptr;
    if (item->type == ITEM_MESH_EFFECT) {
        geometry::MeshEffect *effect = object_at<geometry::MeshEffect>(sc->mesh_effects, item->object);
        if (!effect) return;
        geometry::mesh_effect_update(item->object, sc->mesh_effects, sc->functions, ti);
        mesh = &effect->mesh;
    } else {
        mesh = object_at<Mesh>(sc->models, item->object);
    }
    if (!mesh) return;
    geometry::InstanceList list = item_instances(sc, item, mesh, ti);
    // Mesh effects change every frame and have no buffers: they are drawn from memory.
    MeshDraw draw = {mesh,
                     material,
                     &list,
                     (item->flags & kItemFaceCamera) != 0,
                     0.0f,
                     item->type == ITEM_MESH_EFFECT,
                     geometry::ripple_buffer(),
                     0};
    mesh_draw_instances(sc, draw, ti, view);
    geometry::instance_list_free(&list);
    draw_ripple_release();
}

bool object_draw(scene::Scene *sc, uint32_t index, uint32_t t, const DrawView &view) {
    SceneObject *object = index ? object_at<SceneObject>(sc->objects, index) : nullptr;
    if (!object) return false;
    draw_capture_set_object(index);
    for (uint32_t p = 1; object->items && p <= object->items->count; p++) {
        Item *item = resources::short_at<Item>(object->items, p);
        draw_capture_set_item(p, 0);
        if (item) item_draw(sc, item, p, t, view);
    }
    return true;
}

} // namespace render
