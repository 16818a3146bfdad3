// Drawing a scene object: per item, its time, visibility, instances, material and draw calls.
#pragma once

#include "render/capabilities.h"

#include <cstdint>

namespace geometry {
struct Mesh;
struct InstanceList;
struct RippleBuffer;
} // namespace geometry
namespace scene {
struct Scene;
}

namespace render {

struct Material;

// The drawing layer's camera rotation (degrees) and the renderer's switches.
struct DrawView {
    float rotation_y, rotation_z, rotation_x;
    Capabilities caps;
    int8_t glsl;
};

// Draws object `index` of the scene at time t. Returns false when the index names no object.
bool object_draw(scene::Scene *sc, uint32_t index, uint32_t t, const DrawView &view);

// One drawing of a mesh: once per instance of the list, with a material.
struct MeshDraw {
    geometry::Mesh *mesh;
    Material *material;
    const geometry::InstanceList *instances;
    bool face_camera;
    float x_shift;                  // added to every instance's x translation (a glyph's pen)
    bool from_memory;               // no buffer objects (mesh effects)
    geometry::RippleBuffer *ripple; // rippled positions and normals that replace the mesh's, or null
    uint32_t unit0_texture;         // bound on texture unit 0 after the material (a glyph's bitmap), 0 for none
};

// Draws it in the render path the view asks for.
void mesh_draw_instances(scene::Scene *sc, const MeshDraw &draw, uint32_t t, const DrawView &view);

struct Item;

// The instance list of one drawing of an item at item time ti: its placement run through its
// manipulators (a cut list is logged once per item and frame). Free with instance_list_free.
geometry::InstanceList item_instances(scene::Scene *sc, Item *item, geometry::Mesh *mesh, uint32_t ti);

// Deletes the ripple buffer's GL buffers, if any, and frees it: after every item or glyph.
void draw_ripple_release();

// Starts a new frame number (render at time calls it once per frame).
void draw_frame_begin();

// The model matrix of one instance in the engine's matrix state (translate, face-camera turn,
// rotate about X, Y, Z, scale), and the modelview made from it.
void instance_transform(const float instance[9], float x_shift, bool face_camera, const DrawView &view);

} // namespace render
