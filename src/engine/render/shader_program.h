// Compiling and linking a shader program record, and looking up what the drawing step binds.
#pragma once

#include "render/material.h"

namespace render {

// The compile step: compiles both texts (creating the shaders and program on first use, detaching
// on later ones), writes "VS:" + the vertex log + "\nFS:" + the fragment log (at most 249
// characters each) into the record's info log, links, makes the program current and looks up
// every location (-1 where the program lacks a name). Sampler "Texture"(i-1) is set to unit i-1
// for each set texture i. Returns whether both shaders compiled and the program linked; on failure
// the info log is written to the log, one line per line.
bool shader_program_compile(ShaderProgram *p, const Material *m);

} // namespace render
