// The sample demo's shapes, made from formulas.
#pragma once

#include "asset_mesh.h"

namespace assets {

// Smooth value noise in 0..1 over the plane, the same for every run.
float noise2(float x, float y, uint32_t seed);
// The same, repeating every `period` units in x and y.
float noise2_periodic(float x, float y, int period, uint32_t seed);
// A few octaves of it.
float fractal2(float x, float y, uint32_t seed, int octaves);

// The valley floor's height at (x, z): the hills of the terrain model.
float terrain_height(float x, float z);

MeshBuilder shape_quad(float x0, float y0, float x1, float y1);
MeshBuilder shape_cube(float half);
MeshBuilder shape_sphere(int slices, int stacks);
MeshBuilder shape_torus(float major, float minor, int around, int tube);
MeshBuilder shape_crystal();
MeshBuilder shape_ring(float inner, float outer, int segments);
// The valley: a height field over x -20..20, z -44..4, two texture sets (detail tiles, whole map).
MeshBuilder shape_terrain();
// The direction (not normalised) that a cube map gives texel (s, t) of a face, s and t in -1..1.
void cube_face_direction(int face, float s, float t, float d[3]);

// One face of the sky box (0..5: +X, -X, +Y, -Y, +Z, -Z): a square on the unit cube whose texture
// coordinates follow the cube map layout of the face images, facing inward.
MeshBuilder shape_sky_face(int face);
// Points on the valley's slopes for trees: vertices only, no triangles.
MeshBuilder shape_tree_points(int count);

} // namespace assets
