#include "scene/scene.h"

#include "functions/function.h"
#include "geometry/effect2d.h"
#include "geometry/font.h"
#include "geometry/mesh.h"
#include "geometry/mesh_effect.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "resources/object_list.h"
#include "scene/scene_release.h"
#include "textures/texture_definitions.h"

#include <cstdlib>
#include <cstring>

namespace scene {

using resources::ObjectList;

Scene *scene_create() {
    Scene *sc = static_cast<Scene *>(std::calloc(1, sizeof(Scene)));
    if (!sc) return nullptr;
    std::strcpy(sc->music_name, "no_music");
    std::strcpy(sc->loading_name, "no_loading_screen");
    for (LayerSlot &slot : sc->slots) slot.layers = resources::short_list_create(sizeof(render::Layer));
    sc->objects = resources::object_list_create(sizeof(render::SceneObject));
    sc->materials = resources::object_list_create(sizeof(render::Material));
    sc->lights = resources::object_list_create(sizeof(render::Light));
    sc->textures = resources::object_list_create(sizeof(textures::ProceduralTexture));
    sc->functions = resources::object_list_create(sizeof(functions::Function));
    sc->effects2d = resources::object_list_create(sizeof(geometry::Effect2D));
    sc->models = resources::object_list_create(sizeof(geometry::Mesh));
    sc->bitmaps = resources::object_list_create(sizeof(textures::Bitmap));
    sc->mesh_effects = resources::object_list_create(sizeof(geometry::MeshEffect));
    sc->texture_slots = resources::object_list_create(sizeof(render::TextureSlot));
    sc->cube_maps = resources::object_list_create(sizeof(textures::CubeMap));
    sc->fonts = resources::object_list_create(sizeof(geometry::Font));
    ObjectList *lists[] = {sc->objects,       sc->materials, sc->lights,        sc->textures,
                           sc->functions,     sc->effects2d, sc->models,        sc->bitmaps,
                           sc->mesh_effects,  sc->texture_slots, sc->cube_maps, sc->fonts};
    bool ok = true;
    for (ObjectList *list : lists) ok = ok && list;
    for (LayerSlot &slot : sc->slots) ok = ok && slot.layers;
    if (!ok) {
        scene_release(sc);
        return nullptr;
    }
    return sc;
}

void scene_release(Scene *sc) {
    if (!sc) return;
    for (LayerSlot &slot : sc->slots) resources::short_list_free(slot.layers);
    scene_release_records(sc);
    ObjectList *lists[] = {sc->objects,       sc->materials, sc->lights,        sc->textures,
                           sc->functions,     sc->effects2d, sc->models,        sc->bitmaps,
                           sc->mesh_effects,  sc->texture_slots, sc->cube_maps, sc->fonts};
    for (ObjectList *list : lists) resources::object_list_free(list);
    std::free(sc);
}

} // namespace scene
