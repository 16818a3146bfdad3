// The few places where the player differs between Windows and the rest.
#pragma once

#include <cstddef>
#include <cstdio>

namespace player {

// Creates path with truncation through the low-level open call (owner read and write permission)
// and closes it again. False when the file cannot be created.
bool platform_probe_create(const char *path);

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

} // namespace player
