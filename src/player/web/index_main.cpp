// index.html's program: the player as a page. The phases are the desktop player's, in its order and
// with its log lines, but each runs when the page calls it: main opens the log and draws the
// launcher; the page hands the launcher every mouse event and, on the start button's release,
// calls bv_player_start, which loads the demo with progress frames (yielding to the browser at
// each) and then plays it on the browser's animation frames. The page shows the log as it grows.
#include "player/launcher_compose.h"
#include "player/launcher_state.h"
#include "player/music_device.h"
#include "player/playback.h"
#include "player/player.h"
#include "resources/log.h"

#include <SDL.h>
#include <cstdio>
#include <emscripten.h>
#include <vector>

extern "C" {
// page_library.js: what the page shows of the program's phases, and its log panel.
void bv_page_phase(const char *name);
void bv_page_ended(int status);
void bv_page_log(const char *text, size_t size);
}

namespace {

using namespace player;

PlayerSession g_session;
LauncherCanvas g_launcher;
LauncherState g_launcher_state;
PlaybackLoop g_loop;
bool g_launcher_open;
std::vector<uint8_t> g_recorded_sound;

// What a browser can give: GLSL only (no fixed-function pipeline), and always buffer objects.
void keep_to_what_the_browser_offers(LauncherChoices *c) {
    c->render_path = RENDER_PATH_GLSL;
    c->vbo = 1;
}

// The combiner row is shown as unavailable: its text faded halfway into the panel's fill.
void fade_combiner_row(LauncherCanvas *canvas) {
    const LauncherRect row = kLauncherHitAreas[2].rect;
    for (int32_t y = row.y0; y <= row.y1; y++)
        for (int32_t x = row.x0; x <= row.x1; x++) {
            uint8_t *p = &canvas->rgba[(size_t(y) * kLauncherWidth + size_t(x)) * 4];
            const LauncherRgb &fill = kLauncherPanelFill;
            p[0] = uint8_t((p[0] + fill.r + 1) / 2);
            p[1] = uint8_t((p[1] + fill.g + 1) / 2);
            p[2] = uint8_t((p[2] + fill.b + 1) / 2);
        }
}

void draw_launcher() {
    launcher_canvas_draw(&g_launcher, &g_launcher_state);
    fade_combiner_row(&g_launcher);
    launcher_state_drawn(&g_launcher_state);
}

ssize_t write_to_page_log(void *, const char *text, size_t size) {
    bv_page_log(text, size);
    return ssize_t(size);
}

void end_page(int status) {
    g_launcher_open = false;
    bv_page_ended(status);
}

// One animation frame. The sound callback runs only between the page's tasks, so one top-up of the
// ring per frame is all it can use.
void play_frame() {
    music_feed(&g_session.music);
    switch (playback_step(&g_loop)) {
    case PLAYBACK_STEP_ENDED:
    case PLAYBACK_STEP_ESCAPED:
        emscripten_cancel_main_loop();
        // Closed, not paused: the browser's SDL keeps calling a paused device's callback.
        if (g_session.music.on) SDL_CloseAudio();
        music_device_record(nullptr);
        end_page(player_close(&g_session));
        break;
    default: break;
    }
}

} // namespace

extern "C" {

// One launcher round for a mouse event at (x, y) in launcher pixels with the left button down or
// up: 0 nothing to show, 1 the picture changed (bv_launcher_pixels), 2 released on the start
// button. Any other value once the launcher is gone.
EMSCRIPTEN_KEEPALIVE int bv_launcher_round(int x, int y, int down) {
    if (!g_launcher_open) return 3;
    LauncherStep step = launcher_state_round(&g_launcher_state, x, y, down != 0);
    keep_to_what_the_browser_offers(&g_launcher_state.choices);
    if (step == LAUNCHER_STEP_START) {
        g_launcher_open = false;
        return 2;
    }
    if (step == LAUNCHER_STEP_REDRAW) draw_launcher();
    return step;
}

// The launcher's picture: 461 x 384 RGBA pixels.
EMSCRIPTEN_KEEPALIVE const uint8_t *bv_launcher_pixels() {
    return g_launcher.rgba;
}

// Whether the choices ask for fullscreen: the page asks the browser for it inside the click.
EMSCRIPTEN_KEEPALIVE int bv_launcher_fullscreen() {
    return g_launcher_state.choices.fullscreen > 0;
}

// The launcher's close picture: the end, as when the launcher window is closed.
EMSCRIPTEN_KEEPALIVE void bv_launcher_close() {
    if (!g_launcher_open) return;
    launcher_canvas_free(&g_launcher);
    end_page(player_launcher_closed(&g_session));
}

// The rest of the start-up with the launcher's choices, then playback on the animation frames.
// desktop_width x desktop_height is the browser window's (or, for fullscreen, the screen's) size in
// device pixels. Fullscreen itself is the page's: it was asked for in the click.
EMSCRIPTEN_KEEPALIVE void bv_player_start(int desktop_width, int desktop_height, int record_sound) {
    LauncherChoices choices = g_launcher_state.choices;
    launcher_canvas_free(&g_launcher);
    choices.fullscreen = -1;
    g_session.desktop_width = desktop_width;
    g_session.desktop_height = desktop_height;
    if (record_sound) music_device_record(&g_recorded_sound);
    bv_page_phase("loading");
    int status = player_prepare(&g_session, choices, nullptr);
    if (status != kPlayerGoesOn) {
        end_page(status);
        return;
    }
    bv_page_phase("playing");
    playback_begin(&g_loop, g_session.start.demo, &g_session.win, g_session.start.package, &g_session.music);
    emscripten_set_main_loop(play_frame, 0, 0);
}

// What the audio callback handed the device, when bv_player_start was asked to record it.
EMSCRIPTEN_KEEPALIVE const uint8_t *bv_recorded_sound() {
    return g_recorded_sound.data();
}
EMSCRIPTEN_KEEPALIVE uint32_t bv_recorded_sound_size() {
    return uint32_t(g_recorded_sound.size());
}

} // extern "C"

int main() {
    // Every log line also reaches the page's log panel and the console (standard output, which has
    // lines of its own, goes to the console only).
    cookie_io_functions_t page_log = {nullptr, write_to_page_log, nullptr, nullptr};
    resources::log_mirror(fopencookie(nullptr, "w", page_log));
    int status = player_open(&g_session);
    if (status != kPlayerGoesOn) {
        bv_page_ended(status);
        return 0;
    }
    g_launcher_state = launcher_state_initial();
    keep_to_what_the_browser_offers(&g_launcher_state.choices);
    if (!launcher_canvas_load(&g_launcher, kLauncherPictureBytes)) {
        resources::log_line("error creating surface :-S");
        bv_page_ended(1);
        return 0;
    }
    g_launcher_open = true;
    draw_launcher();
    bv_page_phase("launcher");
    return 0;
}
