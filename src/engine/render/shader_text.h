// GLSL generation: the vertex and fragment texts of a material, built from fixed snippets chosen
// by its settings. Static values are written as numbers ("%f"); dynamic ones become float uniforms
// "u1".."u24", numbered by one counter across both shaders.
#pragma once

#include "render/material.h"

#include <cstdint>

namespace render {

// What generation needs to know about a material's lights and texture slots.
struct ShaderInputs {
    bool light[2];               // L1, L2 (L2 only counts with L1)
    uint8_t light_dynamic[2][6]; // ambient r, g, b, diffuse r, g, b of each light
    uint32_t light_slot[2][6];
    bool fog_light;         // fogcolor names a light
    uint8_t fog_dynamic[3]; // its diffuse r, g, b
    uint32_t fog_slot[3];
    bool texture[3];         // Ti: texture i is set
    uint8_t texture_kind[3]; // Ki
};

// Gathers the inputs from the scene's lists (an index that names no record counts as unset).
ShaderInputs shader_inputs_of(const Material *m, const resources::ObjectList *lights,
                              const resources::ObjectList *texture_slots);

// Builds both texts into the record (freeing earlier ones) and fills its uniform source table.
void shader_generate(const Material *m, const ShaderInputs &in, ShaderProgram *out);

// The same shader in GLSL ES 3.00, for WebGL 2: "#version 300 es" and precision statements first
// (after the text's own #version line, which goes); "attribute" becomes "in", "varying" "out" in a
// vertex and "in" in a fragment shader, gl_FragColor a declared output, texture2D and textureCube
// "texture". Words are replaced whole, never inside other names. Returns a malloc'd text (free it)
// and its length, or null when memory runs out.
char *shader_text_to_es3(const char *text, uint32_t length, bool fragment, uint32_t *out_length);

} // namespace render
