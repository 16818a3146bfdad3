#include "scene/document_schema.h"

#include "render/material.h"
#include "render/scene_object.h"

#include <cstddef>
#include <cstring>

namespace scene {

namespace {

template <size_t N> constexpr uint8_t count_of(const SchemaAttribute (&)[N]) {
    return static_cast<uint8_t>(N);
}

constexpr const char *kFormatMeaning = "index into the texture format table, 0..7 (0 when missing: RGB)";
constexpr const char *kFilterMeaning =
    "0 nearest, 1 linear, 2 linear with a full mip chain (0 when missing); other values set no filter";

constexpr SchemaAttribute kTextureLayerAttributes[] = {
    {"type", "generator kind, 0..5 (table below; 0 when missing); another kind draws nothing"},
};
constexpr SchemaAttribute kProceduralTextureAttributes[] = {
    {"name", "a name for authors, up to 34 characters; nothing reads it"},
    {"type", "node type: 0..100 none, 101..104 layer operations, 201..210 filters, 255 output node; "
             "other numbers have no operation and leave the image black (0 when missing)"},
    {"texture_format", kFormatMeaning},
    {"texture_filter", kFilterMeaning},
    {"layer_id", "0-based texture layer that types 101..104 combine with (read for types up to 200)"},
};
constexpr SchemaAttribute kModelAttributes[] = {
    {"filename", "package entry of the model file (bvtool model makes them from Wavefront OBJ)"},
};
constexpr SchemaAttribute kFunctionAttributes[] = {
    {"type", "value kind: 0 Float, 1 Integer; stored, not used"},
    {"loop_type", "0 Off, 1 Loop, 2 Ping-pong; other values do not loop"},
    {"loop_begin",
     "time units, truncated; Loop runs loop_begin..loop_end again once the time passes loop_end"},
    {"loop_end", "time units, truncated; must lie after loop_begin for the function to loop"},
};
constexpr SchemaAttribute kEffect2DAttributes[] = {
    {"name", "a name for authors, up to 31 characters"},
    {"type", "2D effect kind, 0..4 (table below); another kind leaves the texture black"},
    {"texture_format", kFormatMeaning},
    {"texture_filter", "stored; 2D effect textures always filter linearly"},
    {"resolution", "\"64x64\", \"128x128\" or \"256x256\"; any other text (or none) gives 512 x 512"},
    {"bpp", "\"8\" gives one luminance byte a pixel; any other text (or none) 24-bit RGB"},
};
constexpr SchemaAttribute kBitmapAttributes[] = {
    {"filename", "package entry of a PNG or JPEG image; NAME_mm1.EXT and NAME_mm2.EXT, when present at half "
                 "and quarter size, are used as mip levels 1 and 2"},
    {"texture_format", kFormatMeaning},
    {"texture_filter", kFilterMeaning},
};
constexpr SchemaAttribute kCubeMapAttributes[] = {
    {"xp", "package entry of the +X face (PNG or JPEG; six square faces of one size)"},
    {"xn", "the -X face"},
    {"yp", "the +Y face"},
    {"yn", "the -Y face"},
    {"zp", "the +Z face"},
    {"zn", "the -Z face; a missing or empty face leaves the cube map without an image"},
    {"texture_format", kFormatMeaning},
    {"texture_filter", "0 nearest, any other value linear; no mip levels"},
};
constexpr SchemaAttribute kTextureSlotAttributes[] = {
    {"type", "texture kind: 0 procedural texture (an output node), 1 bitmap, 2 2D effect, 3 cube map; "
             "any other kind is read as a cube map"},
    {"id", "1-based index into the list of that kind"},
};
constexpr SchemaAttribute kMeshEffectAttributes[] = {
    {"type", "mesh effect kind, 0..3 (table below); another kind is an empty mesh"},
};
constexpr SchemaAttribute kMusicAttributes[] = {
    {"file", "the Ogg Vorbis file, looked up beside the package and then under music/; absent: no music"},
    {"offset", "milliseconds; the music starts at demo time offset + 125 ms"},
};
constexpr SchemaAttribute kSegmentAttributes[] = {
    {"type", "segment kind, 0..5 (table below); another kind gives 1.0"},
    {"length", "time units (hundredths of a second); a time equal to the length still falls in the segment"},
};
constexpr SchemaAttribute kGlyphAttributes[] = {
    {"model", "model index; 0: the glyph has no geometry and only moves the pen (the space)"},
    {"material", "material index the glyph is drawn with; a glyph whose material names none is skipped"},
    {"bitmap", "bitmap bound on texture unit 0 for the glyph; 0 none"},
    {"offset", "float, text units: moves the glyph left of the pen"},
    {"width", "float, text units: how far the pen advances"},
};
constexpr SchemaAttribute kItemAttributes[] = {
    {"type", "0 static model, 1 mesh effect, 2 text"},
    {"object", "model index (type 0) or mesh effect index (type 1)"},
    {"material", "material index; 0: the item is not drawn (text items use their glyphs' materials)"},
    {"font", "font index (type 2); 0: the text is not drawn"},
    {"text", "type 2: at most 31 bytes of UTF-8, accented letters as two-byte sequences"},
};
constexpr SchemaAttribute kManipulatorAttributes[] = {
    {"type", "manipulator kind, 0..4 (table below); another kind passes the instances through"},
};
constexpr SchemaAttribute kManipulatorTargetAttributes[] = {
    {"type", "0: the target is a model; any other value: a mesh effect"},
    {"model", "the target's index in that list"},
};
constexpr SchemaAttribute kLayerAttributes[] = {
    {"id", "object index; 0 draws nothing (and counts as drawing nothing)"},
    {"space_before", "time units of gap before the layer, in which the slot draws nothing"},
    {"length", "time units"},
    {"offset", "time units added to the layer's own time for every value it evaluates"},
    {"type", "render mode, 0..5 (table below)"},
    {"rtex", "render target: a bitmap for types 1, 2 and 5, a cube map for type 3 (read for those only)"},
    {"clearcolor", "light whose diffuse colour clears the target; 0 black"},
    {"clearcolorbuffer", "1 clears the colour buffer first (the lowest bit is read)"},
    {"clearzbuffer", "1 clears the depth buffer first (the lowest bit is read)"},
};
constexpr SchemaAttribute kDynamicValueAttributes[] = {
    {"type", "\"static\" or \"dynamic\" (see below for other words)"},
    {"value", "static: the number; dynamic: the 1-based index of the function that gives it"},
};
constexpr SchemaAttribute kValueAttributes[] = {
    {"value", "the number"},
};

} // namespace

const DocumentFormDescriptor kDocumentForms[kDocumentFormCount] = {
    {"layer", "texture layer", "a 256 x 256 RGB image drawn by a generator; layers are numbered from 0",
     kTextureLayerAttributes, count_of(kTextureLayerAttributes),
     "the generator's parameter values, one per child, its text a float, in order (the names are not "
     "read); at most 24; colours take three values (red, green, blue, 0..1)"},
    {"texture", "procedural texture",
     "a node of the texture graph: a 256 x 256 RGB image made from its inputs", kProceduralTextureAttributes,
     count_of(kProceduralTextureAttributes),
     "the first child, whatever its name: its text is the first input (texture index, 0 none); an output "
     "node reads nothing more. Then an optional child named \"input\" (the second input, for types "
     "207..210), then children named \"output\", each the index of a node that reads this one (the graph "
     "follows them to compute nodes after their inputs), then the parameters, one per child, text floats, "
     "at most 9"},
    {"model", "model", "a static mesh from a model file", kModelAttributes, count_of(kModelAttributes),
     "none"},
    {"function", "function", "an animation function: up to 16 segments laid end to end in time",
     kFunctionAttributes, count_of(kFunctionAttributes), "the segments in order, whatever their names"},
    {"light", "light", "nine values: a light's colours and position, also used as colours by fog and clears",
     nullptr, 0,
     "nine dynamic values in order: ambient red, green, blue; diffuse red, green, blue; position x, y, z. "
     "A value is dynamic when its \"type\" is \"dynamic\"; any other word reads a static number"},
    {"effect", "2D effect", "a square texture that a built-in effect redraws whenever a material shows it",
     kEffect2DAttributes, count_of(kEffect2DAttributes),
     "children named \"p\", one per parameter: the text is the index of the function that drives it (0 "
     "none: the parameter is 0); reading stops at the first child of another name"},
    {"bitmap", "bitmap", "an image texture from a PNG or JPEG entry; also a render target", kBitmapAttributes,
     count_of(kBitmapAttributes), "none"},
    {"cubemap", "cube map", "a cube texture from six images; also a render target", kCubeMapAttributes,
     count_of(kCubeMapAttributes), "none"},
    {"font", "font", "87 glyphs, each a model with its material", nullptr, 0,
     "87 glyph elements, glyph 0 first, in the order of the glyph table below; missing ones stay empty"},
    {"slot", "texture slot", "what a material's texture names: a texture kind and an index",
     kTextureSlotAttributes, count_of(kTextureSlotAttributes), "none"},
    {"material", "material",
     "how a mesh is drawn: colour, lights, textures, blending, fog and the GLSL program", nullptr, 0,
     "children matched by name (table below); a child of any other name is skipped"},
    {"effect", "mesh effect", "a procedural mesh rebuilt from its animated parameters as it is drawn",
     kMeshEffectAttributes, count_of(kMeshEffectAttributes),
     "children named \"p\", one per parameter: the text is the index of the function that drives it (0 "
     "none: the parameter is 0); reading stops at the first child of another name"},
    {"object", "object", "what a layer draws: up to 255 items", nullptr, 0, "the items in order"},
    {"slot", "layer slot",
     "one of the 24 slots of the timeline: layers laid end to end in time; slots are "
     "numbered from 0 and drawn in that order",
     nullptr, 0, "the layers in time order, at most 255"},
    {"music", "music", "the music of the demo document (the loading document's is not read)",
     kMusicAttributes, count_of(kMusicAttributes), "none"},
    {"s", "segment", "one piece of a function", kSegmentAttributes, count_of(kSegmentAttributes),
     "the segment kind's parameters, one per child, text floats, in order; at most 24"},
    {"glyph", "glyph", "one glyph of a font", kGlyphAttributes, count_of(kGlyphAttributes), "none"},
    {"item", "item", "one mesh of an object, placed by nine values and drawn once per instance",
     kItemAttributes, count_of(kItemAttributes),
     "by position: 1 to 9 dynamic values position x, y, z, rotation about x, y, z (degrees), scale x, y, z "
     "(\"dynamic\" makes a value dynamic, any other word static); 10 \"value\": the visibility function (0 "
     "always visible; the item is drawn while the function is at least 1); 11 \"value\": a time offset "
     "added to the layer's time (time units); 12 \"value\": 1 keeps the item facing the camera; every "
     "later child a manipulator, at most 7"},
    {"m", "manipulator", "turns an item's list of instances into a new one", kManipulatorAttributes,
     count_of(kManipulatorAttributes),
     "a first child named \"manipulator\" is the target; every other child is one parameter, a dynamic value "
     "(\"dynamic\" makes it dynamic, any other word static), in the order of the kind's parameters; at most "
     "16"},
    {"manipulator", "target", "the mesh whose vertices Model placer places instances on",
     kManipulatorTargetAttributes, count_of(kManipulatorTargetAttributes), "none"},
    {"layer", "layer", "draws one object through its camera into a render target for a span of time",
     kLayerAttributes, count_of(kLayerAttributes),
     "nine values: camera x, y, z, rotation about X, Y, Z (degrees), projection, far plane, aspect. A value "
     "is dynamic when its \"type\" is \"dynamic\". The projection's \"type\" \"dynamic\" names a function "
     "for "
     "the field of view, \"ortographic\" (spelled so) gives the orthographic projection 0..1 both ways with "
     "y "
     "downwards, any other word a field of view of \"value\" degrees"},
    {"v", "value", "a number or the function that animates it", kDynamicValueAttributes,
     count_of(kDynamicValueAttributes), "none"},
    {"value", "value", "a plain number", kValueAttributes, count_of(kValueAttributes), "none"},
    {"p", "number", "an element whose text is a number", nullptr, 0, "none"},
};
static_assert(sizeof(kDocumentForms) / sizeof(kDocumentForms[0]) == kDocumentFormCount, "one row per form");

const SectionDescriptor kDocumentSections[kDocumentSectionCount] = {
    {"texture_layers", FORM_TEXTURE_LAYER,
     "images drawn by generators, the raw material of the texture graph"},
    {"procedural_textures", FORM_PROCEDURAL_TEXTURE,
     "the texture graph; right after this section every node is computed and the output nodes uploaded"},
    {"models", FORM_MODEL, "meshes from model files"},
    {"functions", FORM_FUNCTION, "animation functions"},
    {"lights", FORM_LIGHT, "lights"},
    {"effects2d", FORM_EFFECT2D, "2D effects"},
    {"bitmaps", FORM_BITMAP, "image textures"},
    {"cubemaps", FORM_CUBE_MAP, "cube maps"},
    {"fonts", FORM_FONT, "fonts"},
    {"texture_slots", FORM_TEXTURE_SLOT, "texture slots"},
    {"materials", FORM_MATERIAL, "materials"},
    {"mesh_effects", FORM_MESH_EFFECT, "mesh effects"},
    {"objects", FORM_OBJECT, "objects"},
    {"timeline", FORM_LAYER_SLOT, "the layer slots, at most 24"},
    {"music", FORM_MUSIC, "the music element itself (its attributes); read for the demo document only"},
};

namespace {

constexpr SchemaAttribute kFlagChild[] = {{"value", "non-zero turns it on (0 when missing)"}};
constexpr SchemaAttribute kBlendChild[] = {
    {"value", "0..4, table below; other values leave blending as it was"}};
constexpr SchemaAttribute kFogTypeChild[] = {
    {"value", "0 no fog; 1 linear fog, fastest hint; 2 linear fog, nicest hint; other values linear fog"}};
constexpr SchemaAttribute kColourChild[] = {
    {"type", "\"static\": \"value\" is the number; any other word: \"value\" is a function index"},
    {"value", "the number, or the function index"}};
constexpr SchemaAttribute kLightChild[] = {{"value", "light index; 0 none"}};
constexpr SchemaAttribute kTextureChild[] = {
    {"value", "texture slot index; 0 none"},
    {"wrapmode", "0 repeat, 1 clamp to edge"},
    {"cgenmode", "texture coordinates: 0 from the mesh, 1 sphere map, 2 reflection map (cube maps need 2)"},
    {"rotation", "non-zero turns the texture with the camera"},
    {"function", "how the unit combines with what is below it (tables below)"}};
constexpr SchemaAttribute kUniformsChild[] = {
    {"u1", "function index that feeds uniform float u1 of the custom program; 0 leaves it unset"},
    {"u2", "u2"},
    {"u3", "u3"},
    {"u4", "u4"},
    {"u5", "u5"},
    {"u6", "u6"},
    {"u7", "u7"},
    {"u8", "u8"},
    {"u9", "u9"},
    {"u10", "u10"},
    {"u11", "u11"},
    {"u12", "u12"},
    {"u13", "u13"},
    {"u14", "u14"},
    {"u15", "u15"},
    {"u16", "u16"},
    {"u17", "u17"},
    {"u18", "u18"},
    {"u19", "u19"},
    {"u20", "u20"},
    {"u21", "u21"},
    {"u22", "u22"},
    {"u23", "u23"},
    {"u24", "u24"}};
static_assert(sizeof(kUniformsChild) / sizeof(kUniformsChild[0]) == render::kUniformCount, "one per uniform");

} // namespace

const MaterialChildDescriptor kMaterialChildForms[] = {
    {kFlagChild, 1, "cull back faces"},
    {kFlagChild, 1, "depth test"},
    {kFlagChild, 1, "normalise normals"},
    {kFlagChild, 1, "draw lines instead of triangles"},
    {kBlendChild, 1, "how the colour meets what is drawn already"},
    {kFogTypeChild, 1, "fog"},
    {kFlagChild, 1, "use the custom program (vertex_shader, fragment_shader) in place of a generated one"},
    {kColourChild, 2, "base colour, red, 0..1"},
    {kColourChild, 2, "green"},
    {kColourChild, 2, "blue"},
    {kColourChild, 2, "alpha"},
    {kColourChild, 2, "line width in pixels, for wireframe"},
    {kColourChild, 2, "eye distance where linear fog starts"},
    {kColourChild, 2, "eye distance where linear fog is full"},
    {kLightChild, 1, "first light (0: unlit)"},
    {kLightChild, 1, "second light; it counts only with a first light"},
    {kLightChild, 1, "light whose diffuse colour is the fog colour; 0 white"},
    {kTextureChild, 5, "texture on unit 0"},
    {kTextureChild, 5, "texture on unit 1; it counts only with texture1"},
    {kTextureChild, 5, "texture on unit 2; it counts only with texture2"},
    {kUniformsChild, 24, "the custom program's uniforms u1..u24"},
    {nullptr, 0, "the custom vertex shader: the element's text, with &lt; and &gt; decoded"},
    {nullptr, 0, "the custom fragment shader, likewise"},
};
static_assert(sizeof(kMaterialChildForms) / sizeof(kMaterialChildForms[0]) == render::kMaterialChildCount,
              "one row per material child");

const char *const kTextureFormatMeanings[8] = {
    "RGB",
    "RGBA",
    "luminance",
    "luminance and alpha",
    "RGB, compressed where the hardware compresses textures",
    "RGBA, compressed likewise",
    "luminance, compressed likewise",
    "luminance and alpha, compressed likewise",
};
const char *const kTextureFilterMeanings[3] = {
    "nearest",
    "linear",
    "linear, with a full mip chain (trilinear minification)",
};
const char *const kBlendFunctionMeanings[5] = {
    "source alpha, one minus source alpha (see-through)",
    "one, one (added)",
    "one, zero (opaque)",
    "one, one minus source alpha (premultiplied)",
    "reverse subtract: destination minus source alpha x source",
};
static_assert(sizeof(kBlendFunctionMeanings) / sizeof(kBlendFunctionMeanings[0]) ==
                  render::kBlendFunctionCount,
              "one meaning per blend function");
const char *const kUnit0FunctionMeanings[4] = {
    "colour x texture, alpha x texture alpha",
    "colour x texture, texture alpha",
    "texture, texture alpha (the colour plays no part)",
    "colour + texture, alpha + texture alpha",
};
static_assert(sizeof(kUnit0FunctionMeanings) / sizeof(kUnit0FunctionMeanings[0]) ==
                  render::kUnit0FunctionCount,
              "one meaning per texture1 function");
const char *const kUnit1FunctionMeanings[6] = {
    "texture + previous",
    "previous x texture",
    "dot3 of texture and previous (a normal map)",
    "texture and previous mixed by the colour",
    "texture and previous mixed by the alpha",
    "texture + previous (in GLSL the previous alpha stays)",
};
static_assert(sizeof(kUnit1FunctionMeanings) / sizeof(kUnit1FunctionMeanings[0]) ==
                  render::kUnit1FunctionCount,
              "one meaning per texture2 function");
const char *const kCgenModeMeanings[3] = {
    "the mesh's texture coordinates",
    "sphere map",
    "reflection map (cube maps need it)",
};
static_assert(sizeof(kCgenModeMeanings) / sizeof(kCgenModeMeanings[0]) == render::kCgenModeCount,
              "one meaning per cgenmode");

const char *const kGlyphNames[kGlyphNameCount] = {
    "a",      "A",      "\u00e1", "\u00c1", "b",      "B",      "c",      "C",      "d",      "D",     "e",
    "E",      "\u00e9", "\u00c9", "f",      "F",      "g",      "G",      "h",      "H",      "i",     "I",
    "\u00ed", "\u00cd", "j",      "J",      "k",      "K",      "l",      "L",      "m",      "M",     "n",
    "N",      "o",      "O",      "\u00f3", "\u00d3", "\u00f6", "\u00d6", "\u0151", "\u0150", "p",     "P",
    "q",      "Q",      "r",      "R",      "\u0159", "\u0158", "s",      "S",      "t",      "T",     "u",
    "U",      "\u00fa", "\u00da", "\u00fc", "\u00dc", "\u0171", "\u0170", "v",      "V",      "w",     "W",
    "x",      "X",      "y",      "Y",      "z",      "Z",      "?",      "!",      "0",      "1",     "2",
    "3",      "4",      "5",      "6",      "7",      "8",      "9",      "&",      "/",      "space",
};

const char *const kLightValueNames[kLightValueCount] = {"ambient red", "ambient green", "ambient blue",
                                                        "diffuse red", "diffuse green", "diffuse blue",
                                                        "position x",  "position y",    "position z"};
const char *const kLayerValueNames[kLayerValueCount] = {"camera x",   "camera y",   "camera z",
                                                        "rotation X", "rotation Y", "rotation Z",
                                                        "projection", "far plane",  "aspect"};
const char *const kItemChildNames[kItemChildCount] = {
    "position x", "position y", "position z", "rotation x", "rotation y",  "rotation z",
    "scale x",    "scale y",    "scale z",    "visibility", "time offset", "face camera"};
const char *const kItemChildElements[kItemChildCount] = {
    kValueElement, kValueElement, kValueElement, kValueElement, kValueElement, kValueElement,
    kValueElement, kValueElement, kValueElement, "visibility",  "time_offset", "face_camera"};

static_assert(kItemChildCount == render::kItemFaceCameraChild,
              "one name per item child before the manipulators");

bool document_form_reads(DocumentForm form, const char *attribute) {
    if (form >= kDocumentFormCount || !attribute) return false;
    const DocumentFormDescriptor &d = kDocumentForms[form];
    for (uint8_t i = 0; i < d.attribute_count; i++)
        if (std::strcmp(d.attributes[i].name, attribute) == 0) return true;
    return false;
}

bool material_child_reads(int row, const char *attribute) {
    if (row < 0 || row >= render::kMaterialChildCount || !attribute) return false;
    const MaterialChildDescriptor &d = kMaterialChildForms[row];
    for (uint8_t i = 0; i < d.attribute_count; i++)
        if (std::strcmp(d.attributes[i].name, attribute) == 0) return true;
    return false;
}

} // namespace scene
