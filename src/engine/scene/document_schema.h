// The scene document as its section readers read it: every element form with the attributes it
// reads, their meaning, units and default, and what its children are. bvtool check takes the
// attribute lists to find what a reader ignores; the document reference (docs/format.md) is written
// from the same rows. The names a loader matches (material children, "input", "output", "p",
// "manipulator") come from the loaders' own tables.
#pragma once

#include <cstdint>

namespace scene {

// One form of element. Records of the fifteen sections come first, in section order; the rest
// stand inside records.
enum DocumentForm : uint8_t {
    FORM_TEXTURE_LAYER = 0,
    FORM_PROCEDURAL_TEXTURE,
    FORM_MODEL,
    FORM_FUNCTION,
    FORM_LIGHT,
    FORM_EFFECT2D,
    FORM_BITMAP,
    FORM_CUBE_MAP,
    FORM_FONT,
    FORM_TEXTURE_SLOT,
    FORM_MATERIAL,
    FORM_MESH_EFFECT,
    FORM_OBJECT,
    FORM_LAYER_SLOT,
    FORM_MUSIC,
    FORM_SEGMENT,
    FORM_GLYPH,
    FORM_ITEM,
    FORM_MANIPULATOR,
    FORM_MANIPULATOR_TARGET,
    FORM_LAYER,
    FORM_DYNAMIC_VALUE,
    FORM_VALUE,
    FORM_NUMBER_TEXT,
    kDocumentFormCount
};

struct SchemaAttribute {
    const char *name;
    const char *meaning; // with units and what a missing attribute reads as
};

struct DocumentFormDescriptor {
    const char *element; // the name the sample documents give it (the reader does not look at it
                         // unless the children text says so)
    const char *title;   // what a record of this form is called in messages ("texture layer")
    const char *summary;
    const SchemaAttribute *attributes;
    uint8_t attribute_count;
    const char *children; // what the reader takes from the children, in order
};
extern const DocumentFormDescriptor kDocumentForms[kDocumentFormCount];

struct SectionDescriptor {
    const char *name; // the name the sample documents give the section element (never compared)
    DocumentForm record;
    const char *summary;
};
constexpr int kDocumentSectionCount = 15;
extern const SectionDescriptor kDocumentSections[kDocumentSectionCount];

// The attributes of a material child, by row of render::kMaterialChildNames, with its meaning.
struct MaterialChildDescriptor {
    const SchemaAttribute *attributes;
    uint8_t attribute_count;
    const char *meaning;
};
extern const MaterialChildDescriptor kMaterialChildForms[];

// What the numbers of a few fields mean, for the reference: texture formats (0..7), texture filters
// (0..2), blend functions (0..4), how texture1 and texture2 combine (0..3, 0..5) and cgenmode (0..2).
extern const char *const kTextureFormatMeanings[8];
extern const char *const kTextureFilterMeanings[3];
extern const char *const kBlendFunctionMeanings[5];
extern const char *const kUnit0FunctionMeanings[4];
extern const char *const kUnit1FunctionMeanings[6];
extern const char *const kCgenModeMeanings[3];

// What each of a font's 87 glyphs is, by glyph number (UTF-8): the order of a font's children.
constexpr int kGlyphNameCount = 87;
extern const char *const kGlyphNames[kGlyphNameCount];

// The values records read by position, as the reference names them; hovers and checks read these.
constexpr int kLightValueCount = 9;
extern const char *const kLightValueNames[kLightValueCount];
constexpr int kLayerValueCount = 9;
extern const char *const kLayerValueNames[kLayerValueCount];
// An item's twelve children by position: what each is read as, and the element name the reference
// writes it with (the reader does not look at names; a name standing at another position's place
// tells of a value left out or added). Manipulators follow, written <m>.
constexpr int kItemChildCount = 12;
extern const char *const kItemChildNames[kItemChildCount];
extern const char *const kItemChildElements[kItemChildCount];
inline constexpr const char *kManipulatorElement = "m";
inline constexpr const char *kValueElement = "v";     // a dynamic value: lights, layers, items
inline constexpr const char *kParameterElement = "p"; // a number or function index in its text

// Whether a form reads an attribute of that name.
bool document_form_reads(DocumentForm form, const char *attribute);
// Whether material child `row` reads an attribute of that name.
bool material_child_reads(int row, const char *attribute);

} // namespace scene
