#include "analysis/names_rewrite.h"

#include "analysis/references.h"
#include "analysis/source_document.h"
#include "analysis/well_formed.h"

#include "resources/xml.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace analysis {

using resources::XmlNode;

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool word_byte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
}

bool letter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c >= 0x80;
}

std::vector<std::string> words_of(const std::string &text) {
    std::vector<std::string> words;
    std::string word;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\'') continue; // "machine's" is one word
        if (word_byte(c)) {
            word += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : ch;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

std::string words_join(const std::vector<std::string> &words) {
    std::string out;
    for (const std::string &w : words)
        out += (out.empty() ? "" : "_") + w;
    return out;
}

// The whole text is a decimal number as an author writes it: digits only, no leading zero (but
// "0"), small enough for any list.
bool canonical_number(const char *text, int32_t *n) {
    size_t length = std::strlen(text);
    if (length == 0 || length > 9 || (text[0] == '0' && length > 1)) return false;
    int32_t v = 0;
    for (size_t i = 0; i < length; i++) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
    }
    *n = v;
    return true;
}

// The text of the comment standing alone on the lines just before offset (only blanks between), or
// false: a comment that ends a line with an element before it belongs to that element.
bool comment_before(const std::string &text, int32_t offset, std::string *out) {
    if (offset < 0 || size_t(offset) > text.size()) return false;
    size_t i = size_t(offset);
    while (i > 0 && blank(text[i - 1]))
        i--;
    if (i < 7 || text.compare(i - 3, 3, "-->") != 0) return false;
    size_t open = text.rfind("<!--", i - 7);
    if (open == std::string::npos) return false;
    size_t line = open;
    while (line > 0 && (text[line - 1] == ' ' || text[line - 1] == '\t'))
        line--;
    if (line > 0 && text[line - 1] != '\n') return false;
    out->assign(text, open + 4, i - 3 - (open + 4));
    return true;
}

// The stem of a file name: "models/cube.mdl" -> "cube".
std::string file_stem(const char *name) {
    std::string s = name ? name : "";
    size_t slash = s.find_last_of("/\\");
    if (slash != std::string::npos) s.erase(0, slash + 1);
    size_t dot = s.rfind('.');
    if (dot != std::string::npos && dot > 0) s.erase(dot);
    return s;
}

// A record's own name as a reference can write it: "@" and the name, read back with blanks trimmed.
bool usable_name(const std::string &name) {
    return !name.empty() && !blank(name.front()) && !blank(name.back());
}

int32_t attribute_index(const XmlNode *el, const char *name) {
    for (int32_t i = 0; el && i < el->attribute_count; i++)
        if (el->attributes[i].name && std::strcmp(el->attributes[i].name, name) == 0) return i;
    return -1;
}

struct Site {
    ListKind target;
    int32_t position; // the record it points to; 0 when none can be told
    bool rewrite;     // a canonical number, to be written as "@name"
    int32_t begin, end;
};

struct Record {
    const XmlNode *element;
    ListKind holds;         // a texture slot: the list and position of the texture it holds
    int32_t holds_position; // 0: none
    bool referenced;
    bool has_name;    // a "name" attribute, usable or not
    std::string name; // the name references write; "" when none can be written
    int32_t insert;   // where a new name goes (just after the element's name); -1 when nowhere
};

std::string names_to_numbers(SourceDocument *src, std::vector<Finding> *findings, int32_t *count) {
    std::vector<TextEdit> edits;
    names_resolve(src, findings, &edits);
    *count = int32_t(edits.size());
    return text_apply_edits(src->text, edits);
}

bool own_comment(const SourceDocument &src, const XmlNode *el, std::string *comment) {
    if (!comment_before(src.text, el->offset, comment)) return false;
    // A comment followed by records without comments of their own speaks of them together.
    std::string next;
    return !el->next || comment_before(src.text, el->next->offset, &next);
}

