// bvtool docs: what authors otherwise find by trying. The unit of every time a document holds (the
// attributes named from the document forms, their meanings read from them), the axes, the rotation
// order and signs of items and cameras as the engine's matrix code applies them, and the names the
// compile step gives a program (read from the render layer's table).
#include "tools/tool_docs.h"

#include "functions/function.h"
#include "render/shader_program.h"
#include "scene/document_schema.h"

#include <cstdint>
#include <string>

namespace tools {

namespace {

using scene::DocumentForm;

// An attribute that holds a time: its form and name; the unit is said here, the meaning is the form's.
struct TimeAttribute {
    DocumentForm form;
    const char *attribute;
    const char *unit;
};

constexpr const char *kHundredths = "hundredths of a second";

constexpr TimeAttribute kTimeAttributes[] = {
    {scene::FORM_SEGMENT, "length", kHundredths},    {scene::FORM_FUNCTION, "loop_begin", kHundredths},
    {scene::FORM_FUNCTION, "loop_end", kHundredths}, {scene::FORM_LAYER, "space_before", kHundredths},
    {scene::FORM_LAYER, "length", kHundredths},      {scene::FORM_LAYER, "offset", kHundredths},
    {scene::FORM_MUSIC, "offset", "milliseconds"},
};

const char *attribute_meaning(DocumentForm form, const char *name) {
    const scene::DocumentFormDescriptor &f = scene::kDocumentForms[form];
    for (uint8_t i = 0; i < f.attribute_count; i++)
        if (std::string(f.attributes[i].name) == name) return f.attributes[i].meaning;
    return nullptr;
}

bool time_section(std::string &out, std::string *problem) {
    const functions::SegmentDescriptor &spline = functions::kSegmentDescriptors[functions::SEGMENT_SPLINE];
    const functions::SegmentDescriptor &linear = functions::kSegmentDescriptors[functions::SEGMENT_LINEAR];
    out += "## Time\n\n"
           "The player's clock counts milliseconds from the start of the demo (from the music's position "
           "once the music plays); every frame is drawn at the clock divided by 10 and cut down to a whole "
           "number: hundredths of a second, the time units of a document. An 18-second piece of music is "
           "1800 units long (18 would be 0.18 s, 18000 three minutes). Every time a document holds is in "
           "these units, but the music's offset:\n\n"
           "| time | unit | meaning |\n|---|---|---|\n";
    for (const TimeAttribute &t : kTimeAttributes) {
        const char *meaning = attribute_meaning(t.form, t.attribute);
        if (!meaning || !scene::document_form_reads(t.form, t.attribute)) {
            *problem = std::string("the time table names ") + t.attribute + " of " +
                       scene::kDocumentForms[t.form].title + ", which no reader reads";
            return false;
        }
        out += std::string("| ") + scene::kDocumentForms[t.form].title + " `" + t.attribute + "` | " +
               t.unit + " | " + docs_cell(meaning) + " |\n";
    }
    out += std::string("| x in every segment formula, and the knots ") + spline.parameter_names[0] + " .. " +
           spline.parameter_names[spline.parameter_count - 2] + " of a " + spline.name + " | " + kHundredths +
           " from the segment's start | a " + linear.name +
           " segment's a is a change per hundredth: a = 0.9 turns a rotation 90 degrees a second |\n"
           "| an item's time offset (its 11th child) | " +
           kHundredths +
           "; a fraction rounds to the nearest | added to the layer time for everything the item evaluates "
           "|\n\n";
    out += "How the times meet:\n\n"
           "- A layer slot lays its layers end to end: a layer starts where the one before it ended (the "
           "first at 0), waits `space_before`, then is active for `length`, both ends included.\n"
           "- An active layer evaluates everything (its camera, projection, clear colour and object) at its "
           "layer time: the time since its `space_before` ended, plus its `offset`. An item adds its time "
           "offset to that (never below 0); its placement, visibility, manipulators, mesh effect and "
           "material (colours, lights, uniforms, 2D effects) take this item time.\n"
           "- A function is evaluated at the time it is given: looping first, then its first segment runs "
           "from 0, each further one from the end of the one before; past the last, it holds the last "
           "segment's end value.\n"
           "- The demo ends at the first frame in which no layer draws an object: once every slot is past "
           "its last layer, but also at a time when every slot is in a `space_before` gap or draws object "
           "0, whatever follows.\n"
           "- The loading document is drawn with the load's progress in place of the time: the share of "
           "the demo document's records read so far, 0 to 100. Its layer lengths and functions count in "
           "those steps.\n"
           "- `bvtool` takes times in seconds (`12.5s`) or milliseconds (`12500ms`, or a bare `12500`), and "
           "prints a document time as `12.50 s (1250)`: seconds, and the units a document holds.\n\n";
    return true;
}

void space_section(std::string &out) {
    out += "## Space\n\n"
           "Positions are in the models' units, angles in degrees. The axes are right-handed: through a "
           "camera at rest (at 0, 0, 0 with rotations 0) x points to the right of the picture, y up, and z "
           "out of the screen towards the viewer. The camera looks along -z, so what it sees lies at "
           "negative z (the worked example's camera stands at z = 4 to see the square at the origin). A "
           "positive angle turns counterclockwise as seen from the positive end of its axis (the "
           "right-hand rule). The engine builds its matrices as OpenGL's matrix calls do: each step "
           "multiplies on the right, so the last step written is the first to act on a vertex.\n\n"
           "- An item's instance is placed by translate(position) x face-camera turn x rotate about x x "
           "rotate about y x rotate about z x scale: a vertex of the mesh is scaled, turned about z, then "
           "about y, then about x (the world's axes through the item's origin), then moved to the "
           "position.\n"
           "- Seen through a camera at rest, a positive rotation about z turns the item counterclockwise on "
           "the screen; about y it carries the item's right side (+x) away from the viewer "
           "(counterclockwise seen from above); about x it carries its top (+y) towards the viewer.\n"
           "- Face camera (the item's 12th child): between the translation and the item's rotations the "
           "engine turns it about y by minus the camera's Y, about x by minus its X and about z by minus "
           "its Z, undoing the camera's turn: the item shows the camera the face it would show a camera "
           "at rest, and its own rotations act as they would there.\n"
           "- The camera position (a layer's first three values) is the eye's place in the world, in the "
           "items' space: the view is translated by its negative. The view is rotate about z by Z x rotate "
           "about x by X x rotate about y by Y x translate(-x, -y, -z): the world is moved so that the eye "
           "is at the origin, then turned about the eye by Y, then X, then Z.\n"
           "- So the camera looks along (sin Y cos X, -sin X, -cos Y cos X): a positive Y turns the view to "
           "the right (along +x at 90), a positive X tilts it down (along -y at 90), and a positive Z rolls "
           "the picture counterclockwise. To look from the camera at a point P, with d = P - camera "
           "position: Y = atan2(dx, -dz), X = -atan2(dy, sqrt(dx^2 + dz^2)), Z = 0 (in degrees).\n"
           "- Projection: a field of view is the vertical angle in degrees, with the aspect (picture width "
           "over height: 1.7777778 for the 16:9 picture the player draws), a near plane at 0.1 and the far "
           "value as the far plane. \"ortographic\" maps what the view gives with x from 0 at the "
           "picture's left edge to 1 at its right, y from 0 at the top to 1 at the bottom, and draws z from "
           "-1 (farthest) to 1 (nearest).\n"
           "- On the GLSL path a light's position is a point in the world, like an item's (the generated "
           "programs light with Viewmatrix x LightPosition). On the texture-combiner path OpenGL takes it "
           "through whatever modelview matrix is current when the material is applied (the previous "
           "drawing's), so there it is no fixed place in the world.\n"
           "- A layer of type 3 or 5 draws six passes from the camera position, each with rotations of "
           "its own in place of the camera's.\n\n";
}

std::string input_names(const render::ProgramInputDescriptor &d) {
    if (d.count == 0) return std::string("`") + d.name + "`";
    std::string first = std::string(d.name) + std::to_string(d.first);
    std::string last = std::string(d.name) + std::to_string(d.first + d.count - 1);
    return "`" + first + "` .. `" + last + "`";
}

void program_section(std::string &out) {
    out += "## What a program receives\n\n"
           "A material with `enable_glsl` set draws with the program that its `vertex_shader` and "
           "`fragment_shader` texts make, in GLSL as OpenGL 2 compiles it (`attribute`, `varying`, "
           "`gl_FragColor`; in the browser the player turns it into GLSL ES 3.00). On the texture-combiner "
           "path no program runs and the material's other settings draw. The engine gives a program the "
           "names below and nothing else; a name the program does not declare is skipped. Matrices are in "
           "OpenGL's column order: `gl_Position = Projection * Modelview * Position`. A draw is one item (or "
           "one glyph of a text item) in one pass of a layer: the material is applied once at its start, "
           "then every instance is drawn. The generated programs of the other materials receive the same "
           "names.\n\n"
           "| name | declared as | holds | set |\n|---|---|---|---|\n";
    for (int i = 0; i < render::kProgramInputCount; i++) {
        const render::ProgramInputDescriptor &d = render::kProgramInputs[i];
        out += "| " + input_names(d) + " | " +
               (d.kind == render::PROGRAM_ATTRIBUTE ? "attribute " : "uniform ") + docs_cell(d.glsl_type) +
               " | " + docs_cell(d.meaning) + " | " + docs_cell(d.when) + " |\n";
    }
    out += "\n";
}

} // namespace

bool docs_conventions(std::string &out, std::string *problem) {
    if (!time_section(out, problem)) return false;
    space_section(out);
    program_section(out);
    return true;
}

} // namespace tools
