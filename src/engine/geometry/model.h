// Models: static meshes stored in the package as packed model files.
//
// Inflated model file (little-endian): u16 N, u8 T (texture coordinate sets, 1..3), u8 reserved,
// N x 3 float positions, T sets of N x 2 float coordinates, N x 3 float normals, then u16 triangle
// indices to the end.
#pragma once

#include "geometry/mesh.h"
#include "resources/object_list.h"

#include <cstdint>
#include <cstdio>

namespace resources {
struct XmlNode;
}

namespace geometry {

// Points the mesh's arrays into an inflated model file of length bytes, which the mesh then owns.
// Triangles naming a vertex at or above N are dropped (logged under name) and a trailing partial
// triangle is ignored. Returns false, leaving the mesh empty and the block untouched, when the
// header is bad (T outside 1..3) or the arrays need more bytes than there are.
bool mesh_from_model_file(Mesh *mesh, uint8_t *block, uint32_t length, const char *name);

// Reads one element of the model section: adds a record (kept even when the model cannot be
// loaded, so later indices stay right), loads the entry named by "filename" and, when
// buffer_objects is set, uploads its arrays into GL buffers. Problems are logged with the entry
// name and leave the model empty. Returns the slot, 0 when the list is full.
uint32_t model_read(resources::ObjectList *models, const resources::XmlNode *element, FILE *package,
                    bool buffer_objects);

// Creates one GL buffer per array of the mesh (GL_STATIC_DRAW).
void mesh_upload_buffers(Mesh *mesh);

} // namespace geometry
