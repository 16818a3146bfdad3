// Capturing what a frame draws as Wavefront OBJ text: one group per drawn instance, its vertices
// moved by the instance's model matrix. `bvtool mesh` turns it on for the frame it writes; while
// it is off every call returns at once.
#pragma once

#include "geometry/manipulator.h"

#include <cstdint>
#include <cstdio>

namespace render {

// Where the current drawing comes from: the layer slot (from 0), the layer within its slot, the
// object id, the item and, for text, the glyph's byte position (from 1; 0 for other items).
struct DrawCaptureTag {
    uint32_t slot, layer, object, item, glyph;
};

// What one drawing reads: the positions and normals as drawn, texture set 0 (or null) and the
// triangles.
struct DrawCaptureMesh {
    const float *positions;
    const float *normals;
    const float *texcoords;
    uint32_t vertex_count;
    const uint16_t *indices;
    uint32_t index_count;
};

// Starts writing groups to out (not owned) after a header line; counters start at 1.
void draw_capture_begin(FILE *out, const char *header);
void draw_capture_end();
bool draw_capture_active();

// The part of the tag that the caller knows; the others keep their values.
void draw_capture_set_layer(uint32_t slot, uint32_t layer);
void draw_capture_set_object(uint32_t object);
void draw_capture_set_item(uint32_t item, uint32_t glyph);

// Writes one drawn instance (number from 1) with the engine's current model matrix: positions
// transformed by it, normals by the inverse transpose of its upper 3 x 3 and normalised.
void draw_capture_instance(const DrawCaptureMesh &mesh, const geometry::Instance &instance, uint32_t number);

// Text of one group, written to out (for tests of the arithmetic without a frame). v, vt and vn
// are the 1-based numbers of the group's first vertex, coordinate and normal.
void draw_capture_write_group(FILE *out, const DrawCaptureTag &tag, const DrawCaptureMesh &mesh,
                              const geometry::Instance &instance, uint32_t number, const float model[16],
                              uint32_t v, uint32_t vt, uint32_t vn);

} // namespace render
