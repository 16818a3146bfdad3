// A document's references rewritten between the two forms an author may write them in: record
// numbers, or "@name" with the records named. Text in, text out: every other byte of the source
// (layout, comments, attribute order) stays as it was, so that either form builds the same package.
#pragma once

#include "analysis/finding.h"

#include <cstdint>
#include <string>
#include <vector>

namespace analysis {

enum NamesForm : uint8_t {
    NAMES_TO_NUMBERS = 0, // every "@name" becomes the number of the record it names
    NAMES_TO_NAMES,       // referenced records are named and numeric references become "@name"
};

struct NamesRewrite {
    std::string text;   // the rewritten document
    int32_t named;      // records given a name (to names)
    int32_t references; // references rewritten
};

// Rewrites one document (`file` is the name findings carry). To numbers: names stay on their records.
// To names: every record a rewritable reference points to gets a name when it has none: from the
// comment on the line just before it (when that comment is about it alone: "<!-- 3: unit cube -->"
// gives "unit_cube"), else from its file (a model or bitmap: "cube.mdl" gives "cube"), else from
// what it holds (a texture slot: its texture's name), else its kind and number ("function_12");
// lower case words joined by "_", unique within the section, inserted as ` name="..."` right after
// the element's name. A reference is rewritten only when its text is exactly the canonical decimal
// number of a record that exists ("0" only where it names a record: texture layers), so that the
// numbers come back byte for byte. False, with findings and out->text unset, when the document is not
// well-formed XML or a name is unknown, ambiguous or given twice in a section.
bool names_rewrite(const char *file, const std::string &text, NamesForm to, NamesRewrite *out,
                   std::vector<Finding> *findings);

// The name a comment gives the record it stands before, "" when it gives none: a leading number
// ("3:") is dropped and a comment about several records ("4 to 6:", "1, 2:") gives none; then the
// words up to the first ':', ';', ',', '(' or full stop, leading articles dropped, cut before a
// preposition when there are more than four, at most four, the first a letter.
std::string names_from_comment(const std::string &comment);

// Lower-case ASCII words joined by "_" (bytes of other scripts kept, apostrophes dropped, every
// other character a word break): "Grass Noise" -> "grass_noise".
std::string names_readable(const std::string &text);

} // namespace analysis
