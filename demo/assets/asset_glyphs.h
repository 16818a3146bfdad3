// The sample demo's 3D font: the player's built-in pixel font, accented letters added, each ink
// pixel extruded into a block (faces between two blocks left out).
#pragma once

#include "asset_mesh.h"

#include <string>

namespace assets {

constexpr int kGlyphCount = 87;

// The glyph of font glyph number g (0..86) as a mesh in pixel units (baseline at y = 0, left edge at
// x = 0, front face at z = 0.5 facing +z); an empty mesh for the space. *advance gets the pen
// advance in pixels (width and one pixel of spacing).
MeshBuilder glyph_mesh(int g, float *advance);

// The character a glyph number stands for, as UTF-8 (for comments and the demo's text).
const char *glyph_text(int g);

} // namespace assets
