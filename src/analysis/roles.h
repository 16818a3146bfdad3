// What each element and attribute of a document is, as the readers read it: the form of the
// element, the record it stands in, what a value read by its place is read as, what an attribute
// means and in what unit, and which numbers a kind may take. The language server's hovers, hints and
// completions read these; the meanings come from the document schema and the engine's kind tables.
#pragma once

#include "scene/document_schema.h"

#include <cstdint>
#include <string>
#include <vector>

namespace resources {
struct XmlNode;
}

namespace analysis {

struct SourceDocument;

struct ElementRole {
    scene::DocumentForm form;         // kDocumentFormCount when the element has no form of its own
    int32_t material_row;             // a material child's row (render::MaterialChild), else -1
    int32_t depth;                    // 0 the top element, 1 a section, 2 a record, 3 and more inside one
    int32_t section;                  // 1-based section it stands in; 0 for the top element
    const resources::XmlNode *record; // the section record it belongs to (itself at depth 2); null above
    int32_t position;                 // that record's 1-based position in its section
    std::string title;                // "model 3", "slot 0 layer 2", "object 5 item 1 manipulator 1"
    std::string place;                // for a value read by its place: what it is read as
    std::string kind;                 // for a record or part with a kind: "generator 4 \"Bricks\""
};

// The role of an element of d's tree; false for elements outside the sections (or after the music).
bool element_role(const SourceDocument &d, const resources::XmlNode *el, ElementRole *out);

enum TimeUnit : uint8_t { TIME_NONE = 0, TIME_HUNDREDTHS, TIME_MILLISECONDS };

// What an attribute of an element in this role means (the reference's words), or "" when its
// reader does not read it; and the unit of a time it holds.
std::string attribute_meaning(const ElementRole &role, const char *attribute);
TimeUnit attribute_time(const ElementRole &role, const resources::XmlNode *el, const char *attribute);

// The attributes an element in this role is read with (for completion).
std::vector<std::string> role_attributes(const ElementRole &role);

struct KindChoice {
    int32_t number;
    std::string name;
};
// The numbers an attribute takes when it chooses a kind ("type" of a layer, node, segment, effect,
// manipulator, item, slot; render modes; formats and filters ...); empty when it takes no kind.
std::vector<KindChoice> kind_choices(const ElementRole &role, const char *attribute);

// A record described in a few words for outlines and hovers: "cube.mdl", "Blur", "3 segments".
std::string record_summary(const SourceDocument &d, int32_t section, const resources::XmlNode *record);

} // namespace analysis
