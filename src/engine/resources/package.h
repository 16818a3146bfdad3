// The package file: one file that carries every entry of a demo.
//
// Layout (offsets absolute, index numbers big-endian):
//   0            3 bytes   header 0x44 0x50 0x01
//   3            40 * N    index entries: 32-byte NUL-padded name, u32 first, u32 last (inclusive)
//   3 + 40N      32 bytes  terminator (zero name)
//   35 + 40N     ...       entry data back to back in index order
// An empty entry has last = first - 1. The reader relies on the terminator, not on a count.
#pragma once

#include <cstdint>
#include <cstdio>

namespace resources {

constexpr uint32_t kPackageHeaderSize = 3;
constexpr uint32_t kPackageEntrySize = 40;
constexpr uint32_t kPackageNameSize = 32;
constexpr uint32_t kPackageTerminatorSize = 32;
constexpr uint8_t kPackageHeader[3] = {0x44, 0x50, 0x01};
// Every lookup scans the index from its start; an index of more entries than this (a demo has
// tens) counts as damaged, so a package cannot make each lookup take seconds.
constexpr uint32_t kPackageMaxEntries = 16384;

struct PackageEntryInfo {
    char name[kPackageNameSize + 1]; // always NUL-terminated copy of the stored name
    uint32_t first;                  // absolute offset of the first data byte
    uint32_t size;                   // last + 1 - first
    bool in_bounds;                  // first/last lie inside the file and last >= first - 1
};

// Looks name up (exact, case-sensitive; the first of duplicates wins; an empty name means entry 0).
// Returns false when the name is missing, the index runs off the end of the file or holds more than
// kPackageMaxEntries entries before the name, or the entry's offsets do not lie inside the file.
bool package_find_entry(FILE *package, const char *name, PackageEntryInfo *out);

// Reads the named entry whole into a new heap block of exactly its size (std::free; a size-0 entry
// still gives a non-null block). Returns null, allocating nothing and leaving *out_size untouched,
// when the entry is missing or damaged.
uint8_t *package_read_entry(FILE *package, const char *name, uint32_t *out_size);

// Reads the whole index in order into a new array (std::free) and stores the entry count.
// Entries whose offsets are damaged are listed with in_bounds false. Returns null when the index
// itself runs off the end of the file or holds more than kPackageMaxEntries entries.
PackageEntryInfo *package_index_read(FILE *package, uint32_t *out_count);

// Authoring side: the entry list, a singly linked list ended by a sentinel whose name is null.
// A node with a source directory stands for the disk file source_dir + name (plain concatenation),
// one without for the entry of that name in a source package.
struct EntryNode {
    char *name;
    char *source_dir;
    EntryNode *next;
};

EntryNode *entry_list_new();
// Fills the sentinel with copies of name and source_dir (null for a package entry) and adds a new one.
void entry_list_append(EntryNode *list, const char *name, const char *source_dir);
// Removes the node at index (0 is the head). Past the end: prints "Error: index not found!" on
// standard output and changes nothing.
void entry_list_remove(EntryNode *list, int index);
// Frees every node but keeps the head as an empty sentinel.
void entry_list_clear(EntryNode *list);
void entry_list_free(EntryNode *list);
int entry_list_count(const EntryNode *list);

// Writes a package at out_path from the list, in list order. Entries without a source directory
// are read from source (may be null when the list has none). The file is written beside the target
// and renamed over it at the end, so a failure leaves nothing half-written. Names must be 1 to 31
// bytes long; a longer or empty name is refused with an error on standard error. Returns success.
bool package_write(const EntryNode *list, const char *out_path, FILE *source);

// As package_write, but every entry taken from the source package is read into memory before the
// output is opened (so out_path may be the source package itself), with the progress lines
// "count = %d", "NAME: %s", "size of the file: %d" and "size=%d" on standard output.
bool package_rewrite(const EntryNode *list, const char *out_path, FILE *source);

// All names of the index in order, as a new entry list without source directories.
EntryNode *package_list(FILE *package);

// Creates prefix + name for every entry and writes its bytes (owner read/write only).
// Names that would leave the destination (absolute, "..") are skipped with a message.
bool package_extract_all(FILE *package, const char *prefix);

// Creates prefix + name for every node, filled from its disk file or from the package entry.
bool package_export(const EntryNode *list, FILE *package, const char *prefix);

} // namespace resources
