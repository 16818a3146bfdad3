// bvtool docs: the scene document reference (docs/format.md), written from the engine's own tables
// (the document forms beside the loader, and every kind table beside the records it describes), so
// that it says what the readers read.
#include "tools/bvtool.h"
#include "tools/tool_docs.h"

#include "functions/function.h"
#include "geometry/effect2d.h"
#include "geometry/font.h"
#include "geometry/manipulator.h"
#include "geometry/mesh_effect.h"
#include "render/layer.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "scene/document_schema.h"
#include "textures/texture_filters.h"
#include "textures/texture_generators.h"
#include "textures/texture_graph.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tools {

std::string docs_cell(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '|') out += '\\';
        out += c;
    }
    return out;
}

namespace {

using scene::DocumentFormDescriptor;
using scene::kDocumentForms;

std::string join(const char (*names)[32], int count) {
    std::string s;
    for (int i = 0; i < count; i++)
        s += std::string(i ? ", " : "") + names[i];
    return s.empty() ? "none" : s;
}

// A description as a sentence: its first letter capitalised.
std::string sentence(const char *text) {
    std::string s = text;
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z') s[0] = char(s[0] - 'a' + 'A');
    return s;
}

void form_section(std::string &out, const DocumentFormDescriptor &f, const char *heading) {
    out += std::string(heading) + " `<" + f.element + ">`: " + f.title + "\n\n";
    out += sentence(f.summary) + ".\n\n";
    if (f.attribute_count) {
        out += "| attribute | meaning |\n|---|---|\n";
        for (uint8_t i = 0; i < f.attribute_count; i++)
            out += "| `" + std::string(f.attributes[i].name) + "` | " + docs_cell(f.attributes[i].meaning) +
                   " |\n";
        out += "\n";
    } else {
        out += "No attributes.\n\n";
    }
    out += std::string("Children: ") + f.children + ".\n\n";
}

void sections(std::string &out) {
    out += "## The fifteen sections\n\n"
           "The top element (any name) holds the sections, which are read strictly by position: the first "
           "child is section 1, and so on; their names are never compared (the names below are the ones the "
           "sample documents use, and `bvtool check` takes a section called by another position's name as a "
           "sign that one is missing). All fifteen stand in this order, empty ones too (`<lights/>`); the "
           "player refuses a document of fewer than fourteen, and the fifteenth, music, is read for the demo "
           "document only. Within a section each child element is one record, in document order; its "
           "position is its number.\n\n"
           "| # | section | record | what |\n|---|---|---|---|\n";
    for (int i = 0; i < scene::kDocumentSectionCount; i++) {
        const scene::SectionDescriptor &s = scene::kDocumentSections[i];
        const DocumentFormDescriptor &f = kDocumentForms[s.record];
        out += "| " + std::to_string(i + 1) + " | `<" + s.name + ">` | " +
               (i == 14 ? "(the section itself)" : "`<" + std::string(f.element) + ">`") + " | " +
               docs_cell(s.summary) + " |\n";
    }
    out += "\n";
}

void names(std::string &out) {
    out +=
        "## Names\n\n"
        "Any record of sections 1 to 13 may carry `name=\"...\"`, and wherever a document holds a record's "
        "number (an attribute such as an item's `object` and `material` or a layer's `id`, a node's inputs "
        "and outputs, a dynamic value's function, a texture slot's `id`, a glyph's model), it may write `@` "
        "and a name instead: the name of a record of the section that the reference points into.\n\n"
        "```xml\n"
        "<model name=\"cube\" filename=\"cube.mdl\"/>\n"
        "<item type=\"0\" object=\"@cube\" material=\"@gold\">\n"
        "<texture name=\"ground\" type=\"255\" texture_format=\"0\" "
        "texture_filter=\"2\"><i>@relief</i></texture>\n"
        "```\n\n"
        "Names are unique within a section (the same name may stand in two sections). Every command that "
        "reads a demo folder resolves them; an unknown or ambiguous name is a `bvtool check` finding at its "
        "line, and `bvtool build` refuses it. The package holds numbers only: `bvtool build` writes each "
        "`@name` as the number it names and leaves the records' names out, every line where it was, so that "
        "a document written with names packs to the same bytes as the same document written with numbers. "
        "`bvtool names DIR --to names` gives every record that a reference points to a name (its own, else "
        "one made from the comment on the line before it, its file or its kind and number) and writes the "
        "references as `@name`; `--to numbers` writes the numbers back.\n\n";
}

void records(std::string &out) {
    out += "## Records\n\n";
    for (int i = 0; i < scene::kDocumentSectionCount; i++) {
        const scene::SectionDescriptor &s = scene::kDocumentSections[i];
        out += "### " + std::to_string(i + 1) + ". `<" + s.name + ">`\n\n";
        if (s.record == scene::FORM_MATERIAL) {
            const DocumentFormDescriptor &f = kDocumentForms[s.record];
            out += "#### `<material>`: " + std::string(f.title) + "\n\n" + sentence(f.summary) + ". " +
                   sentence(f.children) +
                   "; a setting that is not given is 0.\n\n| child | attributes | meaning |\n|---|---|---|\n";
            for (int row = 0; row < render::kMaterialChildCount; row++) {
                const scene::MaterialChildDescriptor &c = scene::kMaterialChildForms[row];
                std::string attributes = c.attribute_count ? "" : "(its text)";
                for (uint8_t a = 0; a < c.attribute_count && a < 5; a++)
                    attributes += std::string(a ? ", " : "") + "`" + c.attributes[a].name + "`";
                if (c.attribute_count > 5)
                    attributes = std::string("`") + c.attributes[0].name + "` .. `" +
                                 c.attributes[c.attribute_count - 1].name + "`";
                std::string meaning = c.meaning;
                if (c.attribute_count == 1) meaning += std::string(": ") + c.attributes[0].meaning;
                out += "| `<" + std::string(render::kMaterialChildNames[row]) + ">` | " + attributes + " | " +
                       docs_cell(meaning) + " |\n";
            }
            // Children that share their attributes: described once.
            for (int row = 0; row < render::kMaterialChildCount; row++) {
                const scene::MaterialChildDescriptor &c = scene::kMaterialChildForms[row];
                bool first = true;
                for (int before = 0; before < row; before++)
                    first = first && scene::kMaterialChildForms[before].attributes != c.attributes;
                if (c.attribute_count < 2 || !first) continue;
                std::string children;
                for (int other = row; other < render::kMaterialChildCount; other++)
                    if (scene::kMaterialChildForms[other].attributes == c.attributes)
                        children += std::string(children.empty() ? "" : ", ") + "`<" +
                                    render::kMaterialChildNames[other] + ">`";
                out += "\nAttributes of " + children + ":\n\n| attribute | meaning |\n|---|---|\n";
                for (uint8_t a = 0; a < c.attribute_count && c.attribute_count <= 5; a++)
                    out += "| `" + std::string(c.attributes[a].name) + "` | " +
                           docs_cell(c.attributes[a].meaning) + " |\n";
                if (c.attribute_count > 5)
                    out += "| `u1` .. `u24` | `uN`: the function that feeds uniform float uN of the custom "
                           "program; 0 "
                           "leaves it unset |\n";
            }
            out += "\n";
            continue;
        }
        form_section(out, kDocumentForms[s.record], "####");
        switch (s.record) {
        case scene::FORM_FUNCTION: form_section(out, kDocumentForms[scene::FORM_SEGMENT], "####"); break;
        case scene::FORM_FONT: form_section(out, kDocumentForms[scene::FORM_GLYPH], "####"); break;
        case scene::FORM_OBJECT:
            form_section(out, kDocumentForms[scene::FORM_ITEM], "####");
            form_section(out, kDocumentForms[scene::FORM_MANIPULATOR], "####");
            form_section(out, kDocumentForms[scene::FORM_MANIPULATOR_TARGET], "####");
            break;
        case scene::FORM_LAYER_SLOT: form_section(out, kDocumentForms[scene::FORM_LAYER], "####"); break;
        default: break;
        }
    }
    out += "### Values\n\n";
    form_section(out, kDocumentForms[scene::FORM_DYNAMIC_VALUE], "####");
    out +=
        "Readers differ on words other than these two: the materials' colours, line width and fog read any "
        "\"type\" but \"static\" (a missing one too) as dynamic; lights, items, manipulators and layers read "
        "any \"type\" but \"dynamic\" as static. A dynamic value whose function index names no function "
        "reads 0.\n\n";
    form_section(out, kDocumentForms[scene::FORM_VALUE], "####");
}

void kind_tables(std::string &out) {
    out += "## Kind tables\n\n"
           "A record names its kind by number and gives the kind's parameters by position, in the order "
           "below. Fewer values than a kind reads are fine (the rest keep 0); more are ignored.\n\n";

    out += "### Texture layer generators (`<layer type>`)\n\n| kind | name | parameters (values) "
           "|\n|---|---|---|\n";
    for (int k = 0; k < textures::kGeneratorCount; k++) {
        const textures::GeneratorDescriptor &g = textures::kGeneratorDescriptors[k];
        std::string params;
        for (int i = 0; i < g.colour_count + g.float_count; i++)
            params += std::string(i ? ", " : "") + g.parameter_names[i] +
                      (i < g.colour_count ? " (red, green, blue)" : "");
        out += "| " + std::to_string(k) + " | " + g.name + " | " + docs_cell(params) + " (" +
               std::to_string(g.colour_count * 3 + g.float_count) + ") |\n";
    }
    out +=
        "\n### Texture graph node types (`<texture type>`)\n\n"
        "Types 0..100, 105..200 and 211..254 have no operation (the image stays black); 255 is the output "
        "node, a copy of its first input uploaded as a GL texture (the only kind a texture slot can show). "
        "The layer operations (101..104) combine the first input with the texture layer `layer_id`.\n\n"
        "| type | name | inputs | parameters |\n|---|---|---|---|\n";
    for (int row = 0; row < textures::kFilterCount; row++) {
        const textures::FilterDescriptor &f = textures::kFilterDescriptors[row];
        int type = row < 4 ? 101 + row : 201 + (row - 4);
        out += "| " + std::to_string(type) + " | " + f.name + " | " + std::to_string(f.input_count) +
               (type < 200 ? " and the layer" : "") + " | " +
               docs_cell(join(f.parameter_names, f.parameter_count)) + " |\n";
    }
    out +=
        "\n### Function segments (`<s type>`)\n\n| kind | name | formula | parameters |\n|---|---|---|---|\n";
    for (int k = 0; k < functions::kSegmentKindCount; k++) {
        const functions::SegmentDescriptor &s = functions::kSegmentDescriptors[k];
        out += "| " + std::to_string(k) + " | " + s.name + " | " + docs_cell(s.formula) + " | " +
               join(s.parameter_names, s.parameter_count) + " |\n";
    }
    out += "\nx is the time within the segment; a function without segments gives 1.0. Loop modes "
           "(`loop_type`): ";
    for (int i = 0; i < 3; i++)
        out += std::to_string(i) + " " + functions::kLoopModeNames[i] + (i < 2 ? ", " : ".");
    out += " Value kinds (`type`): ";
    for (int i = 0; i < 2; i++)
        out += std::to_string(i) + " " + functions::kValueKindNames[i] + (i < 1 ? ", " : ".");
    out += "\n\n### 2D effects (`<effect type>` in `<effects2d>`)\n\n| kind | name | parameters "
           "|\n|---|---|---|\n";
    for (int k = 0; k < geometry::kEffect2DKindCount; k++) {
        const geometry::Effect2DDescriptor &e = geometry::kEffect2DDescriptors[k];
        out += "| " + std::to_string(k) + " | " + e.name + " | " +
               join(e.parameter_names, e.parameter_count) + " |\n";
    }
    out += "\n### Mesh effects (`<effect type>` in `<mesh_effects>`)\n\n| kind | name | parameters "
           "|\n|---|---|---|\n";
    for (int k = 0; k < geometry::kMeshEffectKindCount; k++) {
        const geometry::MeshEffectDescriptor &e = geometry::kMeshEffectDescriptors[k];
        out += "| " + std::to_string(k) + " | " + e.name + " | " +
               join(e.parameter_names, e.parameter_count) + " |\n";
    }
    out += "\n### Manipulators (`<m type>`)\n\n| kind | name | target | parameters |\n|---|---|---|---|\n";
    for (int k = 0; k < geometry::kManipulatorKindCount; k++) {
        const geometry::ManipulatorDescriptor &m = geometry::kManipulatorDescriptors[k];
        out += "| " + std::to_string(k) + " | " + m.name + " | " + (m.needs_target ? "yes" : "no") + " | " +
               join(m.parameter_names, m.parameter_count) + " |\n";
    }
    out += "\n### Render modes (`<layer type>`)\n\n| type | name | target (`rtex`) |\n|---|---|---|\n";
    for (int k = 0; k < render::kRenderModeCount; k++) {
        uint8_t type = static_cast<uint8_t>(k);
        const char *target = !render::render_mode_has_target(type)
                                 ? (type == render::MODE_LINK ? "whatever target is current" : "the window")
                             : type == render::MODE_CUBEMAP    ? "a cube map, six passes"
                             : type == render::MODE_CUBE_ATLAS ? "a bitmap, six passes into a 3 x 2 atlas"
                             : type == render::MODE_QUARTER_TEXTURE
                                 ? "a bitmap, sized to half the window each way"
                                 : "a bitmap";
        out += "| " + std::to_string(k) + " | " + render::kRenderModeNames[k] + " | " + target + " |\n";
    }
    out += "\n### Texture slot kinds (`<slot type>`)\n\n| kind | `id` names a |\n|---|---|\n";
    for (int k = 0; k < render::kTextureKindCount; k++)
        out += "| " + std::to_string(k) + " | " + render::kTextureKindNames[k] + " |\n";
    out += "\n### Item types (`<item type>`)\n\n| type | what |\n|---|---|\n";
    for (int k = 0; k < render::kItemTypeCount; k++)
        out += "| " + std::to_string(k) + " | " + render::kItemTypeNames[k] + " |\n";
    out += "\n### Texture formats (`texture_format`) and filters (`texture_filter`)\n\n| index | format "
           "|\n|---|---|\n";
    for (int k = 0; k < 8; k++)
        out += "| " + std::to_string(k) + " | " + scene::kTextureFormatMeanings[k] + " |\n";
    out += "\n| filter | meaning |\n|---|---|\n";
    for (int k = 0; k < 3; k++)
        out += "| " + std::to_string(k) + " | " + scene::kTextureFilterMeanings[k] + " |\n";
    out += "\n### Material values\n\n| blend_function | source, destination |\n|---|---|\n";
    for (int k = 0; k < render::kBlendFunctionCount; k++)
        out += "| " + std::to_string(k) + " | " + scene::kBlendFunctionMeanings[k] + " |\n";
    out += "\n| texture1 function | unit 0 gives |\n|---|---|\n";
    for (int k = 0; k < render::kUnit0FunctionCount; k++)
        out += "| " + std::to_string(k) + " | " + scene::kUnit0FunctionMeanings[k] + " |\n";
    out += "\n| texture2 function | unit 1 gives |\n|---|---|\n";
    for (int k = 0; k < render::kUnit1FunctionCount; k++)
        out += "| " + std::to_string(k) + " | " + scene::kUnit1FunctionMeanings[k] + " |\n";
    out +=
        "\ntexture3 is added as texture x colour when its function is 0. A texture is used only when the one "
        "before it is set.\n\n| cgenmode | coordinates |\n|---|---|\n";
    for (int k = 0; k < render::kCgenModeCount; k++)
        out += "| " + std::to_string(k) + " | " + scene::kCgenModeMeanings[k] + " |\n";
    out += "\n### Glyphs of a font\n\nA font's children are its glyphs in this order, ten to a row (accented "
           "letters come as two-byte UTF-8 in a text; a character without a glyph is skipped):\n\n| glyphs | "
           "+0 | +1 "
           "| +2 | +3 | +4 | +5 | +6 | +7 | +8 | +9 |\n|---|---|---|---|---|---|---|---|---|---|---|\n";
    for (int g = 0; g < scene::kGlyphNameCount; g += 10) {
        out += "| " + std::to_string(g) + " |";
        for (int k = g; k < g + 10; k++)
            out +=
                " " + (k < scene::kGlyphNameCount ? docs_cell(scene::kGlyphNames[k]) : std::string()) + " |";
        out += "\n";
    }
    out += "\n";
}

const char *const kWorkedExample = R"(## Worked example: a scene from nothing

A spinning square with a brick texture, lit, with no music. Make a folder `mydemo` and a model for it
from this Wavefront OBJ file, `square.obj`:

```obj
v -1 -1 0
v 1 -1 0
v 1 1 0
v -1 1 0
vt 0 0
vt 1 0
vt 1 1
vt 0 1
vn 0 0 1
f 1/1/1 2/2/1 3/3/1
f 1/1/1 3/3/1 4/4/1
```

