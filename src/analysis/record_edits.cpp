#include "analysis/record_edits.h"

#include "analysis/references.h"
#include "analysis/source_document.h"

#include "resources/xml.h"

#include <cstring>
#include <vector>

namespace analysis {

namespace {

struct Span {
    int32_t begin, end;
};

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// A record's lines when it stands alone on them, with the comment lines right above; else its element.
Span record_span(const std::string &text, const resources::XmlNode *el) {
    Span s = {el->offset, el->end};
    int32_t line = s.begin;
    while (line > 0 && blank(text[size_t(line) - 1]))
        line--;
    size_t after = size_t(s.end);
    while (after < text.size() && blank(text[after]))
        after++;
    bool alone =
        (line == 0 || text[size_t(line) - 1] == '\n') && (after >= text.size() || text[after] == '\n');
    if (!alone) return s;
    s.begin = line;
    s.end = int32_t(after < text.size() ? after + 1 : after);
    // Comment lines directly above belong to the record they describe.
    for (;;) {
        if (s.begin == 0) break;
        int32_t prev_end = s.begin - 1, prev = prev_end;
        while (prev > 0 && text[size_t(prev) - 1] != '\n')
            prev--;
        std::string l = text.substr(size_t(prev), size_t(prev_end - prev));
        size_t a = l.find_first_not_of(" \t\r"), b = l.find_last_not_of(" \t\r");
        if (a == std::string::npos || l.compare(a, 4, "<!--") != 0 || b < 2 ||
            l.compare(b - 2, 3, "-->") != 0 || l.find("-->") != b - 2)
            break;
        s.begin = prev;
    }
    return s;
}

const resources::XmlNode *record_at(const SourceDocument &d, int32_t section, int32_t position) {
    if (section < 1 || section > 14 || !d.section[section] || position < 1) return nullptr;
    const resources::XmlNode *el = d.section[section]->first_child;
    for (int32_t i = 1; el && i < position; i++)
        el = el->next;
    return el;
}

// A name no record of the section has, made from `base`.
std::string unused_name(const SourceDocument &d, int32_t section, const std::string &base) {
    for (int n = 1;; n++) {
        std::string candidate = base + (n == 1 ? "_copy" : "_copy" + std::to_string(n));
        bool taken = false;
        for (const resources::XmlNode *el = d.section[section]->first_child; el && !taken; el = el->next) {
            const char *name = resources::xml_attribute(el, "name");
            taken = name && candidate == name;
        }
        if (!taken) return candidate;
    }
}

} // namespace

bool record_edit(const std::string &text, int32_t section, int32_t position, RecordEdit op,
                 std::string *out) {
    SourceDocument d;
    if (!source_document_open(&d, "", true, text.data(), text.size())) return false;
    int32_t count = section >= 1 && section <= 14 ? resources::xml_child_count(d.section[section]) : 0;
    int32_t other = op == RECORD_MOVE_UP ? position - 1 : op == RECORD_MOVE_DOWN ? position + 1 : position;
    const resources::XmlNode *el = record_at(d, section, position);
    if (!el || other < 1 || other > count || el->end < 0) {
        source_document_close(&d);
        return false;
    }
    // New position of every record of the section (0: gone).
    std::vector<int32_t> moved(size_t(count) + 2, 0);
    for (int32_t p = 1; p <= count; p++) {
        int32_t q = p;
        if ((op == RECORD_MOVE_UP || op == RECORD_MOVE_DOWN) && (p == position || p == other))
            q = p == position ? other : position;
        if (op == RECORD_DELETE) q = p == position ? 0 : p > position ? p - 1 : p;
        if (op == RECORD_INSERT_COPY) q = p > position ? p + 1 : p;
        moved[size_t(p)] = q;
    }
    std::vector<TextEdit> edits;
    std::vector<ReferenceSite> sites;
    reference_sites(d, &sites);
    if (section <= int32_t(kListCount)) {
        ListKind list = ListKind(section - 1);
        for (const ReferenceSite &s : sites) {
            const char *t = reference_text(s);
            if (s.target != list || !resources::xml_is_number(t, true)) continue;
            int32_t number = resources::xml_to_int(t);
            int32_t p = list == LIST_TEXTURE_LAYERS ? number + 1 : number;
            if (p < 1 || p > count || moved[size_t(p)] == p) continue;
            int32_t q = moved[size_t(p)];
            int32_t begin, end;
            reference_range(d, s, &begin, &end);
            if (begin < 0) continue;
            int32_t written = q == 0 ? 0 : list == LIST_TEXTURE_LAYERS ? q - 1 : q;
            edits.push_back(TextEdit{begin, end, std::to_string(written)});
        }
    }
    std::string renumbered = text_apply_edits(text, edits);
    source_document_close(&d);
    // The same records in the renumbered text (its structure is the same).
    if (!source_document_open(&d, "", true, renumbered.data(), renumbered.size())) return false;
    const resources::XmlNode *a = record_at(d, section, position), *b = record_at(d, section, other);
    bool ok = a && b && a->end >= 0 && b->end >= 0;
    if (ok) {
        Span sa = record_span(renumbered, a);
        switch (op) {
        case RECORD_MOVE_UP:
        case RECORD_MOVE_DOWN: {
            Span first = record_span(renumbered, op == RECORD_MOVE_UP ? b : a);
            Span second = record_span(renumbered, op == RECORD_MOVE_UP ? a : b);
            *out = renumbered.substr(0, size_t(first.begin)) +
                   renumbered.substr(size_t(second.begin), size_t(second.end - second.begin)) +
                   renumbered.substr(size_t(first.end), size_t(second.begin - first.end)) +
                   renumbered.substr(size_t(first.begin), size_t(first.end - first.begin)) +
                   renumbered.substr(size_t(second.end));
            break;
        }
        case RECORD_DELETE:
            *out = renumbered.substr(0, size_t(sa.begin)) + renumbered.substr(size_t(sa.end));
            break;
        case RECORD_INSERT_COPY: {
            std::string copy = renumbered.substr(size_t(sa.begin), size_t(sa.end - sa.begin));
            for (int32_t i = 0; i < a->attribute_count; i++) {
                const resources::XmlAttribute &attr = a->attributes[i];
                if (!attr.name || std::strcmp(attr.name, "name") != 0 || attr.value_offset < 0) continue;
                std::string fresh = unused_name(d, section, attr.value ? attr.value : "");
                size_t at = size_t(attr.value_offset - sa.begin);
                copy.replace(at, std::strlen(attr.value ? attr.value : ""), fresh);
            }
            // A copy of an element that shares its line is set apart by a space.
            bool whole_lines = !copy.empty() && copy.back() == '\n';
            *out = renumbered.substr(0, size_t(sa.end)) + (whole_lines ? "" : " ") + copy +
                   renumbered.substr(size_t(sa.end));
            break;
        }
        }
    }
    source_document_close(&d);
    return ok;
}

} // namespace analysis
