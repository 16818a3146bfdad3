#include "analysis/source_document.h"

#include "resources/xml.h"
#include "scene/scene_loader.h"

#include <algorithm>

namespace analysis {

using resources::XmlNode;

bool source_document_open(SourceDocument *d, const char *file, bool demo, const char *text, size_t size) {
    d->file = file;
    d->demo = demo;
    d->text.assign(text, size);
    d->line_starts.clear();
    d->line_starts.push_back(0);
    for (size_t i = 0; i < size && i < 0x7FFFFFFF; i++)
        if (text[i] == '\n') d->line_starts.push_back(static_cast<int32_t>(i + 1));
    d->tree = resources::xml_parse(d->text.c_str());
    d->top = d->tree ? d->tree->first_child : nullptr;
    for (const XmlNode *&s : d->section)
        s = nullptr;
    d->section_count = resources::xml_child_count(d->top);
    const XmlNode *s = d->top ? d->top->first_child : nullptr;
    for (int i = 1; i <= scene::kDocumentSectionCount && s; i++, s = s->next)
        d->section[i] = s;
    return d->tree != nullptr;
}

void source_document_close(SourceDocument *d) {
    resources::xml_free(d->tree);
    d->tree = nullptr;
    d->top = nullptr;
}

int32_t source_line_of(const SourceDocument &d, int32_t offset) {
    auto it = std::upper_bound(d.line_starts.begin(), d.line_starts.end(), offset);
    return static_cast<int32_t>(it - d.line_starts.begin());
}

void source_position(const SourceDocument &d, int32_t offset, int32_t *line, int32_t *column) {
    offset = std::max(0, std::min<int32_t>(offset, static_cast<int32_t>(d.text.size())));
    int32_t l = source_line_of(d, offset) - 1;
    int32_t col = 0;
    for (int32_t i = d.line_starts[size_t(l)]; i < offset; i++) {
        unsigned char c = static_cast<unsigned char>(d.text[size_t(i)]);
        if ((c & 0xC0) == 0x80) continue; // continuation bytes add nothing
        col += c >= 0xF0 ? 2 : 1;         // four-byte sequences are surrogate pairs
    }
    *line = l;
    *column = col;
}

int32_t source_offset(const SourceDocument &d, int32_t line, int32_t column) {
    if (line < 0) return 0;
    if (size_t(line) >= d.line_starts.size()) return static_cast<int32_t>(d.text.size());
    int32_t i = d.line_starts[size_t(line)], size = static_cast<int32_t>(d.text.size());
    int32_t col = 0;
    while (i < size && d.text[size_t(i)] != '\n' && col < column) {
        unsigned char c = static_cast<unsigned char>(d.text[size_t(i)]);
        col += c >= 0xF0 ? 2 : 1;
        i++;
        while (i < size && (static_cast<unsigned char>(d.text[size_t(i)]) & 0xC0) == 0x80)
            i++;
    }
    return i;
}

std::vector<const XmlNode *> source_records(const SourceDocument &d, int section) {
    std::vector<const XmlNode *> out;
    if (section < 1 || section > scene::kDocumentSectionCount) return out;
    for (const XmlNode *c = d.section[section] ? d.section[section]->first_child : nullptr; c; c = c->next)
        out.push_back(c);
    return out;
}

void source_start_tag(const SourceDocument &d, const XmlNode *el, int32_t *begin, int32_t *end) {
    *begin = el ? el->offset : -1;
    *end = *begin;
    if (!el || el->offset < 0) return;
    size_t i = size_t(el->offset);
    bool quoted = false;
    while (i < d.text.size() && (quoted || d.text[i] != '>')) {
        if (d.text[i] == '"') quoted = !quoted;
        i++;
    }
    *end = static_cast<int32_t>(std::min(i + 1, d.text.size()));
}

} // namespace analysis
