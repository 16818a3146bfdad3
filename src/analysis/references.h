// Every place where a document holds a record's number, found as the player's readers read them,
// and the names that let an author write "@name" there instead. The one description of references
// that checks, names, the language server and the package builder share.
#pragma once

#include "analysis/finding.h"
#include "analysis/records.h"

#include <cstdint>
#include <string>
#include <vector>

namespace resources {
struct XmlNode;
}

namespace analysis {

struct SourceDocument;

struct ReferenceSite {
    const resources::XmlNode *element; // the element that holds the number
    int32_t attribute;                 // index into element->attributes; -1: the element's text
    ListKind target;                   // the list the number points into
    std::string field;                 // what the record calls it: "object", "its first input", "u7"
    const resources::XmlNode *record;  // the section record it stands in
    int32_t section;                   // that record's section, 1-based
    int32_t position;                  // that record's 1-based position in its section
};

// How messages name the record at a 1-based position of a section: "model 3", "texture layer 0",
// "slot 2".
std::string record_title(int32_t section, int32_t position);

// Every reference of the document in document order. Only places the readers read as references
// are listed: a dynamic value only when its "type" makes it dynamic, a layer's rtex only for the
// render modes that read it, and so on.
void reference_sites(const SourceDocument &d, std::vector<ReferenceSite> *out);

// The text the site holds (the attribute's value or the element's text), "" when there is none.
const char *reference_text(const ReferenceSite &s);

// The byte range of the site's value in the source with surrounding blanks left out; -1, -1 when
// the value has no place in the text.
void reference_range(const SourceDocument &d, const ReferenceSite &s, int32_t *begin, int32_t *end);

// "@name" with blanks around it: the name; false for anything else.
bool reference_name(const char *text, std::string *name);

// The names records carry ("name" attributes of the records of sections 1 to 13).
struct RecordName {
    std::string name;
    int32_t position;                 // 1-based in its section
    const resources::XmlNode *record; // the record element
    int32_t attribute;                // index of its "name" attribute
};
struct NameTable {
    std::vector<RecordName> list[kListCount];
};
void names_collect(const SourceDocument &d, NameTable *table);

// The 1-based position of the record of `list` called `name`: 0 when none is, -1 when more than one.
int32_t names_find(const NameTable &table, ListKind list, const std::string &name);

// The name of the record at a 1-based position of a list, or null when it has none.
const RecordName *names_of_position(const NameTable &table, ListKind list, int32_t position);

struct TextEdit {
    int32_t begin, end; // byte range of the source replaced
    std::string text;
};

// Resolves every "@name" reference of the tree to the number of the record it names, in place, so
// that the engine's readers read numbers. Unknown and ambiguous names (and a name given to two
// records of one section) are findings; such a reference is left as it is (the readers take it as
// 0). When edits is not null it receives the same replacements as edits of the source text.
void names_resolve(SourceDocument *d, std::vector<Finding> *findings, std::vector<TextEdit> *edits);

// Edits that take out every record's "name" attribute (with the blanks before it on its line,
// keeping every line break), so that a package holds numbers only.
void names_strip_edits(const SourceDocument &d, std::vector<TextEdit> *edits);

// Applies non-overlapping edits to a text.
std::string text_apply_edits(const std::string &text, std::vector<TextEdit> edits);

} // namespace analysis
