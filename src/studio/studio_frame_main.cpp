// The studio's frame program (studio_frame.wasm, on the page's main thread): the engine draws the
// demo at the playhead in the page's WebGL 2 canvas. The page hands it the package the worker
// built; the scene loads beside the one on screen while the worker checks the text, and replaces
// it as bvtool preview's reload does (the shared random sequence from its start, the targets and
// stateful effects reset) once the page commits it; a load that fails, or a text the check
// refuses, keeps the last scene. A load is bounded in time: past the page's limit the program
// stops itself at its next progress step, and the page starts a fresh one.
#include "player/gl_window.h"
#include "player/platform/platform.h"
#include "player/screen.h"

#include "maths/shared_random.h"
#include "music/music_stream.h"
#include "render/frame.h"
#include "resources/log.h"
#include "resources/xml.h"
#include "scene/load_progress.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "scene/scene_release.h"

#include <GL/glew.h>
#include <SDL.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <emscripten.h>
#include <string>
#include <vector>

namespace {

player::GlWindow g_win;
bool g_open;
scene::Scene *g_scene, *g_candidate; // on screen; loaded, waiting for the page's word
uint32_t g_music_offset, g_end, g_candidate_offset;
std::string g_error, g_log;
uint32_t g_load_start, g_load_limit;

ssize_t keep_log(void *, const char *text, size_t size) {
    if (g_log.size() < 64 * 1024) g_log.append(text, size);
    return ssize_t(size);
}

uint32_t ticks(void *) {
    return SDL_GetTicks();
}

// Called at most every 50 ms of the load: no loading scene is drawn, only the time is held
// against the limit. Past it the program stops; the page says why and starts a fresh one.
void progress_step(void *, uint32_t) {
    if (SDL_GetTicks() - g_load_start <= g_load_limit) return;
    std::printf("studio frame: the load passed its time limit\n");
    std::abort();
}

uint32_t timeline_end(const scene::Scene *sc) {
    uint32_t end = 0;
    for (const scene::LayerSlot &slot : sc->slots)
        end = std::max(end, slot.end_time);
    return end;
}

void drop(scene::Scene **sc) {
    if (!*sc) return;
    scene::scene_delete_gl_objects(*sc);
    scene::scene_release(*sc);
    *sc = nullptr;
}

bool fail(const std::string &why) {
    g_error = why;
    return false;
}

bool load(const uint8_t *data, uint32_t size) {
    g_log.clear();
    FILE *file = player::platform_memory_file(data, size);
    if (!file) return fail("the package is empty");
    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(file, "demo.xmlz", &status);
    if (!document) {
        std::fclose(file);
        return fail(status == scene::DOCUMENT_MISSING ? "demo.xml is missing" : "demo.xml cannot be read");
    }
    // The shared random sequence starts where it does in a fresh player.
    maths::shared_random_seed(1);
    scene::Scene *sc = scene::scene_create();
    scene::LoadProgress progress = {};
    progress.ticks = ticks;
    progress.draw_frame = progress_step;
    scene::LoadContext ctx = {file, &g_win.formats, g_win.caps, g_win.glsl, &progress, nullptr, nullptr};
    g_load_start = SDL_GetTicks();
    status = sc ? scene::scene_document_build(sc, document, "demo.xmlz", &ctx) : scene::DOCUMENT_MALFORMED;
    uint32_t offset = 0;
    music::music_element_file(scene::scene_document_section(document, scene::kMusicSection), &offset);
    resources::xml_free(document);
    std::fclose(file);
    if (status != scene::DOCUMENT_OK) {
        drop(&sc);
        return fail("demo.xml cannot be played" + (g_log.empty() ? std::string() : ": " + g_log));
    }
    drop(&g_candidate);
    g_candidate = sc;
    g_candidate_offset = offset;
    g_error.clear();
    return true;
}

} // namespace

extern "C" {

// Opens the canvas at width x height with WebGL 2; 0 when it cannot.
EMSCRIPTEN_KEEPALIVE int bv_frame_open(int width, int height) {
    if (g_open) return 1;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 0;
    g_win = player::GlWindow{};
    g_win.screen = player::ScreenSize{width, height};
    g_win.aspect = player::screen_aspect_for(0, g_win.screen);
    g_win.viewport = player::screen_viewport_fit(g_win.screen, g_win.aspect);
    g_win.glsl = 1;
    g_open = player::gl_window_open(&g_win, false, false, "studio") &&
             player::gl_window_setup(&g_win, true, nullptr);
    return g_open ? 1 : 0;
}

// Loads a package beside the scene on screen, within limit_ms; 1 loaded (bv_frame_commit shows
// it), 0 failed (bv_frame_error says why).
EMSCRIPTEN_KEEPALIVE int bv_frame_load(const uint8_t *data, uint32_t size, uint32_t limit_ms) {
    g_load_limit = limit_ms;
    if (!g_open) return fail("no WebGL 2 canvas"), 0;
    return load(data, size) ? 1 : 0;
}

// The loaded scene in place of the one on screen (1), or nothing loaded to commit (0).
EMSCRIPTEN_KEEPALIVE int bv_frame_commit() {
    if (!g_candidate) return 0;
    drop(&g_scene);
    g_scene = g_candidate;
    g_candidate = nullptr;
    render::render_reset_targets();
    g_music_offset = g_candidate_offset;
    g_end = timeline_end(g_scene);
    return 1;
}

// Forgets the loaded scene: the one on screen stays.
EMSCRIPTEN_KEEPALIVE void bv_frame_discard() {
    drop(&g_candidate);
}

EMSCRIPTEN_KEEPALIVE const char *bv_frame_error() {
    return g_error.c_str();
}

// What the engine logged during the last load.
EMSCRIPTEN_KEEPALIVE const char *bv_frame_log() {
    return g_log.c_str();
}

EMSCRIPTEN_KEEPALIVE uint32_t bv_frame_music_offset() {
    return g_music_offset;
}

// Where the last layer ends, in hundredths.
EMSCRIPTEN_KEEPALIVE uint32_t bv_frame_end() {
    return g_end;
}

// Draws the demo at ms (demo time) on the whole canvas, black first as bvtool render clears; after
// a jump in time (restart 1) stateful effects and render targets start again. Layers drawn.
EMSCRIPTEN_KEEPALIVE uint32_t bv_frame_draw(uint32_t ms, int restart) {
    if (!g_scene) return 0;
    if (restart) {
        scene::scene_reset_effects(g_scene);
        render::render_reset_targets();
    }
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    return render::render_at_time(g_scene, ms / 10, uint16_t(g_win.screen.width),
                                  uint16_t(g_win.screen.height), g_win.viewport, g_win.caps, g_win.glsl);
}

} // extern "C"

int main() {
    // The engine's log lines reach the page's log with each load's answer.
    cookie_io_functions_t keep = {nullptr, keep_log, nullptr, nullptr};
    resources::log_attach(fopencookie(nullptr, "w", keep));
    return 0;
}
