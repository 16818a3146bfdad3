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

struct MusicPlayback;

enum PlaybackEnd : uint8_t {
    PLAYBACK_ENDED = 0,   // the timeline is over: the benchmark line was logged
    PLAYBACK_ESCAPED = 1, // Escape: no benchmark line
};

// Prepares progress frames of the loading scene for the demo document's loader.
void playback_progress_init(scene::LoadProgress *progress, scene::Scene *loading, const GlWindow *win);

struct PlaybackLoop {
    scene::Scene *demo;
    const GlWindow *win;
    FILE *package;          // closed when the demo ends
    MusicPlayback *music;   // may be null
    bool with_music;
    bool lead_in;           // on the tick clock until the music is due
    bool benchmark;         // the end logs the benchmark line
    uint32_t start_tick;
    uint32_t demo_time;     // ms
    uint32_t frames;
};

enum PlaybackStep : uint8_t {
    PLAYBACK_STEP_FRAME = 0,   // a frame was drawn (or the lead-in ended): go on
    PLAYBACK_STEP_WAITING = 1, // drawn again at the same time: no sound has been delivered yet
    PLAYBACK_STEP_ENDED = 2,   // the timeline is over: the benchmark line was logged
    PLAYBACK_STEP_ESCAPED = 3, // Escape: no benchmark line
};

// Starts the clock (and the music when it is on) for playback_step.
void playback_begin(PlaybackLoop *loop, scene::Scene *demo, const GlWindow *win, FILE *package,
                    MusicPlayback *music);

// One round of the frame loop: draws the frame at the demo time, looks at Escape and the window's
// quit event, shows the frame and advances the clock. Closes the package when the demo ends.
PlaybackStep playback_step(PlaybackLoop *loop);

// Starts the clock (and the music when it is on), then runs the frame loop until the timeline ends or
// Escape is pressed; closes the package file. The window's quit event ends the process at once with
// status 0. music may be null (no music): the demo then runs on the tick clock.
PlaybackEnd playback_run(scene::Scene *demo, const GlWindow *win, FILE *package, MusicPlayback *music);

// Frames per second over the demo time in ms; 0 when no time has passed.
double playback_benchmark(uint32_t frames, uint32_t demo_time_ms);

} // namespace player
