#include "scene/load_progress.h"

namespace scene {

constexpr uint32_t kProgressFrameInterval = 50;

void load_progress_begin(LoadProgress *progress, uint32_t total) {
    progress->total = total;
    progress->done = 0;
    progress->last_frame_tick = progress->ticks(progress->user);
}

void load_progress_step(LoadProgress *progress) {
    if (!progress) return;
    progress->done++;
    uint32_t now = progress->ticks(progress->user);
    if (now - progress->last_frame_tick <= kProgressFrameInterval) return;
    // total is never 0 here: a record was just counted, so the document has at least one.
    uint64_t value = uint64_t(progress->done) * 100 / (progress->total ? progress->total : 1);
    progress->draw_frame(progress->user, static_cast<uint32_t>(value));
    progress->last_frame_tick = progress->ticks(progress->user);
}

} // namespace scene
