#include "scene/scene_release.h"

#include "geometry/mesh.h"
#include "geometry/effect2d.h"
#include "geometry/mesh_effect.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "resources/object_list.h"
#include "scene/scene.h"
#include "textures/texture_definitions.h"

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

} // namespace scene
