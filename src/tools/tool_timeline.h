// bvtool timeline: a demo's timeline as a picture (a row per layer slot, each layer a bar, the
// music's waveform beneath, the demo's end and check's findings where they are), and the same
// picture in the preview's strip. Pictures are pure computation (tool_picture.h); only the music
// is read from files here.
#pragma once

#include "analysis/demo_model.h"
#include "tools/tool_check.h"
#include "tools/tool_picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// The music's loudness over time: the lowest and highest sample (left and right mixed) in each
// hundredth of a second, from the start of the music.
struct Waveform {
    bool found;
    std::string problem; // why there is none, for the picture ("" when found)
    uint32_t length_ms;
    std::vector<int16_t> low, high;
};

// Decodes the music a document names, found where the player finds it.
void timeline_waveform(const CheckInput &in, const std::string &file, Waveform *out);

// Where the music's first sample is heard, in hundredths of demo time: the player starts the music
// at its offset, and the ring hands the device its leading silence first.
double timeline_music_heard(uint32_t music_offset_ms);

// Where times stand on a picture: hundredths t0..t1 from x0 to x1.
struct TimeAxis {
    double x0, x1;
    double t0, t1;
};
double axis_x(const TimeAxis &a, double t);
double axis_time(const TimeAxis &a, double x);

struct TimelineStyle {
    int32_t width;
    int32_t height;     // 0: as tall as the rows need; else the rows are fitted into it
    int32_t row_height; // of a slot's row
    bool full;          // a title, the legend and the findings written out; else the strip alone
    double bpm;         // a beat grid from the music's start when above 0
    std::string title;  // what the picture is of ("demo.xml")
};

// Draws the timeline into *out (its size set); *axis tells where times stand on it, and *strip
// the rows' band from top to bottom (for the preview's clicks).
void timeline_picture(const analysis::TimelineModel &m, const Waveform &music, const TimelineStyle &style,
                      Picture *out, TimeAxis *axis, double *strip_top, double *strip_bottom);

// "12.5 s", "0.25 s": a tick's label.
std::string timeline_seconds_label(double hundredths);

// A step for ticks in hundredths, at least min_step (1, 2 or 5 times a power of ten, or whole
// minutes' usual divisions).
double timeline_tick_step(double min_step);

// Options the picture commands share: "--size W" or "WxH" (240 to 16384 wide, 100 or more high),
// and "--bpm N" (above 0).
bool tool_picture_size_option(const char *text, int32_t *w, int32_t *h);
bool tool_bpm_option(const char *text, double *bpm);

// The text of the demo document (or the loading document) of a folder or package; false with
// *why when it is missing or damaged. *file is the name findings carry.
bool tool_demo_document(const CheckInput &in, bool loading, std::string *text, std::string *file,
                        std::string *why);

} // namespace tools
