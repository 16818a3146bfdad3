// Shared by the fuzz targets: inputs as files in memory, packages built in memory, and a log that
// is written (so every log line's arguments are formatted) but kept nowhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace fuzz {

struct FuzzEntry {
    std::string name;
    std::vector<uint8_t> data;
};

// A FILE that reads the given bytes from memory (the bytes must outlive it). Never null.
FILE *fuzz_memory_file(const uint8_t *data, size_t size);

// The bytes of a package holding the entries in order (header, index, terminator, data).
std::vector<uint8_t> fuzz_package(const std::vector<FuzzEntry> &entries);

// Sends the engine's log to /dev/null.
void fuzz_quiet_log();

// Ends the run with a message: a property that must hold for every input did not.
[[noreturn]] void fuzz_fail(const char *what);

// A small well-formed model (a cube of 24 vertices, one texture set), unpacked and packed.
std::vector<uint8_t> fuzz_cube_model();
std::vector<uint8_t> fuzz_packed(const std::vector<uint8_t> &data);

// A w x h image in PNG (channels 1 to 4) or JPEG (channels 1 or 3) with a simple pattern.
std::vector<uint8_t> fuzz_png(int w, int h, int channels);
std::vector<uint8_t> fuzz_jpeg(int w, int h, int channels);

} // namespace fuzz