std::string name_of_record(const SourceDocument &src, ListKind list, int32_t position,
                           const std::vector<Record> *records) {
    const XmlNode *el = records[list][size_t(position - 1)].element;
    std::string comment, name;
    if (own_comment(src, el, &comment)) name = names_from_comment(comment);
    if (name.empty() && (list == LIST_MODELS || list == LIST_BITMAPS)) {
        name = names_readable(file_stem(resources::xml_attribute(el, "filename")));
        if (!name.empty() && !letter(static_cast<unsigned char>(name[0]))) name.clear();
    }
    // A slot is the texture it holds: the name of the record its id points to.
    const Record &r = records[list][size_t(position - 1)];
    if (name.empty() && r.holds_position > 0)
        name = names_readable(records[r.holds][size_t(r.holds_position - 1)].name);
    if (name.empty())
        name = names_readable(kListNames[list].one) + "_" + std::to_string(list_number(list, position));
    return name;
}

} // namespace

std::string names_readable(const std::string &text) {
    return words_join(words_of(text));
}

std::string names_from_comment(const std::string &comment) {
    size_t i = 0, n = comment.size();
    while (i < n && blank(comment[i]))
        i++;
    // "3:" is the record's number; "4 to 6:", "1, 2:" or "1-4" number several records.
    size_t j = i;
    bool group = false;
    while (j < n && comment[j] >= '0' && comment[j] <= '9') {
        while (j < n && comment[j] >= '0' && comment[j] <= '9')
            j++;
        size_t k = j;
        while (k < n && blank(comment[k]))
            k++;
        size_t joint = 0;
        if (comment.compare(k, 2, "to") == 0 || comment.compare(k, 2, "..") == 0)
            joint = 2;
        else if (k < n && (comment[k] == '-' || comment[k] == ','))
            joint = 1;
        if (!joint) break;
        k += joint;
        while (k < n && blank(comment[k]))
            k++;
        if (k >= n || comment[k] < '0' || comment[k] > '9') break;
        group = true;
        j = k;
    }
    if (j > i) {
        size_t k = j;
        while (k < n && blank(comment[k]))
            k++;
        if (group) return "";
        if (k < n && comment[k] == ':') i = k + 1;
    }
    size_t end = i;
    while (end < n && !std::strchr(":;,([", comment[end]) &&
           !(comment[end] == '.' && (end + 1 == n || blank(comment[end + 1]))))
        end++;
    std::vector<std::string> words = words_of(comment.substr(i, end - i));
    while (!words.empty() && (words[0] == "the" || words[0] == "a" || words[0] == "an"))
        words.erase(words.begin());
    static const char *const kCuts[] = {"with",   "for",    "on",     "in",    "over",   "of",     "to",
                                        "from",   "at",     "by",     "into",  "around", "under",  "through",
                                        "inside", "beside", "behind", "above", "below",  "between"};
    if (words.size() > 4)
        for (size_t w = 1; w < words.size(); w++)
            for (const char *cut : kCuts)
                if (words[w] == cut) {
                    words.resize(w);
                    break;
                }
    if (words.empty() || words.size() > 4 || !letter(static_cast<unsigned char>(words[0][0]))) return "";
    return words_join(words);
}

