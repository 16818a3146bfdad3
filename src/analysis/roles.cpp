#include "analysis/roles.h"

#include "analysis/source_document.h"

#include "functions/function.h"
#include "geometry/effect2d.h"
#include "geometry/manipulator.h"
#include "geometry/mesh_effect.h"
#include "render/layer.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "resources/xml.h"
#include "textures/texture_definitions.h"
#include "textures/texture_filters.h"
#include "textures/texture_generators.h"

#include <cstring>

namespace analysis {

using resources::xml_attribute;
using resources::xml_attribute_int;
using resources::xml_name_is;
using resources::XmlNode;

namespace {

int index_of(const XmlNode *el) {
    int i = 0;
    for (const XmlNode *c = el && el->parent ? el->parent->first_child : nullptr; c && c != el; c = c->next)
        i++;
    return i;
}

std::string quoted(const char *s) {
    return std::string("\"") + s + "\"";
}

// The place names of a texture layer's parameters: colours take three values.
std::string generator_place(int32_t kind, int i) {
    if (kind < 0 || kind >= textures::kGeneratorCount) return "";
    const textures::GeneratorDescriptor &g = textures::kGeneratorDescriptors[kind];
    int at = 0;
    for (int p = 0; p < g.colour_count + g.float_count; p++) {
        int width = p < g.colour_count ? 3 : 1;
        if (i < at + width) {
            static const char *const kParts[3] = {" red", " green", " blue"};
            return std::string(g.parameter_names[p]) + (width == 3 ? kParts[i - at] : "");
        }
        at += width;
    }
    return "";
}

std::string generator_kind(int32_t kind) {
    if (kind < 0 || kind >= textures::kGeneratorCount) return "generator " + std::to_string(kind) + " (none)";
    return "generator " + std::to_string(kind) + " " + quoted(textures::kGeneratorDescriptors[kind].name);
}

std::string node_kind(uint8_t type) {
    if (type == textures::kOutputNodeType) return "type 255 (output node)";
    int row = textures::texture_filter_row(type);
    return "type " + std::to_string(type) +
           (row >= 0 ? " " + quoted(textures::kFilterDescriptors[row].name) : " (no operation)");
}

template <typename Descriptor>
std::string table_kind(const char *what, int32_t kind, const Descriptor *table, int count) {
    if (kind < 0 || kind >= count) return std::string(what) + " " + std::to_string(kind) + " (none)";
    return std::string(what) + " " + std::to_string(kind) + " " + quoted(table[kind].name);
}

template <typename Descriptor> std::string parameter_place(const Descriptor *d, int i) {
    if (!d || i < 0 || i >= int(d->parameter_count)) return "";
    return std::string(d->parameter_names[i]);
}

void place_with(ElementRole *r, const std::string &name, int i, const std::string &of) {
    r->place_name = name;
    r->place = name.empty() ? "value " + std::to_string(i + 1) + ", not read by " + of
                            : name + ", value " + std::to_string(i + 1) + " of " + of;
}

} // namespace

bool element_role(const SourceDocument &d, const XmlNode *el, ElementRole *out) {
    *out = ElementRole{scene::kDocumentFormCount, -1, 0, 0, nullptr, 0, "", "", "", ""};
    if (!el || !d.top) return false;
    std::vector<const XmlNode *> path; // from the top element down to el
    for (const XmlNode *n = el; n && n != d.tree; n = n->parent)
        path.insert(path.begin(), n);
    if (path.empty() || path[0] != d.top) return false;
    ElementRole &r = *out;
    r.depth = int32_t(path.size()) - 1;
    if (r.depth == 0) return true;
    int s = index_of(path[1]) + 1;
    if (s > scene::kDocumentSectionCount) return false;
    r.section = s;
    if (s == scene::kDocumentSectionCount) {
        r.form = scene::FORM_MUSIC;
        r.title = "music";
        return r.depth == 1;
    }
    if (r.depth == 1) return true;
    const XmlNode *record = path[2];
    r.record = record;
    r.position = index_of(record) + 1;
    r.form = scene::kDocumentSections[s - 1].record;
    r.title = s == 14 ? "slot " + std::to_string(r.position - 1)
                      : std::string(scene::kDocumentForms[r.form].title) + " " +
                            std::to_string(s == 1 ? r.position - 1 : r.position);
    const XmlNode *child = r.depth >= 3 ? path[3] : nullptr;
    int ci = child ? index_of(child) : -1;
    switch (s) {
    case 1: {
        int32_t kind = xml_attribute_int(record, "type");
        r.kind = generator_kind(kind);
        if (child) {
            r.form = scene::FORM_NUMBER_TEXT;
            place_with(&r, generator_place(kind, ci), ci, r.kind);
        }
        break;
    }
    case 2: {
        uint8_t type = static_cast<uint8_t>(xml_attribute_int(record, "type"));
        r.kind = node_kind(type);
        if (!child) break;
        r.form = scene::FORM_NUMBER_TEXT;
        const XmlNode *c = record->first_child;
        if (child == c) {
            r.place = "its first input (a procedural texture)";
            break;
        }
        if (type == textures::kOutputNodeType) {
            r.place = "not read: an output node reads only its first input";
            break;
        }
        c = c ? c->next : nullptr;
        if (c && xml_name_is(c, textures::kNodeSecondInputName)) {
            if (child == c) {
                r.place = "its second input (a procedural texture)";
                break;
            }
            c = c->next;
        }
        int outputs = 0;
        for (; c && xml_name_is(c, textures::kNodeOutputName); c = c->next, outputs++)
            if (child == c) r.place = "an output: a procedural texture that reads this one";
        if (!r.place.empty()) break;
        int p = 0;
        for (; c && c != child; c = c->next)
            p++;
        int row = textures::texture_filter_row(type);
        place_with(&r, row >= 0 ? parameter_place(&textures::kFilterDescriptors[row], p) : "", p, r.kind);
        break;
    }
    case 4: {
        r.kind = std::to_string(resources::xml_child_count(record)) + " segments";
        if (!child) break;
        r.form = scene::FORM_SEGMENT;
        r.title += " segment " + std::to_string(ci + 1);
        int32_t kind = xml_attribute_int(child, "type");
        r.kind = table_kind("kind", kind, functions::kSegmentDescriptors, functions::kSegmentKindCount);
        if (r.depth >= 4) {
            int p = index_of(path[4]);
            r.form = scene::FORM_NUMBER_TEXT;
            const functions::SegmentDescriptor *k = kind >= 0 && kind < functions::kSegmentKindCount
                                                        ? &functions::kSegmentDescriptors[kind]
                                                        : nullptr;
            place_with(&r, parameter_place(k, p), p, r.kind);
        }
        break;
    }
    case 5:
        if (child) {
            r.form = scene::FORM_DYNAMIC_VALUE;
            place_with(&r, ci < scene::kLightValueCount ? scene::kLightValueNames[ci] : "", ci, "a light");
        }
        break;
    case 6:
    case 12: {
        int32_t kind = xml_attribute_int(record, "type");
        const geometry::Effect2DDescriptor *e = s == 6 && kind >= 0 && kind < geometry::kEffect2DKindCount
                                                    ? &geometry::kEffect2DDescriptors[kind]
                                                    : nullptr;
        const geometry::MeshEffectDescriptor *m =
            s == 12 && kind >= 0 && kind < geometry::kMeshEffectKindCount
                ? &geometry::kMeshEffectDescriptors[kind]
                : nullptr;
        r.kind =
            s == 6
                ? table_kind("kind", kind, geometry::kEffect2DDescriptors, geometry::kEffect2DKindCount)
                : table_kind("kind", kind, geometry::kMeshEffectDescriptors, geometry::kMeshEffectKindCount);
        if (child) {
            r.form = scene::FORM_NUMBER_TEXT;
            std::string name = s == 6 ? parameter_place(e, ci) : parameter_place(m, ci);
            place_with(&r, name.empty() ? "" : name + " (the function that drives it)", ci, r.kind);
        }
        break;
    }
    case 9:
        if (child) {
            r.form = scene::FORM_GLYPH;
            r.title += " glyph " + std::to_string(ci);
            if (ci < scene::kGlyphNameCount) r.place = std::string("glyph ") + scene::kGlyphNames[ci];
        }
        break;
    case 11:
        if (child) {
            r.form = scene::kDocumentFormCount;
            r.material_row = render::material_child_of(child);
        }
        break;
    case 13: {
        r.kind = std::to_string(resources::xml_child_count(record)) + " items";
        if (!child) break;
        r.form = scene::FORM_ITEM;
        r.title += " item " + std::to_string(ci + 1);
        int32_t type = xml_attribute_int(child, "type");
        r.kind = type >= 0 && type < render::kItemTypeCount ? render::kItemTypeNames[type]
                                                            : "type " + std::to_string(type);
        if (r.depth < 4) break;
        int p = index_of(path[4]);
        if (p < scene::kItemChildCount) {
            r.form = p < render::kItemPlacementValues ? scene::FORM_DYNAMIC_VALUE : scene::FORM_VALUE;
            r.place_name = scene::kItemChildNames[p];
            r.place =
                std::string(scene::kItemChildNames[p]) + ", value " + std::to_string(p + 1) + " of an item";
            break;
        }
        int m = p - scene::kItemChildCount;
        r.title += " manipulator " + std::to_string(m + 1);
        r.form = scene::FORM_MANIPULATOR;
        int32_t kind = xml_attribute_int(path[4], "type");
        const geometry::ManipulatorDescriptor *k = kind >= 0 && kind < geometry::kManipulatorKindCount
                                                       ? &geometry::kManipulatorDescriptors[kind]
                                                       : nullptr;
        r.kind = table_kind("kind", kind, geometry::kManipulatorDescriptors, geometry::kManipulatorKindCount);
        if (r.depth < 5) break;
        const XmlNode *first = path[4]->first_child;
        bool target = first && xml_name_is(first, render::kManipulatorTargetName);
        if (target && path[5] == first) {
            r.form = scene::FORM_MANIPULATOR_TARGET;
            r.place = "the target whose vertices Model placer uses";
            break;
        }
        int q = index_of(path[5]) - (target ? 1 : 0);
        r.form = scene::FORM_DYNAMIC_VALUE;
        place_with(&r, parameter_place(k, q), q, r.kind);
        break;
    }
    case 14: {
        r.form = scene::FORM_LAYER_SLOT;
        if (!child) break;
        r.form = scene::FORM_LAYER;
        r.title += " layer " + std::to_string(ci + 1);
        uint8_t type = static_cast<uint8_t>(xml_attribute_int(child, "type"));
        r.kind = type < render::kRenderModeCount ? quoted(render::kRenderModeNames[type])
                                                 : "render mode " + std::to_string(type);
        if (r.depth >= 4) {
            int p = index_of(path[4]);
            r.form = scene::FORM_DYNAMIC_VALUE;
            place_with(&r, p < scene::kLayerValueCount ? scene::kLayerValueNames[p] : "", p, "a layer");
        }
        break;
    }
    default: break;
    }
    return true;
}

// The schema's rows of the attributes an element in this role is read with.
static const scene::SchemaAttribute *schema_attributes(const ElementRole &role, uint8_t *count) {
    *count = 0;
    if (role.material_row >= 0 && role.material_row < render::kMaterialChildCount) {
        *count = scene::kMaterialChildForms[role.material_row].attribute_count;
        return scene::kMaterialChildForms[role.material_row].attributes;
    }
    if (role.form < scene::kDocumentFormCount) {
        *count = scene::kDocumentForms[role.form].attribute_count;
        return scene::kDocumentForms[role.form].attributes;
    }
    return nullptr;
}

std::string attribute_meaning(const ElementRole &role, const char *attribute) {
    if (!attribute) return "";
    if (role.depth == 2 && role.section <= 14 && std::strcmp(attribute, "name") == 0)
        return "a name for authors: other records may write @"
               "name for this record's number";
    uint8_t count;
    const scene::SchemaAttribute *list = schema_attributes(role, &count);
    for (uint8_t i = 0; list && i < count; i++)
        if (std::strcmp(list[i].name, attribute) == 0) return list[i].meaning;
    return "";
}

TimeUnit attribute_time(const ElementRole &role, const XmlNode *el, const char *attribute) {
    if (!attribute) return TIME_NONE;
    auto is = [&](const char *a) { return std::strcmp(attribute, a) == 0; };
    switch (role.form) {
    case scene::FORM_LAYER:
        return is("space_before") || is("length") || is("offset") ? TIME_HUNDREDTHS : TIME_NONE;
    case scene::FORM_SEGMENT: return is("length") ? TIME_HUNDREDTHS : TIME_NONE;
    case scene::FORM_FUNCTION: return is("loop_begin") || is("loop_end") ? TIME_HUNDREDTHS : TIME_NONE;
    case scene::FORM_MUSIC: return is("offset") ? TIME_MILLISECONDS : TIME_NONE;
    case scene::FORM_VALUE:
        // An item's eleventh child is its time offset.
        return is("value") && el && index_of(el) == render::kItemTimeOffsetChild - 1 ? TIME_HUNDREDTHS
                                                                                     : TIME_NONE;
    default: return TIME_NONE;
    }
}

std::vector<std::string> role_attributes(const ElementRole &role) {
    std::vector<std::string> out;
    uint8_t count;
    const scene::SchemaAttribute *list = schema_attributes(role, &count);
    for (uint8_t i = 0; list && i < count; i++)
        out.push_back(list[i].name);
    if (role.depth == 2 && role.section <= 14) out.push_back("name");
    return out;
}

std::vector<KindChoice> kind_choices(const ElementRole &role, const char *attribute) {
    std::vector<KindChoice> out;
    if (!attribute) return out;
    auto is = [&](const char *a) { return std::strcmp(attribute, a) == 0; };
    auto words = [&](const char *const *names, int count, int first = 0) {
        for (int i = 0; i < count; i++)
            out.push_back(KindChoice{first + i, names[i]});
    };
    if (is("texture_format") && role.form != scene::FORM_MUSIC) words(scene::kTextureFormatMeanings, 8);
    if (is("texture_filter")) words(scene::kTextureFilterMeanings, 3);
    if (!is("type") && role.material_row < 0) return out;
    if (role.material_row == render::MATERIAL_BLEND_FUNCTION && is("value"))
        words(scene::kBlendFunctionMeanings, 5);
    if (role.material_row >= render::MATERIAL_TEXTURE1 && role.material_row < render::MATERIAL_TEXTURE1 + 3) {
        if (is("cgenmode")) words(scene::kCgenModeMeanings, 3);
        if (is("wrapmode")) out = {{0, "repeat"}, {1, "clamp to edge"}};
        if (is("function") && role.material_row == render::MATERIAL_TEXTURE1)
            words(scene::kUnit0FunctionMeanings, 4);
        if (is("function") && role.material_row == render::MATERIAL_TEXTURE1 + 1)
            words(scene::kUnit1FunctionMeanings, 6);
    }
    if (!is("type")) return out;
    switch (role.form) {
    case scene::FORM_TEXTURE_LAYER:
        for (int i = 0; i < textures::kGeneratorCount; i++)
            out.push_back({i, textures::kGeneratorDescriptors[i].name});
        break;
    case scene::FORM_PROCEDURAL_TEXTURE:
        for (int t = 0; t < 256; t++) {
            int row = textures::texture_filter_row(uint8_t(t));
            if (row >= 0) out.push_back({t, textures::kFilterDescriptors[row].name});
        }
        out.push_back({255, "output node"});
        break;
    case scene::FORM_SEGMENT:
        for (int i = 0; i < functions::kSegmentKindCount; i++)
            out.push_back({i, functions::kSegmentDescriptors[i].name});
        break;
    case scene::FORM_FUNCTION: words(functions::kValueKindNames, 2); break;
    case scene::FORM_EFFECT2D:
        for (int i = 0; i < geometry::kEffect2DKindCount; i++)
            out.push_back({i, geometry::kEffect2DDescriptors[i].name});
        break;
    case scene::FORM_MESH_EFFECT:
        for (int i = 0; i < geometry::kMeshEffectKindCount; i++)
            out.push_back({i, geometry::kMeshEffectDescriptors[i].name});
        break;
    case scene::FORM_MANIPULATOR:
        for (int i = 0; i < geometry::kManipulatorKindCount; i++)
            out.push_back({i, geometry::kManipulatorDescriptors[i].name});
        break;
    case scene::FORM_MANIPULATOR_TARGET: out = {{0, "model"}, {1, "mesh effect"}}; break;
    case scene::FORM_TEXTURE_SLOT: words(render::kTextureKindNames, render::kTextureKindCount); break;
    case scene::FORM_ITEM: words(render::kItemTypeNames, render::kItemTypeCount); break;
    case scene::FORM_LAYER: words(render::kRenderModeNames, render::kRenderModeCount); break;
    default: break;
    }
    return out;
}

std::string record_summary(const SourceDocument &d, int32_t section, const XmlNode *record) {
    (void)d;
    if (!record) return "";
    switch (section) {
    case 1: return generator_kind(xml_attribute_int(record, "type"));
    case 2: return node_kind(static_cast<uint8_t>(xml_attribute_int(record, "type")));
    case 3:
    case 7: {
        const char *f = xml_attribute(record, "filename");
        return f ? f : "no file";
    }
    case 4: {
        int n = resources::xml_child_count(record);
        uint8_t loop = static_cast<uint8_t>(xml_attribute_int(record, "loop_type"));
        return std::to_string(n) + (n == 1 ? " segment" : " segments") +
               (loop == 1   ? ", looped"
                : loop == 2 ? ", ping-pong"
                            : "");
    }
    case 6:
        return table_kind("", xml_attribute_int(record, "type"), geometry::kEffect2DDescriptors,
                          geometry::kEffect2DKindCount)
            .substr(1);
    case 8: {
        const char *f = xml_attribute(record, "xp");
        return f ? std::string(f) + ", ..." : "no faces";
    }
    case 10: {
        uint8_t kind = static_cast<uint8_t>(xml_attribute_int(record, "type"));
        return std::string(kind < render::kTextureKindCount ? render::kTextureKindNames[kind] : "cube map") +
               " " + std::to_string(xml_attribute_int(record, "id"));
    }
    case 12:
        return table_kind("", xml_attribute_int(record, "type"), geometry::kMeshEffectDescriptors,
                          geometry::kMeshEffectKindCount)
            .substr(1);
    case 13: return std::to_string(resources::xml_child_count(record)) + " items";
    case 14: return std::to_string(resources::xml_child_count(record)) + " layers";
    default: return "";
    }
}

} // namespace analysis
