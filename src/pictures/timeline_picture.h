// The timeline picture (bvtool timeline, the preview's strip, the browser studio): a row per layer
// slot that has layers, each layer a bar labelled with its object and render mode, the gaps, the
// music's waveform where it is heard, the end of the demo and the check's findings where they
// are. Pure computation: the caller reads the music and hands in its waveform.
#pragma once

#include "analysis/demo_model.h"
#include "pictures/picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pictures {

// The music's loudness over time: the lowest and highest sample (left and right mixed) in each
// hundredth of a second, from the start of the music.
struct Waveform {
    bool found;
    std::string problem; // why there is none, for the picture ("" when found)
    uint32_t length_ms;
    std::vector<int16_t> low, high;
};

// A waveform made from decoded sound (interleaved stereo at 44.1 kHz), chunk by chunk.
struct WaveformBuilder {
    Waveform wave;
    uint64_t frames;
    int32_t low, high;  // of the hundredth being filled
    uint32_t in_bucket; // its frames so far
};
void waveform_begin(WaveformBuilder *b);
// values: interleaved left and right samples (an odd last value is ignored).
void waveform_add(WaveformBuilder *b, const int16_t *values, uint32_t count);
// The waveform of all that was added (found, with its length); the builder is spent.
void waveform_end(WaveformBuilder *b, Waveform *out);

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

} // namespace pictures
