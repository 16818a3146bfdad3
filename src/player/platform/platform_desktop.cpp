#include "player/platform/platform.h"

#include "player/error_window.h"
#include "music/music_stream.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace player {

namespace {

// SDL 1.2's video drivers that draw in a text terminal rather than in a window.
constexpr const char *kTerminalVideoDrivers[] = {"aalib", "caca"};
static_assert(sizeof(kTerminalVideoDrivers) / sizeof(kTerminalVideoDrivers[0]) == 2, "one row per driver");

bool video_driver_draws_in_terminal(const char *name) {
    for (const char *d : kTerminalVideoDrivers)
        if (SDL_strcasecmp(name, d) == 0) return true;
    return false;
}

// The driver SDL will start: the user's choice, or ours where none is made. Null where SDL's own
// order holds no terminal driver (Windows: every driver SDL has there opens windows).
const char *video_driver_decide() {
    const char *chosen = SDL_getenv("SDL_VIDEODRIVER");
    if (chosen && *chosen) return chosen;
#ifdef _WIN32
    return nullptr;
#else
    // SDL 1.2 has no call that names the driver to start; it reads this variable.
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return "x11";
#endif
}

} // namespace

bool platform_video_start() {
    const char *driver = video_driver_decide();
    if (driver && video_driver_draws_in_terminal(driver)) {
        SDL_SetError("the video driver %s draws in the terminal, not in a window (SDL_VIDEODRIVER)", driver);
        return false;
    }
    bool started = SDL_WasInit(SDL_INIT_EVERYTHING) == 0 ? SDL_Init(SDL_INIT_VIDEO) == 0
                                                         : SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!started) {
        if (driver && SDL_strcasecmp(driver, "x11") == 0) {
            const char *display = SDL_getenv("DISPLAY");
            if (!display || !*display)
                SDL_SetError("no display (DISPLAY is not set)");
            else
                SDL_SetError("cannot reach the display %s", display);
        }
        return false;
    }
    // Where SDL went by its own order, make sure it did not end on a terminal driver.
    char name[32] = {};
    if (SDL_VideoDriverName(name, sizeof name) && video_driver_draws_in_terminal(name)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_SetError("the video driver %s draws in the terminal, not in a window", name);
        return false;
    }
    return true;
}

bool platform_video_has_windows() {
    char name[32] = {};
    if (!SDL_VideoDriverName(name, sizeof name)) return false;
    return SDL_strcasecmp(name, "dummy") != 0 && !video_driver_draws_in_terminal(name);
}

bool platform_probe_create(const char *path) {
#ifdef _WIN32
    int fd = _open(path, _O_CREAT | _O_TRUNC | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return false;
    _close(fd);
#else
    int fd = open(path, O_CREAT | O_TRUNC | O_WRONLY, S_IRUSR | S_IWUSR);
    if (fd < 0) return false;
    close(fd);
#endif
    return true;
}

void platform_binary_stream(FILE *stream) {
#ifdef _WIN32
    std::fflush(stream);
    _setmode(_fileno(stream), _O_BINARY);
#else
    (void)stream;
#endif
}

FILE *platform_memory_file(const void *data, size_t size) {
    if (!data || size == 0) return nullptr;
#ifdef _WIN32
    char folder[MAX_PATH], path[MAX_PATH];
    if (!GetTempPathA(sizeof folder, folder) || !GetTempFileNameA(folder, "bvp", 0, path)) return nullptr;
    // "T" keeps it in the cache where it can, "D" deletes it when the stream is closed.
    FILE *f = std::fopen(path, "w+bTD");
    if (!f) return nullptr;
    if (std::fwrite(data, 1, size, f) != size) {
        std::fclose(f);
        return nullptr;
    }
    std::rewind(f);
    return f;
#else
    return fmemopen(const_cast<void *>(data), size, "rb");
#endif
}

bool platform_is_terminal(FILE *stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

int platform_stdout_divert() {
    std::fflush(stdout);
#ifdef _WIN32
    int saved = _dup(_fileno(stdout));
    if (saved >= 0 && _dup2(_fileno(stderr), _fileno(stdout)) != 0) {
        _close(saved);
        return -1;
    }
#else
    int saved = dup(fileno(stdout));
    if (saved >= 0 && dup2(fileno(stderr), fileno(stdout)) < 0) {
        close(saved);
        return -1;
    }
#endif
    return saved;
}

void platform_stdout_restore(int handle) {
    if (handle < 0) return;
    std::fflush(stdout);
#ifdef _WIN32
    _dup2(handle, _fileno(stdout));
    _close(handle);
#else
    dup2(handle, fileno(stdout));
    close(handle);
#endif
}

void platform_show_error(const char *text) {
#ifdef _WIN32
    MessageBoxA(nullptr, text, "Error", MB_OK);
#else
    // Standard error first: it is all there is without a display, and it stays in a run's output.
    std::fprintf(stderr, "%s\n", text);
    std::fflush(stderr);
    error_window_show(text);
#endif
}

const uint8_t *platform_key_states() {
    return SDL_GetKeyState(nullptr);
}

void platform_show_progress_frame() {
    SDL_GL_SwapBuffers();
}

bool platform_fetch_file(const char *) {
    return true;
}

void platform_music_start(music::MusicRing *ring, music::MusicStream *stream) {
    music::music_decoder_start(ring, stream);
}

void platform_music_feed(music::MusicRing *, music::MusicStream *) {}

bool platform_sound_runs_beside() {
    return true;
}

bool platform_escape_requested() {
    return false;
}

} // namespace player
