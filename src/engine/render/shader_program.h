// Compiling and linking a shader program record, and looking up what the drawing step binds.
#pragma once

#include "render/material.h"

#include <cstddef>
#include <cstdint>

namespace render {

// What a program receives from the engine, by the name it declares: the generated programs and a
// document's own (enable_glsl) alike. A name the program does not declare is not set. The compile
// step looks the names up from this table, and the document reference is written from it.
enum ProgramInput : uint8_t {
    INPUT_POSITION = 0,
    INPUT_NORMAL,
    INPUT_TEXCOORD_IN, // TexCoordIn1..3
    INPUT_MODELMATRIX,
    INPUT_VIEWMATRIX,
    INPUT_PROJECTION,
    INPUT_MODELVIEW,
    INPUT_NORMAL_MATRIX,
    INPUT_TEXTURE_MATRIX,
    INPUT_LIGHT_POSITION, // LightPosition1..2
    INPUT_UNIFORM,        // u1..u24
    INPUT_SAMPLER,        // Texture0..2
    kProgramInputCount
};
enum ProgramInputKind : uint8_t { PROGRAM_ATTRIBUTE = 0, PROGRAM_UNIFORM };

struct ProgramInputDescriptor {
    const char *name;     // the GLSL name, or the stem of numbered names
    uint8_t first, count; // numbered names: stem + first .. stem + first + count - 1; count 0: the name alone
    ProgramInputKind kind;
    const char *glsl_type; // as the program declares it
    const char *meaning;
    const char *when; // when the engine sets it
};
extern const ProgramInputDescriptor kProgramInputs[kProgramInputCount];

// Writes the name of `input` (number: first..first + count - 1 for numbered names; ignored
// otherwise) into out, at most size bytes with the zero.
void program_input_name(ProgramInput input, int number, char *out, size_t size);

// The compile step: compiles both texts (creating the shaders and program on first use, detaching
// on later ones), writes "VS:" + the vertex log + "\nFS:" + the fragment log (at most 249
// characters each) into the record's info log, links, makes the program current and looks up
// every location (-1 where the program lacks a name). Sampler "Texture"(i-1) is set to unit i-1
// for each set texture i. Returns whether both shaders compiled and the program linked; on failure
// the info log is written to the log, one line per line.
bool shader_program_compile(ShaderProgram *p, const Material *m);

} // namespace render
