// The preview's pictures of time: the timeline strip under the frame (bvtool timeline's picture,
// with the playhead; a click in it seeks there) and the curves of the functions the frame uses
// (bvtool plot's panels, with each using layer's time marked). Both are drawn only while shown,
// and made again from the folder's files after a reload.
#pragma once

#include "analysis/demo_model.h"
#include "tools/tool_plot.h"
#include "tools/tool_timeline.h"

#include <cstdint>
#include <string>
#include <vector>

namespace scene {
struct Scene;
}

namespace tools {

struct PreviewStrip {
    bool shown, curves;
    bool stale; // the folder was loaded again: the pictures are made again when next drawn
    std::string folder;

    analysis::TimelineModel model;
    bool model_ok;
    std::vector<analysis::DocumentFunction> functions;
    Waveform wave;
    std::string wave_file; // the music the waveform was decoded from

    // The strip as drawn: its picture's pixels at the window's width, placed at the bottom.
    int32_t width, height, window_height;
    std::vector<uint8_t> rgb;
    TimeAxis axis;
    double rows_top, rows_bottom; // in the picture
    uint32_t texture;

    // The curves: the functions they show and their panels' places.
    std::vector<int32_t> curve_functions;
    int32_t curve_width, curve_height;
    std::vector<uint8_t> curve_rgb;
    std::vector<PlotPlaced> curve_places;
    uint32_t curve_texture;
};

// The folder's files changed and the scene was loaded again.
void preview_strip_stale(PreviewStrip *s, const std::string &folder);

// T shows and hides the strip, C the curves. True when the key was one of these; *say gets the
// line the preview prints.
bool preview_strip_key(PreviewStrip *s, int32_t key, int32_t window_width, int32_t window_height,
                       std::string *say);

// A press of the left button at window point (x, y): true, with the demo time in milliseconds,
// when it falls on the strip's rows.
bool preview_strip_click(const PreviewStrip *s, int32_t x, int32_t y, double *ms);

// Draws what is shown over the frame for demo time ms: the strip with its playhead, the curves of
// the functions the active layers of `sc` evaluate. Leaves GL's state as it found it.
void preview_strip_draw(PreviewStrip *s, const scene::Scene *sc, int32_t window_width, int32_t window_height,
                        uint32_t ms);

// Frees the GL textures.
void preview_strip_close(PreviewStrip *s);

} // namespace tools
