// Fonts and text layout: 87 glyphs, each a model with its own material, an optional bitmap and two
// spacing values; a string is mapped to glyph numbers (accented letters arrive as two-byte UTF-8
// sequences) and laid out along x with a pen.
#pragma once

#include "resources/object_list.h"

#include <cstdint>

namespace resources {
struct XmlNode;
}

namespace geometry {

constexpr int kFontGlyphCount = 87;
constexpr uint8_t kGlyphLeadMarker = 100; // the first byte of a two-byte sequence
constexpr uint8_t kGlyphNone = 101;       // no glyph: the byte is skipped
constexpr int kTextMaxBytes = 31;         // a text item holds 31 bytes and its terminating zero

struct Font {
    uint16_t model[kFontGlyphCount];    // model index, 0 for a glyph without geometry
    uint16_t material[kFontGlyphCount]; // material index the glyph is drawn with
    uint32_t bitmap[kFontGlyphCount];   // bitmap bound on texture unit 0, 0 for none
    float offset[kFontGlyphCount];      // moves the glyph left of the pen
    float width[kFontGlyphCount];       // pen advance
};

// Reads one font element: glyph g from the g-th child ("model", "material", "bitmap", "offset",
// "width"). Missing glyphs stay empty (model 0, width 0); children past the 87th are ignored.
// Returns the slot, 0 when the list is full.
uint32_t font_read(resources::ObjectList *fonts, const resources::XmlNode *element);

// The glyph number of one byte, kGlyphLeadMarker for 0xC3 and 0xC5, or kGlyphNone.
uint8_t font_glyph_of_byte(uint8_t b);
// The glyph number of the byte after a lead byte (whichever lead it was), or kGlyphNone.
uint8_t font_glyph_of_second_byte(uint8_t b);

// One glyph to draw: its number, the position of its (first) byte from 1, and the pen x.
struct GlyphPlacement {
    uint8_t glyph;
    uint8_t byte_position;
    float pen_x;
};

// Lays out a zero-terminated string (at most kTextMaxBytes are read) with the pen rules: the glyphs
// that are drawn, in order, into out; returns their count. models and materials are the lists the
// glyph indices name: an index that names no record counts as 0 (a model) or as missing (a material).
uint32_t font_layout(const Font *font, const char *text, const resources::ObjectList *models,
                     const resources::ObjectList *materials, GlyphPlacement out[kTextMaxBytes]);

// Copies text into a text item's field of kTextMaxBytes + 1 bytes, cutting longer strings; a cut
// that would split a multi-byte UTF-8 sequence drops the whole sequence.
void font_copy_text(char out[kTextMaxBytes + 1], const char *text);

} // namespace geometry
