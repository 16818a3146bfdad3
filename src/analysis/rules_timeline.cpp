// Section 14, the timeline, and section 15, the music, held against each other.
#include "analysis/rules.h"

#include "analysis/demo_model.h"

#include "music/music_stream.h"
#include "render/layer.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace analysis {

using resources::xml_attribute;
using resources::xml_attribute_int;

namespace {

void check_layer(CheckContext &c, const XmlNode *el, const std::string &who, const render::Layer &layer) {
    unread_attributes(c, el, scene::FORM_LAYER, who);
    for (const char *a : {"space_before", "length", "offset"})
        if (xml_attribute_int(el, a) < 0)
            flag(c, Where(el, a), "%s: %s %d is negative and is read as %u", who.c_str(), a,
                 xml_attribute_int(el, a), static_cast<uint32_t>(xml_attribute_int(el, a)));
    byte_field(c, el, who, "type");
    reference(c, Where(el, "id"), who, "id", xml_attribute_int(el, "id"), LIST_OBJECTS);
    reference(c, Where(el, "clearcolor"), who, "clearcolor", xml_attribute_int(el, "clearcolor"),
              LIST_LIGHTS);
    if (layer.type >= render::kRenderModeCount) {
        flag(c, Where(el, "type"),
             "%s: render mode %u is not in the table (0..5): the layer draws into whatever target is current",
             who.c_str(), layer.type);
    } else if (render::render_mode_has_target(layer.type)) {
        ListKind list = layer.type == render::MODE_CUBEMAP ? LIST_CUBE_MAPS : LIST_BITMAPS;
        if (layer.rtex == 0 && !unresolved_name(el, "rtex"))
            flag(c, el, "%s: \"%s\" needs rtex (a %s): 0 leaves the target as it was", who.c_str(),
                 render::kRenderModeNames[layer.type], kListNames[list].one);
        else
            reference(c, Where(el, "rtex"), who, "rtex", xml_attribute_int(el, "rtex"), list);
    } else if (xml_attribute_int(el, "rtex") != 0) {
        flag(c, Where(el, "rtex"), "%s: rtex is not read by \"%s\"", who.c_str(),
             render::kRenderModeNames[layer.type]);
    }
    std::vector<const XmlNode *> values;
    for (const XmlNode *ch = el->first_child; ch; ch = ch->next)
        values.push_back(ch);
    value_count(
        c, el, who, "a layer", values,
        std::vector<std::string>(scene::kLayerValueNames, scene::kLayerValueNames + scene::kLayerValueCount),
        "0");
    for (size_t i = 0; i < values.size() && i < size_t(scene::kLayerValueCount); i++) {
        const XmlNode *ch = values[i];
        if (i != 6) {
            dynamic_value(c, ch, who, scene::kLayerValueNames[i], functions::DYNAMIC_IF_DYNAMIC);
            continue;
        }
        unread_attributes(c, ch, scene::FORM_DYNAMIC_VALUE, who + " projection");
        const char *type = xml_attribute(ch, "type");
        if (layer.projection_kind == render::PROJECTION_DYNAMIC)
            reference(c, Where(ch, "value"), who, "the projection", xml_attribute_int(ch, "value"),
                      LIST_FUNCTIONS);
        else if (layer.projection_kind == render::PROJECTION_STATIC && type &&
                 std::strcmp(type, "static") != 0)
            flag(c, Where(ch, "type"),
                 "%s: projection type \"%s\" is read as a static field of view (the orthographic one is "
                 "spelled \"%s\")",
                 who.c_str(), type, render::kProjectionOrthoWord);
    }
}

// The timeline's end against the music's: a unit slip shows as a factor of 100 or 10.
void against_music(CheckContext &c, const MusicInfo &info, uint32_t ends_at, const XmlNode *last_layer,
                   const std::string &last_who) {
    const XmlNode *el = c.src->section[scene::kMusicSection];
    if (info.length_ms == 0) return;
    uint32_t offset = 0;
    music::music_element_file(el, &offset);
    double music_end = (double(offset) + info.length_ms) / 10.0; // hundredths
    double end = ends_at;
    auto near = [](double a, double b) { return a > 0.75 * b && a < 1.25 * b; };
    std::string head = format("%s: the timeline ends at %s, but the music plays until %s", last_who.c_str(),
                              seconds(ends_at).c_str(), seconds(uint32_t(music_end)).c_str());
    if (near(end * 100.0, music_end))
        flag(c, last_layer,
             "%s: the lengths look like seconds, and every time of a document is in hundredths of a second "
             "(%u s is "
             "%u)",
             head.c_str(), ends_at, ends_at * 100);
    else if (near(end / 10.0, music_end))
        flag(c, last_layer,
             "%s: the lengths look like milliseconds, and every time of a document is in hundredths of a "
             "second (%u ms "
             "is %u)",
             head.c_str(), ends_at, ends_at / 10);
    else if (end < 0.5 * music_end || end > 1.5 * music_end)
        flag(c, last_layer, "%s, far from it", head.c_str());
}

} // namespace

