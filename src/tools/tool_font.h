// What bvtool font writes besides the models: the glyph records as XML, and the example demo.
#pragma once

#include "geometry/font.h"

#include <filesystem>
#include <string>

namespace tools {

// One glyph of the engine's font as made from the font file.
struct FontGlyph {
    bool in_font = false;                   // the font has the character
    bool has_model = false;                 // a model file was written
    std::string model_name;                 // the model record's name ("glyph_a")
    std::string file_name;                  // its file in the output folder
    double offset = 0, width = 0;           // text units (cap heights)
    float ink_min[2] = {}, ink_max[2] = {}; // the model's extent in x and y, when it has one
};

struct FontGlyphs {
    std::string font_name; // the font record's name
    double depth = 0;      // 0 for flat glyphs
    FontGlyph glyph[geometry::kFontGlyphCount];
};

// Text for inside an XML comment: "--" cannot stand there. (Attribute values are written as they
// are: the player's documents decode no entities there.)
std::string comment_text(const std::string &s);
// One <model> record per glyph with a model, each line starting with indent.
std::string model_records_xml(const FontGlyphs &glyphs, const char *indent);
// The <font> record: 87 glyphs naming their models by @name and material (verbatim).
std::string font_record_xml(const FontGlyphs &glyphs, const std::string &material, const char *indent);

// Why a string cannot be the demo's text ("" when it can): empty, longer than a text item holds,
// with a character the glyph map lacks, or with "&", which a document cannot carry to the player.
std::string demo_text_problem(const char *text);
// Writes demo.xml, loading.xml and the loading bar's model into folder: the text in the font,
// centred and lit. material: the glyphs' material as given (@name names the demo's own material;
// a number gives it the name "text"). False with a reason in error.
bool demo_write(const std::filesystem::path &folder, const FontGlyphs &glyphs, const std::string &material,
                const char *text, std::string *error);

} // namespace tools
