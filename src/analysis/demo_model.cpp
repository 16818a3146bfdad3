#include "analysis/demo_model.h"

#include "analysis/rules.h"
#include "analysis/well_formed.h"

#include "render/layer.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "scene/scene_release.h"
#include "music/music_stream.h"

#include <algorithm>
#include <map>
#include <set>

namespace analysis {

bool timeline_draws(const scene::Scene *sc, uint32_t object_count, uint32_t t) {
    for (int s = 0; s < render::kLayerSlotCount; s++) {
        const scene::LayerSlot &slot = sc->slots[s];
        uint32_t index, local;
        if (!render::layer_find_active(&slot, t, &index, &local)) continue;
        const render::Layer *layer = resources::short_at<render::Layer>(slot.layers, index + 1);
        if (layer && layer->object && layer->object <= object_count) return true;
    }
    return false;
}

uint32_t timeline_demo_end(const scene::Scene *sc, uint32_t object_count, uint32_t last_end, bool *hole,
                           uint32_t *resumes) {
    // What draws changes only where a layer starts drawing or ends: those times are enough.
    std::vector<uint32_t> starts = {0};
    for (const scene::LayerSlot &slot : sc->slots) {
        uint32_t previous = 0;
        for (uint32_t i = 1; slot.layers && i <= slot.layers->count; i++) {
            const render::Layer *layer = resources::short_at<render::Layer>(slot.layers, i);
            uint64_t start = uint64_t(previous) + layer->space_before;
            if (start <= 0xFFFFFFFFu) starts.push_back(static_cast<uint32_t>(start));
            if (layer->end_time < 0xFFFFFFFFu) starts.push_back(layer->end_time + 1);
            previous = layer->end_time;
        }
    }
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    *hole = false;
    *resumes = 0;
    for (size_t i = 0; i < starts.size() && starts[i] <= last_end; i++) {
        if (timeline_draws(sc, object_count, starts[i])) continue;
        size_t j = i + 1;
        while (j < starts.size() && starts[j] <= last_end && !timeline_draws(sc, object_count, starts[j]))
            j++;
        *hole = j < starts.size() && starts[j] <= last_end;
        *resumes = *hole ? starts[j] : 0;
        return starts[i];
    }
    return last_end < 0xFFFFFFFFu ? last_end + 1 : last_end;
}

namespace {

// A document read as the check reads it: the tree with names resolved, the engine's records.
struct ReadDocument {
    SourceDocument src;
    CheckContext c;
    std::vector<Finding> scratch; // what reading says besides why it fails: not wanted here
    AnalysisHost no_host;
};

bool read_open(const AnalysisDocument &doc, ReadDocument *r, std::vector<Finding> *why) {
    r->c.sc = nullptr;
    if (!source_document_open(&r->src, doc.file, doc.demo, doc.text, doc.size)) {
        why->push_back(Finding{doc.file, 0, -1, -1, "is too large to read in memory", FINDING_STRUCTURE});
        return false;
    }
    if (!well_formed(r->src.file, r->src.text, r->src.line_starts, why)) return false;
    r->no_host = AnalysisHost{};
    r->c.src = &r->src;
    r->c.host = &r->no_host;
    r->c.findings = &r->scratch;
    std::fill(r->c.count, r->c.count + kListCount, 0u);
    names_resolve(&r->src, &r->scratch, nullptr);
    r->c.sc = scene::scene_create();
    if (!r->c.sc) return false;
    r->c.findings = why;
    if (!rules_structure(r->c)) return false;
    r->c.findings = &r->scratch;
    rules_read_records(r->c);
    names_collect(r->src, &r->c.names);
    return true;
}

void read_close(ReadDocument *r) {
    scene::scene_release(r->c.sc);
    r->c.sc = nullptr;
    source_document_close(&r->src);
}

std::string name_at(const ReadDocument &r, ListKind list, int32_t position) {
    const RecordName *n = names_of_position(r.c.names, list, position);
    return n ? n->name : std::string();
}

bool inside(const XmlNode *el, const XmlNode *ancestor) {
    for (; el; el = el->parent)
        if (el == ancestor) return true;
    return false;
}

// The functions reached from the references of a layer element, through every record they name.
std::vector<int32_t>
reached_functions(const std::vector<ReferenceSite> &sites,
                  const std::map<std::pair<int32_t, int32_t>, std::vector<size_t>> &by_record,
                  const XmlNode *layer_el, const uint32_t *count) {
    std::set<int32_t> found;
    std::set<std::pair<int32_t, int32_t>> seen;
    std::vector<size_t> pending;
    for (size_t i = 0; i < sites.size(); i++)
        if (sites[i].section == 14 && inside(sites[i].element, layer_el)) pending.push_back(i);
    while (!pending.empty()) {
        const ReferenceSite &s = sites[pending.back()];
        pending.pop_back();
        int32_t number = resources::xml_to_int(reference_text(s));
        if (s.target == LIST_FUNCTIONS) {
            if (number >= 1 && uint32_t(number) <= count[LIST_FUNCTIONS]) found.insert(number);
            continue;
        }
        // Texture layers and the texture graph evaluate no functions.
        if (s.target == LIST_TEXTURE_LAYERS || s.target == LIST_TEXTURES) continue;
        if (number < 1 || uint32_t(number) > count[s.target]) continue;
        std::pair<int32_t, int32_t> record(list_section(s.target), number);
        if (!seen.insert(record).second) continue;
        auto it = by_record.find(record);
        if (it != by_record.end()) pending.insert(pending.end(), it->second.begin(), it->second.end());
    }
    return std::vector<int32_t>(found.begin(), found.end());
}

// Which layer, slot or element of the timeline a finding is about.
void place_finding(const ReadDocument &r, const TimelineModel &m, const Finding &f, TimelineModel *out) {
    const XmlNode *section = r.src.section[14];
    const XmlNode *music = r.src.demo ? r.src.section[scene::kMusicSection] : nullptr;
    auto holds = [&](const XmlNode *el) {
        if (!el) return false;
        if (f.begin >= 0) return f.begin >= el->offset && (el->end < 0 || f.begin < el->end);
        return f.line >= el->line && el->end >= 0 && f.line <= source_line_of(r.src, el->end - 1);
    };
    TimelineFinding t = {f, -1, -1, false};
    if (holds(music)) {
        t.music = true;
        out->findings.push_back(t);
        return;
    }
    if (!holds(section)) return;
    int32_t s = 0;
    for (const XmlNode *slot = section->first_child; slot; slot = slot->next, s++)
        if (holds(slot)) t.slot = s;
    for (size_t i = 0; i < m.layers.size(); i++) {
        const TimelineLayer &l = m.layers[i];
        bool in = f.begin >= 0 ? f.begin >= l.source_begin && f.begin < l.source_end : f.line == l.line;
        if (in) t.layer = int32_t(i);
    }
    out->findings.push_back(t);
}

} // namespace

bool analysis_timeline(const AnalysisDocument &doc, const AnalysisHost &host, TimelineModel *out,
                       std::vector<Finding> *why) {
    *out = TimelineModel{};
    ReadDocument r;
    if (!read_open(doc, &r, why)) {
        read_close(&r);
        return false;
    }
    std::vector<ReferenceSite> sites;
    reference_sites(r.src, &sites);
    std::map<std::pair<int32_t, int32_t>, std::vector<size_t>> by_record;
    for (size_t i = 0; i < sites.size(); i++)
        if (sites[i].section != 14) by_record[{sites[i].section, sites[i].position}].push_back(i);

    const scene::Scene *sc = r.c.sc;
    const uint32_t objects = r.c.count[LIST_OBJECTS];
    int32_t s = 0;
    for (const XmlNode *slot_el = r.src.section[14]->first_child; slot_el && s < render::kLayerSlotCount;
         slot_el = slot_el->next, s++) {
        const scene::LayerSlot &slot = sc->slots[s];
        uint32_t previous = 0, n = 1;
        for (const XmlNode *el = slot_el->first_child; el; el = el->next, n++) {
            const render::Layer *layer = resources::short_at<render::Layer>(slot.layers, n);
            if (!layer) break;
            TimelineLayer t = {};
            t.slot = s;
            t.index = int32_t(n);
            t.start = previous;
            uint64_t begin = uint64_t(previous) + layer->space_before;
            t.begin = begin > layer->end_time ? layer->end_time : static_cast<uint32_t>(begin);
            t.end = layer->end_time;
            t.offset = layer->offset;
            t.object = layer->object;
            t.object_exists = layer->object >= 1 && layer->object <= objects;
            if (t.object_exists) t.object_name = name_at(r, LIST_OBJECTS, layer->object);
            t.type = layer->type;
            t.rtex = layer->rtex;
            if (render::render_mode_has_target(layer->type) && layer->rtex)
                t.target_name = name_at(
                    r, layer->type == render::MODE_CUBEMAP ? LIST_CUBE_MAPS : LIST_BITMAPS, layer->rtex);
            t.line = el->line;
            t.source_begin = el->offset;
            t.source_end = el->end >= 0 ? el->end : int32_t(r.src.text.size());
            t.functions = reached_functions(sites, by_record, el, r.c.count);
            out->layers.push_back(t);
            out->last_end = std::max(out->last_end, layer->end_time);
            previous = layer->end_time;
        }
    }
    bool slot0 = sc->slots[0].layers && sc->slots[0].layers->count > 0;
    out->demo_end = timeline_demo_end(sc, objects, out->last_end, &out->hole, &out->resumes);
    out->nothing_draws = !slot0 || (out->demo_end == 0 && !timeline_draws(sc, objects, 0));
    if (!slot0) out->demo_end = 0;
    const XmlNode *music = r.src.demo ? r.src.section[scene::kMusicSection] : nullptr;
    if (music) {
        uint32_t offset = 0;
        const char *file = music::music_element_file(music, &offset);
        if (file) {
            out->music_file = file;
            out->music_offset = offset;
        }
    }
    std::vector<Finding> all;
    analysis_check(doc, host, CHECK_DOCUMENTS | CHECK_FILES, &all);
    for (const Finding &f : all)
        place_finding(r, *out, f, out);
    read_close(&r);
    return true;
}

bool analysis_functions(const AnalysisDocument &doc, std::vector<DocumentFunction> *out,
                        std::vector<Finding> *why) {
    out->clear();
    ReadDocument r;
    if (!read_open(doc, &r, why)) {
        read_close(&r);
        return false;
    }
    int32_t n = 1;
    for (const XmlNode *el : source_records(r.src, list_section(LIST_FUNCTIONS))) {
        const functions::Function *f =
            resources::object_at<functions::Function>(r.c.sc->functions, uint32_t(n));
        if (!f) break;
        DocumentFunction d = {*f, n, name_at(r, LIST_FUNCTIONS, n), el->line, {}};
        int32_t s = 0;
        for (const XmlNode *seg = el->first_child; seg && s < functions::kMaxSegments; seg = seg->next, s++)
            d.given[s] = uint8_t(std::min(functions::kMaxSegmentParameters, resources::xml_child_count(seg)));
        out->push_back(d);
        n++;
    }
    read_close(&r);
    return true;
}

} // namespace analysis
