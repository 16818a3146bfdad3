// Sections 12 and 13: mesh effects and objects (items, text, manipulators).
#include "analysis/rules.h"

#include "geometry/font.h"
#include "geometry/manipulator.h"
#include "geometry/mesh_effect.h"
#include "render/scene_object.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"

#include <cstring>

namespace analysis {

using resources::xml_attribute;
using resources::xml_attribute_int;
using resources::xml_name_is;

void rules_mesh_effects(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[12]->first_child; el; el = el->next, position++) {
        std::string who = format("mesh effect %d", position);
        unread_attributes(c, el, scene::FORM_MESH_EFFECT, who, true);
        int32_t kind = xml_attribute_int(el, "type");
        const geometry::MeshEffectDescriptor *k = nullptr;
        if (kind < 0 || kind >= geometry::kMeshEffectKindCount)
            flag(c, Where(el, "type"),
                 "%s: kind %d is not in the table (0..%d, Lake water to Umbrella): the mesh stays empty",
                 who.c_str(), kind, geometry::kMeshEffectKindCount - 1);
        else
            k = &geometry::kMeshEffectDescriptors[kind];
        std::vector<std::string> places;
        if (k) places = place_names(*k, k->parameter_count);
        parameter_children(c, el, who, geometry::kMeshEffectParameterName, k ? k->name : "",
                           k ? &places : nullptr);
    }
}

namespace {

// The glyphs a text asks for that its font cannot draw.
void check_text(CheckContext &c, const XmlNode *el, const std::string &who, const render::Item &item) {
    const char *text = xml_attribute(el, "text");
    if (!text) return;
    // The reader keeps an attribute's bytes as written: an entity is drawn as its letters.
    if (const char *amp = std::strchr(text, '&')) {
        const char *semicolon = std::strchr(amp, ';');
        if (semicolon && semicolon - amp <= 8)
            flag(c, Where(el, "text"),
                 "%s: text \"%s\" holds %.*s, which the player does not decode: it draws its letters (an "
                 "\"&\" "
                 "cannot be shown from a well-formed document)",
                 who.c_str(), text, int(semicolon - amp + 1), amp);
        if (semicolon && semicolon - amp <= 8) return; // the skipped ";" follows from it
    }
    size_t length = std::strlen(text);
    if (length > size_t(geometry::kTextMaxBytes))
        flag(c, Where(el, "text"), "%s: text is %u bytes, but an item holds %d: it is cut to \"%s\"",
             who.c_str(), unsigned(length), geometry::kTextMaxBytes, item.text);
    const geometry::Font *font = resources::object_at<geometry::Font>(c.sc->fonts, item.font);
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
        flag(c, Where(el, "text"), "%s: \"%s\" has no glyph for \"%s\": skipped", who.c_str(), item.text,
             skipped.c_str());
    if (!missing.empty())
        flag(c, Where(el, "text"), "%s: font %u has no model for \"%s\": not drawn", who.c_str(), item.font,
             missing.c_str());
}

void check_manipulator(CheckContext &c, const XmlNode *el, const std::string &who,
                       const geometry::ManipulatorEntry &e) {
    unread_attributes(c, el, scene::FORM_MANIPULATOR, who);
    const geometry::ManipulatorDescriptor *k =
        e.kind < geometry::kManipulatorKindCount ? &geometry::kManipulatorDescriptors[e.kind] : nullptr;
    if (!k)
        flag(c, Where(el, "type"),
             "%s: kind %d is not in the table (0..%d, XYZ Multiplier to Radial move): the instances pass "
             "through",
             who.c_str(), xml_attribute_int(el, "type"), geometry::kManipulatorKindCount - 1);
    const XmlNode *ch = el->first_child;
    bool target = ch && xml_name_is(ch, render::kManipulatorTargetName);
    if (target) {
        unread_attributes(c, ch, scene::FORM_MANIPULATOR_TARGET, who + " target");
        if (k && !k->needs_target) flag(c, ch, "%s: %s takes no target; it is ignored", who.c_str(), k->name);
        if (e.target_index)
            reference(c, Where(ch, "model"), who, "its target", xml_attribute_int(ch, "model"),
                      e.target_kind == 0 ? LIST_MODELS : LIST_MESH_EFFECTS);
        ch = ch->next;
    }
    if (k && k->needs_target && !e.target_index)
        flag(c, target ? el->first_child : el, "%s: %s has no target: the instances pass through",
             who.c_str(), k->name);
    std::vector<const XmlNode *> values;
    for (; ch; ch = ch->next) {
        if (values.size() < size_t(geometry::kManipulatorParameters))
            dynamic_value(c, ch, who, format("parameter %u", unsigned(values.size() + 1)),
                          functions::DYNAMIC_IF_DYNAMIC);
        values.push_back(ch);
    }
    if (k)
        value_count(c, el, who, format("\"%s\"", k->name), values, place_names(*k, k->parameter_count), "0");
}

// What an item child's element name stands for, when it is one the reference writes.
const char *item_child_meaning(const char *name) {
    if (!name) return nullptr;
    if (std::strcmp(name, scene::kValueElement) == 0) return "a placement value";
    if (std::strcmp(name, scene::kManipulatorElement) == 0) return "a manipulator";
    for (int i = render::kItemPlacementValues; i < scene::kItemChildCount; i++)
        if (std::strcmp(name, scene::kItemChildElements[i]) == 0) return scene::kItemChildNames[i];
    return nullptr;
}

// A child whose name belongs to another place tells of a value left out or added before it; true
// when one was named.
bool misplaced_children(CheckContext &c, const XmlNode *item, const std::string &who) {
    int place = 1, manipulators = 0;
    for (const XmlNode *ch = item->first_child; ch; ch = ch->next, place++) {
        const char *expected = place <= scene::kItemChildCount ? scene::kItemChildElements[place - 1]
                                                               : scene::kManipulatorElement;
        if (place > scene::kItemChildCount) manipulators++;
        const char *meaning = item_child_meaning(ch->name);
        if (!meaning || std::strcmp(ch->name, expected) == 0) continue;
        std::string read_as = place <= scene::kItemChildCount ? scene::kItemChildNames[place - 1]
                                                              : format("manipulator %d", manipulators);
        flag(c, ch, "%s: child %d <%s> (%s) is read as %s: a value before it is missing or one too many",
             who.c_str(), place, ch->name, meaning, read_as.c_str());
        return true;
    }
    return false;
}

} // namespace

