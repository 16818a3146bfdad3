// Lights, texture slots and materials: how an object's mesh is drawn.
#pragma once

#include "resources/object_list.h"

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
constexpr int kTextureKindCount = 4;
// What a texture slot's kind names (any kind above 3 is read as a cube map).
inline constexpr const char *kTextureKindNames[] = {"procedural texture", "bitmap", "2D effect", "cube map"};
static_assert(sizeof(kTextureKindNames) / sizeof(kTextureKindNames[0]) == kTextureKindCount, "one per kind");

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

// The children a material element reads, matched by exact name; a child of any other name is
// skipped. The seven dynamic values, the two lights and the three textures stand in the order of
// their fields.
enum MaterialChild : uint8_t {
    MATERIAL_BACKFACE_CULLING = 0,
    MATERIAL_DEPTH_TEST,
    MATERIAL_NORMALIZATION,
    MATERIAL_WIREFRAME,
    MATERIAL_BLEND_FUNCTION,
    MATERIAL_FOGTYPE,
    MATERIAL_ENABLE_GLSL,
    MATERIAL_RED, // then green, blue, alpha, linewidth, fogstart, fogend
    MATERIAL_LIGHT1 = MATERIAL_RED + 7,
    MATERIAL_LIGHT2,
    MATERIAL_FOGCOLOR,
    MATERIAL_TEXTURE1, // then texture2, texture3
    MATERIAL_GLSL_UNIFORMS = MATERIAL_TEXTURE1 + 3,
    MATERIAL_VERTEX_SHADER,
    MATERIAL_FRAGMENT_SHADER,
    kMaterialChildCount
};
inline constexpr const char *kMaterialChildNames[] = {
    "backface_culling", "depth_test", "normalization", "wireframe",     "blend_function",  "fogtype",
    "enable_glsl",      "red",        "green",         "blue",          "alpha",           "linewidth",
    "fogstart",         "fogend",     "light1",        "light2",        "fogcolor",        "texture1",
    "texture2",         "texture3",   "glsl_uniforms", "vertex_shader", "fragment_shader",
};
static_assert(sizeof(kMaterialChildNames) / sizeof(kMaterialChildNames[0]) == kMaterialChildCount,
              "one name per material child");
constexpr int kBlendFunctionCount = 5; // blend_function 0..4; others leave blending as it was
constexpr int kUnit0FunctionCount = 4; // function of texture1: 0..3
constexpr int kUnit1FunctionCount = 6; // function of texture2: 0..5 (others do not compile in GLSL)
constexpr int kCgenModeCount = 3;      // 0 mesh coordinates, 1 sphere map, 2 reflection map

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

namespace resources {
struct XmlNode;
}
namespace scene {
struct Scene;
}

namespace render {

struct Capabilities;

// The row of a material child by its name, or -1 for a name the material does not read.
int material_child_of(const resources::XmlNode *child);

// Lights (section 5): nine children read in order; "type" equal to "dynamic" makes a slot dynamic.
uint32_t light_read(resources::ObjectList *lights, const resources::XmlNode *element);
// Slot i of the light at time t; a light that does not exist gives 0.
float light_value(const Light *light, int slot, const resources::ObjectList *functions, uint32_t t);

// Texture slots (section 10): "type" (kind) and "id" (index).
uint32_t texture_slot_read(resources::ObjectList *slots, const resources::XmlNode *element);

// Materials (section 11): reads the children, then prepares the material (GLSL program or pass
// list). glsl is the GLSL switch; caps decides the fixed-function pass split.
uint32_t material_read(scene::Scene *sc, const resources::XmlNode *element, int8_t glsl,
                       const Capabilities &caps);

// The fixed-function pass list: two passes when texture 3 is set and the hardware has fewer than
// three units or neither combiner extension; otherwise one.
void material_prepare_passes(Material *m, const Capabilities &caps);

// The program a material draws with: its custom program, the referenced material's generated one,
// or its own generated one. Null when there is none.
ShaderProgram *material_program(Material *m, const resources::ObjectList *materials);
// The uniform source table the material's uniforms come from (always the material's own).
const uint32_t *material_uniform_sources(const Material *m);

// Frees what the material owns (program records and texts, pass copies). GL objects stay.
void material_release(Material *m);

// Where each texture unit's coordinates come from when drawing a mesh (chosen by the caller).
struct TexcoordSources {
    const float *pointers[3]; // client memory, 2 floats a vertex
    uint32_t buffers[3];      // GL buffers, 0 when none
    uint32_t vertex_count;
};

// Resolves the material's texture slots at time t (bringing 2D effects up to date once per time):
// GL texture names and whether each is a cube map. A slot is present only when the ones before it
// are, and when its index names a record.
struct ResolvedTextures {
    uint32_t names[3];
    bool cube[3];
    bool present[3];
};
ResolvedTextures material_resolve_textures(const Material *m, scene::Scene *sc, uint32_t t, bool pbo);

// Applies the material in fixed-function form. angle_a and angle_b are the drawing layer's camera
// rotation about Y and X in degrees.
void material_apply_fixed(const Material *m, scene::Scene *sc, uint32_t t, float angle_a, float angle_b,
                          const Capabilities &caps, const TexcoordSources &texcoords);

// Applies the material in GLSL form: selects the program and sets its uniforms and attributes.
void material_apply_glsl(Material *m, scene::Scene *sc, uint32_t t, float angle_a, float angle_b,
                         const Capabilities &caps, const TexcoordSources &texcoords);

} // namespace render
