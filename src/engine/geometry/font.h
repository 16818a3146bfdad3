// Fonts: 87 glyphs, each a model with its own material, an optional bitmap and spacing values.
#pragma once

#include <cstdint>

namespace geometry {

constexpr int kFontGlyphCount = 87;

struct Font {
    uint16_t model[kFontGlyphCount];
    uint16_t material[kFontGlyphCount];
    uint32_t bitmap[kFontGlyphCount];
    float offset[kFontGlyphCount];
    float width[kFontGlyphCount];
};

} // namespace geometry
