// The sample demo's measurements that the native benchmarks (bench_sample.cpp) and the browser's
// bench.html (bench/web) both make, from this one source, so that the two sides time the same
// work with the same clock and the same statistics: its texture graph, and its frames at fixed
// demo times. Both need the GL context current (output textures are uploaded, frames drawn).
#pragma once

#include "render/capabilities.h"

#include <cstdint>

namespace resources {
struct XmlNode;
}
namespace scene {
struct Scene;
}
namespace textures {
struct TextureFormatTable;
}

namespace bench {

// The demo times of the frame measurement (milliseconds): the browser tests' times, from the
// dawn to the farewell.
constexpr uint32_t kSampleFrameTimes[] = {2000,  6000,  10000, 20000, 26000, 34000,
                                          42000, 46000, 50000, 58000, 66000, 71500};
constexpr int kSampleFrameTimeCount = int(sizeof(kSampleFrameTimes) / sizeof(kSampleFrameTimes[0]));
constexpr uint16_t kSampleFrameWidth = 640, kSampleFrameHeight = 360;
// Rounds after the one untimed warm-up round.
constexpr int kSampleGraphRounds = 21;
constexpr int kSampleFrameRounds = 7;

constexpr uint32_t kGraphRoundImageCrcs = 64;

struct GraphRound {
    double ms;            // texture_graph_load of sections 1 and 2: layers, nodes, output uploads
    uint32_t outputs;     // output nodes that were generated
    uint32_t image_crc32; // zlib's CRC-32 of the output images in list order
    uint32_t output_crc32[kGraphRoundImageCrcs]; // each output image's own, for the first ones
};

// One texture graph of the document (sections 1 and 2) into a new scene, timed; the scene, its
// images and its GL textures are freed after the clock stops. False when the document has more
// layers than the table takes.
bool sample_graph_round(const resources::XmlNode *document, const textures::TextureFormatTable *formats,
                        GraphRound *out);

struct FrameRound {
    double issue_ms;  // per frame: render_at_time alone, the GL calls it makes included
    double finish_ms; // per frame: render_at_time until its pixels are drawn (a pixel read back)
};

// One round over kSampleFrameTimes: the scene's effects reset first (untimed), then each frame
// cleared (untimed) and drawn at kSampleFrameWidth x kSampleFrameHeight. A one-pixel read-back
// before and after every frame waits for the rasteriser, so that each frame starts with nothing of
// the last left to draw; issue_ms stops before the wait after it, finish_ms after.
FrameRound sample_frame_round(scene::Scene *demo, render::Viewport viewport, const render::Capabilities &caps,
                              int8_t glsl);

// The median of n values (n at most 64; the mean of the middle two for an even n), 0 for none.
double sample_median(const double *values, int n);

} // namespace bench
