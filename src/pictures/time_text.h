// Times as the pictures and bvtool write them for people: a document time with the number an
// author types, and measured durations in seconds. Pure text work.
#pragma once

#include <cstdint>
#include <string>

namespace pictures {

// Seconds with two decimals, " s", then the hundredths in parentheses ("18.00 s (1800)").
std::string time_text_document(uint32_t hundredths);

// A duration in seconds with `decimals` decimals (0..6): "0.52 s".
std::string time_text_seconds(double seconds, int decimals);

} // namespace pictures
