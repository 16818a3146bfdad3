#include "player/player.h"

#include "maths/cosine_table.h"
#include "player/gl_window.h"
#include "player/launcher.h"
#include "player/log_file.h"
#include "player/music_device.h"
#include "player/package_scan.h"
#include "player/platform/platform.h"
#include "player/playback.h"
#include "player/screen.h"
#include "resources/log.h"
#include "resources/xml.h"
#include "scene/load_progress.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"

#include <SDL.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace player {

namespace {

// Ends start-up with an exit status: frees what it made and shuts SDL down.
int finish(StartUp *s, int status) {
    scene::scene_release(s->loading);
    scene::scene_release(s->demo);
    resources::xml_free(s->document);
    if (s->package) std::fclose(s->package);
    *s = StartUp{};
    SDL_Quit();
    return status;
}

// Status-1 exit after start-up has begun: the reason is in the log.
int fail(StartUp *s, const char *format, const char *name) {
    resources::log_format(format, name);
    return finish(s, 1);
}

// Status-1 exit that the user must be shown: the reason goes to the log and, once SDL is shut
// down (its window gone), to the "Error" message box (and standard error where there is one).
int fail_shown(StartUp *s, const char *text) {
    resources::log_line(text);
    int status = finish(s, 1);
    platform_show_error(text);
    return status;
}

// Reports a document that could not be used; returns the exit status to end with.
int document_error(StartUp *s, scene::DocumentStatus status, const char *name) {
    switch (status) {
    case scene::DOCUMENT_MISSING: return fail(s, "Error: %s is missing from the package.\r\n", name);
    case scene::DOCUMENT_DAMAGED: return fail(s, "Error: %s is damaged and cannot be inflated.\r\n", name);
    default: return fail(s, "Error: %s cannot be played.\r\n", name);
    }
}

} // namespace

int player_open(PlayerSession *p) {
    *p = PlayerSession{};
    p->log = log_file_open();
    std::snprintf(p->caption, sizeof p->caption, "%s", kCaption);
    p->start = StartUp{scene::scene_create(), scene::scene_create(), nullptr, nullptr};
    p->win.caps.texture_units = 2;
    p->win.error_window = true;

    if (!platform_video_start()) {
        // Without a window nothing can be shown or chosen; every later SDL call would fail.
        std::string text = std::string("Error: cannot open a window: ") + SDL_GetError();
        return fail_shown(&p->start, text.c_str());
    }
    const SDL_VideoInfo *video = SDL_GetVideoInfo();
    p->desktop_width = video ? video->current_w : 640;
    p->desktop_height = video ? video->current_h : 480;
    return kPlayerGoesOn;
}

int player_launcher_closed(PlayerSession *p) {
    resources::log_line("Bye!");
    log_file_close(p->log);
    return finish(&p->start, 0);
}

