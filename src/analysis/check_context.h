// What the rules share while they check one document: the source, the records the engine's own
// readers made of it, the lengths of its lists and the ways a rule reports.
#pragma once

#include "analysis/analysis.h"
#include "analysis/records.h"
#include "analysis/references.h"
#include "analysis/source_document.h"

#include "functions/dynamic_value.h"
#include "resources/xml.h"
#include "scene/document_schema.h"

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

namespace resources {
struct XmlNode;
}
namespace scene {
struct Scene;
}

namespace analysis {

using resources::XmlNode;

struct CheckContext {
    SourceDocument *src;
    const AnalysisHost *host;
    std::vector<Finding> *findings;
    scene::Scene *sc;           // the records as the engine's readers made them (no GL)
    uint32_t count[kListCount]; // records read into each list
    NameTable names;
    std::vector<uint8_t> graph_flagged; // per node (1-based): its inputs or outputs were reported
};

// What a finding is about: an element (its start tag), one of its attributes, or its text.
struct Where {
    const XmlNode *el;
    const char *attribute; // null: the element or its text
    bool text;
    Where(const XmlNode *e) : el(e), attribute(nullptr), text(false) {}
    Where(const XmlNode *e, const char *a) : el(e), attribute(a), text(false) {}
};
inline Where at_text(const XmlNode *e) {
    Where w(e);
    w.text = true;
    return w;
}

std::string format(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

void flag_at(CheckContext &c, Where at, FindingKind kind, const std::string &message);
void flag(CheckContext &c, Where at, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

const XmlNode *child_at(const XmlNode *parent, int n); // 0-based
const char *name_of(const XmlNode *n);                 // "?" when it has none

// A reference by number: 0 is none, anything else must name a record (texture layers count from 0).
// Returns whether it names one.
bool reference(CheckContext &c, Where at, const std::string &who, const char *field, int64_t index,
               ListKind list);

// Attributes the form's reader does not read (a record's "name" is for authors and always allowed).
void unread_attributes(CheckContext &c, const XmlNode *el, scene::DocumentForm form, const std::string &who,
                       bool record = false);
// Children of an element whose reader reads none.
void unread_children(CheckContext &c, const XmlNode *el, const std::string &who);

// An integer attribute stored in a byte (wrapped): reports a value that does not fit.
void byte_field(CheckContext &c, const XmlNode *el, const std::string &who, const char *attribute);
// texture_format and texture_filter of bitmaps, cube maps, 2D effects and output nodes.
void format_and_filter(CheckContext &c, const XmlNode *el, const std::string &who, bool filter_matters);
// A dynamic value element read with the section's test: `what` of record `who`.
void dynamic_value(CheckContext &c, const XmlNode *el, const std::string &who, const std::string &what,
                   functions::DynamicTest test);

// Values read by position: `values` stand in a record whose reader (`reader`, as messages call it)
// reads `reads` of them, place i being called place_names[i]. Too few: the missing places, and what
// they read as. Too many: the values not read, and where the last ones land as read.
void value_count(CheckContext &c, const XmlNode *record, const std::string &who, const std::string &reader,
                 const std::vector<const XmlNode *> &values, const std::vector<std::string> &place_names,
                 const char *missing_reads_as);

// Whether an attribute holds an "@name" that did not resolve (already reported; it reads 0, and
// what follows from that 0 is not said again).
bool unresolved_name(const XmlNode *el, const char *attribute);

// "a, b and c".
std::string join_and(const std::vector<std::string> &words);
// The value an element holds, as written: its text, or its "value" attribute.
std::string value_shown(const XmlNode *el);
// A document time of hundredths for people: "12.50 s (1250)".
std::string seconds(uint32_t hundredths);

template <typename Descriptor> std::vector<std::string> place_names(const Descriptor &d, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; i++)
        out.push_back(d.parameter_names[i]);
    return out;
}

} // namespace analysis