void rules_objects(CheckContext &c) {
    std::vector<std::string> places(scene::kItemChildNames, scene::kItemChildNames + scene::kItemChildCount);
    int position = 1;
    for (const XmlNode *el = c.src->section[13]->first_child; el; el = el->next, position++) {
        const render::SceneObject *o =
            resources::object_at<render::SceneObject>(c.sc->objects, uint32_t(position));
        if (!o || !o->items) break;
        std::string object = format("object %d", position);
        unread_attributes(c, el, scene::FORM_OBJECT, object, true);
        int n = 1;
        for (const XmlNode *it = el->first_child; it; it = it->next, n++) {
            const render::Item *item = resources::short_at<render::Item>(o->items, uint32_t(n));
            if (!item) {
                flag(c, it, "%s: more than %u items; the rest are ignored", object.c_str(),
                     resources::kShortListCapacity);
                break;
            }
            std::string who = format("%s item %d", object.c_str(), n);
            unread_attributes(c, it, scene::FORM_ITEM, who);
            int32_t type = xml_attribute_int(it, "type");
            int32_t index = xml_attribute_int(it, "object"), material = xml_attribute_int(it, "material");
            if (type < 0 || type >= render::kItemTypeCount) {
                flag(c, Where(it, "type"),
                     "%s: type %d is not 0 (static model), 1 (mesh effect) or 2 (text): it is not drawn",
                     who.c_str(), type);
            } else if (type == render::ITEM_TEXT) {
                if (!item->font && !unresolved_name(it, "font"))
                    flag(c, it, "%s: a text item without a font is not drawn", who.c_str());
                else if (reference(c, Where(it, "font"), who, "font", xml_attribute_int(it, "font"),
                                   LIST_FONTS))
                    check_text(c, it, who, *item);
            } else {
                ListKind list = type == render::ITEM_MODEL ? LIST_MODELS : LIST_MESH_EFFECTS;
                reference(c, Where(it, "object"), who, "object", index, list);
                reference(c, Where(it, "material"), who, "material", material, LIST_MATERIALS);
                if ((index == 0 && !unresolved_name(it, "object")) ||
                    (material == 0 && !unresolved_name(it, "material")))
                    flag(c, it, "%s: a %s item needs %s: it is not drawn", who.c_str(),
                         render::kItemTypeNames[type],
                         index == 0 ? (type == 0 ? "a model" : "a mesh effect") : "a material");
            }
            std::vector<const XmlNode *> values;
            int ch_place = 1, manipulators = 0;
            for (const XmlNode *ch = it->first_child; ch; ch = ch->next, ch_place++) {
                if (ch_place <= scene::kItemChildCount) values.push_back(ch);
                if (ch_place <= render::kItemPlacementValues) {
                    dynamic_value(c, ch, who, scene::kItemChildNames[ch_place - 1],
                                  functions::DYNAMIC_IF_DYNAMIC);
                } else if (ch_place == render::kItemVisibilityChild) {
                    unread_attributes(c, ch, scene::FORM_VALUE, who + " visibility");
                    reference(c, Where(ch, "value"), who, "visibility", xml_attribute_int(ch, "value"),
                              LIST_FUNCTIONS);
                } else if (ch_place <= render::kItemFaceCameraChild) {
                    unread_attributes(
                        c, ch, scene::FORM_VALUE,
                        who + (ch_place == render::kItemTimeOffsetChild ? " time offset" : " face camera"));
                } else if (manipulators == render::kMaxManipulators) {
                    flag(c, ch, "%s: more than %d manipulators; the rest are ignored", who.c_str(),
                         render::kMaxManipulators);
                    break;
                } else {
                    check_manipulator(c, ch, format("%s manipulator %d", who.c_str(), manipulators + 1),
                                      item->manipulators[manipulators]);
                    manipulators++;
                }
            }
            // A child at another's place says more than the count: the count follows from it.
            if (!misplaced_children(c, it, who) && values.size() < places.size())
                value_count(c, it, who, "an item", values, places, "0");
        }
    }
}

} // namespace analysis
