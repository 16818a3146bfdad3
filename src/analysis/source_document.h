// A scene document as its author wrote it: the text, the tree the player's own reader makes of it
// (every element with its place in the text), its sections by position and the line index that
// turns byte offsets into the lines and columns an editor shows.
#pragma once

#include "scene/document_schema.h"

#include <cstdint>
#include <string>
#include <vector>

namespace resources {
struct XmlNode;
}

namespace analysis {

struct SourceDocument {
    std::string file;                 // the name findings carry ("demo.xml")
    bool demo;                        // the demo document (it alone has its music read)
    std::string text;                 // the source, as given
    resources::XmlNode *tree;         // the document node of the player's parse; null when memory ran out
    std::vector<int32_t> line_starts; // byte offset of every line's first byte
    const resources::XmlNode *top;    // the top element, or null
    // Sections by position, 1-based; null where the document has fewer.
    const resources::XmlNode *section[scene::kDocumentSectionCount + 1];
    int32_t section_count; // child elements of the top element
};

// Parses text (any bytes; the reader stops at a zero byte, as the player's does) into d. False only
// when memory runs out. Close with source_document_close.
bool source_document_open(SourceDocument *d, const char *file, bool demo, const char *text, size_t size);
void source_document_close(SourceDocument *d);

// The 1-based line of a byte offset (offsets past the end give the last line).
int32_t source_line_of(const SourceDocument &d, int32_t offset);

// An editor's position of a byte offset: 0-based line and the column in UTF-16 code units, as the
// Language Server Protocol counts them.
void source_position(const SourceDocument &d, int32_t offset, int32_t *line, int32_t *column);

// The byte offset of an editor's position (0-based line, UTF-16 column), held inside the text.
int32_t source_offset(const SourceDocument &d, int32_t line, int32_t column);

// The record elements of section s (1-based), in order; empty when the section is missing.
std::vector<const resources::XmlNode *> source_records(const SourceDocument &d, int section);

// The byte range of an element's start tag: from its '<' to just past its '>' (the end of the text
// when the tag is cut short).
void source_start_tag(const SourceDocument &d, const resources::XmlNode *el, int32_t *begin, int32_t *end);

} // namespace analysis
