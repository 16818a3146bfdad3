// Drawing a text item: each glyph of its string is an ordinary model draw with the glyph's own
// material, moved along x by the pen.
#pragma once

#include "render/draw_object.h"

#include <cstdint>

namespace render {

struct Item;

// Draws the item's text with its font at item time ti (nothing without a font or text);
// item_number is the item's place in its object, for the geometry capture.
void text_draw(scene::Scene *sc, Item *item, uint32_t item_number, uint32_t ti, const DrawView &view);

} // namespace render
