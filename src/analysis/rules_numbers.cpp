// Values read as numbers whose text is not wholly one: the readers take the longest start that is
// a number, or 0, and say nothing ("0,9" reads 0, "up" reads 0, "1.5s" reads 1.5).
#include "analysis/rules.h"

#include "functions/function.h"
#include "geometry/font.h"
#include "geometry/manipulator.h"
#include "render/layer.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "resources/xml.h"
#include "scene/scene_loader.h"
#include "textures/texture_definitions.h"
#include "textures/texture_generators.h"

#include <cstring>

namespace analysis {

using resources::xml_attribute;
using resources::xml_attribute_int;
using resources::xml_name_is;

namespace {

enum Number : uint8_t { INTEGER, DECIMAL };

struct Numbers {
    CheckContext &c;

    void text(const char *value, Where at, const std::string &what, Number kind) {
        if (!value || resources::xml_is_number(value, kind == INTEGER)) return;
        std::string shown = value;
        size_t a = shown.find_first_not_of(" \t\r\n");
        if (a != std::string::npos && shown[a] == '@') return; // a name: the name rules speak of it
        std::string read = kind == INTEGER ? std::to_string(resources::xml_to_int(value))
                                           : format("%g", resources::xml_to_double(value));
        flag(c, at, "%s \"%s\" is not %s: it is read as %s", what.c_str(), value,
             kind == INTEGER ? "a whole number" : "a number", read.c_str());
    }
    void attribute(const XmlNode *el, const char *name, const std::string &who, Number kind) {
        text(xml_attribute(el, name), Where(el, name), who + ": " + name, kind);
    }
    void attributes(const XmlNode *el, std::initializer_list<const char *> names, const std::string &who,
                    Number kind) {
        for (const char *n : names)
            attribute(el, n, who, kind);
    }
    void element_text(const XmlNode *el, const std::string &what, Number kind) {
        if (el && !el->first_child) text(el->text ? el->text : "", at_text(el), what, kind);
    }
    // A dynamic value: a function number when its type makes it dynamic, else a decimal.
    void dynamic(const XmlNode *el, functions::DynamicTest test, const std::string &what) {
        uint32_t slot;
        bool is_dynamic = functions::dynamic_read(el, test, &slot) != 0;
        text(xml_attribute(el, "value"), Where(el, "value"), what, is_dynamic ? INTEGER : DECIMAL);
    }
    void children_text(const XmlNode *first, const std::string &who, const char *what, Number kind,
                       int most) {
        int i = 0;
        for (const XmlNode *ch = first; ch && i < most; ch = ch->next, i++)
            element_text(ch, format("%s %s %d", who.c_str(), what, i + 1), kind);
    }
};

void records(Numbers &n, int section, void (*each)(Numbers &, const XmlNode *, int)) {
    int position = 1;
    for (const XmlNode *el = n.c.src->section[section] ? n.c.src->section[section]->first_child : nullptr; el;
         el = el->next, position++)
        each(n, el, position);
}

void node_numbers(Numbers &n, const XmlNode *el, int position) {
    std::string who = format("procedural texture %d", position);
    n.attributes(el, {"type", "texture_format", "texture_filter"}, who, INTEGER);
    uint8_t type = static_cast<uint8_t>(xml_attribute_int(el, "type"));
    if (type <= 200) n.attribute(el, "layer_id", who, INTEGER);
    const XmlNode *ch = el->first_child;
    n.element_text(ch, who + ": its first input", INTEGER);
    if (!ch || type == textures::kOutputNodeType) return;
    ch = ch->next;
    if (ch && xml_name_is(ch, textures::kNodeSecondInputName)) {
        n.element_text(ch, who + ": its second input", INTEGER);
        ch = ch->next;
    }
    for (; ch && xml_name_is(ch, textures::kNodeOutputName); ch = ch->next)
        n.element_text(ch, who + ": an output", INTEGER);
    n.children_text(ch, who + ":", "parameter", DECIMAL, textures::kNodeParameters);
}

void function_numbers(Numbers &n, const XmlNode *el, int position) {
    std::string who = format("function %d", position);
    n.attributes(el, {"type", "loop_type"}, who, INTEGER);
    n.attributes(el, {"loop_begin", "loop_end"}, who, DECIMAL);
    int s = 0;
    for (const XmlNode *seg = el->first_child; seg && s < functions::kMaxSegments; seg = seg->next, s++) {
        std::string part = format("%s segment %d", who.c_str(), s + 1);
        n.attributes(seg, {"type", "length"}, part, INTEGER);
        n.children_text(seg->first_child, part + ":", "parameter", DECIMAL, functions::kMaxSegmentParameters);
    }
}

void light_numbers(Numbers &n, const XmlNode *el, int position) {
    int i = 0;
    for (const XmlNode *ch = el->first_child; ch && i < scene::kLightValueCount; ch = ch->next, i++)
        n.dynamic(ch, functions::DYNAMIC_IF_DYNAMIC,
                  format("light %d: %s", position, scene::kLightValueNames[i]));
}

void function_children(Numbers &n, const XmlNode *el, const std::string &who) {
    int i = 0;
    for (const XmlNode *ch = el->first_child; ch && xml_name_is(ch, scene::kParameterElement);
         ch = ch->next, i++)
        n.element_text(ch, format("%s: parameter %d", who.c_str(), i + 1), INTEGER);
}

void material_numbers(Numbers &n, const XmlNode *el, int position) {
    std::string who = format("material %d", position);
    for (const XmlNode *ch = el->first_child; ch; ch = ch->next) {
        int row = render::material_child_of(ch);
        std::string what = who + " " + name_of(ch);
        if (row < 0 || row == render::MATERIAL_VERTEX_SHADER || row == render::MATERIAL_FRAGMENT_SHADER)
            continue;
        if (row >= render::MATERIAL_RED && row < render::MATERIAL_RED + 7) {
            n.dynamic(ch, functions::DYNAMIC_UNLESS_STATIC, what);
        } else if (row == render::MATERIAL_GLSL_UNIFORMS) {
            for (int i = 1; i <= render::kUniformCount; i++)
                n.attribute(ch, format("u%d", i).c_str(), what, INTEGER);
        } else {
            n.attribute(ch, "value", what, INTEGER);
            if (row >= render::MATERIAL_TEXTURE1 && row < render::MATERIAL_TEXTURE1 + 3)
                n.attributes(ch, {"wrapmode", "cgenmode", "rotation", "function"}, what, INTEGER);
        }
    }
}

void object_numbers(Numbers &n, const XmlNode *el, int position) {
    int number = 1;
    for (const XmlNode *it = el->first_child; it; it = it->next, number++) {
        std::string who = format("object %d item %d", position, number);
        n.attributes(it, {"type", "object", "material", "font"}, who, INTEGER);
        int place = 1, manipulators = 0;
        for (const XmlNode *ch = it->first_child; ch; ch = ch->next, place++) {
            if (place <= render::kItemPlacementValues) {
                n.dynamic(ch, functions::DYNAMIC_IF_DYNAMIC, who + ": " + scene::kItemChildNames[place - 1]);
            } else if (place <= render::kItemFaceCameraChild) {
                n.text(xml_attribute(ch, "value"), Where(ch, "value"),
                       who + ": " + scene::kItemChildNames[place - 1],
                       place == render::kItemTimeOffsetChild ? DECIMAL : INTEGER);
            } else if (manipulators < render::kMaxManipulators) {
                std::string m = format("%s manipulator %d", who.c_str(), ++manipulators);
                n.attribute(ch, "type", m, INTEGER);
                const XmlNode *p = ch->first_child;
                if (p && xml_name_is(p, render::kManipulatorTargetName)) {
                    n.attributes(p, {"type", "model"}, m + " target", DECIMAL);
                    p = p->next;
                }
                for (int i = 0; p && i < geometry::kManipulatorParameters; p = p->next, i++)
                    n.dynamic(p, functions::DYNAMIC_IF_DYNAMIC, format("%s: parameter %d", m.c_str(), i + 1));
            }
        }
    }
}

void timeline_numbers(Numbers &n, const XmlNode *slot, int position) {
    if (position > render::kLayerSlotCount) return;
    int number = 1;
    for (const XmlNode *el = slot->first_child; el; el = el->next, number++) {
        std::string who = format("slot %d layer %d", position - 1, number);
        n.attributes(el,
                     {"id", "space_before", "length", "offset", "type", "clearcolor", "clearcolorbuffer",
                      "clearzbuffer"},
                     who, INTEGER);
        if (render::render_mode_has_target(static_cast<uint8_t>(xml_attribute_int(el, "type"))))
            n.attribute(el, "rtex", who, INTEGER);
        int i = 0;
        for (const XmlNode *ch = el->first_child; ch && i < scene::kLayerValueCount; ch = ch->next, i++) {
            std::string what = who + ": " + scene::kLayerValueNames[i];
            if (i != 6) {
                n.dynamic(ch, functions::DYNAMIC_IF_DYNAMIC, what);
                continue;
            }
            const char *type = xml_attribute(ch, "type");
            if (type && std::strcmp(type, render::kProjectionOrthoWord) == 0) continue;
            bool dynamic = type && std::strcmp(type, render::kProjectionDynamicWord) == 0;
            n.text(xml_attribute(ch, "value"), Where(ch, "value"), what, dynamic ? INTEGER : DECIMAL);
        }
    }
}

} // namespace

void rules_numbers(CheckContext &c) {
    Numbers all{c};
    records(all, 1, [](Numbers &n, const XmlNode *el, int position) {
        std::string who = format("texture layer %d", position - 1);
        n.attribute(el, "type", who, INTEGER);
        n.children_text(el->first_child, who + ":", "parameter", DECIMAL, textures::kLayerParameters);
    });
    records(all, 2, node_numbers);
    records(all, 4, function_numbers);
    records(all, 5, light_numbers);
    records(all, 6, [](Numbers &n, const XmlNode *el, int position) {
        std::string who = format("2D effect %d", position);
        n.attributes(el, {"type", "texture_format", "texture_filter"}, who, INTEGER);
        function_children(n, el, who);
    });
    for (int s : {7, 8})
        records(all, s, [](Numbers &n, const XmlNode *el, int position) {
            n.attributes(el, {"texture_format", "texture_filter"},
                         format("%s %d", el->parent == n.c.src->section[7] ? "bitmap" : "cube map", position),
                         INTEGER);
        });
    records(all, 9, [](Numbers &n, const XmlNode *el, int position) {
        int g = 0;
        for (const XmlNode *ch = el->first_child; ch && g < geometry::kFontGlyphCount; ch = ch->next, g++) {
            std::string who = format("font %d glyph %d (%s)", position, g, scene::kGlyphNames[g]);
            n.attributes(ch, {"model", "material", "bitmap"}, who, INTEGER);
            n.attributes(ch, {"offset", "width"}, who, DECIMAL);
        }
    });
    records(all, 10, [](Numbers &n, const XmlNode *el, int position) {
        n.attributes(el, {"type", "id"}, format("texture slot %d", position), INTEGER);
    });
    records(all, 11, material_numbers);
    records(all, 12, [](Numbers &n, const XmlNode *el, int position) {
        std::string who = format("mesh effect %d", position);
        n.attribute(el, "type", who, INTEGER);
        function_children(n, el, who);
    });
    records(all, 13, object_numbers);
    records(all, 14, timeline_numbers);
    if (c.src->demo && c.src->section[scene::kMusicSection] &&
        xml_attribute(c.src->section[scene::kMusicSection], "file"))
        all.attribute(c.src->section[scene::kMusicSection], "offset", "music", INTEGER);
}

} // namespace analysis