namespace {

// Where the timeline ends as the player plays it, and the layer whose end is the last.
struct TimelineEnd {
    bool empty;   // slot 0 has no layers
    bool never;   // no layer ever draws
    bool hole;    // something draws again after the demo ends
    uint32_t end; // the last layer's end
    uint32_t ends_at, resumes;
    const XmlNode *last_layer;
    std::string last_who;
};

TimelineEnd timeline_measure(const CheckContext &c) {
    TimelineEnd t = {false, false, false, 0, 0, 0, nullptr, ""};
    int s = 0;
    for (const XmlNode *slot_el = c.src->section[14]->first_child; slot_el && s < render::kLayerSlotCount;
         slot_el = slot_el->next, s++) {
        int n = 1;
        for (const XmlNode *el = slot_el->first_child; el; el = el->next, n++) {
            const render::Layer *layer =
                resources::short_at<render::Layer>(c.sc->slots[s].layers, uint32_t(n));
            if (!layer) break;
            if (layer->end_time >= t.end) {
                t.end = layer->end_time;
                t.last_layer = el;
                t.last_who = format("slot %d layer %d", s, n);
            }
        }
    }
    t.empty = !c.sc->slots[0].layers || c.sc->slots[0].layers->count == 0;
    if (t.empty) return t;
    t.ends_at = timeline_demo_end(c.sc, c.count[LIST_OBJECTS], t.end, &t.hole, &t.resumes);
    t.never = t.ends_at == 0 && !timeline_draws(c.sc, c.count[LIST_OBJECTS], 0);
    return t;
}

} // namespace

void rules_timeline(CheckContext &c) {
    const XmlNode *section = c.src->section[14];
    int s = 0;
    for (const XmlNode *slot_el = section->first_child; slot_el; slot_el = slot_el->next, s++) {
        if (s == render::kLayerSlotCount) {
            flag(c, slot_el, "more than %d layer slots; the rest are not read", render::kLayerSlotCount);
            break;
        }
        unread_attributes(c, slot_el, scene::FORM_LAYER_SLOT, format("slot %d", s), true);
        const scene::LayerSlot &slot = c.sc->slots[s];
        int n = 1;
        for (const XmlNode *el = slot_el->first_child; el; el = el->next, n++) {
            const render::Layer *layer = resources::short_at<render::Layer>(slot.layers, uint32_t(n));
            if (!layer) {
                flag(c, el, "slot %d: more than %u layers; the rest are ignored", s,
                     resources::kShortListCapacity);
                break;
            }
            check_layer(c, el, format("slot %d layer %d", s, n), *layer);
        }
    }
    TimelineEnd t = timeline_measure(c);
    if (t.empty)
        flag(c, section, "slot 0 has no layers: the player draws nothing and ends at once");
    else if (t.never)
        flag(c, section, "no layer ever draws an object: the player ends at once");
    else if (t.hole)
        flag(c, section,
             "nothing draws from %s to %s: the player ends the demo at %s, although layers run until %s",
             seconds(t.ends_at).c_str(), seconds(t.resumes).c_str(), seconds(t.ends_at).c_str(),
             seconds(t.end).c_str());
}

void rules_music_element(CheckContext &c) {
    const XmlNode *el = c.src->section[scene::kMusicSection];
    if (!c.src->demo || !el) return;
    unread_attributes(c, el, scene::FORM_MUSIC, "music");
    unread_children(c, el, "music");
    if (xml_attribute(el, "file") && !xml_attribute(el, "offset"))
        flag(c, el, "music: has a file but no offset: it starts at 0.125 s");
}

void rules_music_file(CheckContext &c) {
    const XmlNode *el = c.src->section[scene::kMusicSection];
    const char *file = el ? xml_attribute(el, "file") : nullptr;
    if (!c.src->demo || !file || !c.host->music) return;
    MusicInfo info = {MUSIC_NOT_FOUND, 0};
    c.host->music(c.host->user, file, &info);
    switch (info.status) {
    case MUSIC_FOUND: {
        TimelineEnd t = timeline_measure(c);
        if (!t.empty && !t.never && !t.hole && t.last_layer)
            against_music(c, info, t.ends_at, t.last_layer, t.last_who);
        break;
    }
    case MUSIC_REFUSED:
        flag(c, Where(el, "file"), "music: \"%s\" leaves the demo's folder: the player does not open it",
             file);
        break;
    case MUSIC_NOT_OGG:
    case MUSIC_UNDECODABLE:
        flag(c, Where(el, "file"), "music: %s is %s: the demo plays without music", file,
             info.status == MUSIC_NOT_OGG ? "not an Ogg file" : "not Ogg Vorbis that can be decoded");
        break;
    case MUSIC_NOT_FOUND:
        flag(c, Where(el, "file"), "music: %s is not %s: the demo plays without music", file,
             c.host->music_where ? c.host->music_where : "where the player looks");
        break;
    }
}

} // namespace analysis