    bvtool model square.obj mydemo/square.mdl

Then `mydemo/demo.xml`. Every record is numbered in a comment, since records refer to each other by
position: the texture slot names procedural texture 2 (the output node), the material names texture
slot 1 and light 1, the item names model 1, material 1 and function 1 (its rotation about y), and the
layer draws object 1 for 10 seconds with the camera 4 units back.

```xml
<?xml version="1.0" encoding="UTF-8"?>
<demo>
  <texture_layers>
    <!-- 0: bricks: brick and wall colours, 8 rows of 4, joints of 3 pixels, every other row moved 32 -->
    <layer type="4"><p>0.7</p><p>0.3</p><p>0.2</p><p>0.9</p><p>0.9</p><p>0.85</p><p>8</p><p>4</p><p>3</p><p>3</p><p>32</p></layer>
  </texture_layers>
  <procedural_textures>
    <!-- 1: the layer alone (Add, scales 0 and 1), read by 2 -->
    <texture name="bricks" type="101" layer_id="0"><i>0</i><output>2</output><p>0</p><p>1</p></texture>
    <!-- 2: the output node, a mip-mapped texture -->
    <texture name="wall" type="255" texture_format="0" texture_filter="2"><i>1</i></texture>
  </procedural_textures>
  <models>
    <!-- 1 -->
    <model filename="square.mdl"/>
  </models>
  <functions>
    <!-- 1: spin, 0.9 degrees a hundredth of a second -->
    <function type="0" loop_type="0" loop_begin="0" loop_end="0"><s type="1" length="1000"><p>0.9</p><p>0</p></s></function>
  </functions>
  <lights>
    <!-- 1: white, above and in front -->
    <light><v type="static" value="0.2"/><v type="static" value="0.2"/><v type="static" value="0.2"/><v type="static" value="0.9"/><v type="static" value="0.9"/><v type="static" value="0.9"/><v type="static" value="2"/><v type="static" value="3"/><v type="static" value="5"/></light>
  </lights>
  <effects2d/>
  <bitmaps/>
  <cubemaps/>
  <fonts/>
  <texture_slots>
    <!-- 1: procedural texture 2 -->
    <slot type="0" id="2"/>
  </texture_slots>
  <materials>
    <!-- 1: lit, textured, opaque -->
    <material><depth_test value="1"/><normalization value="1"/><blend_function value="2"/><red type="static" value="1"/><green type="static" value="1"/><blue type="static" value="1"/><alpha type="static" value="1"/><light1 value="1"/><texture1 value="1" wrapmode="0" cgenmode="0" rotation="0" function="0"/></material>
  </materials>
  <mesh_effects/>
  <objects>
    <!-- 1: the square, turning about y -->
    <object><item type="0" object="1" material="1">
      <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="0"/>
      <v type="static" value="0"/><v type="dynamic" value="1"/><v type="static" value="0"/>
      <v type="static" value="1"/><v type="static" value="1"/><v type="static" value="1"/>
      <visibility value="0"/><time_offset value="0"/><face_camera value="0"/>
    </item></object>
  </objects>
  <timeline>
    <slot>
      <layer id="1" space_before="0" length="1000" offset="0" type="0" clearcolor="0" clearcolorbuffer="1" clearzbuffer="1">
        <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="4"/>
        <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="0"/>
        <v type="static" value="60"/><v type="static" value="100"/><v type="static" value="1.7777778"/>
      </layer>
    </slot>
  </timeline>
  <music/>
</demo>
```

Check it, watch it while you edit it (every save reloads it at the same moment of the demo), and
pack it for the player:

