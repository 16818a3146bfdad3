#include "analysis/references.h"

#include "analysis/source_document.h"

#include "functions/dynamic_value.h"
#include "geometry/effect2d.h"
#include "geometry/font.h"
#include "geometry/manipulator.h"
#include "geometry/mesh_effect.h"
#include "maths/number_convert.h"
#include "render/layer.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "textures/texture_definitions.h"

#include <algorithm>
#include <cstring>

namespace analysis {

using resources::xml_attribute;
using resources::xml_attribute_int;
using resources::xml_name_is;
using resources::XmlNode;

namespace {

int32_t attribute_index(const XmlNode *el, const char *name) {
    for (int32_t i = 0; el && i < el->attribute_count; i++)
        if (el->attributes[i].name && std::strcmp(el->attributes[i].name, name) == 0) return i;
    return -1;
}

struct Walk {
    std::vector<ReferenceSite> *out;
    const XmlNode *record;
    int32_t section, position;
};

void attribute_site(Walk &w, const XmlNode *el, const char *name, ListKind target, const std::string &field) {
    int32_t a = attribute_index(el, name);
    if (a < 0) return;
    w.out->push_back(ReferenceSite{el, a, target, field, w.record, w.section, w.position});
}

void text_site(Walk &w, const XmlNode *el, ListKind target, const std::string &field) {
    if (el) w.out->push_back(ReferenceSite{el, -1, target, field, w.record, w.section, w.position});
}

// A dynamic value's "value" is a function reference when its "type" makes it dynamic.
void dynamic_site(Walk &w, const XmlNode *el, functions::DynamicTest test, const std::string &field) {
    const char *type = xml_attribute(el, "type");
    bool dynamic = test == functions::DYNAMIC_IF_DYNAMIC ? type && std::strcmp(type, "dynamic") == 0
                                                         : !(type && std::strcmp(type, "static") == 0);
    if (dynamic) attribute_site(w, el, "value", LIST_FUNCTIONS, field);
}

void node_sites(Walk &w, const XmlNode *el) {
    uint8_t type = static_cast<uint8_t>(xml_attribute_int(el, "type"));
    if (type <= 200) attribute_site(w, el, "layer_id", LIST_TEXTURE_LAYERS, "layer_id");
    const XmlNode *c = el->first_child;
    text_site(w, c, LIST_TEXTURES, "its first input");
    if (!c || type == textures::kOutputNodeType) return;
    c = c->next;
    if (c && xml_name_is(c, textures::kNodeSecondInputName)) {
        text_site(w, c, LIST_TEXTURES, "its second input");
        c = c->next;
    }
    for (int n = 0; c && xml_name_is(c, textures::kNodeOutputName) && n < textures::kNodeOutputs;
         c = c->next, n++)
        text_site(w, c, LIST_TEXTURES, "an output");
}

// The leading "p" children of 2D effects and mesh effects: function indices.
void parameter_sites(Walk &w, const XmlNode *el, const char *name, int most) {
    int n = 0;
    for (const XmlNode *c = el->first_child; c && xml_name_is(c, name) && n < most; c = c->next, n++)
        text_site(w, c, LIST_FUNCTIONS, "parameter " + std::to_string(n + 1));
}

void font_sites(Walk &w, const XmlNode *el) {
    int g = 0;
    for (const XmlNode *c = el->first_child; c && g < geometry::kFontGlyphCount; c = c->next, g++) {
        std::string glyph = "glyph " + std::to_string(g) + " ";
        attribute_site(w, c, "model", LIST_MODELS, glyph + "model");
        attribute_site(w, c, "material", LIST_MATERIALS, glyph + "material");
        attribute_site(w, c, "bitmap", LIST_BITMAPS, glyph + "bitmap");
    }
}

void slot_sites(Walk &w, const XmlNode *el) {
    static const ListKind kLists[render::kTextureKindCount] = {LIST_TEXTURES, LIST_BITMAPS, LIST_EFFECTS2D,
                                                               LIST_CUBE_MAPS};
    uint8_t kind = static_cast<uint8_t>(xml_attribute_int(el, "type"));
    attribute_site(w, el, "id", kind < render::kTextureKindCount ? kLists[kind] : LIST_CUBE_MAPS, "id");
}

void material_sites(Walk &w, const XmlNode *el) {
    for (const XmlNode *c = el->first_child; c; c = c->next) {
        int row = render::material_child_of(c);
        const char *name = row >= 0 ? render::kMaterialChildNames[row] : "";
        if (row >= render::MATERIAL_RED && row < render::MATERIAL_RED + 7)
            dynamic_site(w, c, functions::DYNAMIC_UNLESS_STATIC, name);
        else if (row == render::MATERIAL_LIGHT1 || row == render::MATERIAL_LIGHT2 ||
                 row == render::MATERIAL_FOGCOLOR)
            attribute_site(w, c, "value", LIST_LIGHTS, name);
        else if (row >= render::MATERIAL_TEXTURE1 && row < render::MATERIAL_TEXTURE1 + 3)
            attribute_site(w, c, "value", LIST_TEXTURE_SLOTS, name);
        else if (row == render::MATERIAL_GLSL_UNIFORMS)
            for (int i = 1; i <= render::kUniformCount; i++) {
                std::string u = "u" + std::to_string(i);
                attribute_site(w, c, u.c_str(), LIST_FUNCTIONS, "glsl_uniforms " + u);
            }
    }
}

void manipulator_sites(Walk &w, const XmlNode *m, const std::string &who) {
    const XmlNode *c = m->first_child;
    if (c && xml_name_is(c, render::kManipulatorTargetName)) {
        bool mesh_effect = maths::convert_to_i32(resources::xml_attribute_float(c, "type")) != 0;
        attribute_site(w, c, "model", mesh_effect ? LIST_MESH_EFFECTS : LIST_MODELS, who + " target");
        c = c->next;
    }
    for (int i = 0; c && i < geometry::kManipulatorParameters; c = c->next, i++)
        dynamic_site(w, c, functions::DYNAMIC_IF_DYNAMIC, who + " parameter " + std::to_string(i + 1));
}

void object_sites(Walk &w, const XmlNode *el) {
    int n = 0;
    for (const XmlNode *it = el->first_child; it && n < int(resources::kShortListCapacity);
         it = it->next, n++) {
        std::string item = "item " + std::to_string(n + 1) + " ";
        uint8_t type = maths::convert_to_kind(xml_attribute_int(it, "type"));
        if (type == render::ITEM_MODEL || type == render::ITEM_MESH_EFFECT) {
            attribute_site(w, it, "object", type == render::ITEM_MODEL ? LIST_MODELS : LIST_MESH_EFFECTS,
                           item + "object");
            attribute_site(w, it, "material", LIST_MATERIALS, item + "material");
        } else if (type == render::ITEM_TEXT) {
            attribute_site(w, it, "font", LIST_FONTS, item + "font");
        }
        int position = 1, manipulators = 0;
        for (const XmlNode *c = it->first_child; c; c = c->next, position++) {
            if (position <= render::kItemPlacementValues)
                dynamic_site(w, c, functions::DYNAMIC_IF_DYNAMIC,
                             item + scene::kItemChildNames[position - 1]);
            else if (position == render::kItemVisibilityChild)
                attribute_site(w, c, "value", LIST_FUNCTIONS, item + "visibility");
            else if (position > render::kItemFaceCameraChild && manipulators < render::kMaxManipulators)
                manipulator_sites(w, c, item + "manipulator " + std::to_string(++manipulators));
        }
    }
}

void timeline_sites(Walk &w, const XmlNode *slot, int s) {
    int n = 0;
    for (const XmlNode *el = slot->first_child; el && n < int(resources::kShortListCapacity);
         el = el->next, n++) {
        std::string layer = "layer " + std::to_string(n + 1) + " ";
        uint8_t type = static_cast<uint8_t>(xml_attribute_int(el, "type"));
        attribute_site(w, el, "id", LIST_OBJECTS, layer + "id");
        if (render::render_mode_has_target(type))
            attribute_site(w, el, "rtex", type == render::MODE_CUBEMAP ? LIST_CUBE_MAPS : LIST_BITMAPS,
                           layer + "rtex");
        attribute_site(w, el, "clearcolor", LIST_LIGHTS, layer + "clearcolor");
        int i = 0;
        for (const XmlNode *c = el->first_child; c && i < scene::kLayerValueCount; c = c->next, i++) {
            if (i == 6) {
                const char *t = xml_attribute(c, "type");
                if (t && std::strcmp(t, render::kProjectionDynamicWord) == 0)
                    attribute_site(w, c, "value", LIST_FUNCTIONS, layer + "projection");
                continue;
            }
            dynamic_site(w, c, functions::DYNAMIC_IF_DYNAMIC, layer + scene::kLayerValueNames[i]);
        }
    }
    (void)s;
}

} // namespace

std::string record_title(int32_t section, int32_t position) {
    if (section == 14) return "slot " + std::to_string(position - 1);
    if (section >= 1 && section <= int32_t(kListCount))
        return std::string(kListNames[section - 1].one) + " " +
               std::to_string(list_number(ListKind(section - 1), position));
    return "music";
}

void reference_sites(const SourceDocument &d, std::vector<ReferenceSite> *out) {
    out->clear();
    for (int s = 1; s <= 14; s++) {
        int position = 1;
        for (const XmlNode *el = d.section[s] ? d.section[s]->first_child : nullptr; el;
             el = el->next, position++) {
            if (s == 14 && position > render::kLayerSlotCount) break;
            Walk w = {out, el, s, position};
            switch (s) {
            case 2: node_sites(w, el); break;
            case 5: {
                int i = 0;
                for (const XmlNode *c = el->first_child; c && i < scene::kLightValueCount; c = c->next, i++)
                    dynamic_site(w, c, functions::DYNAMIC_IF_DYNAMIC, scene::kLightValueNames[i]);
                break;
            }
            case 6:
                parameter_sites(w, el, geometry::kEffect2DParameterName, geometry::kEffect2DParameters);
                break;
            case 9: font_sites(w, el); break;
            case 10: slot_sites(w, el); break;
            case 11: material_sites(w, el); break;
            case 12:
                parameter_sites(w, el, geometry::kMeshEffectParameterName, geometry::kMeshEffectParameters);
                break;
            case 13: object_sites(w, el); break;
            case 14: timeline_sites(w, el, position - 1); break;
            default: break;
            }
        }
    }
}

const char *reference_text(const ReferenceSite &s) {
    const char *t = s.attribute >= 0 ? s.element->attributes[s.attribute].value : s.element->text;
    return t ? t : "";
}

static bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

void reference_range(const SourceDocument &d, const ReferenceSite &s, int32_t *begin, int32_t *end) {
    int32_t start =
        s.attribute >= 0 ? s.element->attributes[s.attribute].value_offset : s.element->text_offset;
    const char *t = reference_text(s);
    *begin = *end = -1;
    if (start < 0 || size_t(start) > d.text.size()) return;
    size_t n = std::strlen(t), a = 0, b = n;
    while (a < n && blank(t[a]))
        a++;
    while (b > a && blank(t[b - 1]))
        b--;
    *begin = start + int32_t(a);
    *end = start + int32_t(b);
}

bool reference_name(const char *text, std::string *name) {
    if (!text) return false;
    size_t n = std::strlen(text), a = 0, b = n;
    while (a < n && blank(text[a]))
        a++;
    while (b > a && blank(text[b - 1]))
        b--;
    if (a >= b || text[a] != '@') return false;
    name->assign(text + a + 1, b - a - 1);
    return true;
}

void names_collect(const SourceDocument &d, NameTable *table) {
    for (std::vector<RecordName> &l : table->list)
        l.clear();
    for (int s = 1; s <= int(kListCount); s++) {
        int32_t position = 1;
        for (const XmlNode *el = d.section[s] ? d.section[s]->first_child : nullptr; el;
             el = el->next, position++) {
            int32_t a = attribute_index(el, "name");
            if (a >= 0 && el->attributes[a].value)
                table->list[s - 1].push_back(RecordName{el->attributes[a].value, position, el, a});
        }
    }
}

int32_t names_find(const NameTable &table, ListKind list, const std::string &name) {
    int32_t found = 0;
    for (const RecordName &r : table.list[list]) {
        if (r.name != name) continue;
        if (found) return -1;
        found = r.position;
    }
    return found;
}

const RecordName *names_of_position(const NameTable &table, ListKind list, int32_t position) {
    for (const RecordName &r : table.list[list])
        if (r.position == position) return &r;
    return nullptr;
}

void names_resolve(SourceDocument *d, std::vector<Finding> *findings, std::vector<TextEdit> *edits) {
    NameTable table;
    names_collect(*d, &table);
    auto say = [&](const XmlNode *at, int32_t begin, int32_t end, const std::string &message) {
        findings->push_back(Finding{d->file, at ? at->line : 0, begin, end, message, FINDING_RULE});
    };
    for (int list = 0; list < int(kListCount); list++) {
        const std::vector<RecordName> &names = table.list[list];
        for (size_t i = 0; i < names.size(); i++)
            for (size_t j = 0; j < i; j++)
                if (names[j].name == names[i].name) {
                    const resources::XmlAttribute &a = names[i].record->attributes[names[i].attribute];
                    say(names[i].record, a.name_offset, a.value_offset + int32_t(names[i].name.size()),
                        std::string(kListNames[list].one) + " " + std::to_string(names[i].position) +
                            ": the name \"" + names[i].name + "\" is also " + kListNames[list].one + " " +
                            std::to_string(names[j].position) + "'s: names are unique within a section");
                    break;
                }
    }
    std::vector<ReferenceSite> sites;
    reference_sites(*d, &sites);
    for (const ReferenceSite &s : sites) {
        std::string name;
        if (!reference_name(reference_text(s), &name)) continue;
        int32_t begin, end;
        reference_range(*d, s, &begin, &end);
        int32_t position = names_find(table, s.target, name);
        std::string where = record_title(s.section, s.position) + ": " + s.field + " ";
        if (position == 0) {
            say(s.element, begin, end,
                where + "names \"@" + name + "\", but no " + kListNames[s.target].one + " is called so");
            continue;
        }
        if (position < 0) {
            say(s.element, begin, end,
                where + "names \"@" + name + "\", which more than one " + kListNames[s.target].one +
                    " is called");
            continue;
        }
        std::string number = std::to_string(list_number(s.target, position));
        XmlNode *el = const_cast<XmlNode *>(s.element);
        if (s.attribute >= 0)
            resources::xml_replace_value(el, s.attribute, number.c_str());
        else
            resources::xml_set_text(el, number.c_str());
        if (edits && begin >= 0) edits->push_back(TextEdit{begin, end, number});
    }
}

void names_strip_edits(const SourceDocument &d, std::vector<TextEdit> *edits) {
    NameTable table;
    names_collect(d, &table);
    for (int s = 1; s <= 14; s++)
        for (const XmlNode *el = d.section[s] ? d.section[s]->first_child : nullptr; el; el = el->next) {
            int32_t a = attribute_index(el, "name");
            if (a < 0) continue;
            const resources::XmlAttribute &attr = el->attributes[a];
            if (attr.value_offset < 0 || attr.name_offset <= 0) continue;
            int32_t begin = attr.name_offset;
            int32_t end = attr.value_offset + int32_t(std::strlen(attr.value ? attr.value : ""));
            if (size_t(end) < d.text.size() && d.text[size_t(end)] == '"') end++;
            while (begin > 0 && (d.text[size_t(begin) - 1] == ' ' || d.text[size_t(begin) - 1] == '\t'))
                begin--;
            if (begin > 0 && d.text[size_t(begin) - 1] == '\n')
                while (size_t(end) < d.text.size() &&
                       (d.text[size_t(end)] == ' ' || d.text[size_t(end)] == '\t'))
                    end++;
            // Line breaks inside the span stay, so that every line keeps its number.
            std::string keep;
            for (int32_t i = begin; i < end; i++)
                if (d.text[size_t(i)] == '\n') keep += '\n';
            edits->push_back(TextEdit{begin, end, keep});
        }
}

std::string text_apply_edits(const std::string &text, std::vector<TextEdit> edits) {
    std::sort(edits.begin(), edits.end(),
              [](const TextEdit &a, const TextEdit &b) { return a.begin < b.begin; });
    std::string out;
    out.reserve(text.size());
    size_t at = 0;
    for (const TextEdit &e : edits) {
        if (e.begin < 0 || size_t(e.begin) < at || size_t(e.end) > text.size() || e.end < e.begin) continue;
        out.append(text, at, size_t(e.begin) - at);
        out += e.text;
        at = size_t(e.end);
    }
    out.append(text, at, std::string::npos);
    return out;
}

} // namespace analysis
