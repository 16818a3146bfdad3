// Sections by position, and the records the engine's readers make of them.
#include "analysis/rules.h"

#include "functions/function.h"
#include "geometry/font.h"
#include "render/capabilities.h"
#include "render/layer.h"
#include "render/material.h"
#include "render/scene_object.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "textures/texture_definitions.h"
#include "textures/texture_graph.h"

#include <cstring>

namespace analysis {

using resources::xml_attribute;
using resources::xml_child_count;

bool rules_structure(CheckContext &c) {
    const XmlNode *top = c.src->top;
    if (!top) {
        flag_at(c, nullptr, FINDING_STRUCTURE, "the document has no top element");
        return false;
    }
    bool demo = c.src->demo;
    int n = c.src->section_count;
    int needed = demo ? scene::kRequiredSections + 1 : scene::kRequiredSections;
    // A section called by another position's name means one is missing or out of place.
    bool shifted = false;
    for (int i = 1; i <= scene::kDocumentSectionCount && c.src->section[i] && !shifted; i++) {
        const char *name = c.src->section[i]->name;
        for (int j = 1; name && j <= scene::kDocumentSectionCount && !shifted; j++) {
            if (j == i || std::strcmp(name, scene::kDocumentSections[j - 1].name) != 0) continue;
            if (n >= scene::kRequiredSections)
                flag_at(
                    c, c.src->section[i], FINDING_STRUCTURE,
                    format("section %d is <%s>, the name of section %d: sections are read by position, so "
                           "this one is read as %s",
                           i, name, j, scene::kDocumentSections[i - 1].name));
            shifted = true;
        }
    }
    if (n < scene::kRequiredSections)
        flag_at(
            c, top, FINDING_STRUCTURE,
            format(
                "<%s> has %d sections, but the player reads %d by position (texture_layers to timeline%s): "
                "it refuses the document",
                name_of(top), n, scene::kRequiredSections, demo ? ", then music" : ""));
    else if (n < needed && !shifted)
        flag(c, top, "<%s> has no music section (the fifteenth): the demo plays without music", name_of(top));
    int last = demo ? scene::kDocumentSectionCount : scene::kRequiredSections;
    for (const XmlNode *extra = child_at(top, last); extra; extra = extra->next) {
        if (!demo && extra == c.src->section[scene::kMusicSection]) {
            if (xml_attribute(extra, "file"))
                flag(c, extra, "the loading document's music is not read: only the demo's plays");
            continue;
        }
        flag(c, extra, "section <%s> comes after the last one read and is not read", name_of(extra));
    }
    if (n < scene::kRequiredSections || shifted) return false;
    int layers = xml_child_count(c.src->section[1]);
    if (layers > int(textures::kMaxTextureLayers)) {
        flag_at(c, c.src->section[1], FINDING_STRUCTURE,
                format("%d texture layers, but at most %u are allowed: the player refuses the document",
                       layers, textures::kMaxTextureLayers));
        return false;
    }
    return true;
}

void rules_read_records(CheckContext &c) {
    for (int i = 1; i <= scene::kRequiredSections; i++) {
        uint32_t n = static_cast<uint32_t>(xml_child_count(c.src->section[i]));
        if (i != 1 && n > resources::kObjectListCapacity) {
            flag(c, c.src->section[i], "%u records, but a list holds %u: the rest are not read", n,
                 resources::kObjectListCapacity);
            n = resources::kObjectListCapacity;
        }
        if (i <= int(kListCount)) c.count[i - 1] = n;
    }
    scene::Scene *sc = c.sc;
    for (const XmlNode *r = c.src->section[2]->first_child; r; r = r->next) {
        uint32_t slot = resources::object_list_add(sc->textures);
        if (slot)
            textures::procedural_texture_parse(
                static_cast<textures::ProceduralTexture *>(sc->textures->record[slot - 1]), r);
    }
    for (const XmlNode *r = c.src->section[4]->first_child; r; r = r->next)
        functions::function_read(sc->functions, r);
    for (const XmlNode *r = c.src->section[5]->first_child; r; r = r->next)
        render::light_read(sc->lights, r);
    for (const XmlNode *r = c.src->section[9]->first_child; r; r = r->next)
        geometry::font_read(sc->fonts, r);
    for (const XmlNode *r = c.src->section[10]->first_child; r; r = r->next)
        render::texture_slot_read(sc->texture_slots, r);
    render::Capabilities caps = {};
    caps.texture_units = 4;
    for (const XmlNode *r = c.src->section[11]->first_child; r; r = r->next)
        render::material_read(sc, r, 0, caps);
    for (const XmlNode *r = c.src->section[13]->first_child; r; r = r->next)
        render::scene_object_read(sc->objects, r);
    render::layer_section_read(sc, c.src->section[14], nullptr, nullptr);
}

} // namespace analysis
