// bvtool check: the documents read with the engine's readers, then every rule below over what
// they made; files decoded by the engine's decoders; the texture graph run by the engine's own
// generation; the programs compiled by this machine's GL.
#include "tools/tool_check.h"
#include "tools/bvtool.h"
#include "tools/tool_scene.h"

#include "functions/dynamic_value.h"
#include "functions/function.h"
#include "geometry/effect2d.h"
#include "geometry/font.h"
#include "geometry/manipulator.h"
#include "geometry/mesh_effect.h"
#include "geometry/model.h"
#include "maths/number_convert.h"
#include "music/music_stream.h"
#include "render/capabilities.h"
#include "render/layer.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "render/shader_text.h"
#include "resources/file_util.h"
#include "resources/log.h"
#include "resources/package.h"
#include "resources/packed.h"
#include "resources/xml.h"
#include "scene/document_schema.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "textures/image_file.h"
#include "textures/texture_definitions.h"
#include "textures/texture_filters.h"
#include "textures/texture_generators.h"
#include "textures/texture_graph.h"

#include <GL/glew.h>
#include <SDL.h>
#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tools {

using resources::xml_attribute;
using resources::xml_attribute_int;
using resources::xml_child_count;
using resources::xml_name_is;
using resources::XmlNode;

namespace {

// The lists records refer to by position.
enum ListKind : uint8_t {
    LIST_TEXTURE_LAYERS = 0,
    LIST_TEXTURES,
    LIST_MODELS,
    LIST_FUNCTIONS,
    LIST_LIGHTS,
    LIST_EFFECTS2D,
    LIST_BITMAPS,
    LIST_CUBE_MAPS,
    LIST_FONTS,
    LIST_TEXTURE_SLOTS,
    LIST_MATERIALS,
    LIST_MESH_EFFECTS,
    LIST_OBJECTS,
    kListCount
};
struct ListName {
    const char *one, *many;
};
constexpr ListName kListNames[] = {
    {"texture layer", "texture layers"},
    {"procedural texture", "procedural textures"},
    {"model", "models"},
    {"function", "functions"},
    {"light", "lights"},
    {"2D effect", "2D effects"},
    {"bitmap", "bitmaps"},
    {"cube map", "cube maps"},
    {"font", "fonts"},
    {"texture slot", "texture slots"},
    {"material", "materials"},
    {"mesh effect", "mesh effects"},
    {"object", "objects"},
};
static_assert(sizeof(kListNames) / sizeof(kListNames[0]) == kListCount, "one name per list");

std::string format_text(const char *fmt, va_list args) {
    char buf[1024];
    std::vsnprintf(buf, sizeof buf, fmt, args);
    return buf;
}

std::string format(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string format(const char *f, ...) {
    va_list args;
    va_start(args, f);
    std::string s = format_text(f, args);
    va_end(args);
    return s;
}

// "there are 9 bitmaps", "there is 1 bitmap", "there are no bitmaps".
std::string there_are(uint32_t n, ListKind list) {
    if (n == 0) return std::string("there are no ") + kListNames[list].many;
    if (n == 1) return std::string("there is 1 ") + kListNames[list].one;
    return format("there are %u %s", n, kListNames[list].many);
}

// One document being checked: its sections, the records the engine's readers made of them and the
// length of every list.
struct Doc {
    CheckReport *report;
    std::string file;
    bool demo;
    const XmlNode *top;
    const XmlNode *section[scene::kDocumentSectionCount + 1]; // 1-based; null when missing
    scene::Scene *sc;
    uint32_t count[kListCount];
};

void flag_at(Doc &d, const XmlNode *at, bool structural, const std::string &message) {
    d.report->findings.push_back(CheckFinding{d.file, at ? at->line : 0, message, structural});
}

void flag(Doc &d, const XmlNode *at, const char *f, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
void flag(Doc &d, const XmlNode *at, const char *f, ...) {
    va_list args;
    va_start(args, f);
    flag_at(d, at, false, format_text(f, args));
    va_end(args);
}

const XmlNode *child_at(const XmlNode *parent, int n) {
    const XmlNode *c = parent ? parent->first_child : nullptr;
    for (int i = 0; c && i < n; i++)
        c = c->next;
    return c;
}

const char *name_of(const XmlNode *n) {
    return n && n->name ? n->name : "?";
}

// A reference by position: 0 is none (allowed unless zero_is_wrong), anything else must name a
// record. Returns whether it names one.
bool reference(Doc &d, const XmlNode *at, const std::string &who, const char *field, int64_t index,
               ListKind list) {
    uint32_t n = d.count[list];
    if (list == LIST_TEXTURE_LAYERS) {
        if (index >= 0 && index < int64_t(n)) return true;
        flag(d, at, "%s: %s names texture layer %lld, but %s%s", who.c_str(), field,
             static_cast<long long>(index), there_are(n, list).c_str(),
             n ? format(" (0 to %u)", n - 1).c_str() : "");
        return false;
    }
    if (index == 0) return false;
    if (index > 0 && index <= int64_t(n)) return true;
    flag(d, at, "%s: %s names %s %lld, but %s", who.c_str(), field, kListNames[list].one,
         static_cast<long long>(index), there_are(n, list).c_str());
    return false;
}

// Attributes the form's reader does not read.
void unread_attributes(Doc &d, const XmlNode *el, scene::DocumentForm form, const std::string &who) {
    for (int32_t i = 0; el && i < el->attribute_count; i++) {
        const char *name = el->attributes[i].name;
        if (scene::document_form_reads(form, name)) continue;
        const scene::DocumentFormDescriptor &f = scene::kDocumentForms[form];
        std::string reads;
        for (uint8_t k = 0; k < f.attribute_count; k++)
            reads += std::string(k ? ", " : "") + f.attributes[k].name;
        flag(d, el, "%s: attribute \"%s\" is not read (%s)", who.c_str(), name ? name : "",
             reads.empty() ? "it reads no attributes" : ("it reads " + reads).c_str());
    }
}

// Children of an element whose reader reads none.
void unread_children(Doc &d, const XmlNode *el, const std::string &who) {
    for (const XmlNode *c = el ? el->first_child : nullptr; c; c = c->next)
        flag(d, c, "%s: child <%s> is not read", who.c_str(), name_of(c));
}

// "the last 2 are ignored" / "the last one is ignored".
std::string ignored_tail(int extra) {
    return extra == 1 ? "the last one is ignored" : format("the last %d are ignored", extra);
}

// An integer attribute stored in a byte (wrapped): reports a value that does not fit.
void byte_field(Doc &d, const XmlNode *el, const std::string &who, const char *attribute) {
    const char *text = xml_attribute(el, attribute);
    if (!text) return;
    int32_t v = resources::xml_to_int(text);
    if (v >= 0 && v <= 255) return;
    flag(d, el, "%s: %s %d does not fit its byte and is read as %u", who.c_str(), attribute, v,
         static_cast<uint8_t>(v));
}

// texture_format and texture_filter of bitmaps, cube maps, 2D effects and output nodes.
void format_and_filter(Doc &d, const XmlNode *el, const std::string &who, bool filter_matters) {
    byte_field(d, el, who, "texture_format");
    byte_field(d, el, who, "texture_filter");
    uint8_t f = static_cast<uint8_t>(xml_attribute_int(el, "texture_format"));
    if (f > 7)
        flag(d, el, "%s: texture_format %u is not in the format table (0..7): it is read as 0 (RGB)",
             who.c_str(), f);
    uint8_t filter = static_cast<uint8_t>(xml_attribute_int(el, "texture_filter"));
    if (filter_matters && filter > 2)
        flag(d, el,
             "%s: texture_filter %u is not 0, 1 or 2: no filter is set, and the texture, which has no mip "
             "levels, draws blank",
             who.c_str(), filter);
}

// A dynamic value element read with the section's test: `what` of record `who`.
void dynamic_value(Doc &d, const XmlNode *el, const std::string &who, const std::string &what,
                   functions::DynamicTest test) {
    if (!el) return;
    unread_attributes(d, el, scene::FORM_DYNAMIC_VALUE, who + " " + what);
    const char *type = xml_attribute(el, "type");
    uint32_t slot = 0;
    bool dynamic = functions::dynamic_read(el, test, &slot) != 0;
    bool plain = type && (std::strcmp(type, "static") == 0 || std::strcmp(type, "dynamic") == 0);
    if (!plain && (type || test == functions::DYNAMIC_UNLESS_STATIC))
        flag(d, el, "%s: %s has %s, which is read as %s (only \"static\" and \"dynamic\" are meant)",
             who.c_str(), what.c_str(), type ? format("type \"%s\"", type).c_str() : "no type",
             dynamic ? format("dynamic, function %d", static_cast<int32_t>(slot)).c_str() : "static");
    if (!dynamic) return;
    if (slot == 0)
        flag(d, el, "%s: %s is dynamic but names no function (0): it reads 0", who.c_str(), what.c_str());
    else
        reference(d, el, who, what.c_str(), static_cast<int32_t>(slot), LIST_FUNCTIONS);
}

// More values than a kind reads.
void too_many(Doc &d, const XmlNode *at, const std::string &who, int given, int reads,
              const std::string &kind, const std::string &names) {
    if (given <= reads) return;
    flag(d, at, "%s: %d values, but %s reads %d%s%s; %s", who.c_str(), given, kind.c_str(), reads,
         names.empty() ? "" : " (", names.empty() ? "" : (names + ")").c_str(),
         ignored_tail(given - reads).c_str());
}

template <typename Descriptor> std::string parameter_names(const Descriptor &d, int count) {
    std::string s;
    for (int i = 0; i < count; i++)
        s += std::string(i ? ", " : "") + d.parameter_names[i];
    return s;
}

// ---------------------------------------------------------------------------------------------
// Structure

// Sections by position, and their names held against the names the documents give them.
bool check_structure(Doc &d, const XmlNode *document) {
    d.top = document ? document->first_child : nullptr;
    if (!d.top) {
        flag_at(d, nullptr, true, "the document has no top element");
        return false;
    }
    int n = xml_child_count(d.top);
    const XmlNode *s = d.top->first_child;
    for (int i = 1; i <= scene::kDocumentSectionCount; i++, s = s ? s->next : nullptr)
        d.section[i] = s;
    int needed = d.demo ? scene::kRequiredSections + 1 : scene::kRequiredSections;
    // A section called by another position's name means one is missing or out of place.
    bool shifted = false;
    for (int i = 1; i <= scene::kDocumentSectionCount && d.section[i] && !shifted; i++) {
        const char *name = d.section[i]->name;
        for (int j = 1; name && j <= scene::kDocumentSectionCount && !shifted; j++) {
            if (j == i || std::strcmp(name, scene::kDocumentSections[j - 1].name) != 0) continue;
            if (n >= scene::kRequiredSections)
                flag_at(
                    d, d.section[i], true,
                    format("section %d is <%s>, the name of section %d: sections are read by position, so "
                           "this one is read as %s",
                           i, name, j, scene::kDocumentSections[i - 1].name));
            shifted = true;
        }
    }
    if (n < scene::kRequiredSections)
        flag_at(
            d, d.top, true,
            format(
                "<%s> has %d sections, but the player reads %d by position (texture_layers to timeline%s): "
                "it refuses the document",
                name_of(d.top), n, scene::kRequiredSections, d.demo ? ", then music" : ""));
    else if (n < needed && !shifted)
        flag(d, d.top, "<%s> has no music section (the fifteenth): the demo plays without music",
             name_of(d.top));
    int last = d.demo ? scene::kDocumentSectionCount : scene::kRequiredSections;
    for (const XmlNode *extra = child_at(d.top, last); extra; extra = extra->next) {
        if (!d.demo && extra == d.section[scene::kMusicSection]) {
            if (xml_attribute(extra, "file"))
                flag(d, extra, "the loading document's music is not read: only the demo's plays");
            continue;
        }
        flag(d, extra, "section <%s> comes after the last one read and is not read", name_of(extra));
    }
    if (n < scene::kRequiredSections || shifted) return false;
    int layers = xml_child_count(d.section[1]);
    if (layers > int(textures::kMaxTextureLayers)) {
        flag_at(d, d.section[1], true,
                format("%d texture layers, but at most %u are allowed: the player refuses the document",
                       layers, textures::kMaxTextureLayers));
        return false;
    }
    return true;
}

// The records, made by the engine's readers (no GL: output nodes get no texture, materials no program).
void read_records(Doc &d) {
    for (int i = 1; i <= scene::kRequiredSections; i++) {
        uint32_t n = static_cast<uint32_t>(xml_child_count(d.section[i]));
        if (i != 1 && n > resources::kObjectListCapacity) {
            flag(d, d.section[i], "%u records, but a list holds %u: the rest are not read", n,
                 resources::kObjectListCapacity);
            n = resources::kObjectListCapacity;
        }
        if (i <= kListCount) d.count[i - 1] = n;
    }
    scene::Scene *sc = d.sc;
    for (const XmlNode *r = d.section[2]->first_child; r; r = r->next) {
        uint32_t slot = resources::object_list_add(sc->textures);
        if (slot)
            textures::procedural_texture_parse(
                static_cast<textures::ProceduralTexture *>(sc->textures->record[slot - 1]), r);
    }
    for (const XmlNode *r = d.section[4]->first_child; r; r = r->next)
        functions::function_read(sc->functions, r);
    for (const XmlNode *r = d.section[5]->first_child; r; r = r->next)
        render::light_read(sc->lights, r);
    for (const XmlNode *r = d.section[9]->first_child; r; r = r->next)
        geometry::font_read(sc->fonts, r);
    for (const XmlNode *r = d.section[10]->first_child; r; r = r->next)
        render::texture_slot_read(sc->texture_slots, r);
    render::Capabilities caps = {};
    caps.texture_units = 4;
    for (const XmlNode *r = d.section[11]->first_child; r; r = r->next)
        render::material_read(sc, r, 0, caps);
    for (const XmlNode *r = d.section[13]->first_child; r; r = r->next)
        render::scene_object_read(sc->objects, r);
    render::layer_section_read(sc, d.section[14], nullptr, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Sections 1 and 2: texture layers and the graph's nodes

void check_texture_layers(Doc &d) {
    int index = 0;
    for (const XmlNode *el = d.section[1]->first_child; el; el = el->next, index++) {
        std::string who = format("texture layer %d", index);
        unread_attributes(d, el, scene::FORM_TEXTURE_LAYER, who);
        int32_t kind = xml_attribute_int(el, "type");
        int given = xml_child_count(el);
        if (kind < 0 || kind >= textures::kGeneratorCount) {
            flag(d, el, "%s: generator %d is not in the table (0..%d, Color to Noise): the layer stays black",
                 who.c_str(), kind, textures::kGeneratorCount - 1);
            continue;
        }
        const textures::GeneratorDescriptor &g = textures::kGeneratorDescriptors[kind];
        int reads = g.colour_count * 3 + g.float_count;
        std::string names;
        for (int i = 0; i < g.colour_count + g.float_count; i++)
            names += std::string(i ? ", " : "") + g.parameter_names[i] +
                     (i < g.colour_count ? " (red, green, blue)" : "");
        too_many(d, el, who, given, reads, format("generator %d \"%s\"", kind, g.name), names);
    }
}

bool two_input_type(uint8_t type) {
    return type >= 207 && type <= 210;
}

void check_nodes(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[2]->first_child; el; el = el->next, position++) {
        const textures::ProceduralTexture *t = resources::object_at<textures::ProceduralTexture>(
            d.sc->textures, static_cast<uint32_t>(position));
        if (!t) break;
        std::string who = format("procedural texture %d", position);
        unread_attributes(d, el, scene::FORM_PROCEDURAL_TEXTURE, who);
        byte_field(d, el, who, "type");
        int row = textures::texture_filter_row(t->type);
        if (t->type == textures::kOutputNodeType) {
            format_and_filter(d, el, who, true);
            if (xml_attribute_int(el, "layer_id") != 0)
                flag(d, el, "%s: layer_id is not read by an output node", who.c_str());
            for (const XmlNode *c = child_at(el, 1); c; c = c->next)
                flag(d, c, "%s: child <%s> is not read: an output node reads only its first input",
                     who.c_str(), name_of(c));
        } else if (row < 0) {
            flag(d, el, "%s: type %u has no operation: the node's image stays black", who.c_str(), t->type);
        }
        if (t->type > 200 && xml_attribute_int(el, "layer_id") != 0 && t->type != textures::kOutputNodeType)
            flag(d, el, "%s: layer_id is read only for types up to 200", who.c_str());
        const XmlNode *first = el->first_child;
        if (first) reference(d, first, who, "its first input", t->first_input, LIST_TEXTURES);
        if (t->first_input == position) flag(d, first, "%s: reads itself", who.c_str());
        if (t->type == textures::kOutputNodeType) continue;
        const XmlNode *c = first ? first->next : nullptr;
        if (c && xml_name_is(c, textures::kNodeSecondInputName)) {
            reference(d, c, who, "its second input", t->second_input, LIST_TEXTURES);
            if (t->second_input && !two_input_type(t->type))
                flag(d, c,
                     "%s: the second input is not used: only types 207 to 210 (Add 2 to Min 2) read one",
                     who.c_str());
            c = c->next;
        }
        int outputs = 0;
        for (; c && xml_name_is(c, textures::kNodeOutputName); c = c->next, outputs++) {
            if (outputs == textures::kNodeOutputs) {
                flag(d, c, "%s: more than %d outputs; the rest are ignored", who.c_str(),
                     textures::kNodeOutputs);
                break;
            }
            reference(d, c, who, "an output", resources::xml_text_int(c), LIST_TEXTURES);
        }
        while (c && xml_name_is(c, textures::kNodeOutputName))
            c = c->next;
        int given = 0;
        for (const XmlNode *p = c; p; p = p->next, given++)
            if (xml_name_is(p, textures::kNodeSecondInputName) || xml_name_is(p, textures::kNodeOutputName))
                flag(d, p,
                     "%s: <%s> stands among the parameters and is read as one: the second input and the "
                     "outputs come right after the first input",
                     who.c_str(), name_of(p));
        if (row >= 0) {
            const textures::FilterDescriptor &f = textures::kFilterDescriptors[row];
            too_many(d, c, who, given, f.parameter_count, format("type %u \"%s\"", t->type, f.name),
                     parameter_names(f, f.parameter_count));
            if (t->type <= 200) reference(d, el, who, "layer_id", t->layer_index, LIST_TEXTURE_LAYERS);
        } else if (given > 0) {
            flag(d, c, "%s: %d parameter values, but type %u reads none; they are ignored", who.c_str(),
                 given, t->type);
        }
    }
    // Inputs and outputs must agree: the graph follows outputs to reach a node after its inputs.
    for (uint32_t p = 1; p <= d.sc->textures->count; p++) {
        const textures::ProceduralTexture *t =
            resources::object_at<textures::ProceduralTexture>(d.sc->textures, p);
        const XmlNode *el = child_at(d.section[2], int(p) - 1);
        for (uint8_t i = 0; t && i < t->output_count; i++) {
            const textures::ProceduralTexture *o = resources::object_at<textures::ProceduralTexture>(
                d.sc->textures, static_cast<uint32_t>(t->outputs[i]));
            if (o && o->first_input != int32_t(p) && o->second_input != int32_t(p))
                flag(d, el, "procedural texture %u: lists %d among its outputs, but %d does not read it", p,
                     t->outputs[i], t->outputs[i]);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Sections 3 to 10

void check_models(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[3]->first_child; el; el = el->next, position++) {
        std::string who = format("model %d", position);
        unread_attributes(d, el, scene::FORM_MODEL, who);
        unread_children(d, el, who);
        if (!xml_attribute(el, "filename")) flag(d, el, "%s: has no filename: it stays empty", who.c_str());
    }
}

void check_functions(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[4]->first_child; el; el = el->next, position++) {
        functions::Function *f =
            resources::object_at<functions::Function>(d.sc->functions, uint32_t(position));
        if (!f) break;
        std::string who = format("function %d", position);
        unread_attributes(d, el, scene::FORM_FUNCTION, who);
        byte_field(d, el, who, "loop_type");
        if (f->loop_mode > 2)
            flag(d, el,
                 "%s: loop_type %u is not 0 (Off), 1 (Loop) or 2 (Ping-pong): the function does not loop",
                 who.c_str(), f->loop_mode);
        if ((f->loop_mode == functions::LOOP_LOOP || f->loop_mode == functions::LOOP_PING_PONG) &&
            !(maths::convert_to_i32(f->loop_end) > maths::convert_to_i32(f->loop_begin)))
            flag(d, el, "%s: loop_end %g is not after loop_begin %g: the function does not loop", who.c_str(),
                 double(f->loop_end), double(f->loop_begin));
        int s = 0;
        for (const XmlNode *seg = el->first_child; seg; seg = seg->next, s++) {
            if (s == functions::kMaxSegments) {
                flag(d, seg, "%s: more than %d segments; the rest are ignored", who.c_str(),
                     functions::kMaxSegments);
                break;
            }
            std::string part = format("%s segment %d", who.c_str(), s + 1);
            unread_attributes(d, seg, scene::FORM_SEGMENT, part);
            int32_t kind = xml_attribute_int(seg, "type");
            if (xml_attribute_int(seg, "length") < 0)
                flag(d, seg, "%s: length %d is negative and is read as %u", part.c_str(),
                     xml_attribute_int(seg, "length"), f->segment_lengths[s]);
            int given = xml_child_count(seg);
            if (kind < 0 || kind >= functions::kSegmentKindCount) {
                flag(d, seg, "%s: kind %d is not in the table (0..%d, Constant to Sinus * x): it gives 1.0",
                     part.c_str(), kind, functions::kSegmentKindCount - 1);
                continue;
            }
            const functions::SegmentDescriptor &k = functions::kSegmentDescriptors[kind];
            too_many(d, seg, part, given, k.parameter_count, format("kind %d \"%s\"", kind, k.name),
                     parameter_names(k, k.parameter_count));
        }
    }
}

void check_lights(Doc &d) {
    static const char *const kSlots[9] = {"ambient red", "ambient green", "ambient blue",
                                          "diffuse red", "diffuse green", "diffuse blue",
                                          "position x",  "position y",    "position z"};
    int position = 1;
    for (const XmlNode *el = d.section[5]->first_child; el; el = el->next, position++) {
        std::string who = format("light %d", position);
        unread_attributes(d, el, scene::FORM_LIGHT, who);
        int i = 0;
        for (const XmlNode *c = el->first_child; c; c = c->next, i++) {
            if (i == 9) {
                flag(d, c, "%s: more than nine values; the rest are ignored", who.c_str());
                break;
            }
            dynamic_value(d, c, who, kSlots[i], functions::DYNAMIC_IF_DYNAMIC);
        }
    }
}

// The "p" children of 2D effects and mesh effects: function indices, read until another name.
template <typename Descriptor>
void parameter_children(Doc &d, const XmlNode *el, const std::string &who, const char *child_name,
                        const Descriptor *kind) {
    int given = 0;
    const XmlNode *c = el->first_child;
    for (; c && xml_name_is(c, child_name); c = c->next, given++) {
        int32_t index = resources::xml_text_int(c);
        if (index < 0 || index > 0xFFFF)
            flag(d, c, "%s: function index %d does not fit 16 bits", who.c_str(), index);
        else
            reference(d, c, who, format("parameter %d", given + 1).c_str(), index, LIST_FUNCTIONS);
    }
    for (; c; c = c->next)
        flag(d, c, "%s: child <%s> is not read: reading stops at the first child not named %s", who.c_str(),
             name_of(c), child_name);
    if (kind)
        too_many(d, el, who, given, kind->parameter_count, format("\"%s\"", kind->name),
                 parameter_names(*kind, kind->parameter_count));
}

void check_effects2d(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[6]->first_child; el; el = el->next, position++) {
        std::string who = format("2D effect %d", position);
        unread_attributes(d, el, scene::FORM_EFFECT2D, who);
        format_and_filter(d, el, who, false);
        int32_t kind = xml_attribute_int(el, "type");
        const char *resolution = xml_attribute(el, "resolution");
        uint16_t size = geometry::effect2d_resolution(resolution);
        if (!resolution)
            flag(d, el, "%s: has no resolution: the effect is 512 x 512", who.c_str());
        else if (size == geometry::kEffect2DMaxSize && std::strcmp(resolution, "512x512") != 0)
            flag(d, el, "%s: resolution \"%s\" is not 64x64, 128x128 or 256x256: the effect is 512 x 512",
                 who.c_str(), resolution);
        const char *bpp = xml_attribute(el, "bpp");
        uint8_t bits = geometry::effect2d_bits(bpp);
        if (bpp && std::strcmp(bpp, "8") != 0 && std::strcmp(bpp, "24") != 0)
            flag(d, el, "%s: bpp \"%s\" is neither \"8\" nor \"24\": it is read as 24", who.c_str(), bpp);
        const geometry::Effect2DDescriptor *k = nullptr;
        if (kind < 0 || kind >= geometry::kEffect2DKindCount)
            flag(d, el,
                 "%s: kind %d is not in the table (0..%d, Test 2d effect to Normalmap): the texture stays "
                 "black",
                 who.c_str(), kind, geometry::kEffect2DKindCount - 1);
        else
            k = &geometry::kEffect2DDescriptors[kind];
        if (kind == geometry::EFFECT2D_NORMALMAP && bits == 8)
            flag(d, el, "%s: Normalmap draws nothing at 8 bits a pixel", who.c_str());
        parameter_children(d, el, who, geometry::kEffect2DParameterName, k);
    }
}

void check_bitmaps(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[7]->first_child; el; el = el->next, position++) {
        std::string who = format("bitmap %d", position);
        unread_attributes(d, el, scene::FORM_BITMAP, who);
        unread_children(d, el, who);
        format_and_filter(d, el, who, true);
        if (!xml_attribute(el, "filename")) flag(d, el, "%s: has no filename: it has no image", who.c_str());
    }
}

const char *const kFaceAttributes[6] = {"xp", "xn", "yp", "yn", "zp", "zn"};

void check_cube_maps(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[8]->first_child; el; el = el->next, position++) {
        std::string who = format("cube map %d", position);
        unread_attributes(d, el, scene::FORM_CUBE_MAP, who);
        unread_children(d, el, who);
        format_and_filter(d, el, who, false);
        for (const char *face : kFaceAttributes) {
            const char *name = xml_attribute(el, face);
            if (!name || !name[0])
                flag(d, el, "%s: face %s is %s: the cube map has no image", who.c_str(), face,
                     name ? "empty" : "missing");
        }
    }
}

void check_fonts(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[9]->first_child; el; el = el->next, position++) {
        std::string who = format("font %d", position);
        unread_attributes(d, el, scene::FORM_FONT, who);
        int glyphs = xml_child_count(el);
        if (glyphs < geometry::kFontGlyphCount)
            flag(d, el, "%s: %d glyph%s, but a font has %d: glyphs %d to %d stay empty", who.c_str(), glyphs,
                 glyphs == 1 ? "" : "s", geometry::kFontGlyphCount, glyphs, geometry::kFontGlyphCount - 1);
        int g = 0;
        for (const XmlNode *c = el->first_child; c; c = c->next, g++) {
            if (g == geometry::kFontGlyphCount) {
                flag(d, c, "%s: more than %d glyphs; the rest are ignored", who.c_str(),
                     geometry::kFontGlyphCount);
                break;
            }
            std::string glyph = format("%s glyph %d (%s)", who.c_str(), g, scene::kGlyphNames[g]);
            unread_attributes(d, c, scene::FORM_GLYPH, glyph);
            unread_children(d, c, glyph);
            int32_t model = xml_attribute_int(c, "model"), material = xml_attribute_int(c, "material");
            bool has_model = reference(d, c, glyph, "model", model, LIST_MODELS);
            reference(d, c, glyph, "material", material, LIST_MATERIALS);
            reference(d, c, glyph, "bitmap", xml_attribute_int(c, "bitmap"), LIST_BITMAPS);
            if (has_model && material == 0)
                flag(d, c, "%s: has a model but no material: it is never drawn", glyph.c_str());
        }
    }
}

void check_texture_slots(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[10]->first_child; el; el = el->next, position++) {
        const render::TextureSlot *s =
            resources::object_at<render::TextureSlot>(d.sc->texture_slots, uint32_t(position));
        if (!s) break;
        std::string who = format("texture slot %d", position);
        unread_attributes(d, el, scene::FORM_TEXTURE_SLOT, who);
        unread_children(d, el, who);
        byte_field(d, el, who, "type");
        uint8_t kind = s->kind;
        if (kind >= render::kTextureKindCount) {
            flag(d, el,
                 "%s: kind %u is not 0..3 (procedural texture, bitmap, 2D effect, cube map): it is read as a "
                 "cube map",
                 who.c_str(), kind);
            kind = render::TEXTURE_CUBE;
        }
        static const ListKind kLists[4] = {LIST_TEXTURES, LIST_BITMAPS, LIST_EFFECTS2D, LIST_CUBE_MAPS};
        if (s->index == 0) {
            flag(d, el, "%s: id 0 names no %s: the slot shows no texture", who.c_str(),
                 kListNames[kLists[kind]].one);
            continue;
        }
        if (!reference(d, el, who, "id", s->index, kLists[kind]) || kind != render::TEXTURE_PROCEDURAL)
            continue;
        const textures::ProceduralTexture *t = resources::object_at<textures::ProceduralTexture>(
            d.sc->textures, static_cast<uint32_t>(s->index));
        if (t && t->type != textures::kOutputNodeType)
            flag(d, el,
                 "%s: procedural texture %d is not an output node (type 255): it has no texture to show",
                 who.c_str(), s->index);
    }
}

