#include "scene/scene_release.h"

#include "geometry/mesh.h"
#include "geometry/effect2d.h"
#include "geometry/mesh_effect.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "resources/object_list.h"
#include "scene/scene.h"
#include "maths/shared_random.h"
#include "textures/texture_definitions.h"

#include <GL/glew.h>

namespace scene {

using resources::object_at;

// Calls release on every record of a list.
template <typename T, typename Release> static void release_each(resources::ObjectList *list, Release release) {
    if (!list) return;
    for (uint32_t p = 1; p <= list->count; p++) {
        T *record = object_at<T>(list, p);
        if (record) release(record);
    }
}

void scene_release_records(Scene *sc) {
    release_each<geometry::Mesh>(sc->models, geometry::mesh_release);
    release_each<geometry::MeshEffect>(sc->mesh_effects, geometry::mesh_effect_release);
    release_each<geometry::Effect2D>(sc->effects2d, geometry::effect2d_release);
    release_each<textures::ProceduralTexture>(sc->textures, textures::procedural_texture_release);
    release_each<textures::Bitmap>(sc->bitmaps, textures::bitmap_release);
    release_each<textures::CubeMap>(sc->cube_maps, textures::cube_map_release);
    release_each<render::Material>(sc->materials, render::material_release);
    release_each<render::SceneObject>(sc->objects,
                                      [](render::SceneObject *o) { resources::short_list_free(o->items); });
}

static void delete_texture(uint32_t *name) {
    if (*name) glDeleteTextures(1, name);
    *name = 0;
}

static void delete_renderbuffer(uint32_t *name) {
    // A name exists only where glGenRenderbuffersEXT made it, so the entry point is there.
    if (*name) glDeleteRenderbuffersEXT(1, name);
    *name = 0;
}

static void delete_program(render::ShaderProgram *p) {
    if (!p || p->reference) return;
    if (p->program) glDeleteProgram(p->program);
    if (p->vertex_shader) glDeleteShader(p->vertex_shader);
    if (p->fragment_shader) glDeleteShader(p->fragment_shader);
    p->program = p->vertex_shader = p->fragment_shader = 0;
}

void scene_delete_gl_objects(Scene *sc) {
    if (!sc) return;
    release_each<textures::ProceduralTexture>(
        sc->textures, [](textures::ProceduralTexture *t) { delete_texture(&t->gl_texture); });
    release_each<textures::Bitmap>(sc->bitmaps, [](textures::Bitmap *b) {
        delete_texture(&b->gl_texture);
        delete_renderbuffer(&b->depth_renderbuffer);
    });
    release_each<textures::CubeMap>(sc->cube_maps, [](textures::CubeMap *c) {
        delete_texture(&c->gl_texture);
        delete_renderbuffer(&c->depth_renderbuffer);
    });
    release_each<geometry::Effect2D>(sc->effects2d, [](geometry::Effect2D *e) {
        delete_texture(&e->texture);
        if (e->pixel_buffer) glDeleteBuffers(1, &e->pixel_buffer);
        e->pixel_buffer = 0;
    });
    release_each<geometry::Mesh>(sc->models, [](geometry::Mesh *m) {
        for (uint32_t &b : m->buffers) {
            if (b) glDeleteBuffers(1, &b);
            b = 0;
        }
    });
    release_each<render::Material>(sc->materials, [](render::Material *m) {
        delete_program(m->generated);
        delete_program(&m->custom);
    });
}

void scene_reset_effects(Scene *sc) {
    if (!sc) return;
    maths::shared_random_seed(1);
    release_each<geometry::Effect2D>(sc->effects2d, geometry::effect2d_reset);
    release_each<geometry::MeshEffect>(sc->mesh_effects, geometry::mesh_effect_reset);
}

} // namespace scene
