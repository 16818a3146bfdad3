// Sections 3 to 10: models, functions, lights, 2D effects, bitmaps, cube maps, fonts, texture slots.
#include "analysis/rules.h"

#include "functions/function.h"
#include "geometry/effect2d.h"
#include "geometry/font.h"
#include "maths/number_convert.h"
#include "render/material.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "textures/texture_definitions.h"

#include <cstring>

namespace analysis {

using resources::xml_attribute;
using resources::xml_attribute_int;
using resources::xml_child_count;
using resources::xml_name_is;

namespace {

std::vector<const XmlNode *> children_of(const XmlNode *el) {
    std::vector<const XmlNode *> v;
    for (const XmlNode *c = el ? el->first_child : nullptr; c; c = c->next)
        v.push_back(c);
    return v;
}

// A spline's knots as the engine lays them out: a knot that does not lie at least one unit after the
// one before it is moved there and takes that one's y.
void spline_knots(CheckContext &c, const XmlNode *seg, const std::string &part, const functions::Function &f,
                  int s, int given) {
    if (given % 2 == 1 && given <= functions::kMaxSegmentParameters)
        flag(c, seg,
             "%s: %d values, but a Catmull-Rom spline reads them as x, y pairs: knot %d has x %g and no y, "
             "which reads 0",
             part.c_str(), given, given / 2 + 1, double(f.parameters[s][given - 1]));
    int knots = std::min((given + 1) / 2, functions::kMaxSegmentParameters / 2);
    double previous_x = double(f.parameters[s][0]) - 1.0, previous_y = f.parameters[s][1];
    for (int k = 1; k <= knots; k++) {
        double x = f.parameters[s][2 * k - 2], y = f.parameters[s][2 * k - 1];
        double moved = previous_x + 1.0;
        if (k > 1 && moved > x) {
            const XmlNode *at = child_at(seg, 2 * k - 2);
            flag(c, at ? Where(at) : Where(seg),
                 "%s: knot %d (x %g) does not lie at least one unit after knot %d (x %g): the engine moves "
                 "it to "
                 "x %g with knot %d's y (%g)",
                 part.c_str(), k, x, k - 1, previous_x, moved, k - 1, previous_y);
            x = moved;
            y = previous_y;
        }
        previous_x = x;
        previous_y = y;
    }
}

} // namespace

void rules_models(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[3]->first_child; el; el = el->next, position++) {
        std::string who = format("model %d", position);
        unread_attributes(c, el, scene::FORM_MODEL, who, true);
        unread_children(c, el, who);
        if (!xml_attribute(el, "filename")) flag(c, el, "%s: has no filename: it stays empty", who.c_str());
    }
}

void rules_functions(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[4]->first_child; el; el = el->next, position++) {
        functions::Function *f =
            resources::object_at<functions::Function>(c.sc->functions, uint32_t(position));
        if (!f) break;
        std::string who = format("function %d", position);
        unread_attributes(c, el, scene::FORM_FUNCTION, who, true);
        byte_field(c, el, who, "loop_type");
        if (f->loop_mode > 2)
            flag(c, Where(el, "loop_type"),
                 "%s: loop_type %u is not 0 (Off), 1 (Loop) or 2 (Ping-pong): the function does not loop",
                 who.c_str(), f->loop_mode);
        if ((f->loop_mode == functions::LOOP_LOOP || f->loop_mode == functions::LOOP_PING_PONG) &&
            !(maths::convert_to_i32(f->loop_end) > maths::convert_to_i32(f->loop_begin)))
            flag(c, Where(el, "loop_end"),
                 "%s: loop_end %g is not after loop_begin %g: the function does not loop", who.c_str(),
                 double(f->loop_end), double(f->loop_begin));
        int s = 0;
        for (const XmlNode *seg = el->first_child; seg; seg = seg->next, s++) {
            if (s == functions::kMaxSegments) {
                flag(c, seg, "%s: more than %d segments; the rest are ignored", who.c_str(),
                     functions::kMaxSegments);
                break;
            }
            std::string part = format("%s segment %d", who.c_str(), s + 1);
            unread_attributes(c, seg, scene::FORM_SEGMENT, part);
            int32_t kind = xml_attribute_int(seg, "type");
            if (xml_attribute_int(seg, "length") < 0)
                flag(c, Where(seg, "length"), "%s: length %d is negative and is read as %u", part.c_str(),
                     xml_attribute_int(seg, "length"), f->segment_lengths[s]);
            if (kind < 0 || kind >= functions::kSegmentKindCount) {
                flag(c, Where(seg, "type"),
                     "%s: kind %d is not in the table (0..%d, Constant to Sinus * x): it gives 1.0",
                     part.c_str(), kind, functions::kSegmentKindCount - 1);
                continue;
            }
            const functions::SegmentDescriptor &k = functions::kSegmentDescriptors[kind];
            std::vector<const XmlNode *> values = children_of(seg);
            if (kind == functions::SEGMENT_SPLINE) {
                if (int(values.size()) > functions::kMaxSegmentParameters)
                    value_count(c, seg, part, format("kind %d \"%s\"", kind, k.name), values,
                                place_names(k, k.parameter_count), "0");
                spline_knots(c, seg, part, *f, s, int(values.size()));
                continue;
            }
            value_count(c, seg, part, format("kind %d \"%s\"", kind, k.name), values,
                        place_names(k, k.parameter_count), "0");
        }
    }
}