// ---------------------------------------------------------------------------------------------
// Section 11: materials

void check_materials(Doc &d) {
    static const char *const kDynamicNames[7] = {"red",       "green",    "blue",  "alpha",
                                                 "linewidth", "fogstart", "fogend"};
    int position = 1;
    for (const XmlNode *el = d.section[11]->first_child; el; el = el->next, position++) {
        render::Material *m = resources::object_at<render::Material>(d.sc->materials, uint32_t(position));
        if (!m) break;
        std::string who = format("material %d", position);
        unread_attributes(d, el, scene::FORM_MATERIAL, who);
        const XmlNode *row_el[render::kMaterialChildCount] = {};
        for (const XmlNode *c = el->first_child; c; c = c->next) {
            int row = render::material_child_of(c);
            if (row < 0) {
                flag(d, c, "%s: child <%s> is not a material setting and is not read", who.c_str(),
                     name_of(c));
                continue;
            }
            row_el[row] = c;
            for (int32_t a = 0; a < c->attribute_count; a++)
                if (!scene::material_child_reads(row, c->attributes[a].name))
                    flag(d, c, "%s: %s: attribute \"%s\" is not read", who.c_str(), name_of(c),
                         c->attributes[a].name ? c->attributes[a].name : "");
            if (row >= render::MATERIAL_RED && row < render::MATERIAL_RED + 7)
                dynamic_value(d, c, who, kDynamicNames[row - render::MATERIAL_RED],
                              functions::DYNAMIC_UNLESS_STATIC);
            if (row <= render::MATERIAL_ENABLE_GLSL) byte_field(d, c, who + " " + name_of(c), "value");
            if (row >= render::MATERIAL_TEXTURE1 && row < render::MATERIAL_TEXTURE1 + 3)
                for (const char *a : {"wrapmode", "cgenmode", "rotation", "function"})
                    byte_field(d, c, who + " " + name_of(c), a);
        }
        auto at = [&](int row) { return row_el[row] ? row_el[row] : el; };
        if (m->blend_function >= render::kBlendFunctionCount)
            flag(d, at(render::MATERIAL_BLEND_FUNCTION),
                 "%s: blend_function %u is not 0..4: blending stays as the previous draw left it",
                 who.c_str(), m->blend_function);
        for (int i = 0; i < 2; i++)
            reference(d, at(render::MATERIAL_LIGHT1 + i), who, i ? "light2" : "light1", m->light[i],
                      LIST_LIGHTS);
        if (m->light[1] && !m->light[0])
            flag(d, at(render::MATERIAL_LIGHT2), "%s: light2 is set without light1: it is ignored",
                 who.c_str());
        reference(d, at(render::MATERIAL_FOGCOLOR), who, "fogcolor", m->fogcolor, LIST_LIGHTS);
        for (int i = 0; i < 3; i++) {
            const XmlNode *t = at(render::MATERIAL_TEXTURE1 + i);
            std::string field = format("texture%d", i + 1);
            if (!m->texture[i]) continue;
            bool named = reference(d, t, who, field.c_str(), m->texture[i], LIST_TEXTURE_SLOTS);
            if (i > 0 && !m->texture[i - 1])
                flag(d, t, "%s: %s is set without texture%d: %s", who.c_str(), field.c_str(), i,
                     i == 1 ? "no texture is drawn at all" : "it is ignored");
            if (m->wrapmode[i] > 1)
                flag(d, t,
                     "%s: %s wrapmode %u is not 0 (repeat) or 1 (clamp): the wrap mode is left as it was",
                     who.c_str(), field.c_str(), m->wrapmode[i]);
            if (m->cgenmode[i] >= render::kCgenModeCount)
                flag(d, t, "%s: %s cgenmode %u is not 0, 1 or 2: the texture has no coordinates", who.c_str(),
                     field.c_str(), m->cgenmode[i]);
            if (i == 0 && m->function[0] >= render::kUnit0FunctionCount)
                flag(d, t,
                     "%s: texture1 function %u is not 0..3: the unit combines as the previous draw left it",
                     who.c_str(), m->function[0]);
            if (i == 1 && m->function[1] >= render::kUnit1FunctionCount)
                flag(d, t, "%s: texture2 function %u is not 0..5: the generated GLSL does not compile",
                     who.c_str(), m->function[1]);
            const render::TextureSlot *s =
                named ? resources::object_at<render::TextureSlot>(d.sc->texture_slots,
                                                                  static_cast<uint32_t>(m->texture[i]))
                      : nullptr;
            if (s && s->kind >= render::TEXTURE_CUBE && m->cgenmode[i] != 2)
                flag(d, t, "%s: %s is a cube map (texture slot %d) but cgenmode is %u: cube maps need 2",
                     who.c_str(), field.c_str(), m->texture[i], m->cgenmode[i]);
        }
        if (const XmlNode *u = row_el[render::MATERIAL_GLSL_UNIFORMS])
            for (int i = 0; i < render::kUniformCount; i++)
                reference(d, u, who, format("glsl_uniforms u%d", i + 1).c_str(),
                          static_cast<int32_t>(m->custom.uniform_sources[i]), LIST_FUNCTIONS);
        bool has_vs = row_el[render::MATERIAL_VERTEX_SHADER],
             has_fs = row_el[render::MATERIAL_FRAGMENT_SHADER];
        if (m->enable_glsl) {
            if (!m->custom.vertex_length || !m->custom.fragment_length)
                flag(d, at(render::MATERIAL_ENABLE_GLSL),
                     "%s: enable_glsl is set, but %s is empty: nothing is drawn", who.c_str(),
                     !m->custom.vertex_length ? "vertex_shader" : "fragment_shader");
        } else if (has_vs || has_fs) {
            flag(d, at(has_vs ? render::MATERIAL_VERTEX_SHADER : render::MATERIAL_FRAGMENT_SHADER),
                 "%s: has a custom program, but enable_glsl is 0: it is not used", who.c_str());
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Sections 12 and 13: mesh effects and objects

void check_mesh_effects(Doc &d) {
    int position = 1;
    for (const XmlNode *el = d.section[12]->first_child; el; el = el->next, position++) {
        std::string who = format("mesh effect %d", position);
        unread_attributes(d, el, scene::FORM_MESH_EFFECT, who);
        int32_t kind = xml_attribute_int(el, "type");
        const geometry::MeshEffectDescriptor *k = nullptr;
        if (kind < 0 || kind >= geometry::kMeshEffectKindCount)
            flag(d, el,
                 "%s: kind %d is not in the table (0..%d, Lake water to Umbrella): the mesh stays empty",
                 who.c_str(), kind, geometry::kMeshEffectKindCount - 1);
        else
            k = &geometry::kMeshEffectDescriptors[kind];
        parameter_children(d, el, who, geometry::kMeshEffectParameterName, k);
    }
}

// The glyphs a text asks for that its font cannot draw.
void check_text(Doc &d, const XmlNode *el, const std::string &who, const render::Item &item) {
    const char *text = xml_attribute(el, "text");
    if (!text) return;
    size_t length = std::strlen(text);
    if (length > size_t(geometry::kTextMaxBytes))
        flag(d, el, "%s: text is %u bytes, but an item holds %d: it is cut to \"%s\"", who.c_str(),
             unsigned(length), geometry::kTextMaxBytes, item.text);
    const geometry::Font *font = resources::object_at<geometry::Font>(d.sc->fonts, item.font);
    std::string skipped, missing;
    for (size_t j = 0; j < std::strlen(item.text); j++) {
        size_t first = j;
        uint8_t g = geometry::font_glyph_of_byte(static_cast<uint8_t>(item.text[j]));
        if (g == geometry::kGlyphLeadMarker)
            g = item.text[++j] ? geometry::font_glyph_of_second_byte(static_cast<uint8_t>(item.text[j]))
                               : geometry::kGlyphNone;
        std::string ch(item.text + first, item.text[j] ? j + 1 - first : j - first);
        if (g >= geometry::kFontGlyphCount) {
            if (skipped.find(ch) == std::string::npos) skipped += ch;
        } else if (font && font->model[g] == 0 && g != 86 && missing.find(ch) == std::string::npos) {
            missing += ch;
        }
    }
    if (!skipped.empty())
        flag(d, el, "%s: \"%s\" has no glyph for \"%s\": skipped", who.c_str(), item.text, skipped.c_str());
    if (!missing.empty())
        flag(d, el, "%s: font %u has no model for \"%s\": not drawn", who.c_str(), item.font,
             missing.c_str());
}

void check_manipulator(Doc &d, const XmlNode *el, const std::string &who,
                       const geometry::ManipulatorEntry &e) {
    unread_attributes(d, el, scene::FORM_MANIPULATOR, who);
    const geometry::ManipulatorDescriptor *k =
        e.kind < geometry::kManipulatorKindCount ? &geometry::kManipulatorDescriptors[e.kind] : nullptr;
    if (!k)
        flag(d, el,
             "%s: kind %d is not in the table (0..%d, XYZ Multiplier to Radial move): the instances pass "
             "through",
             who.c_str(), xml_attribute_int(el, "type"), geometry::kManipulatorKindCount - 1);
    const XmlNode *c = el->first_child;
    bool target = c && xml_name_is(c, render::kManipulatorTargetName);
    if (target) {
        unread_attributes(d, c, scene::FORM_MANIPULATOR_TARGET, who + " target");
        if (k && !k->needs_target) flag(d, c, "%s: %s takes no target; it is ignored", who.c_str(), k->name);
        if (e.target_index)
            reference(d, c, who, "its target", xml_attribute_int(c, "model"),
                      e.target_kind == 0 ? LIST_MODELS : LIST_MESH_EFFECTS);
        c = c->next;
    }
    if (k && k->needs_target && !e.target_index)
        flag(d, target ? el->first_child : el, "%s: %s has no target: the instances pass through",
             who.c_str(), k->name);
    int given = 0;
    for (; c; c = c->next, given++) {
        if (given == geometry::kManipulatorParameters) {
            flag(d, c, "%s: more than %d parameters; the rest are ignored", who.c_str(),
                 geometry::kManipulatorParameters);
            break;
        }
        dynamic_value(d, c, who, format("parameter %d", given + 1), functions::DYNAMIC_IF_DYNAMIC);
    }
    if (k)
        too_many(d, el, who, given, k->parameter_count, format("\"%s\"", k->name),
                 parameter_names(*k, k->parameter_count));
}

void check_objects(Doc &d) {
    static const char *const kPlacement[9] = {"position x", "position y", "position z",
                                              "rotation x", "rotation y", "rotation z",
                                              "scale x",    "scale y",    "scale z"};
    int position = 1;
    for (const XmlNode *el = d.section[13]->first_child; el; el = el->next, position++) {
        const render::SceneObject *o =
            resources::object_at<render::SceneObject>(d.sc->objects, uint32_t(position));
        if (!o || !o->items) break;
        std::string object = format("object %d", position);
        unread_attributes(d, el, scene::FORM_OBJECT, object);
        int n = 1;
        for (const XmlNode *it = el->first_child; it; it = it->next, n++) {
            const render::Item *item = resources::short_at<render::Item>(o->items, uint32_t(n));
            if (!item) {
                flag(d, it, "%s: more than %u items; the rest are ignored", object.c_str(),
                     resources::kShortListCapacity);
                break;
            }
            std::string who = format("%s item %d", object.c_str(), n);
            unread_attributes(d, it, scene::FORM_ITEM, who);
            int32_t type = xml_attribute_int(it, "type");
            int32_t index = xml_attribute_int(it, "object"), material = xml_attribute_int(it, "material");
            if (type < 0 || type >= render::kItemTypeCount) {
                flag(d, it,
                     "%s: type %d is not 0 (static model), 1 (mesh effect) or 2 (text): it is not drawn",
                     who.c_str(), type);
            } else if (type == render::ITEM_TEXT) {
                if (!item->font)
                    flag(d, it, "%s: a text item without a font is not drawn", who.c_str());
                else if (reference(d, it, who, "font", xml_attribute_int(it, "font"), LIST_FONTS))
                    check_text(d, it, who, *item);
            } else {
                ListKind list = type == render::ITEM_MODEL ? LIST_MODELS : LIST_MESH_EFFECTS;
                reference(d, it, who, "object", index, list);
                reference(d, it, who, "material", material, LIST_MATERIALS);
                if (index == 0 || material == 0)
                    flag(d, it, "%s: a %s item needs %s: it is not drawn", who.c_str(),
                         render::kItemTypeNames[type],
                         index == 0 ? (type == 0 ? "a model" : "a mesh effect") : "a material");
            }
            int c = 1, manipulators = 0;
            for (const XmlNode *ch = it->first_child; ch; ch = ch->next, c++) {
                if (c <= render::kItemPlacementValues) {
                    dynamic_value(d, ch, who, kPlacement[c - 1], functions::DYNAMIC_IF_DYNAMIC);
                } else if (c == render::kItemVisibilityChild) {
                    unread_attributes(d, ch, scene::FORM_VALUE, who + " visibility");
                    reference(d, ch, who, "visibility", xml_attribute_int(ch, "value"), LIST_FUNCTIONS);
                } else if (c <= render::kItemFaceCameraChild) {
                    unread_attributes(
                        d, ch, scene::FORM_VALUE,
                        who + (c == render::kItemTimeOffsetChild ? " time offset" : " face camera"));
                } else if (manipulators == render::kMaxManipulators) {
                    flag(d, ch, "%s: more than %d manipulators; the rest are ignored", who.c_str(),
                         render::kMaxManipulators);
                    break;
                } else {
                    check_manipulator(d, ch, format("%s manipulator %d", who.c_str(), manipulators + 1),
                                      item->manipulators[manipulators]);
                    manipulators++;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Section 14: the timeline

std::string seconds(uint32_t t) {
    return format("%u.%02u s", t / 100, t % 100);
}

// Whether some slot has a layer at time t that draws an object (what render at time counts).
bool timeline_draws(const Doc &d, uint32_t t) {
    for (int s = 0; s < render::kLayerSlotCount; s++) {
        const scene::LayerSlot &slot = d.sc->slots[s];
        uint32_t index, local;
        if (!render::layer_find_active(&slot, t, &index, &local)) continue;
        const render::Layer *layer = resources::short_at<render::Layer>(slot.layers, index + 1);
        if (layer && layer->object && layer->object <= d.count[LIST_OBJECTS]) return true;
    }
    return false;
}

void check_layer(Doc &d, const XmlNode *el, const std::string &who, const render::Layer &layer) {
    unread_attributes(d, el, scene::FORM_LAYER, who);
    for (const char *a : {"space_before", "length", "offset"})
        if (xml_attribute_int(el, a) < 0)
            flag(d, el, "%s: %s %d is negative and is read as %u", who.c_str(), a, xml_attribute_int(el, a),
                 static_cast<uint32_t>(xml_attribute_int(el, a)));
    byte_field(d, el, who, "type");
    reference(d, el, who, "id", xml_attribute_int(el, "id"), LIST_OBJECTS);
    reference(d, el, who, "clearcolor", xml_attribute_int(el, "clearcolor"), LIST_LIGHTS);
    if (layer.type >= render::kRenderModeCount) {
        flag(d, el,
             "%s: render mode %u is not in the table (0..5): the layer draws into whatever target is current",
             who.c_str(), layer.type);
    } else if (render::render_mode_has_target(layer.type)) {
        ListKind list = layer.type == render::MODE_CUBEMAP ? LIST_CUBE_MAPS : LIST_BITMAPS;
        if (layer.rtex == 0)
            flag(d, el, "%s: \"%s\" needs rtex (a %s): 0 leaves the target as it was", who.c_str(),
                 render::kRenderModeNames[layer.type], kListNames[list].one);
        else
            reference(d, el, who, "rtex", xml_attribute_int(el, "rtex"), list);
    } else if (xml_attribute_int(el, "rtex") != 0) {
        flag(d, el, "%s: rtex is not read by \"%s\"", who.c_str(), render::kRenderModeNames[layer.type]);
    }
    static const char *const kValues[9] = {"camera x",   "camera y",   "camera z",
                                           "rotation X", "rotation Y", "rotation Z",
                                           "projection", "far plane",  "aspect"};
    int i = 0;
    for (const XmlNode *c = el->first_child; c; c = c->next, i++) {
        if (i == 9) {
            flag(d, c, "%s: more than nine values; the rest are ignored", who.c_str());
            break;
        }
        if (i != 6) {
            dynamic_value(d, c, who, kValues[i], functions::DYNAMIC_IF_DYNAMIC);
            continue;
        }
        unread_attributes(d, c, scene::FORM_DYNAMIC_VALUE, who + " projection");
        const char *type = xml_attribute(c, "type");
        if (layer.projection_kind == render::PROJECTION_DYNAMIC)
            reference(d, c, who, "the projection", xml_attribute_int(c, "value"), LIST_FUNCTIONS);
        else if (layer.projection_kind == render::PROJECTION_STATIC && type &&
                 std::strcmp(type, "static") != 0)
            flag(d, c,
                 "%s: projection type \"%s\" is read as a static field of view (the orthographic one is "
                 "spelled \"%s\")",
                 who.c_str(), type, render::kProjectionOrthoWord);
    }
}

void check_timeline(Doc &d) {
    const XmlNode *section = d.section[14];
    int s = 0;
    for (const XmlNode *slot_el = section->first_child; slot_el; slot_el = slot_el->next, s++) {
        if (s == render::kLayerSlotCount) {
            flag(d, slot_el, "more than %d layer slots; the rest are not read", render::kLayerSlotCount);
            break;
        }
        unread_attributes(d, slot_el, scene::FORM_LAYER_SLOT, format("slot %d", s));
        const scene::LayerSlot &slot = d.sc->slots[s];
        int n = 1;
        for (const XmlNode *el = slot_el->first_child; el; el = el->next, n++) {
            const render::Layer *layer = resources::short_at<render::Layer>(slot.layers, uint32_t(n));
            if (!layer) {
                flag(d, el, "slot %d: more than %u layers; the rest are ignored", s,
                     resources::kShortListCapacity);
                break;
            }
            check_layer(d, el, format("slot %d layer %d", s, n), *layer);
        }
    }
    if (!d.sc->slots[0].layers || d.sc->slots[0].layers->count == 0) {
        flag(d, section, "slot 0 has no layers: the player draws nothing and ends at once");
        return;
    }
    // Render at time returns 0 where no layer draws, and the player takes that as the end.
    uint32_t end = 0;
    std::vector<uint32_t> starts = {0};
    for (const scene::LayerSlot &slot : d.sc->slots) {
        uint32_t previous = 0;
        for (uint32_t i = 1; slot.layers && i <= slot.layers->count; i++) {
            const render::Layer *layer = resources::short_at<render::Layer>(slot.layers, i);
            uint64_t start = uint64_t(previous) + layer->space_before;
            if (start <= 0xFFFFFFFFu) starts.push_back(static_cast<uint32_t>(start));
            if (layer->end_time < 0xFFFFFFFFu) starts.push_back(layer->end_time + 1);
            previous = layer->end_time;
            end = std::max(end, layer->end_time);
        }
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    for (size_t i = 0; i < starts.size() && starts[i] <= end; i++) {
        if (timeline_draws(d, starts[i])) continue;
        size_t j = i + 1;
        while (j < starts.size() && starts[j] <= end && !timeline_draws(d, starts[j]))
            j++;
        if (j >= starts.size() || starts[j] > end) {
            if (i == 0) flag(d, section, "no layer ever draws an object: the player ends at once");
            break;
        }
        flag(d, section,
             "nothing draws from %s to %s: the player ends the demo at %s, although layers run until %s",
             seconds(starts[i]).c_str(), seconds(starts[j]).c_str(), seconds(starts[i]).c_str(),
             seconds(end).c_str());
        break;
    }
}

// Section 15 of the demo document.
void check_music_element(Doc &d, const CheckInput &in, bool files) {
    const XmlNode *el = d.section[scene::kMusicSection];
    if (!d.demo || !el) return;
    unread_attributes(d, el, scene::FORM_MUSIC, "music");
    unread_children(d, el, "music");
    const char *file = xml_attribute(el, "file");
    if (!file) return;
    if (!xml_attribute(el, "offset")) flag(d, el, "music: has a file but no offset: it starts at 0.125 s");
    if (!files) return;
    std::vector<std::string> folders;
    if (in.package) {
        std::string parent = std::filesystem::path(in.location).parent_path().string();
        folders.push_back(parent);
    } else {
        folders.push_back(in.folder);
        folders.push_back((std::filesystem::path(in.folder) / "..").lexically_normal().string());
    }
    if (!resources::file_name_is_contained(file)) {
        flag(d, el, "music: \"%s\" leaves the demo's folder: the player does not open it", file);
        return;
    }
    for (const std::string &folder : folders) {
        FILE *f = music::music_file_open(folder.c_str(), file);
        if (!f) continue;
        music::MusicOpen result;
        music::MusicStream *stream = music::music_stream_open(f, &result);
        if (stream)
            music::music_stream_close(stream);
        else
            std::fclose(f);
        if (!stream)
            flag(d, el, "music: %s is %s: the demo plays without music", file,
                 result == music::MUSIC_NOT_OGG ? "not an Ogg file" : "not Ogg Vorbis that can be decoded");
        return;
    }
    flag(d, el, "music: %s is not %s: the demo plays without music", file,
         in.package ? "beside the package (nor under music/)"
                    : "in the folder, its music/ or the folder above");
}

// ---------------------------------------------------------------------------------------------
// Files: models, bitmaps and cube-map faces, decoded as the loaders decode them

void check_model_files(Doc &d, const CheckInput &in) {
    int position = 1;
    for (const XmlNode *el = d.section[3]->first_child; el; el = el->next, position++) {
        const char *name = xml_attribute(el, "filename");
        if (!name) continue;
        std::vector<uint8_t> raw;
        if (!check_input_read(in, name, &raw)) {
            flag(d, el, "model %d: %s is not in the %s", position, name, in.package ? "package" : "folder");
            continue;
        }
        uint32_t length = 0;
        resources::PackedStatus status;
        uint8_t *block =
            resources::packed_inflate(raw.data(), static_cast<uint32_t>(raw.size()), &length, &status);
        if (!block) {
            flag(d, el,
                 "model %d: %s does not inflate to its stated length (not a model file from bvtool model?)",
                 position, name);
            continue;
        }
        // The loader's own reading, and then what it made of the file.
        uint16_t n = length >= 2 ? uint16_t(block[0] | block[1] << 8) : 0;
        uint8_t sets = length >= 3 ? block[2] : 0;
        geometry::Mesh mesh;
        uint8_t *copy = static_cast<uint8_t *>(std::malloc(length ? length : 1));
        if (copy) std::memcpy(copy, block, length);
        bool ok = copy && geometry::mesh_from_model_file(&mesh, copy, length, name);
        if (!ok) {
            std::free(copy);
            if (length < 4 || sets < 1 || sets > 3)
                flag(d, el, "model %d: %s has a bad header (%u texture coordinate sets): it stays empty",
                     position, name, sets);
            else
                flag(d, el, "model %d: %s is shorter than its %u vertices need: it stays empty", position,
                     name, n);
        } else {
            uint64_t arrays = 4 + 24ull * n + 8ull * n * sets;
            uint32_t given = static_cast<uint32_t>((length - arrays) / 2 / 3 * 3);
            if (mesh.index_count < given)
                flag(d, el, "model %d: %s: %u triangles name vertices it does not have; they are dropped",
                     position, name, (given - mesh.index_count) / 3);
            geometry::mesh_release(&mesh);
        }
        std::free(block);
    }
}

// Decodes an entry with the image decoder; reports what it said. Null when there is no image.
uint8_t *decode_image(Doc &d, const CheckInput &in, const XmlNode *el, const std::string &who,
                      const char *name, int32_t *w, int32_t *h, bool optional) {
    std::vector<uint8_t> raw;
    if (!check_input_read(in, name, &raw)) {
        if (!optional)
            flag(d, el, "%s: %s is not in the %s", who.c_str(), name, in.package ? "package" : "folder");
        return nullptr;
    }
    int32_t channels = 0;
    textures::ImageReport report;
    uint8_t *pixels = textures::image_file_decode(raw.data(), static_cast<uint32_t>(raw.size()), 0, w, h,
                                                  &channels, &report);
    if (report.status != textures::IMAGE_OK)
        flag(d, el, "%s: %s %s%s%s", who.c_str(), name,
             pixels ? "is damaged" : textures::image_file_problem(report.status),
             report.detail[0] ? ": " : "", report.detail);
    return pixels;
}

void check_image_files(Doc &d, const CheckInput &in) {
    std::vector<std::pair<int32_t, int32_t>> sizes(size_t(d.count[LIST_BITMAPS]) + 1, {0, 0});
    int position = 1;
    for (const XmlNode *el = d.section[7]->first_child; el; el = el->next, position++) {
        const char *name = xml_attribute(el, "filename");
        if (!name) continue;
        std::string who = format("bitmap %d", position);
        int32_t w = 0, h = 0;
        uint8_t *pixels = decode_image(d, in, el, who, name, &w, &h, false);
        if (!pixels) continue;
        textures::image_file_free(pixels);
        sizes[size_t(position)] = {w, h};
        for (int level = 1; level <= 2; level++) {
            char level_name[512];
            textures::bitmap_level_name(name, level, level_name, sizeof level_name);
            int32_t lw = 0, lh = 0;
            uint8_t *lp = decode_image(d, in, el, who, level_name, &lw, &lh, true);
            if (!lp) continue;
            textures::image_file_free(lp);
            int32_t want_w = w >> level, want_h = h >> level;
            if (lw != want_w || lh != want_h)
                flag(d, el,
                     "%s: %s is %d x %d, but mip level %d of a %d x %d image is %d x %d: it is not used",
                     who.c_str(), level_name, lw, lh, level, w, h, want_w, want_h);
        }
    }
    position = 1;
    for (const XmlNode *el = d.section[8]->first_child; el; el = el->next, position++) {
        std::string who = format("cube map %d", position);
        int32_t size_w = -1, size_h = -1;
        bool same = true;
        for (const char *face : kFaceAttributes) {
            const char *name = xml_attribute(el, face);
            if (!name || !name[0]) continue;
            int32_t w = 0, h = 0;
            uint8_t *pixels = decode_image(d, in, el, who, name, &w, &h, false);
            if (!pixels) continue;
            textures::image_file_free(pixels);
            if (w != h)
                flag(d, el, "%s: face %s (%s) is %d x %d: cube faces must be square", who.c_str(), face, name,
                     w, h);
            if (size_w >= 0 && (w != size_w || h != size_h)) same = false;
            size_w = w;
            size_h = h;
        }
        if (!same) flag(d, el, "%s: the faces differ in size: the cube map stays empty", who.c_str());
    }
    // A cube atlas draws cells whose sides the power-of-two rule gives for a third of the width and
    // a half of the height; other sizes leave part of the texture undrawn.
    int s = 0;
    for (const XmlNode *slot_el = d.section[14]->first_child; slot_el && s < render::kLayerSlotCount;
         slot_el = slot_el->next, s++) {
        int n = 1;
        for (const XmlNode *el = slot_el->first_child; el; el = el->next, n++) {
            const render::Layer *layer =
                resources::short_at<render::Layer>(d.sc->slots[s].layers, uint32_t(n));
            if (!layer || layer->type != render::MODE_CUBE_ATLAS || !layer->rtex ||
                layer->rtex >= sizes.size())
                continue;
            int32_t w = sizes[layer->rtex].first, h = sizes[layer->rtex].second;
            int32_t cw = render::layer_power_of_two(w / 3), ch = render::layer_power_of_two(h / 2);
            if (w && (3 * cw != w || 2 * ch != h))
                flag(d, el,
                     "slot %d layer %d: bitmap %u is %d x %d, but its atlas cells are %d x %d: they cover %d "
                     "x %d of it",
                     s, n, layer->rtex, w, h, cw, ch, 3 * cw, 2 * ch);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The texture graph, generated by the engine: which nodes it computes, and in what order

struct GraphOrder {
    std::vector<uint32_t> order; // positions as computed
};

void graph_computed(void *user, uint32_t position, const uint8_t *) {
    static_cast<GraphOrder *>(user)->order.push_back(position);
}

void check_graph(Doc &d) {
    resources::ObjectList *nodes = d.sc->textures;
    if (!nodes || nodes->count == 0) return;
    textures::LayerTable *table =
        static_cast<textures::LayerTable *>(std::calloc(1, sizeof(textures::LayerTable)));
    if (!table) return;
    textures::texture_layers_read(table, d.section[1], nullptr, nullptr);
    GraphOrder order;
    textures::TextureGraphWatch watch = {graph_computed, &order, 0, 0};
    textures::texture_graph_generate(nodes, table, nullptr, &watch);
    textures::texture_layers_release(table);
    std::free(table);
    std::vector<uint32_t> when(size_t(nodes->count) + 1, 0); // 1-based rank, 0 never
    for (size_t i = 0; i < order.order.size(); i++)
        if (order.order[i] < when.size()) when[order.order[i]] = static_cast<uint32_t>(i + 1);
    for (uint32_t p = 1; p <= nodes->count; p++) {
        textures::ProceduralTexture *t = resources::object_at<textures::ProceduralTexture>(nodes, p);
        const XmlNode *el = child_at(d.section[2], int(p) - 1);
        if (!t) continue;
        if (!when[p]) {
            // The cause: an input that does not list it, an input that is not computed itself, or a cycle.
            std::string why = "it waits on a cycle of nodes";
            for (int32_t input : {t->first_input, t->second_input}) {
                const textures::ProceduralTexture *in =
                    input > 0 ? resources::object_at<textures::ProceduralTexture>(nodes, uint32_t(input))
                              : nullptr;
                if (!in) continue;
                bool listed = false;
                for (uint8_t i = 0; i < in->output_count; i++)
                    listed = listed || in->outputs[i] == int32_t(p);
                if (!listed) {
                    why = format("its input %d does not list %u among its outputs", input, p);
                    break;
                }
                if (!when[uint32_t(input)]) why = format("its input %d is never computed", input);
            }
            flag(d, el, "procedural texture %u: is never computed (%s): it has no image", p, why.c_str());
            continue;
        }
        for (int32_t input : {t->first_input, t->second_input}) {
            if (input <= 0 || uint32_t(input) > nodes->count || input == int32_t(p)) continue;
            if (when[uint32_t(input)] > when[p] || !when[uint32_t(input)])
                flag(
                    d, el,
                    "procedural texture %u: is computed before its input %d, and reads a black image (a node "
                    "comes after its inputs or is listed among their outputs)",
                    p, input);
        }
    }
    textures::texture_graph_release_images(nodes);
}

// ---------------------------------------------------------------------------------------------
// GLSL: every program compiled and linked by this machine's GL

// Compiles one shader; returns the driver's log when it fails, "" when it compiles.
std::string compile_shader(GLenum kind, const char *text, uint32_t length, bool *ok) {
    GLuint shader = glCreateShader(kind);
    const GLchar *source = text ? text : "";
    GLint len = static_cast<GLint>(text ? length : 0);
    glShaderSource(shader, 1, &source, &len);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    std::string log;
    if (status != GL_TRUE) {
        GLint size = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &size);
        log.resize(size_t(size > 0 ? size : 1));
        GLsizei got = 0;
        glGetShaderInfoLog(shader, GLsizei(log.size()), &got, &log[0]);
        log.resize(size_t(got));
    }
    *ok = status == GL_TRUE;
    glDeleteShader(shader);
    return log;
}

// The driver's messages, one finding each. A message that names a line of a shader that stands in
// the document ("0:5(12): error ..." or "0(5) : error ...") is placed on that line.
void report_log(Doc &d, const XmlNode *at, const std::string &who, const char *stage, const std::string &log,
                bool in_document) {
    size_t start = 0;
    bool any = false;
    while (start < log.size()) {
        size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.empty()) continue;
        any = true;
        int source_line = 0;
        int consumed = 0;
        if (std::sscanf(line.c_str(), "0:%d(%*d):%n", &source_line, &consumed) != 1 || consumed == 0) {
            consumed = 0;
            if (std::sscanf(line.c_str(), "0(%d) :%n", &source_line, &consumed) != 1 || consumed == 0)
                source_line = 0;
        }
        std::string text = consumed ? line.substr(size_t(consumed)) : line;
        while (!text.empty() && text[0] == ' ')
            text.erase(0, 1);
        if (in_document && at && source_line > 0) {
            d.report->findings.push_back(CheckFinding{
                d.file, at->line + source_line - 1,
                format("%s: %s line %d: %s", who.c_str(), stage, source_line, text.c_str()), false});
        } else {
            flag(d, at, "%s: %s%s: %s", who.c_str(), stage,
                 source_line > 0 ? format(" line %d", source_line).c_str() : "", text.c_str());
        }
    }
    if (!any) flag(d, at, "%s: %s fails, and the driver says nothing", who.c_str(), stage);
}

void check_glsl(Doc &d) {
    // Identical generated programs are compiled once, as the loader shares them.
    std::map<std::string, bool> compiled;
    int position = 1;
    for (const XmlNode *el = d.section[11]->first_child; el; el = el->next, position++) {
        render::Material *m = resources::object_at<render::Material>(d.sc->materials, uint32_t(position));
        if (!m) break;
        std::string who = format("material %d", position);
        render::ShaderProgram generated = {};
        const render::ShaderProgram *p = &m->custom;
        if (m->enable_glsl && (!p->vertex_length || !p->fragment_length)) continue; // reported already
        if (!m->enable_glsl) {
            render::ShaderInputs inputs = render::shader_inputs_of(m, d.sc->lights, d.sc->texture_slots);
            render::shader_generate(m, inputs, &generated);
            p = &generated;
        }
        std::string key = std::string(p->vertex_text ? p->vertex_text : "") + '\0' +
                          (p->fragment_text ? p->fragment_text : "");
        if (!m->enable_glsl && compiled.count(key)) {
            std::free(generated.vertex_text);
            std::free(generated.fragment_text);
            continue;
        }
        const XmlNode *vs_el = el, *fs_el = el;
        for (const XmlNode *c = el->first_child; c; c = c->next) {
            int row = render::material_child_of(c);
            if (row == render::MATERIAL_VERTEX_SHADER) vs_el = c;
            if (row == render::MATERIAL_FRAGMENT_SHADER) fs_el = c;
        }
        bool in_document = m->enable_glsl != 0;
        const char *kind = in_document ? "" : "generated ";
        bool vs_ok = false, fs_ok = false;
        std::string vs_log = compile_shader(GL_VERTEX_SHADER, p->vertex_text, p->vertex_length, &vs_ok);
        std::string fs_log = compile_shader(GL_FRAGMENT_SHADER, p->fragment_text, p->fragment_length, &fs_ok);
        if (!vs_ok)
            report_log(d, vs_el, who, (std::string(kind) + "vertex shader").c_str(), vs_log, in_document);
        if (!fs_ok)
            report_log(d, fs_el, who, (std::string(kind) + "fragment shader").c_str(), fs_log, in_document);
        if (vs_ok && fs_ok) {
            GLuint program = glCreateProgram(), vs = glCreateShader(GL_VERTEX_SHADER),
                   fs = glCreateShader(GL_FRAGMENT_SHADER);
            const GLchar *sources[2] = {p->vertex_text ? p->vertex_text : "",
                                        p->fragment_text ? p->fragment_text : ""};
            GLint lengths[2] = {GLint(p->vertex_length), GLint(p->fragment_length)};
            glShaderSource(vs, 1, &sources[0], &lengths[0]);
            glShaderSource(fs, 1, &sources[1], &lengths[1]);
            glCompileShader(vs);
            glCompileShader(fs);
            glAttachShader(program, vs);
            glAttachShader(program, fs);
            glLinkProgram(program);
            GLint linked = GL_FALSE;
            glGetProgramiv(program, GL_LINK_STATUS, &linked);
            if (linked != GL_TRUE) {
                char log[2048];
                GLsizei got = 0;
                glGetProgramInfoLog(program, sizeof log, &got, log);
                report_log(d, el, who, (std::string(kind) + "program link").c_str(),
                           std::string(log, size_t(got)), false);
            }
            glDeleteProgram(program);
            glDeleteShader(vs);
            glDeleteShader(fs);
        }
        if (!m->enable_glsl) compiled[key] = true;
        std::free(generated.vertex_text);
        std::free(generated.fragment_text);
    }
}

// ---------------------------------------------------------------------------------------------

void check_document(const CheckInput &in, const char *entry, bool demo, uint8_t scope, CheckReport *report) {
    Doc d = {};
    d.report = report;
    d.demo = demo;
    XmlNode *document = nullptr;
    if (in.package) {
        d.file = std::string(entry) + "z";
        scene::DocumentStatus status;
        document = scene::scene_document_read(in.package, d.file.c_str(), &status);
        if (!document) {
            if (status == scene::DOCUMENT_DAMAGED)
                flag_at(d, nullptr, true, "does not inflate: the package is damaged");
            else if (demo)
                flag_at(d, nullptr, true, "is missing from the package: the player has nothing to play");
            return;
        }
    } else {
        d.file = entry;
        std::vector<uint8_t> text;
        if (!check_input_read(in, entry, &text)) {
            if (demo) flag_at(d, nullptr, true, "is missing from the folder: the player has nothing to play");
            return;
        }
        text.push_back(0);
        document = resources::xml_parse(reinterpret_cast<const char *>(text.data()));
    }
    d.sc = scene::scene_create();
    if (document && d.sc && check_structure(d, document)) {
        read_records(d);
        if (scope & CHECK_DOCUMENTS) {
            check_texture_layers(d);
            check_nodes(d);
            check_models(d);
            check_functions(d);
            check_lights(d);
            check_effects2d(d);
            check_bitmaps(d);
            check_cube_maps(d);
            check_fonts(d);
            check_texture_slots(d);
            check_materials(d);
            check_mesh_effects(d);
            check_objects(d);
            check_timeline(d);
        }
        check_music_element(d, in, (scope & CHECK_FILES) != 0);
        if (scope & CHECK_FILES) {
            check_model_files(d, in);
            check_image_files(d, in);
        }
        if (scope & CHECK_GRAPH) check_graph(d);
        if (scope & CHECK_GLSL) check_glsl(d);
    }
    scene::scene_release(d.sc);
    resources::xml_free(document);
}

} // namespace

bool check_input_read(const CheckInput &in, const char *name, std::vector<uint8_t> *out) {
    out->clear();
    if (in.package) {
        uint32_t size = 0;
        uint8_t *data = resources::package_read_entry(in.package, name, &size);
        if (!data) return false;
        out->assign(data, data + size);
        std::free(data);
        return true;
    }
    if (!resources::file_name_is_contained(name)) return false;
    std::string path = in.folder + "/" + name;
    FILE *f = resources::file_open_regular(path.c_str());
    if (!f) return false;
    std::fclose(f);
    uint32_t size = 0;
    uint8_t *data = resources::file_read_all(path.c_str(), &size, resources::kPackedMaxLength);
    if (!data) return false;
    out->assign(data, data + size);
    std::free(data);
    return true;
}

void check_run(const CheckInput &in, uint8_t scope, CheckReport *report) {
    FILE *log = resources::log_attached();
    resources::log_attach(nullptr);
    size_t first = report->findings.size();
    check_document(in, "demo.xml", true, scope, report);
    check_document(in, "loading.xml", false, scope, report);
    report->glsl_compiled = (scope & CHECK_GLSL) != 0;
    // Demo first, then loading; by line within each, keeping the rules' order on one line.
    std::stable_sort(report->findings.begin() + std::ptrdiff_t(first), report->findings.end(),
                     [](const CheckFinding &a, const CheckFinding &b) {
                         bool a_demo = a.file.compare(0, 4, "demo") == 0,
                              b_demo = b.file.compare(0, 4, "demo") == 0;
                         if (a_demo != b_demo) return a_demo;
                         return a.line < b.line;
                     });
    resources::log_attach(log);
}

std::string check_format(const CheckFinding &f) {
    if (f.line > 0) return format("%s:%d: %s", f.file.c_str(), f.line, f.message.c_str());
    return f.file + ": " + f.message;
}

// ---------------------------------------------------------------------------------------------
// The command

namespace {

std::string json_string(const std::string &s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20) {
            out += format("\\u%04x", c);
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

} // namespace

int tool_check(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool check DIR|PKG [--json] [--no-glsl]\n"
            "Reads the demo and loading documents of a demo folder (as bvtool build packs it) or of a "
            "package\n"
            "as the player does, and reports every place where the player would silently do something else\n"
            "than the document seems to say, one line each: FILE:LINE: RECORD: what happens. Models, images\n"
            "and the music are decoded, the texture graph is generated, and every program (generated or\n"
            "the document's own) is compiled and linked on this machine's OpenGL, in a small window\n"
            "(--no-glsl leaves that out). The music is looked for beside a package, and in a folder, its\n"
            "music/ folder or the folder above. --json writes the findings as one JSON array of objects\n"
            "with \"file\", \"line\" and \"message\".\n"
            "Exit status: 0 nothing found, 1 something found, 2 the input cannot be read.");
        return 0;
    }
    const char *path = nullptr;
    bool json = false, glsl = true;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--json") == 0)
            json = true;
        else if (std::strcmp(argv[i], "--no-glsl") == 0)
            glsl = false;
        else if (argv[i][0] != '-' && !path)
            path = argv[i];
        else {
            tool_fail("check: bad arguments (see bvtool check --help)");
            return 2;
        }
    }
    if (!path) {
        tool_fail("check: expected a demo folder or a package (see bvtool check --help)");
        return 2;
    }
    CheckInput in = {"", nullptr, path};
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        in.folder = path;
    } else {
        in.package = resources::file_open_regular(path);
        uint32_t entries = 0;
        resources::PackageEntryInfo *index =
            in.package ? resources::package_index_read(in.package, &entries) : nullptr;
        if (!index) {
            if (in.package) std::fclose(in.package);
            tool_fail("check: %s is %s", path,
                      in.package ? "not a package with a readable index" : "not a folder or a file");
            return 2;
        }
        std::free(index);
    }
    uint8_t scope = CHECK_DOCUMENTS | CHECK_FILES | CHECK_GRAPH;
    if (glsl) {
        player::GlWindow win = {};
        ToolSceneOptions options = {path, 64, 64, false, false, nullptr, nullptr};
        if (tool_window_open("check", options, &win))
            scope |= CHECK_GLSL;
        else
            std::fputs("bvtool: check: the GLSL programs were not compiled\n", stderr);
    }
    CheckReport report = {};
    check_run(in, scope, &report);
    if (scope & CHECK_GLSL) SDL_Quit();
    if (in.package) std::fclose(in.package);
    if (json) {
        std::string out = "[";
        for (size_t i = 0; i < report.findings.size(); i++) {
            const CheckFinding &f = report.findings[i];
            out += format("%s\n  {\"file\": %s, \"line\": %d, \"message\": %s}", i ? "," : "",
                          json_string(f.file).c_str(), f.line, json_string(f.message).c_str());
        }
        out += report.findings.empty() ? "]\n" : "\n]\n";
        std::fputs(out.c_str(), stdout);
    } else {
        for (const CheckFinding &f : report.findings)
            std::printf("%s\n", check_format(f).c_str());
    }
    return report.findings.empty() ? 0 : 1;
}

} // namespace tools
