// Code actions: a reference written as a number or as a name, and the records moved, deleted or
// copied with every numbered reference following them.
#include "lsp/lsp_internal.h"

#include "analysis/record_edits.h"
#include "resources/xml.h"

namespace lsp {

using resources::XmlNode;

namespace {

json action(const Document &d, const std::string &title, const json &edits, const char *kind) {
    return json{{"title", title}, {"kind", kind}, {"edit", {{"changes", {{d.uri, edits}}}}}};
}

json whole_text_edit(const Document &d, const std::string &text) {
    return json::array({json{{"range", range_json(d, 0, int32_t(d.text.size()))}, {"newText", text}}});
}

} // namespace

json code_actions(const Document &d, const json &params) {
    json out = json::array();
    const json &range = params.value("range", json());
    int32_t offset = range.is_object() ? offset_of(d, range.value("start", json())) : -1;
    if (offset < 0) return out;
    if (const analysis::ReferenceSite *s = site_at(d, offset)) {
        int32_t p = site_target(d, *s);
        int32_t begin, end;
        analysis::reference_range(d.src, *s, &begin, &end);
        std::string name;
        bool named = analysis::reference_name(analysis::reference_text(*s), &name);
        if (p > 0 && begin >= 0) {
            if (named) {
                std::string number = std::to_string(analysis::list_number(s->target, p));
                out.push_back(
                    action(d, "Write the number of " + record_label(d, s->target, p) + ": " + number,
                           json::array({json{{"range", range_json(d, begin, end)}, {"newText", number}}}),
                           "refactor.rewrite"));
            } else if (const analysis::RecordName *r = analysis::names_of_position(d.names, s->target, p)) {
                out.push_back(action(
                    d, "Refer to " + record_label(d, s->target, p) + " by its name: @" + r->name,
                    json::array({json{{"range", range_json(d, begin, end)}, {"newText", "@" + r->name}}}),
                    "refactor.rewrite"));
            }
        }
    }
    const XmlNode *el = element_at(d, offset);
    analysis::ElementRole role;
    if (!el || !analysis::element_role(d.src, el, &role) || role.depth < 2 || role.section < 1 ||
        role.section > 14)
        return out;
    std::string who = role.section == 14
                          ? "slot " + std::to_string(role.position - 1)
                          : record_label(d, analysis::ListKind(role.section - 1), role.position);
    struct Choice {
        analysis::RecordEdit op;
        const char *title;
    } choices[] = {{analysis::RECORD_MOVE_UP, "Move %s up"},
                   {analysis::RECORD_MOVE_DOWN, "Move %s down"},
                   {analysis::RECORD_INSERT_COPY, "Insert a copy of %s after it"},
                   {analysis::RECORD_DELETE, "Delete %s"}};
    for (const Choice &c : choices) {
        std::string text;
        if (!analysis::record_edit(d.text, role.section, role.position, c.op, &text)) continue;
        std::string title = c.title;
        title.replace(title.find("%s"), 2, who);
        if (role.section <= int32_t(analysis::kListCount)) title += " (numbered references follow)";
        out.push_back(action(d, title, whole_text_edit(d, text), "refactor"));
    }
    return out;
}

} // namespace lsp