void rules_lights(CheckContext &c) {
    std::vector<std::string> places(scene::kLightValueNames,
                                    scene::kLightValueNames + scene::kLightValueCount);
    int position = 1;
    for (const XmlNode *el = c.src->section[5]->first_child; el; el = el->next, position++) {
        std::string who = format("light %d", position);
        unread_attributes(c, el, scene::FORM_LIGHT, who, true);
        std::vector<const XmlNode *> values = children_of(el);
        value_count(c, el, who, "a light", values, places, "0");
        for (size_t i = 0; i < values.size() && i < places.size(); i++)
            dynamic_value(c, values[i], who, places[i], functions::DYNAMIC_IF_DYNAMIC);
    }
}

void parameter_children(CheckContext &c, const XmlNode *el, const std::string &who, const char *child_name,
                        const char *kind_name, const std::vector<std::string> *places) {
    std::vector<const XmlNode *> given;
    const XmlNode *ch = el->first_child;
    for (; ch && xml_name_is(ch, child_name); ch = ch->next) {
        given.push_back(ch);
        int32_t index = resources::xml_text_int(ch);
        if (index < 0 || index > 0xFFFF)
            flag(c, at_text(ch), "%s: function index %d does not fit 16 bits", who.c_str(), index);
        else
            reference(c, at_text(ch), who, format("parameter %u", unsigned(given.size())).c_str(), index,
                      LIST_FUNCTIONS);
    }
    for (; ch; ch = ch->next)
        flag(c, ch, "%s: child <%s> is not read: reading stops at the first child not named %s", who.c_str(),
             name_of(ch), child_name);
    if (places) value_count(c, el, who, format("\"%s\"", kind_name), given, *places, "0 (no function)");
}

void rules_effects2d(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[6]->first_child; el; el = el->next, position++) {
        std::string who = format("2D effect %d", position);
        unread_attributes(c, el, scene::FORM_EFFECT2D, who, true);
        format_and_filter(c, el, who, false);
        int32_t kind = xml_attribute_int(el, "type");
        const char *resolution = xml_attribute(el, "resolution");
        uint16_t size = geometry::effect2d_resolution(resolution);
        if (!resolution)
            flag(c, el, "%s: has no resolution: the effect is 512 x 512", who.c_str());
        else if (size == geometry::kEffect2DMaxSize && std::strcmp(resolution, "512x512") != 0)
            flag(c, Where(el, "resolution"),
                 "%s: resolution \"%s\" is not 64x64, 128x128 or 256x256: the effect is 512 x 512",
                 who.c_str(), resolution);
        const char *bpp = xml_attribute(el, "bpp");
        uint8_t bits = geometry::effect2d_bits(bpp);
        if (bpp && std::strcmp(bpp, "8") != 0 && std::strcmp(bpp, "24") != 0)
            flag(c, Where(el, "bpp"), "%s: bpp \"%s\" is neither \"8\" nor \"24\": it is read as 24",
                 who.c_str(), bpp);
        const geometry::Effect2DDescriptor *k = nullptr;
        if (kind < 0 || kind >= geometry::kEffect2DKindCount)
            flag(c, Where(el, "type"),
                 "%s: kind %d is not in the table (0..%d, Test 2d effect to Normalmap): the texture stays "
                 "black",
                 who.c_str(), kind, geometry::kEffect2DKindCount - 1);
        else
            k = &geometry::kEffect2DDescriptors[kind];
        if (kind == geometry::EFFECT2D_NORMALMAP && bits == 8)
            flag(c, el, "%s: Normalmap draws nothing at 8 bits a pixel", who.c_str());
        std::vector<std::string> places;
        if (k) places = place_names(*k, k->parameter_count);
        parameter_children(c, el, who, geometry::kEffect2DParameterName, k ? k->name : "",
                           k ? &places : nullptr);
    }
}

