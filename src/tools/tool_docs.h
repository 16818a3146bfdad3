// The parts of bvtool docs shared between its files: the reference is written in pieces, each from
// the engine's own tables.
#pragma once

#include <string>

namespace tools {

// A table cell: pipes escaped so that a meaning cannot split the row.
std::string docs_cell(const std::string &text);

// The sections on how the engine takes what a document gives: the unit of every time, the axes,
// rotations and camera, and the names a document's own GLSL program receives. Appended to out.
// False, with *problem set, when a row names an attribute that no reader reads (the reference
// would then describe something the player does not do).
bool docs_conventions(std::string &out, std::string *problem);

// The second worked example: music, a line of text in a font from bvtool font, a pulse on the beat,
// and their timeline and curve as pictures (docs/example_timeline.png, docs/example_pulse.png).
const char *docs_worked_example_beat();

} // namespace tools
