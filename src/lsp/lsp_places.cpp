// Places in a document: protocol positions, the element and attribute under the cursor, and what
// a reference points at.
#include "lsp/lsp_internal.h"

#include "resources/xml.h"

#include <cctype>
#include <cstring>

namespace lsp {

using resources::XmlNode;

json position_json(const Document &d, int32_t offset) {
    int32_t line, column;
    analysis::source_position(d.src, offset, &line, &column);
    return json{{"line", line}, {"character", column}};
}

json range_json(const Document &d, int32_t begin, int32_t end) {
    if (end < begin) end = begin;
    return json{{"start", position_json(d, begin)}, {"end", position_json(d, end)}};
}

int32_t offset_of(const Document &d, const json &position) {
    if (!position.is_object()) return -1;
    auto line = position.find("line"), character = position.find("character");
    if (line == position.end() || character == position.end() || !line->is_number_integer() ||
        !character->is_number_integer())
        return -1;
    int64_t l = line->get<int64_t>(), c = character->get<int64_t>();
    if (l < 0 || c < 0 || l > 0x7FFFFFFF || c > 0x7FFFFFFF) return -1;
    return analysis::source_offset(d.src, int32_t(l), int32_t(c));
}

static int32_t end_of(const Document &d, const XmlNode *el) {
    return el->end >= 0 ? el->end : int32_t(d.src.text.size());
}

const XmlNode *element_at(const Document &d, int32_t offset) {
    const XmlNode *found = nullptr;
    const XmlNode *n = d.src.tree ? d.src.tree->first_child : nullptr;
    // Walk down: at each level the child whose span holds the offset (siblings do not overlap).
    while (n) {
        const XmlNode *hit = nullptr;
        for (const XmlNode *c = n; c; c = c->next)
            if (c->offset <= offset && offset < end_of(d, c)) {
                hit = c;
                break;
            }
        if (!hit) break;
        found = hit;
        n = hit->first_child;
    }
    return found;
}

int32_t attribute_at(const XmlNode *el, int32_t offset, bool *in_value) {
    for (int32_t i = 0; el && i < el->attribute_count; i++) {
        const resources::XmlAttribute &a = el->attributes[i];
        int32_t name_end = a.name_offset + int32_t(std::strlen(a.name ? a.name : ""));
        if (offset >= a.name_offset && offset <= name_end) {
            *in_value = false;
            return i;
        }
        if (a.value_offset >= 0 && offset >= a.value_offset &&
            offset <= a.value_offset + int32_t(std::strlen(a.value ? a.value : ""))) {
            *in_value = true;
            return i;
        }
    }
    return -1;
}

bool in_text(const XmlNode *el, int32_t offset) {
    return el && el->text && !el->first_child && el->text_offset >= 0 && offset >= el->text_offset &&
           offset <= el->text_offset + int32_t(std::strlen(el->text));
}

const analysis::ReferenceSite *site_at(const Document &d, int32_t offset) {
    for (const analysis::ReferenceSite &s : d.sites) {
        int32_t start =
            s.attribute >= 0 ? s.element->attributes[s.attribute].value_offset : s.element->text_offset;
        if (start < 0) continue;
        int32_t end = start + int32_t(std::strlen(analysis::reference_text(s)));
        if (offset >= start && offset <= end) return &s;
    }
    return nullptr;
}

const XmlNode *record_of(const Document &d, analysis::ListKind list, int32_t position) {
    const XmlNode *section = d.src.section[analysis::list_section(list)];
    const XmlNode *el = section ? section->first_child : nullptr;
    for (int32_t i = 1; el && i < position; i++)
        el = el->next;
    return position >= 1 ? el : nullptr;
}

int32_t site_target(const Document &d, const analysis::ReferenceSite &s) {
    const char *text = analysis::reference_text(s);
    std::string name;
    if (analysis::reference_name(text, &name)) {
        int32_t p = analysis::names_find(d.names, s.target, name);
        return p > 0 ? p : 0;
    }
    if (!resources::xml_is_number(text, true)) return 0;
    int32_t number = resources::xml_to_int(text);
    int32_t position = s.target == analysis::LIST_TEXTURE_LAYERS ? number + 1 : number;
    return record_of(d, s.target, position) ? position : 0;
}

std::string record_label(const Document &d, analysis::ListKind list, int32_t position) {
    std::string label = std::string(analysis::kListNames[list].one) + " " +
                        std::to_string(analysis::list_number(list, position));
    if (const analysis::RecordName *n = analysis::names_of_position(d.names, list, position))
        label += " `" + n->name + "`";
    return label;
}

static int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string uri_to_path(const std::string &uri) {
    if (uri.compare(0, 7, "file://") != 0) return "";
    std::string path;
    for (size_t i = 7; i < uri.size(); i++) {
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            path += char(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    // file:///C:/x on Windows: the drive letter stands after the slash.
    if (path.size() > 2 && path[0] == '/' && path[2] == ':') path.erase(0, 1);
    return path;
}

std::string path_to_uri(const std::string &path) {
    static const char *const kHex = "0123456789ABCDEF";
    std::string uri = "file://";
    if (!path.empty() && path[0] != '/') uri += '/';
    for (unsigned char c : path) {
        if (std::isalnum(c) || std::strchr("/-._~:", c))
            uri += char(c);
        else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri;
}

} // namespace lsp
