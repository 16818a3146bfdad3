// A glyph's model from its shape (font_outline): the filled area as one flat face towards the
// default camera, or extruded into a solid with front and back faces and side walls.
#pragma once

#include "tools/font_outline.h"

#include <cstdint>
#include <vector>

namespace tools {

// Vertex arrays as a model file holds them (3 + 2 + 3 floats a vertex) and triangles.
struct GlyphMesh {
    std::vector<float> positions, texcoords, normals;
    std::vector<uint32_t> indices; // three a triangle, counter-clockwise seen from outside
};

// depth 0: the flat face at z = 0 with normal +z. depth > 0 (cap heights): the front face at
// z = depth / 2 (+z), the back face at -depth / 2 (-z) and walls between them along every contour,
// their normals pointing out of the glyph: one vertex pair per smooth contour point, shared by the
// walls on both sides of it; at a corner each wall has its own, so corners stay sharp. Texture
// coordinates: x and y on the faces (one unit of texture a cap height); along a wall, the distance
// travelled along its contour and z.
void glyph_mesh_build(const GlyphShape &shape, double depth, GlyphMesh *out);

// The packed model file of a mesh, in a new heap block (std::free); null when the mesh has more
// than 65535 vertices.
uint8_t *glyph_mesh_pack(const GlyphMesh &mesh, uint32_t *out_size);

} // namespace tools