bool names_rewrite(const char *file, const std::string &text, NamesForm to, NamesRewrite *out,
                   std::vector<Finding> *findings) {
    out->named = 0;
    out->references = 0;
    SourceDocument src;
    if (!source_document_open(&src, file, false, text.data(), text.size())) {
        findings->push_back(Finding{file, 0, -1, -1, "is too large to read in memory", FINDING_STRUCTURE});
        return false;
    }
    size_t before = findings->size();
    if (!well_formed(src.file, src.text, src.line_starts, findings)) {
        source_document_close(&src);
        return false;
    }
    if (to == NAMES_TO_NUMBERS) {
        std::string result = names_to_numbers(&src, findings, &out->references);
        source_document_close(&src);
        if (findings->size() != before) return false;
        out->text = result;
        return true;
    }

    std::vector<Record> records[kListCount];
    for (int l = 0; l < int(kListCount); l++)
        for (const XmlNode *el : source_records(src, list_section(ListKind(l)))) {
            Record r = {el, LIST_TEXTURES, 0, false, false, "", -1};
            int32_t a = attribute_index(el, "name");
            r.has_name = a >= 0;
            if (a >= 0 && el->attributes[a].value && usable_name(el->attributes[a].value))
                r.name = el->attributes[a].value;
            size_t length = std::strlen(el->name);
            if (el->offset >= 0 && size_t(el->offset) + 1 + length <= src.text.size() &&
                src.text.compare(size_t(el->offset), 1, "<") == 0 &&
                src.text.compare(size_t(el->offset) + 1, length, el->name) == 0)
                r.insert = el->offset + 1 + int32_t(length);
            records[l].push_back(r);
        }

    // Where every reference points, read before names_resolve puts numbers in place of names.
    NameTable table;
    names_collect(src, &table);
    std::vector<ReferenceSite> found;
    reference_sites(src, &found);
    std::vector<Site> sites;
    for (const ReferenceSite &s : found) {
        Site site = {s.target, 0, false, -1, -1};
        reference_range(src, s, &site.begin, &site.end);
        const char *t = reference_text(s);
        std::string name;
        int32_t number = 0;
        if (reference_name(t, &name)) {
            site.position = std::max(0, names_find(table, s.target, name));
        } else if (canonical_number(t, &number)) {
            int32_t position = s.target == LIST_TEXTURE_LAYERS ? number + 1 : number;
            bool exists = position >= 1 && size_t(position) <= records[s.target].size();
            // The value in the text must be the digits the tree holds, or the edit would miss.
            bool placed = site.begin >= 0 && size_t(site.end) <= src.text.size() &&
                          src.text.compare(size_t(site.begin), size_t(site.end - site.begin), t) == 0;
            if (exists && placed) {
                site.position = position;
                site.rewrite = true;
                records[s.target][size_t(position - 1)].referenced = true;
            }
        }
        if (s.section == list_section(LIST_TEXTURE_SLOTS) && site.position > 0) {
            Record &slot = records[LIST_TEXTURE_SLOTS][size_t(s.position - 1)];
            slot.holds = s.target;
            slot.holds_position = site.position;
        }
        sites.push_back(site);
    }
    names_resolve(&src, findings, nullptr);
    if (findings->size() != before) {
        source_document_close(&src);
        return false;
    }

    std::vector<TextEdit> edits;
    // Sections in order: a texture slot's name comes from the earlier section it points into.
    for (int l = 0; l < int(kListCount); l++) {
        std::set<std::string> taken;
        for (const Record &r : records[l])
            if (r.has_name) {
                int32_t a = attribute_index(r.element, "name");
                if (r.element->attributes[a].value) taken.insert(r.element->attributes[a].value);
            }
        for (size_t p = 0; p < records[l].size(); p++) {
            Record &r = records[l][p];
            if (!r.referenced || r.has_name || r.insert < 0) continue;
            std::string base = name_of_record(src, ListKind(l), int32_t(p + 1), records);
            std::string name = base;
            for (int k = 2; taken.count(name); k++)
                name = base + "_" + std::to_string(k);
            taken.insert(name);
            r.name = name;
            edits.push_back(TextEdit{r.insert, r.insert, " name=\"" + name + "\""});
            out->named++;
        }
    }
    for (const Site &s : sites) {
        if (!s.rewrite) continue;
        const std::string &name = records[s.target][size_t(s.position - 1)].name;
        if (name.empty()) continue;
        edits.push_back(TextEdit{s.begin, s.end, "@" + name});
        out->references++;
    }
    out->text = text_apply_edits(src.text, edits);
    source_document_close(&src);
    return true;
}

} // namespace analysis
