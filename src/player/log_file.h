// Opening "demo.log": the probe, then the header line.
#pragma once

#include <cstdio>

namespace player {

constexpr const char *kLogFileName = "demo.log";
constexpr const char *kCaption = "Brightvale Engine v1.2";

// Probes "demo.log" in the working directory with the low-level create call; when that works,
// reopens it for binary writing, writes "Brightvale Engine v1.2\r\n" and attaches it as the log.
// Returns the open file, or null (then every log write is skipped).
FILE *log_file_open();

// Detaches and closes the log.
void log_file_close(FILE *file);

} // namespace player
