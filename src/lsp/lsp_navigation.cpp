// Going to a record, finding what refers to it, the outline of a document, renaming a record.
#include "lsp/lsp_internal.h"

#include "resources/xml.h"

#include <cstring>

namespace lsp {

using resources::XmlNode;

namespace {

json location(const Document &d, const XmlNode *el) {
    int32_t begin, end;
    analysis::source_start_tag(d.src, el, &begin, &end);
    return json{{"uri", d.uri}, {"range", range_json(d, begin, end)}};
}

// The record the cursor is about: the one a reference under it names, or the record whose start
// tag it stands in. False when it is about neither.
bool record_under(const Document &d, int32_t offset, analysis::ListKind *list, int32_t *position) {
    if (const analysis::ReferenceSite *s = site_at(d, offset)) {
        *list = s->target;
        *position = site_target(d, *s);
        return *position > 0;
    }
    const XmlNode *el = element_at(d, offset);
    analysis::ElementRole role;
    if (!el || !analysis::element_role(d.src, el, &role) || role.depth != 2 || role.section < 1 ||
        role.section > int32_t(analysis::kListCount))
        return false;
    int32_t begin, end;
    analysis::source_start_tag(d.src, el, &begin, &end);
    if (offset < begin || offset > end) return false;
    *list = analysis::ListKind(role.section - 1);
    *position = role.position;
    return true;
}

int symbol_kind(int section) {
    // The protocol's SymbolKind: what an outline draws beside each record.
    switch (section) {
    case 4: return 12;  // Function
    case 5: return 14;  // Constant
    case 11: return 23; // Struct
    case 13: return 5;  // Class
    case 14: return 20; // Key
    case 1:
    case 2: return 18; // Array
    default: return 7; // Property
    }
}

bool name_is_usable(const std::string &name) {
    if (name.empty() || name[0] == '@') return false;
    for (char c : name)
        if (c == '"' || c == '<' || c == '>' || c == '&' || c == '\n' || c == '\r') return false;
    return name.find_first_not_of(" \t") != std::string::npos && name.front() != ' ' && name.back() != ' ';
}

// The name under the cursor: a record's name attribute, or an @name reference. *list and *position
// name its record, *begin and *end the name's text (without the @).
bool name_under(const Document &d, int32_t offset, analysis::ListKind *list, int32_t *position,
                int32_t *begin, int32_t *end, std::string *name) {
    if (const analysis::ReferenceSite *s = site_at(d, offset)) {
        if (!analysis::reference_name(analysis::reference_text(*s), name)) return false;
        analysis::reference_range(d.src, *s, begin, end);
        *begin += 1;
        *list = s->target;
        *position = site_target(d, *s);
        return *position > 0;
    }
    const XmlNode *el = element_at(d, offset);
    analysis::ElementRole role;
    if (!el || !analysis::element_role(d.src, el, &role) || role.depth != 2 || role.section < 1 ||
        role.section > int32_t(analysis::kListCount))
        return false;
    bool in_value = false;
    int32_t a = attribute_at(el, offset, &in_value);
    if (a < 0 || std::strcmp(el->attributes[a].name ? el->attributes[a].name : "", "name") != 0 ||
        el->attributes[a].value_offset < 0)
        return false;
    *name = el->attributes[a].value ? el->attributes[a].value : "";
    *begin = el->attributes[a].value_offset;
    *end = *begin + int32_t(name->size());
    *list = analysis::ListKind(role.section - 1);
    *position = role.position;
    return true;
}

} // namespace

json definition(const Document &d, const json &params) {
    int32_t offset = offset_of(d, params.value("position", json()));
    analysis::ListKind list;
    int32_t position;
    if (offset < 0 || !record_under(d, offset, &list, &position)) return nullptr;
    const XmlNode *record = record_of(d, list, position);
    return record ? location(d, record) : json(nullptr);
}

json references(const Document &d, const json &params) {
    json out = json::array();
    int32_t offset = offset_of(d, params.value("position", json()));
    analysis::ListKind list;
    int32_t position;
    if (offset < 0 || !record_under(d, offset, &list, &position)) return out;
    bool declaration = params.contains("context") && params["context"].is_object() &&
                       params["context"].value("includeDeclaration", false);
    if (declaration)
        if (const XmlNode *record = record_of(d, list, position)) out.push_back(location(d, record));
    for (const analysis::ReferenceSite &s : d.sites) {
        if (s.target != list || site_target(d, s) != position) continue;
        int32_t begin, end;
        analysis::reference_range(d.src, s, &begin, &end);
        if (begin >= 0) out.push_back(json{{"uri", d.uri}, {"range", range_json(d, begin, end)}});
    }
    return out;
}

json document_symbols(const Document &d) {
    json out = json::array();
    int section = 1;
    for (const XmlNode *sec = d.src.top ? d.src.top->first_child : nullptr;
         sec && section <= scene::kDocumentSectionCount; sec = sec->next, section++) {
        int32_t sb, se;
        analysis::source_start_tag(d.src, sec, &sb, &se);
        int32_t send = sec->end >= 0 ? sec->end : int32_t(d.text.size());
        json children = json::array();
        int32_t position = 1;
        for (const XmlNode *r = sec->first_child; r; r = r->next, position++) {
            int32_t rb, re;
            analysis::source_start_tag(d.src, r, &rb, &re);
            int32_t rend = r->end >= 0 ? r->end : int32_t(d.text.size());
            int32_t number = section == 1 ? position - 1 : section == 14 ? position - 1 : position;
            const char *name = resources::xml_attribute(r, "name");
            std::string label = std::to_string(number) + (name ? std::string(" ") + name : std::string());
            children.push_back(json{{"name", label},
                                    {"detail", analysis::record_summary(d.src, section, r)},
                                    {"kind", symbol_kind(section)},
                                    {"range", range_json(d, rb, rend)},
                                    {"selectionRange", range_json(d, rb, re)}});
        }
        json symbol = {{"name", scene::kDocumentSections[section - 1].name},
                       {"detail", scene::kDocumentSections[section - 1].summary},
                       {"kind", 3},
                       {"range", range_json(d, sb, send)},
                       {"selectionRange", range_json(d, sb, se)}};
        if (!children.empty()) symbol["children"] = children;
        out.push_back(symbol);
    }
    return out;
}

json prepare_rename(const Document &d, const json &params) {
    int32_t offset = offset_of(d, params.value("position", json()));
    analysis::ListKind list;
    int32_t position, begin, end;
    std::string name;
    if (offset < 0 || !name_under(d, offset, &list, &position, &begin, &end, &name)) return nullptr;
    return json{{"range", range_json(d, begin, end)}, {"placeholder", name}};
}

json rename(const Document &d, const json &params, std::string *error) {
    int32_t offset = offset_of(d, params.value("position", json()));
    analysis::ListKind list;
    int32_t position, begin, end;
    std::string name;
    if (offset < 0 || !name_under(d, offset, &list, &position, &begin, &end, &name)) {
        *error = "only a record's name, or an @name, can be renamed";
        return nullptr;
    }
    std::string fresh = params.value("newName", std::string());
    if (!name_is_usable(fresh)) {
        *error =
            "\"" + fresh + "\" cannot be a name (no quotes, <, >, & or line breaks; not empty, no @ first)";
        return nullptr;
    }
    int32_t other = analysis::names_find(d.names, list, fresh);
    if (other != 0 && other != position) {
        *error = "another " + std::string(analysis::kListNames[list].one) + " is called " + fresh;
        return nullptr;
    }
    json edits = json::array();
    if (const analysis::RecordName *r = analysis::names_of_position(d.names, list, position)) {
        const resources::XmlAttribute &a = r->record->attributes[r->attribute];
        edits.push_back(
            json{{"range", range_json(d, a.value_offset, a.value_offset + int32_t(r->name.size()))},
                 {"newText", fresh}});
    }
    for (const analysis::ReferenceSite &s : d.sites) {
        std::string written;
        if (s.target != list || !analysis::reference_name(analysis::reference_text(s), &written) ||
            site_target(d, s) != position)
            continue;
        int32_t b, e;
        analysis::reference_range(d.src, s, &b, &e);
        if (b >= 0) edits.push_back(json{{"range", range_json(d, b, e)}, {"newText", "@" + fresh}});
    }
    return json{{"changes", {{d.uri, edits}}}};
}

} // namespace lsp
