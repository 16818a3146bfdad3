// bvtool timeline: a demo's timeline as a picture (pictures/timeline_picture.h), with the music's
// waveform decoded from the file the document names, and the same picture in the preview's strip.
#pragma once

#include "analysis/demo_model.h"
#include "pictures/timeline_picture.h"
#include "tools/tool_check.h"
#include "tools/tool_picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// Decodes the music a document names, found where the player finds it.
void timeline_waveform(const CheckInput &in, const std::string &file, Waveform *out);

// Options the picture commands share: "--size W" or "WxH" (240 to 16384 wide, 100 or more high),
// and "--bpm N" (above 0).
bool tool_picture_size_option(const char *text, int32_t *w, int32_t *h);
bool tool_bpm_option(const char *text, double *bpm);

// The text of the demo document (or the loading document) of a folder or package; false with
// *why when it is missing or damaged. *file is the name findings carry.
bool tool_demo_document(const CheckInput &in, bool loading, std::string *text, std::string *file,
                        std::string *why);

} // namespace tools
