// The few places where the player differs between Windows and the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace music {
struct MusicRing;
struct MusicStream;
} // namespace music

namespace player {

// Creates path with truncation through the low-level open call (owner read and write permission)
// and closes it again. False when the file cannot be created.
bool platform_probe_create(const char *path);

// Starts SDL's video system (SDL_Init when nothing of SDL is running yet, else the video subsystem
// alone) on a driver that opens real windows. SDL 1.2 falls back to drivers that draw in the text
// terminal (libcaca, aalib) when no display answers, so where the user has not chosen a driver
// (SDL_VIDEODRIVER) the platform's window system is chosen (on X11 systems by setting
// SDL_VIDEODRIVER for the process), and a text-mode driver chosen by name is refused before it
// touches the terminal. False when no window can be had: SDL_GetError() then says why in a few
// words ("no display (DISPLAY is not set)") and SDL's video is not running.
bool platform_video_start();

// True when SDL's video driver, running now, shows windows that a user can see and answer (not
// SDL's dummy driver, not a text-mode one).
bool platform_video_has_windows();

// Shows a fatal start-up error to the user in a modal message box titled "Error" and waits until
// it is dismissed. Elsewhere than Windows the text also goes to standard error, which is all that
// is used when there is no display.
void platform_show_error(const char *text);

// Writes the stream's bytes as they are: Windows' text mode would turn the log's "\r\n" line ends
// into "\r\r\n". Nothing to do elsewhere.
void platform_binary_stream(FILE *stream);

// A stream that reads the given bytes, for code that reads packages from a FILE (the preview packs
// a folder in memory). The bytes must outlive the stream on POSIX systems; Windows, which has no
// memory streams, copies them into a temporary file that is deleted when the stream is closed.
// Null on failure.
FILE *platform_memory_file(const void *data, size_t size);

// True when the stream is a terminal (progress lines are only worth drawing there).
bool platform_is_terminal(FILE *stream);

// Sends what is written to standard output to standard error until platform_stdout_restore is
// given the returned handle (-1 when it could not be done), so that a report on standard output
// stays clean of library messages.
int platform_stdout_divert();
void platform_stdout_restore(int handle);

// SDL's table of keys held now, indexed by SDLK_ key number (SDL 1.2's and the browser's SDL name
// the call differently). Null when there is none.
const uint8_t *platform_key_states();

// Shows a progress frame of the loading scene: swaps the buffers; in the browser also hands the
// page back to the browser until its next animation frame, so that the frame is seen and the page
// stays responsive while the demo loads.
void platform_show_progress_frame();

// Makes a file that lies beside the program readable by its name: nothing to do where files are
// local; the browser fetches it from the page's folder, waiting for it while the page stays live.
// False when it cannot be had (the open that follows then fails as it would for a missing file).
bool platform_fetch_file(const char *name);

// Starts decoding music into the ring: a thread of its own on desktop systems; in the browser,
// which has no threads to spare, the ring is filled now and by platform_music_feed between frames.
void platform_music_start(music::MusicRing *ring, music::MusicStream *stream);

// Tops up the ring from the page's own thread (the browser); nothing where a thread decodes.
void platform_music_feed(music::MusicRing *ring, music::MusicStream *stream);

// True where the audio callback runs beside the program's thread, so that waiting for its first
// buffer makes sense; in the browser it runs between the page's tasks and waiting would freeze it.
bool platform_sound_runs_beside();

// True once the user has left the demo by a way of the platform's own that is not the Escape key
// the program sees (the browser's Escape out of fullscreen).
bool platform_escape_requested();

} // namespace player
