// Times on bvtool's command line and in what it prints. A document counts in hundredths of a second,
// the demo clock and the time options in milliseconds; people read seconds. Pure text work: no GL,
// no SDL.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

// The forms a time option takes, for help texts and messages.
constexpr const char *kTimeOptionForms = "seconds (12.5s) or milliseconds (12500ms, or bare: 12500)";

// Parses a time option into milliseconds: "12.5s" (seconds, at most three decimals: whole
// milliseconds), "12500ms", or a bare whole number, which is milliseconds. Nothing else: no sign,
// no blank, no other unit. False (and *ms untouched) when the text is not wholly one of these or
// the time passes 4294967295 ms.
bool tool_time_parse(const char *text, uint32_t *ms);

// A document time as people read it with the number an author types: seconds with two decimals,
// " s", then the hundredths in parentheses ("18.00 s (1800)").
std::string tool_time_document(uint32_t hundredths);

// A demo clock time in milliseconds as the document time the engine draws it at (ms / 10,
// truncated): 12579 ms is "12.57 s (1257)".
std::string tool_time_demo(uint32_t ms);

// A measured duration in seconds with `decimals` decimals (0..6): "0.52 s".
std::string tool_time_seconds(double seconds, int decimals);

} // namespace tools
