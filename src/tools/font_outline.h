// Glyph outlines from a font file through FreeType: the face and its metrics, each glyph's outline
// flattened into closed polygons, and the filled area triangulated by GLU's tessellator. Everything
// comes out in cap heights (the font's cap height is 1), ready for font_mesh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// Curves are cut into chords until no chord strays further than this from its curve: 1/500 of the
// cap height, under a pixel for letters up to 500 pixels tall.
constexpr double kFontFlatness = 0.002;
// Where two pieces of an outline meet at less than this turn (degrees), the outline runs on
// smoothly there: an extruded wall is shaded round, not creased.
constexpr double kFontSmoothTurn = 20.0;

// A FreeType library and one face, opened by font_file_open.
struct FontFile;

struct FontInfo {
    std::string family, style;
    uint32_t units_per_em;
    double cap_height_units;       // the font's cap height in its own units
    const char *cap_height_source; // "OS/2 sCapHeight", "the height of H" or "0.7 em (estimated)"
    std::string format;            // FreeType's name of the outline format: "TrueType", "CFF", ...
};

// One point of a flattened contour. smooth: the outline runs on without a corner here, in the
// unit direction (tx, ty); at a corner both are 0.
struct OutlinePoint {
    double x, y;
    bool smooth;
    double tx, ty;
};

// A glyph in cap heights: x from the left side bearing (where the glyph is drawn), y from the
// baseline.
struct GlyphShape {
    std::vector<std::vector<OutlinePoint>> contours; // closed, no point repeated in a row
    bool fill_right;     // the filled side lies right of a contour's direction (TrueType's rule)
    double advance;      // pen advance
    double left_bearing; // from the pen position to the left side bearing
    // The filled area as triangles, counter-clockwise seen from +z. cap_points holds x, y pairs:
    // every contour point in contour order, then any point the tessellator added where contours
    // cross; cap_triangles indexes them.
    std::vector<double> cap_points;
    std::vector<uint32_t> cap_triangles;
};

// Opens a font file (TrueType, OpenType with either outline kind, anything FreeType reads as
// scalable outlines) and selects its Unicode character map. Null with a one-line reason in error
// when the file is missing, malformed, without outlines or without a Unicode map.
FontFile *font_file_open(const char *path, std::string *error);
void font_file_close(FontFile *font);
const FontInfo &font_file_info(const FontFile *font);

// The font's glyph for a Unicode character; 0 when it has none.
uint32_t font_file_glyph_index(const FontFile *font, uint32_t codepoint);

// Loads glyph glyph_index unhinted in font units, flattens its outline to kFontFlatness and
// triangulates it. False with a reason in error when FreeType cannot load it or the tessellator
// fails; a glyph without contours (a space) gives an empty shape and true.
bool font_file_glyph_shape(FontFile *font, uint32_t glyph_index, GlyphShape *out, std::string *error);

} // namespace tools