void rules_bitmaps(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[7]->first_child; el; el = el->next, position++) {
        std::string who = format("bitmap %d", position);
        unread_attributes(c, el, scene::FORM_BITMAP, who, true);
        unread_children(c, el, who);
        format_and_filter(c, el, who, true);
        if (!xml_attribute(el, "filename")) flag(c, el, "%s: has no filename: it has no image", who.c_str());
    }
}

void rules_cube_maps(CheckContext &c) {
    static const char *const kFaces[6] = {"xp", "xn", "yp", "yn", "zp", "zn"};
    int position = 1;
    for (const XmlNode *el = c.src->section[8]->first_child; el; el = el->next, position++) {
        std::string who = format("cube map %d", position);
        unread_attributes(c, el, scene::FORM_CUBE_MAP, who, true);
        unread_children(c, el, who);
        format_and_filter(c, el, who, false);
        for (const char *face : kFaces) {
            const char *name = xml_attribute(el, face);
            if (!name || !name[0])
                flag(c, Where(el, name ? face : nullptr), "%s: face %s is %s: the cube map has no image",
                     who.c_str(), face, name ? "empty" : "missing");
        }
    }
}

void rules_fonts(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[9]->first_child; el; el = el->next, position++) {
        std::string who = format("font %d", position);
        unread_attributes(c, el, scene::FORM_FONT, who, true);
        int glyphs = xml_child_count(el);
        if (glyphs < geometry::kFontGlyphCount)
            flag(c, el, "%s: %d glyph%s, but a font has %d: glyphs %d to %d stay empty", who.c_str(), glyphs,
                 glyphs == 1 ? "" : "s", geometry::kFontGlyphCount, glyphs, geometry::kFontGlyphCount - 1);
        int g = 0;
        for (const XmlNode *ch = el->first_child; ch; ch = ch->next, g++) {
            if (g == geometry::kFontGlyphCount) {
                flag(c, ch, "%s: more than %d glyphs; the rest are ignored", who.c_str(),
                     geometry::kFontGlyphCount);
                break;
            }
            std::string glyph = format("%s glyph %d (%s)", who.c_str(), g, scene::kGlyphNames[g]);
            unread_attributes(c, ch, scene::FORM_GLYPH, glyph);
            unread_children(c, ch, glyph);
            int32_t model = xml_attribute_int(ch, "model"), material = xml_attribute_int(ch, "material");
            bool has_model = reference(c, Where(ch, "model"), glyph, "model", model, LIST_MODELS);
            reference(c, Where(ch, "material"), glyph, "material", material, LIST_MATERIALS);
            reference(c, Where(ch, "bitmap"), glyph, "bitmap", xml_attribute_int(ch, "bitmap"), LIST_BITMAPS);
            if (has_model && material == 0)
                flag(c, ch, "%s: has a model but no material: it is never drawn", glyph.c_str());
        }
    }
}

void rules_texture_slots(CheckContext &c) {
    int position = 1;
    for (const XmlNode *el = c.src->section[10]->first_child; el; el = el->next, position++) {
        const render::TextureSlot *s =
            resources::object_at<render::TextureSlot>(c.sc->texture_slots, uint32_t(position));
        if (!s) break;
        std::string who = format("texture slot %d", position);
        unread_attributes(c, el, scene::FORM_TEXTURE_SLOT, who, true);
        unread_children(c, el, who);
        byte_field(c, el, who, "type");
        uint8_t kind = s->kind;
        if (kind >= render::kTextureKindCount) {
            flag(c, Where(el, "type"),
                 "%s: kind %u is not 0..3 (procedural texture, bitmap, 2D effect, cube map): it is read as a "
                 "cube map",
                 who.c_str(), kind);
            kind = render::TEXTURE_CUBE;
        }
        static const ListKind kLists[4] = {LIST_TEXTURES, LIST_BITMAPS, LIST_EFFECTS2D, LIST_CUBE_MAPS};
        if (s->index == 0) {
            if (!unresolved_name(el, "id"))
                flag(c, Where(el, "id"), "%s: id 0 names no %s: the slot shows no texture", who.c_str(),
                     kListNames[kLists[kind]].one);
            continue;
        }
        if (!reference(c, Where(el, "id"), who, "id", s->index, kLists[kind]) ||
            kind != render::TEXTURE_PROCEDURAL)
            continue;
        const textures::ProceduralTexture *t = resources::object_at<textures::ProceduralTexture>(
            c.sc->textures, static_cast<uint32_t>(s->index));
        if (t && t->type != textures::kOutputNodeType)
            flag(c, Where(el, "id"),
                 "%s: procedural texture %d is not an output node (type 255): it has no texture to show",
                 who.c_str(), s->index);
    }
}

} // namespace analysis
