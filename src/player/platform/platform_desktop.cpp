#include "player/platform/platform.h"

#include "player/error_window.h"
#include "music/music_stream.h"

#include <SDL.h>

#include <cstdio>
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
