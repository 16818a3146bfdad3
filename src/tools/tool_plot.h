// bvtool plot: animation functions drawn as curves over time, sampled by the engine's own
// evaluation at every hundredth, each segment in its own colour with its kind named, Catmull-Rom
// knots where the engine places them, the loop's range; and the same panels in the preview's
// overlay of the functions the frame uses. Pure computation (tool_picture.h).
#pragma once

#include "analysis/demo_model.h"
#include "tools/tool_picture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// A vertical line across a panel at a function time (hundredths): the preview's playheads.
struct PlotMark {
    double t;
    std::string label;
};

struct PlotPanel {
    double x, y, w, h;  // the whole panel, title and legend included
    double t0, t1;      // hundredths of the function's own time
    double bpm;         // a beat grid when above 0,
    double beat_origin; // from this function time (hundredths) on, both ways
    std::string note;   // a second title line ("used by slot 1 layer 2 from 0 to 16 s"); may be ""
    std::vector<PlotMark> marks;
};

// The panel height below which the legend is left out.
constexpr double kPlotCompactHeight = 110;

// Where a panel's curve stands: times on its x axis, values v0 (at y0, the bottom) to v1 (y1).
struct PlotPlaced {
    double x0, x1, t0, t1;
    double y0, y1, v0, v1;
};

// Draws one function into a panel of the picture.
PlotPlaced plot_panel(Picture *p, const analysis::DocumentFunction &f, const PlotPanel &panel);

// The times a function is drawn over by default: from 0 to the latest time a layer that uses it
// evaluates it at, or (unused) to the end of its segments, with two more turns when it loops;
// at least 1 s, at most 720 s.
void plot_default_range(const analysis::DocumentFunction &f, const analysis::TimelineModel *timeline,
                        double *t0, double *t1);

// "used by slot 1 layer 2 and 3 more, at 0 to 16.00 s" or "not used by the timeline".
std::string plot_usage_note(int32_t function, const analysis::TimelineModel &timeline);

// The function time (hundredths) at which the music's first sample is heard, as the first layer
// that uses the function sees it (its local time plus its offset); unused, the demo time itself.
double plot_beat_origin(int32_t function, const analysis::TimelineModel &timeline);

} // namespace tools
