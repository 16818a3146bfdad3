// The frames: progress frames while the demo loads, then the frame loop on the demo clock.
#pragma once

#include "player/gl_window.h"

#include <cstdint>
#include <cstdio>

namespace scene {
struct Scene;
struct LoadProgress;
} // namespace scene

namespace player {

enum PlaybackEnd : uint8_t {
    PLAYBACK_ENDED = 0,   // the timeline is over: the benchmark line was logged
    PLAYBACK_ESCAPED = 1, // Escape: no benchmark line
};

// Prepares progress frames of the loading scene for the demo document's loader.
void playback_progress_init(scene::LoadProgress *progress, scene::Scene *loading, const GlWindow *win);

struct MusicPlayback;

// Starts the clock (and the music when it is on), then runs the frame loop until the timeline ends or
// Escape is pressed; closes the package file. The window's quit event ends the process at once with
// status 0. music may be null (no music): the demo then runs on the tick clock.
PlaybackEnd playback_run(scene::Scene *demo, const GlWindow *win, FILE *package, MusicPlayback *music);

// Frames per second over the demo time in ms; 0 when no time has passed.
double playback_benchmark(uint32_t frames, uint32_t demo_time_ms);

} // namespace player