    bvtool check mydemo
    bvtool preview mydemo
    bvtool build mydemo mydemo.dpk

Without `loading.xml` the player shows nothing while the demo loads; a loading document has the same
fifteen sections and is played with the load's progress, 0 to 100, in place of the time.
)";

// False, with *problem set, when a part of the reference finds the engine's tables disagreeing with it.
bool reference(std::string &out, std::string *problem) {
    out =
        "# The scene document\n\n"
        "<!-- Written by `bvtool docs docs/format.md` from the engine's tables; do not edit by hand. -->\n\n"
        "A demo is two scene documents, `demo.xml` and `loading.xml` (the loading screen), and the models, "
        "images and music they name; `bvtool build` packs a folder of them into a package, compressing the "
        "documents into `.xmlz` entries. This is what the player reads from a document: every element and "
        "attribute, what it means, its units, and what a missing one gives.\n\n"
        "Conventions. Records refer to one another by their 1-based position in their section, or by name "
        "(Names below); 0 means none. "
        "Texture layers and layer slots are numbered from 0. Times are in hundredths of a second (\"time "
        "units\"; Time below lists every one); angles in degrees (Space below gives the axes and the order "
        "of rotations). A missing attribute or child reads as 0 (a missing name as empty), and "
        "the player reports nothing: `bvtool check` names what it would silently do otherwise. Numbers are "
        "read as C reads them: integers in decimal (a fraction is cut off), floats with a '.'.\n\n";
    sections(out);
    names(out);
    records(out);
    if (!docs_conventions(out, problem)) return false;
    kind_tables(out);
    out += kWorkedExample;
    out += docs_worked_example_beat();
    return true;
}

} // namespace

int tool_docs(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool docs OUT.md\n"
            "Writes the scene document reference (docs/format.md in the sources) from the engine's\n"
            "own tables: the sections, every element and attribute the loaders read, the unit of every\n"
            "time, the axes and the order of rotations, the names a program receives, the kind tables\n"
            "with their parameter names, and a worked example.");
        return 0;
    }
    if (argc != 2) return tool_fail("docs: expected OUT.md (see bvtool docs --help)");
    std::string text, problem;
    if (!reference(text, &problem)) return tool_fail("docs: %s", problem.c_str());
    if (!tool_write_whole(argv[1], reinterpret_cast<const uint8_t *>(text.data()),
                          static_cast<uint32_t>(text.size())))
        return tool_fail("docs: cannot write %s", argv[1]);
    return 0;
}

} // namespace tools
