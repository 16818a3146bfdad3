// The player's log sink: every subsystem writes its log lines here.
// The player attaches "demo.log" at start-up; with nothing attached every write is skipped.
#pragma once

#include <cstdio>

namespace resources {

// Attaches an open file (not owned: the caller closes it), or null to make every write a no-op.
void log_attach(FILE *file);
FILE *log_attached();

// A second stream (not owned) that receives a copy of every write, attached or not: the browser's
// console and log panel. Null ends the copy.
void log_mirror(FILE *stream);

// Writes text unchanged, then "\r\n", then flushes.
void log_line(const char *text);

// Writes the formatted text exactly as given (the format carries its own line ending), then flushes.
void log_format(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

} // namespace resources
