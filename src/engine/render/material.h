// Lights, texture slots and materials: how an object's mesh is drawn.
#pragma once

#include <cstdint>

namespace render {

// Nine dynamic-value slots: ambient r, g, b; diffuse r, g, b; position x, y, z. Bit i of the mask
// is the dynamic flag of slot i.
enum LightSlot { LIGHT_AMBIENT_R = 0, LIGHT_DIFFUSE_R = 3, LIGHT_POSITION_X = 6 };
struct Light {
    uint32_t slots[9];
    uint16_t dynamic_mask;
};

enum TextureKind : uint8_t { TEXTURE_PROCEDURAL = 0, TEXTURE_BITMAP = 1, TEXTURE_EFFECT2D = 2, TEXTURE_CUBE = 3 };

struct TextureSlot {
    uint8_t kind;
    int32_t index; // into that kind's list
};

constexpr int kUniformCount = 24;

struct ShaderProgram {
    char *vertex_text;
    uint32_t vertex_length;
    char *fragment_text;
    uint32_t fragment_length;
    char info_log[512];
    uint32_t vertex_shader, fragment_shader, program;
    uint32_t reference; // material whose program is shared, 0 = own program
    int32_t loc_modelmatrix, loc_viewmatrix, loc_projection, loc_modelview;
    int32_t loc_position;
    int32_t loc_texcoord_in[3];
    int32_t loc_normal_matrix, loc_texture_matrix, loc_normal;
    uint32_t uniform_sources[kUniformCount]; // function index per "u1".."u24"
    int32_t loc_uniforms[kUniformCount];
    int32_t loc_light_position[2];
};

struct Material;

struct PassList {
    uint8_t single_pass;
    uint8_t extra_passes; // 0 or 2
    Material *copies[2];
};

enum MaterialDynamic { DYN_RED = 0, DYN_GREEN, DYN_BLUE, DYN_ALPHA, DYN_LINEWIDTH, DYN_FOGSTART, DYN_FOGEND };

struct Material {
    uint8_t backface_culling;
    uint8_t depth_test;
    uint8_t normalization;
    uint8_t wireframe;
    uint8_t blend_function;
    uint8_t fogtype;
    uint8_t dynamic[7]; // red, green, blue, alpha, linewidth, fogstart, fogend
    uint32_t values[7]; // the same order
    int32_t light[2];
    int32_t texture[3]; // texture slot indices
    int32_t fogcolor;
    uint8_t wrapmode[3];
    uint8_t cgenmode[3];
    uint8_t rotation[3];
    uint8_t function[3];
    PassList *passes;
    ShaderProgram *generated;
    ShaderProgram custom;
    uint8_t enable_glsl;
};

} // namespace render
