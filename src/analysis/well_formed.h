// The document read by a strict XML parser (expat) first: every well-formedness error at the line
// where it is, before any rule speaks (the player's own reader is lenient and would read a broken
// document as something else, silently).
#pragma once

#include "analysis/finding.h"

#include <string>
#include <vector>

namespace analysis {

// Appends one finding per error. After an error it can mend (a raw "&" or "<", an element left
// open, a misspelt end tag) it reads on from there, so that every such error is named; an error it
// cannot mend ends the reading. Returns true when the text is well-formed.
bool well_formed(const std::string &file, const std::string &text, const std::vector<int32_t> &line_starts,
                 std::vector<Finding> *out);

} // namespace analysis