int player_prepare(PlayerSession *p, const LauncherChoices &choices, const char *first_argument) {
    StartUp &s = p->start;
    GlWindow &win = p->win;
    scene::Scene *loading = s.loading, *demo = s.demo;
    std::string package_name = package_scan(".");
    if (package_name.empty()) {
        resources::log_line("Sux... no dpk file.");
        return finish(&s, 1);
    }
    resources::log_format("Found %s.\r\n", package_name.c_str());
    // A folder opens for reading on some systems but holds no package.
    std::error_code ec;
    FILE *package =
        std::filesystem::is_directory(package_name, ec) ? nullptr : std::fopen(package_name.c_str(), "rb");
    if (!package) return fail(&s, "Error: cannot open %s.\r\n", package_name.c_str());
    s.package = package;
    resources::log_line("Starting the demo.");

    win.screen = screen_size_for(choices.resolution_index, p->desktop_width, p->desktop_height);
    win.aspect = screen_aspect_for(choices.aspect_index, win.screen);
    win.viewport = screen_viewport_fit(win.screen, win.aspect);
    maths::cosine_table_build();
    if (choices.antialiasing > 0) gl_window_request_multisample();
    win.glsl = choices.render_path == RENDER_PATH_GLSL ? 1 : 0;
    if (choices.music > 0) SDL_InitSubSystem(SDL_INIT_AUDIO);
    SDL_InitSubSystem(SDL_INIT_TIMER);

    if (!gl_window_open(&win, choices.fullscreen > 0, choices.antialiasing > 0, p->caption))
        return finish(&s, 0);
    if (!gl_window_setup(&win, choices.vbo > 0, first_argument)) return finish(&s, 0);
    if (choices.fullscreen > 0) SDL_ShowCursor(SDL_DISABLE);

    // The loading screen: no progress frames, no buffer objects or pixel buffers.
    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(package, "loading.xmlz", &status);
    if (status == scene::DOCUMENT_DAMAGED) return document_error(&s, status, "loading.xmlz");
    if (document) {
        scene::LoadContext ctx = {package, &win.formats, win.loading_caps, win.glsl,
                                  nullptr, nullptr,      nullptr};
        scene::scene_document_build(loading, document, "loading.xmlz", &ctx);
        resources::xml_free(document);
    }

    scene::LoadProgress progress = {};
    playback_progress_init(&progress, loading, &win);
    document = scene::scene_document_read(package, "demo.xmlz", &status);
    if (!document) return document_error(&s, status, "demo.xmlz");
    s.document = document;
    scene::LoadContext ctx = {package, &win.formats, win.caps, win.glsl, &progress, nullptr, nullptr};
    status = scene::scene_document_build(demo, document, "demo.xmlz", &ctx);
    if (status != scene::DOCUMENT_OK) return document_error(&s, status, "demo.xmlz");

    p->music = MusicPlayback{};
    if (choices.music > 0) {
        const resources::XmlNode *element = scene::scene_document_section(document, scene::kMusicSection);
        if (music_setup(element, demo, &p->music) == MUSIC_SETUP_NO_DEVICE) {
            std::string text = std::string("Error: cannot open the audio device (") + p->music.device_error +
                               "); switch Music off in the launcher to play without it.";
            return fail_shown(&s, text.c_str());
        }
    }

    scene::scene_release(loading);
    s.loading = nullptr;
    resources::xml_free(document);
    s.document = nullptr;
    return kPlayerGoesOn;
}

int player_close(PlayerSession *p) {
    // Playback has closed the package.
    p->start.package = nullptr;
    resources::log_line("Bye!");
    log_file_close(p->log);
    return finish(&p->start, 0);
}

bool player_wants_help(int argc, char **argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

void player_print_usage(FILE *out) {
    std::fprintf(out,
                 "usage: brightvale [-forcepbo]\n"
                 "Plays a demo. Start it in the folder that holds the demo's package: the first file\n"
                 "there whose name ends in \"dpk\" is played. The music the demo names is read from\n"
                 "the same folder, or from music/ inside it.\n"
                 "A launcher opens first: choose the resolution, the monitor's aspect ratio, the render\n"
                 "path and the switches (fullscreen, antialiasing, music, VBO support), then press\n"
                 "\"Start demo\". Escape ends the demo.\n"
                 "  -forcepbo   use pixel buffer objects even where OpenGL is older than 2.1\n"
                 "  -h, --help  print this and end\n"
                 "What happens, and why it ended if it ended early, is written to %s in the\n"
                 "same folder.\n",
                 kLogFileName);
}

int player_main(int argc, char **argv) {
    // Asked how to use it: answered before anything is opened or written.
    if (player_wants_help(argc, argv)) {
        player_print_usage(stdout);
        return 0;
    }
    static PlayerSession session;
    PlayerSession *p = &session;
    int status = player_open(p);
    if (status != kPlayerGoesOn) return status;

    LauncherChoices choices = {};
    switch (launcher_run(p->caption, &choices)) {
    case LAUNCHER_STARTED: break;
    case LAUNCHER_CLOSED: return player_launcher_closed(p);
    case LAUNCHER_NO_PICTURES: resources::log_line("error creating surface :-S"); return finish(&p->start, 1);
    default: {
        // Without the launcher nothing can be chosen or started.
        std::string text = std::string("Error: cannot open the launcher window: ") + SDL_GetError();
        return fail_shown(&p->start, text.c_str());
    }
    }

    status = player_prepare(p, choices, argc > 1 ? argv[1] : nullptr);
    if (status != kPlayerGoesOn) return status;
    playback_run(p->start.demo, &p->win, p->start.package, &p->music);
    return player_close(p);
}

} // namespace player
