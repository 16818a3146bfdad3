// The browser's side of the platform door: one page, no terminal and no windows of its own; a
// fatal error goes to the console, where the page's log shows it too.
#include "player/platform/platform.h"

#include "music/music_ring.h"
#include "music/music_stream.h"

#include <SDL.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace player {

bool platform_probe_create(const char *path) {
    int fd = open(path, O_CREAT | O_TRUNC | O_WRONLY, S_IRUSR | S_IWUSR);
    if (fd < 0) return false;
    close(fd);
    return true;
}

void platform_binary_stream(FILE *) {}

FILE *platform_memory_file(const void *data, size_t size) {
    if (!data || size == 0) return nullptr;
    return fmemopen(const_cast<void *>(data), size, "rb");
}

bool platform_is_terminal(FILE *) {
    return false;
}

int platform_stdout_divert() {
    return -1;
}

void platform_stdout_restore(int) {}

// The page's canvas is the one window; there is no terminal to fall back to.
bool platform_video_start() {
    return SDL_WasInit(SDL_INIT_EVERYTHING) == 0 ? SDL_Init(SDL_INIT_VIDEO) == 0
                                                 : SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

bool platform_video_has_windows() {
    return true;
}

void platform_show_error(const char *text) {
    std::printf("%s\n", text);
    std::fflush(stdout);
}

const uint8_t *platform_key_states() {
    return SDL_GetKeyboardState(nullptr);
}

// No decoder thread: the ring is filled now, and again between frames.
void platform_music_start(music::MusicRing *ring, music::MusicStream *stream) {
    music::music_ring_reset(ring);
    music::music_ring_fill(ring, music::music_stream_decode, stream);
}

void platform_music_feed(music::MusicRing *ring, music::MusicStream *stream) {
    music::music_ring_fill(ring, music::music_stream_decode, stream);
}

bool platform_sound_runs_beside() {
    return false;
}

} // namespace player
