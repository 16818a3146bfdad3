// What the analysis says about a document: one finding per thing the player would do that its
// author did not mean, placed on the source text as the author's editor shows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace analysis {

enum FindingKind : uint8_t {
    FINDING_RULE = 0,  // a rule about what the player does with the records
    FINDING_STRUCTURE, // the document cannot be read as meant at all (sections missing or shifted)
    FINDING_XML,       // the text is not well-formed XML; the other rules are not run on it
};

struct Finding {
    std::string file;   // "demo.xml", "loading.xml", or "demo.xmlz" for a package
    int32_t line;       // 1-based; 0 when the finding is about the document as a whole
    int32_t begin, end; // byte range of the source it is about; -1 when it has none
    std::string message;
    FindingKind kind;
};

// "FILE:LINE: MESSAGE" (no line part when there is no line).
std::string finding_format(const Finding &f);

// Orders findings as people read them: the demo document first, then the loading document, then
// any other file; by line within each, keeping the order of the rules on one line.
void findings_sort(std::vector<Finding> *findings);

} // namespace analysis
