// The scene: everything built from one scene document — twelve object lists, the 24 layer slots of
// the timeline and the music offset.
//
// The engine's folders stack, each including only what lies below it: maths; resources; functions,
// textures and music; geometry; render; scene. This aggregate is the one exception: it holds
// records of every floor, render's layers among them, so it cannot sit below render, while render
// must walk it to draw a frame. Render's includes of it say so where they stand.
#pragma once

#include "resources/object_list.h"

#include "render/layer.h"

#include <cstdint>

namespace scene {

struct LayerSlot {
    resources::ShortList *layers;               // render::Layer records
    int16_t buckets[render::kLayerBucketCount]; // first layer to search from, per second
    uint32_t end_time;
};

struct Scene {
    char music_name[32];   // "no_music"
    char loading_name[32]; // "no_loading_screen"
    uint32_t music_offset; // ms: demo time at which the music starts
    LayerSlot slots[render::kLayerSlotCount];
    resources::ObjectList *objects;       // render::SceneObject
    resources::ObjectList *materials;     // render::Material
    resources::ObjectList *lights;        // render::Light
    resources::ObjectList *textures;      // textures::ProceduralTexture
    resources::ObjectList *functions;     // functions::Function
    resources::ObjectList *effects2d;     // geometry::Effect2D
    resources::ObjectList *models;        // geometry::Mesh
    resources::ObjectList *bitmaps;       // textures::Bitmap
    resources::ObjectList *mesh_effects;  // geometry::MeshEffect
    resources::ObjectList *texture_slots; // render::TextureSlot
    resources::ObjectList *cube_maps;     // textures::CubeMap
    resources::ObjectList *fonts;         // geometry::Font
};

// A new empty scene, or null when memory runs out.
Scene *scene_create();

// Frees the scene, every record and what the records own. GL objects are left alive (they live
// until the process ends). Accepts null.
void scene_release(Scene *sc);

} // namespace scene
