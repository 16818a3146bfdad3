// Hovers and inlay hints: what the engine reads a place as, shown where the author types.
#include "lsp/lsp_internal.h"

#include "maths/number_convert.h"
#include "resources/xml.h"

#include <cstdio>
#include <cstring>

namespace lsp {

using resources::XmlNode;

namespace {

std::string seconds_text(uint32_t value, analysis::TimeUnit unit) {
    char buf[64];
    if (unit == analysis::TIME_MILLISECONDS)
        std::snprintf(buf, sizeof buf, "%u.%03u s", value / 1000, value % 1000);
    else
        std::snprintf(buf, sizeof buf, "%u.%02u s", value / 100, value % 100);
    return buf;
}

// What a reference points at, in a line: "→ model 3 `cube` (cube.mdl), line 40".
std::string target_text(const Document &d, const analysis::ReferenceSite &s) {
    int32_t p = site_target(d, s);
    if (p == 0) {
        std::string name;
        if (analysis::reference_name(analysis::reference_text(s), &name))
            return "names no " + std::string(analysis::kListNames[s.target].one) + ": none is called `" +
                   name + "`";
        return "names no " + std::string(analysis::kListNames[s.target].one);
    }
    const XmlNode *record = record_of(d, s.target, p);
    std::string summary = analysis::record_summary(d.src, analysis::list_section(s.target), record);
    return "→ " + record_label(d, s.target, p) + (summary.empty() ? "" : " (" + summary + ")") + ", line " +
           std::to_string(record ? record->line : 0);
}

// The role's short label for a value read by its place: "Horizontal number".
std::string place_label(const analysis::ElementRole &role) {
    return role.place_name;
}

json hint(const Document &d, int32_t offset, const std::string &label, int kind, bool pad_left,
          bool pad_right) {
    json h = {{"position", position_json(d, offset)}, {"label", label}, {"kind", kind}};
    if (pad_left) h["paddingLeft"] = true;
    if (pad_right) h["paddingRight"] = true;
    return h;
}

} // namespace

json hover(const Document &d, const json &params) {
    int32_t offset = offset_of(d, params.value("position", json()));
    const XmlNode *el = offset >= 0 ? element_at(d, offset) : nullptr;
    if (!el) return nullptr;
    analysis::ElementRole role;
    if (!analysis::element_role(d.src, el, &role)) return nullptr;
    std::string md = "**" + (role.title.empty() ? std::string(el->name ? el->name : "") : role.title) + "**";
    if (!role.kind.empty()) md += " — " + role.kind;
    int32_t begin, end;
    analysis::source_start_tag(d.src, el, &begin, &end);
    bool in_value = false;
    int32_t a = attribute_at(el, offset, &in_value);
    const analysis::ReferenceSite *site = site_at(d, offset);
    if (a >= 0) {
        const resources::XmlAttribute &attr = el->attributes[a];
        md += "\n\n`" + std::string(attr.name ? attr.name : "") + "`: ";
        std::string meaning = analysis::attribute_meaning(role, attr.name);
        md += meaning.empty() ? "not read by the player" : meaning;
        analysis::TimeUnit unit = analysis::attribute_time(role, el, attr.name);
        if (unit != analysis::TIME_NONE && attr.value && resources::xml_is_number(attr.value, false) &&
            resources::xml_to_double(attr.value) >= 0)
            md += "\n\n" + std::string(attr.value) +
                  (unit == analysis::TIME_MILLISECONDS ? " ms" : " hundredths") + " = " +
                  seconds_text(maths::convert_to_u32(resources::xml_to_double(attr.value)), unit);
        for (const analysis::KindChoice &k : analysis::kind_choices(role, attr.name))
            if (attr.value && resources::xml_is_number(attr.value, true) &&
                k.number == resources::xml_to_int(attr.value))
                md += "\n\n" + std::to_string(k.number) + ": " + k.name;
        begin = attr.name_offset;
        end = attr.value_offset >= 0
                  ? attr.value_offset + int32_t(std::strlen(attr.value ? attr.value : "")) + 1
                  : begin + int32_t(std::strlen(attr.name ? attr.name : ""));
    } else if (!role.place.empty()) {
        md += "\n\n" + role.place;
    } else if (role.form < scene::kDocumentFormCount) {
        md += "\n\n" + std::string(scene::kDocumentForms[role.form].summary);
    } else if (role.depth == 1 && role.section >= 1) {
        md += "\n\nsection " + std::to_string(role.section) + ": " +
              scene::kDocumentSections[role.section - 1].summary;
    }
    if (site) md += "\n\n" + site->field + " " + target_text(d, *site);
    if (role.depth == 2 && role.section >= 1 && role.section <= int32_t(analysis::kListCount) && a < 0) {
        analysis::ListKind list = analysis::ListKind(role.section - 1);
        md += "\n\n" + record_label(d, list, role.position) + " (" +
              analysis::record_summary(d.src, role.section, el) + ")";
        int used = 0;
        for (const analysis::ReferenceSite &s : d.sites)
            if (s.target == list && site_target(d, s) == role.position) used++;
        md += ", referred to " + std::to_string(used) + (used == 1 ? " time" : " times");
    }
    return json{{"contents", {{"kind", "markdown"}, {"value", md}}}, {"range", range_json(d, begin, end)}};
}

json inlay_hints(const Document &d, const json &params) {
    json out = json::array();
    int32_t from = 0, to = int32_t(d.text.size());
    if (params.contains("range") && params["range"].is_object()) {
        int32_t a = offset_of(d, params["range"].value("start", json()));
        int32_t b = offset_of(d, params["range"].value("end", json()));
        if (a >= 0) from = a;
        if (b >= 0) to = b;
    }
    // Every element in range, in document order (depth first, iteratively).
    const XmlNode *n = d.src.top;
    while (n) {
        if (n->offset >= from && n->offset <= to) {
            analysis::ElementRole role;
            if (analysis::element_role(d.src, n, &role)) {
                if (role.depth == 2 && role.section >= 1 && role.section <= 14) {
                    int32_t number = role.section == 1 ? role.position - 1 : role.position;
                    out.push_back(hint(d, n->offset, std::to_string(number) + ":", 1, false, true));
                }
                std::string place = place_label(role);
                if (!place.empty() && role.depth >= 3)
                    out.push_back(hint(d, n->offset, place + ":", 2, false, true));
                for (int32_t i = 0; i < n->attribute_count; i++) {
                    const resources::XmlAttribute &attr = n->attributes[i];
                    analysis::TimeUnit unit = analysis::attribute_time(role, n, attr.name);
                    if (unit == analysis::TIME_NONE || !attr.value || attr.value_offset < 0 ||
                        !resources::xml_is_number(attr.value, false) ||
                        resources::xml_to_double(attr.value) < 0)
                        continue;
                    int32_t at = attr.value_offset + int32_t(std::strlen(attr.value)) + 1;
                    out.push_back(
                        hint(d, at,
                             seconds_text(maths::convert_to_u32(resources::xml_to_double(attr.value)), unit),
                             1, true, false));
                }
            }
        }
        if (n->first_child) {
            n = n->first_child;
            continue;
        }
        while (n && !n->next && n != d.src.top)
            n = n->parent;
        n = n && n != d.src.top ? n->next : nullptr;
    }
    for (const analysis::ReferenceSite &s : d.sites) {
        int32_t begin, end;
        analysis::reference_range(d.src, s, &begin, &end);
        if (begin < from || begin > to || begin < 0) continue;
        int32_t p = site_target(d, s);
        if (p == 0) continue;
        std::string name;
        std::string label;
        if (analysis::reference_name(analysis::reference_text(s), &name)) {
            label = std::to_string(analysis::list_number(s.target, p));
        } else if (const analysis::RecordName *r = analysis::names_of_position(d.names, s.target, p)) {
            label = r->name;
        } else {
            label =
                analysis::record_summary(d.src, analysis::list_section(s.target), record_of(d, s.target, p));
        }
        if (!label.empty()) out.push_back(hint(d, end + (s.attribute >= 0 ? 1 : 0), label, 1, true, false));
    }
    return out;
}

} // namespace lsp
