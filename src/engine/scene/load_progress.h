// The loading progress display: after every record of the demo document, the loading scene is
// drawn with records done x 100 / total in place of the time, at most once per 50 ms.
#pragma once

#include <cstdint>

namespace scene {

struct LoadProgress {
    uint32_t total;           // records in the whole document
    uint32_t done;            // records read so far, the current one included
    uint32_t last_frame_tick; // tick (ms) of the last progress frame, or of the start
    uint32_t (*ticks)(void *user);                 // the millisecond clock
    void (*draw_frame)(void *user, uint32_t value); // renders the loading scene at value 0..100
    void *user;
};

// Starts counting: done 0, the last frame time taken from the clock now.
void load_progress_begin(LoadProgress *progress, uint32_t total);

// Counts one record; draws a frame when more than 50 ms (unsigned difference) passed since the last.
// Accepts null (no progress display).
void load_progress_step(LoadProgress *progress);

} // namespace scene
