// Small file helpers shared by the package tools and the document loaders.
#pragma once

#include <cstdint>
#include <cstdio>

namespace resources {

// Reads a whole file into a new heap block (freed with std::free) and stores its size.
// Returns null when the file cannot be opened or read, or is larger than max_size bytes.
uint8_t *file_read_all(const char *path, uint32_t *out_size, uint32_t max_size = 0xFFFFFFFFu);

// Creates (or truncates) a file for binary writing, readable and writable by its owner only.
// Missing parent directories are created. Returns null on failure.
FILE *file_create_private(const char *path);

// Opens an existing regular file for binary reading; null for anything else (a folder, a device or
// a pipe, whose open could block for ever) or when it cannot be opened.
FILE *file_open_regular(const char *path);

// file_read_all of a regular file only (a pipe or device could block or never end): null for
// anything else, as for a file that cannot be read or is larger than max_size.
uint8_t *file_read_regular(const char *path, uint32_t *out_size, uint32_t max_size);

// True when name is a relative path that stays inside the folder it is joined to:
// not empty, not absolute, no drive letter, no ".." component, no backslash.
bool file_name_is_contained(const char *name);

} // namespace resources
