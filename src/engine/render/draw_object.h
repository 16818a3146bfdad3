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

// Draws a mesh once per instance with a material (both render paths). x_shift is added to every
// instance's x translation (the pen position of a glyph). from_memory draws without buffer objects.
// ripple (or null): the rippled positions and normals that replace the mesh's own.
void mesh_draw_instances(scene::Scene *sc, geometry::Mesh *mesh, Material *material, const geometry::InstanceList &list,
                         uint32_t t, const DrawView &view, bool face_camera, float x_shift, bool from_memory,
                         geometry::RippleBuffer *ripple);

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
