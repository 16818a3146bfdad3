#include "player/playback.h"

#include "player/music_device.h"
#include "player/platform/platform.h"
#include "render/frame.h"
#include "resources/log.h"
#include "scene/load_progress.h"
#include "scene/scene.h"

#include <GL/glew.h>
#include <SDL.h>
#include <cstdlib>

namespace player {

namespace {

struct ProgressTarget {
    scene::Scene *loading;
    const GlWindow *win;
};

ProgressTarget g_progress_target;

uint32_t progress_ticks(void *) { return SDL_GetTicks(); }

void progress_draw(void *user, uint32_t value) {
    ProgressTarget *target = static_cast<ProgressTarget *>(user);
    const GlWindow *win = target->win;
    render::render_at_time(target->loading, value, static_cast<uint16_t>(win->screen.width),
                           static_cast<uint16_t>(win->screen.height), win->viewport, win->loading_caps, win->glsl);
    platform_show_progress_frame();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Takes at most one pending event; the window's quit event ends the process at once.
void poll_quit() {
    SDL_Event event;
    if (SDL_PollEvent(&event) && event.type == SDL_QUIT) std::exit(0);
}

bool escape_held() {
    const uint8_t *keys = platform_key_states();
    return keys && keys[SDLK_ESCAPE];
}

} // namespace

void playback_progress_init(scene::LoadProgress *progress, scene::Scene *loading, const GlWindow *win) {
    g_progress_target.loading = loading;
    g_progress_target.win = win;
    progress->ticks = progress_ticks;
    progress->draw_frame = progress_draw;
    progress->user = &g_progress_target;
}

double playback_benchmark(uint32_t frames, uint32_t demo_time_ms) {
    if (demo_time_ms == 0) return 0.0;
    return frames / (demo_time_ms * 0.001);
}

void playback_begin(PlaybackLoop *loop, scene::Scene *demo, const GlWindow *win, FILE *package,
                    MusicPlayback *music) {
    *loop = PlaybackLoop{};
    loop->demo = demo;
    loop->win = win;
    loop->package = package;
    loop->music = music;
    loop->with_music = music && music->on;
    if (loop->with_music) music_start(music, demo);
    loop->start_tick = SDL_GetTicks();
    loop->benchmark = true;
    // Lead-in: the demo runs on the tick clock until its music is due.
    loop->lead_in = demo->music_offset != 0;
    if (loop->lead_in) loop->benchmark = false;
}

PlaybackStep playback_step(PlaybackLoop *loop) {
    const GlWindow *win = loop->win;
    scene::Scene *demo = loop->demo;
    uint16_t width = static_cast<uint16_t>(win->screen.width), height = static_cast<uint16_t>(win->screen.height);
    bool ended = render::render_at_time(demo, loop->demo_time / 10, width, height, win->viewport, win->caps,
                                        win->glsl) == 0;
    if (ended && loop->lead_in) {
        // The timeline ended before the music was due: the main loop's first frame ends it.
        loop->lead_in = false;
        loop->benchmark = true;
        return PLAYBACK_STEP_FRAME;
    }
    if (ended) {
        std::fclose(loop->package);
        loop->package = nullptr;
        if (loop->benchmark)
            resources::log_format("Benchmark result: %.2f fps\r\n",
                                  playback_benchmark(loop->frames, loop->demo_time));
        return PLAYBACK_STEP_ENDED;
    }
    loop->frames++;
    bool escape = escape_held() || platform_escape_requested();
    poll_quit();
    if (escape && loop->lead_in) {
        // Escape in the lead-in leaves it without a benchmark; the next frame sees the key again.
        loop->lead_in = false;
        return PLAYBACK_STEP_FRAME;
    }
    if (escape) {
        std::fclose(loop->package);
        loop->package = nullptr;
        return PLAYBACK_STEP_ESCAPED;
    }
    SDL_GL_SwapBuffers();
    if (loop->lead_in) {
        loop->demo_time = SDL_GetTicks() - loop->start_tick;
        if (loop->demo_time > demo->music_offset) {
            music_unpause(loop->music);
            loop->lead_in = false;
            loop->benchmark = true;
        }
        return PLAYBACK_STEP_FRAME;
    }
    if (!loop->with_music) {
        loop->demo_time = SDL_GetTicks() - loop->start_tick;
    } else if (!music_delivered(loop->music)) {
        // The decoder fell behind: the same frame again until sound flows.
        return PLAYBACK_STEP_WAITING;
    } else {
        loop->demo_time = music::music_ring_demo_time(loop->music->ring, SDL_GetTicks(), demo->music_offset);
    }
    return PLAYBACK_STEP_FRAME;
}

PlaybackEnd playback_run(scene::Scene *demo, const GlWindow *win, FILE *package, MusicPlayback *music) {
    PlaybackLoop loop;
    playback_begin(&loop, demo, win, package, music);
    for (;;) {
        switch (playback_step(&loop)) {
        case PLAYBACK_STEP_ENDED: return PLAYBACK_ENDED;
        case PLAYBACK_STEP_ESCAPED: return PLAYBACK_ESCAPED;
        case PLAYBACK_STEP_WAITING: SDL_Delay(10); break;
        default: break;
        }
    }
}

} // namespace player
