#include "player/playback.h"

#include "player/music_device.h"
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
    SDL_GL_SwapBuffers();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// Takes at most one pending event; the window's quit event ends the process at once.
void poll_quit() {
    SDL_Event event;
    if (SDL_PollEvent(&event) && event.type == SDL_QUIT) std::exit(0);
}

bool escape_held() {
    Uint8 *keys = SDL_GetKeyState(nullptr);
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

PlaybackEnd playback_run(scene::Scene *demo, const GlWindow *win, FILE *package, MusicPlayback *music) {
    uint16_t width = static_cast<uint16_t>(win->screen.width), height = static_cast<uint16_t>(win->screen.height);
    bool with_music = music && music->on;
    if (with_music) music_start(music, demo);
    uint32_t start_tick = SDL_GetTicks();
    uint32_t demo_time = 0;
    uint32_t frames = 0;
    bool benchmark = true;

    // Lead-in: the demo runs on the tick clock until its music is due.
    if (demo->music_offset != 0) {
        benchmark = false;
        for (;;) {
            if (render::render_at_time(demo, demo_time / 10, width, height, win->viewport, win->caps, win->glsl) == 0) {
                benchmark = true;
                break;
            }
            frames++;
            bool escape = escape_held();
            poll_quit();
            if (escape) break;
            SDL_GL_SwapBuffers();
            demo_time = SDL_GetTicks() - start_tick;
            if (demo_time > demo->music_offset) {
                music_unpause(music);
                benchmark = true;
                break;
            }
        }
    }

    for (;;) {
        if (render::render_at_time(demo, demo_time / 10, width, height, win->viewport, win->caps, win->glsl) == 0) {
            std::fclose(package);
            if (benchmark)
                resources::log_format("Benchmark result: %.2f fps\r\n", playback_benchmark(frames, demo_time));
            return PLAYBACK_ENDED;
        }
        frames++;
        bool escape = escape_held();
        poll_quit();
        if (escape) {
            std::fclose(package);
            return PLAYBACK_ESCAPED;
        }
        SDL_GL_SwapBuffers();
        if (!with_music) {
            demo_time = SDL_GetTicks() - start_tick;
        } else if (!music_delivered(music)) {
            // The decoder fell behind: the same frame again until sound flows.
            SDL_Delay(10);
        } else {
            demo_time = music::music_ring_demo_time(music->ring, SDL_GetTicks(), demo->music_offset);
        }
    }
}

} // namespace player
