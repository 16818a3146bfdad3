#include "resources/package.h"

#include "resources/byte_reader.h"
#include "resources/file_util.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace resources {

static bool file_size_of(FILE *f, uint64_t *out) {
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    long end = std::ftell(f);
    if (end < 0) return false;
    *out = static_cast<uint64_t>(end);
    return true;
}

enum IndexRead { INDEX_ENTRY, INDEX_END, INDEX_BROKEN };

// Reads the index front to back in blocks of entries (one seek per lookup, not one per entry).
struct IndexCursor {
    FILE *file;
    uint64_t file_size;
    uint32_t next;     // index of the next entry to hand out
    uint32_t buffered; // entries in block, starting at block_first
    uint32_t block_first;
    size_t block_bytes; // bytes actually read into block
    uint8_t block[kPackageEntrySize * 64];
};

static IndexCursor index_cursor_make(FILE *f, uint64_t file_size) {
    IndexCursor c;
    c.file = f;
    c.file_size = file_size;
    c.next = 0;
    c.buffered = 0;
    c.block_first = 0;
    c.block_bytes = 0;
    return c;
}

// The next index entry. INDEX_END at the terminator, INDEX_BROKEN when the file ends inside the
// index or the index holds more than kPackageMaxEntries entries.
static IndexRead index_cursor_next(IndexCursor *c, PackageEntryInfo *out) {
    uint32_t i = c->next;
    if (i >= c->block_first + c->buffered) {
        uint64_t at = kPackageHeaderSize + uint64_t(i) * kPackageEntrySize;
        if (at > c->file_size || (i == 0 && std::fseek(c->file, static_cast<long>(at), SEEK_SET) != 0))
            return INDEX_BROKEN;
        c->block_first = i;
        c->block_bytes = std::fread(c->block, 1, sizeof c->block, c->file);
        c->buffered = static_cast<uint32_t>(c->block_bytes / kPackageEntrySize);
        // The terminator is 32 bytes, not 40: an entry may end the file short of a whole entry.
        if (c->block_bytes % kPackageEntrySize >= kPackageNameSize) c->buffered++;
    }
    size_t offset = size_t(i - c->block_first) * kPackageEntrySize;
    size_t got = offset < c->block_bytes ? c->block_bytes - offset : 0;
    const uint8_t *raw = c->block + offset;
    if (got < kPackageNameSize) {
        std::printf("unexpected error\n");
        return INDEX_BROKEN;
    }
    if (raw[0] == 0) return INDEX_END;
    if (got < kPackageEntrySize || i >= kPackageMaxEntries) return INDEX_BROKEN;
    c->next = i + 1;
    std::memcpy(out->name, raw, kPackageNameSize);
    out->name[kPackageNameSize] = 0;
    ByteReader r = byte_reader_make(raw + kPackageNameSize, 8);
    uint32_t first = byte_reader_u32be(&r);
    uint32_t last = byte_reader_u32be(&r);
    uint64_t size = uint64_t(last) + 1 - uint64_t(first); // wraps high when last < first - 1
    out->first = first;
    out->size = static_cast<uint32_t>(size);
    out->in_bounds = uint64_t(last) + 1 >= first && first + size <= c->file_size;
    return INDEX_ENTRY;
}

static bool name_matches(const char *stored, const char *wanted, size_t wanted_len) {
    if (wanted_len >= kPackageNameSize) return false;
    return std::memcmp(stored, wanted, wanted_len) == 0 && stored[wanted_len] == 0;
}

bool package_find_entry(FILE *package, const char *name, PackageEntryInfo *out) {
    uint64_t file_size;
    if (!package || !name || !file_size_of(package, &file_size)) return false;
    size_t len = std::strlen(name);
    IndexCursor cursor = index_cursor_make(package, file_size);
    for (;;) {
        PackageEntryInfo info;
        if (index_cursor_next(&cursor, &info) != INDEX_ENTRY) return false;
        if (len == 0 || name_matches(info.name, name, len)) {
            if (!info.in_bounds) return false;
            *out = info;
            return true;
        }
    }
}

uint8_t *package_read_entry(FILE *package, const char *name, uint32_t *out_size) {
    PackageEntryInfo info;
    if (!package_find_entry(package, name, &info)) return nullptr;
    uint8_t *block = static_cast<uint8_t *>(std::malloc(info.size ? info.size : 1));
    if (!block) return nullptr;
    if (std::fseek(package, static_cast<long>(info.first), SEEK_SET) != 0 ||
        std::fread(block, 1, info.size, package) != info.size) {
        std::free(block);
        return nullptr;
    }
    *out_size = info.size;
    return block;
}

PackageEntryInfo *package_index_read(FILE *package, uint32_t *out_count) {
    uint64_t file_size;
    if (!package || !file_size_of(package, &file_size)) return nullptr;
    std::vector<PackageEntryInfo> entries;
    IndexCursor cursor = index_cursor_make(package, file_size);
    for (;;) {
        PackageEntryInfo info;
        IndexRead r = index_cursor_next(&cursor, &info);
        if (r == INDEX_BROKEN) return nullptr;
        if (r == INDEX_END) break;
        entries.push_back(info);
    }
    PackageEntryInfo *out =
        static_cast<PackageEntryInfo *>(std::malloc(sizeof(PackageEntryInfo) * (entries.size() + 1)));
    if (!out) return nullptr;
    if (!entries.empty()) std::memcpy(out, entries.data(), sizeof(PackageEntryInfo) * entries.size());
    *out_count = static_cast<uint32_t>(entries.size());
    return out;
}

// ---------------------------------------------------------------------------------------------
// Entry list

static char *string_copy(const char *s) {
    if (!s) return nullptr;
    size_t n = std::strlen(s) + 1;
    char *copy = static_cast<char *>(std::malloc(n));
    if (copy) std::memcpy(copy, s, n);
    return copy;
}

static EntryNode *entry_node_new() {
    return static_cast<EntryNode *>(std::calloc(1, sizeof(EntryNode)));
}

EntryNode *entry_list_new() { return entry_node_new(); }

void entry_list_append(EntryNode *list, const char *name, const char *source_dir) {
    EntryNode *node = list;
    while (node->name) node = node->next;
    node->name = string_copy(name);
    node->source_dir = string_copy(source_dir);
    node->next = entry_node_new();
}

void entry_list_remove(EntryNode *list, int index) {
    EntryNode *node = list;
    for (int i = 0; node && node->name && i < index; i++) node = node->next;
    if (index < 0 || !node || !node->name) {
        std::printf("Error: index not found!\n");
        return;
    }
    // Pull the next node's contents into this one so the head pointer stays valid when index is 0.
    EntryNode *next = node->next;
    std::free(node->name);
    std::free(node->source_dir);
    *node = *next;
    std::free(next);
}

void entry_list_clear(EntryNode *list) {
    if (!list) return;
    EntryNode *node = list->next;
    while (node) {
        EntryNode *next = node->next;
        std::free(node->name);
        std::free(node->source_dir);
        std::free(node);
        node = next;
    }
    std::free(list->name);
    std::free(list->source_dir);
    list->name = nullptr;
    list->source_dir = nullptr;
    list->next = nullptr;
}

void entry_list_free(EntryNode *list) {
    entry_list_clear(list);
    std::free(list);
}

int entry_list_count(const EntryNode *list) {
    int n = 0;
    for (const EntryNode *node = list; node && node->name; node = node->next) n++;
    return n;
}

// ---------------------------------------------------------------------------------------------
// Writer

static std::string node_disk_path(const EntryNode *node) { return std::string(node->source_dir) + node->name; }

// Fetches one node's data: the disk file or the source package's entry.
static uint8_t *node_data(const EntryNode *node, FILE *source, uint32_t *size) {
    if (node->source_dir) {
        uint8_t *data = file_read_all(node_disk_path(node).c_str(), size);
        if (!data) std::fprintf(stderr, "Error: cannot read %s\n", node_disk_path(node).c_str());
        return data;
    }
    uint8_t *data = source ? package_read_entry(source, node->name, size) : nullptr;
    if (!data) std::fprintf(stderr, "Error: entry %s not found in the source package\n", node->name);
    return data;
}

static bool check_names(const EntryNode *list) {
    for (const EntryNode *node = list; node && node->name; node = node->next) {
        size_t len = std::strlen(node->name);
        if (len == 0 || len >= kPackageNameSize) {
            std::fprintf(stderr, "Error: entry name \"%s\" must be 1 to %u bytes long\n", node->name,
                         kPackageNameSize - 1);
            return false;
        }
    }
    return true;
}

// Shared by write and rewrite. preloaded[i], when not null, is node i's data (with its size).
static bool write_package(const EntryNode *list, const char *out_path, FILE *source, uint8_t *const *preloaded,
                          const uint32_t *preloaded_sizes, bool progress) {
    uint32_t n = static_cast<uint32_t>(entry_list_count(list));
    std::string temp_path = std::string(out_path) + ".partial";
    FILE *out = std::fopen(temp_path.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "Error: cannot create %s\n", temp_path.c_str());
        return false;
    }
    uint64_t index_bytes = uint64_t(n) * kPackageEntrySize;
    std::vector<uint8_t> index(index_bytes + kPackageTerminatorSize, 0);
    bool ok = std::fwrite(kPackageHeader, 1, 3, out) == 3 &&
              std::fwrite(index.data(), 1, index.size(), out) == index.size();
    uint64_t data_start = kPackageHeaderSize + index_bytes + kPackageTerminatorSize;
    uint64_t total = 0;
    uint32_t i = 0;
    for (const EntryNode *node = list; ok && node->name; node = node->next, i++) {
        uint32_t size = 0;
        uint8_t *data = preloaded && preloaded[i] ? preloaded[i] : node_data(node, source, &size);
        if (preloaded && preloaded[i]) size = preloaded_sizes[i];
        if (!data) {
            ok = false;
            break;
        }
        if (progress) {
            if (node->source_dir)
                std::printf("size of the file: %d\n", static_cast<int>(size));
            else
                std::printf("size=%d\n", static_cast<int>(size));
        }
        uint64_t first = data_start + total;
        if (first + size > 0xFFFFFFFFull) {
            std::fprintf(stderr, "Error: package would exceed 4 GiB\n");
            ok = false;
        } else {
            uint8_t *entry = index.data() + uint64_t(i) * kPackageEntrySize;
            std::memcpy(entry, node->name, std::strlen(node->name));
            byte_store_u32be(entry + 32, static_cast<uint32_t>(first));
            byte_store_u32be(entry + 36, static_cast<uint32_t>(first + size - 1));
            ok = std::fwrite(data, 1, size, out) == size;
            total += size;
        }
        if (!(preloaded && preloaded[i])) std::free(data);
    }
    if (ok) ok = std::fseek(out, kPackageHeaderSize, SEEK_SET) == 0 &&
                 std::fwrite(index.data(), 1, index.size(), out) == index.size();
    if (std::fclose(out) != 0) ok = false;
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(temp_path, out_path, ec);
        if (ec) {
            std::fprintf(stderr, "Error: cannot replace %s: %s\n", out_path, ec.message().c_str());
            ok = false;
        }
    }
    if (!ok) std::filesystem::remove(temp_path, ec);
    return ok;
}

bool package_write(const EntryNode *list, const char *out_path, FILE *source) {
    if (!check_names(list)) return false;
    return write_package(list, out_path, source, nullptr, nullptr, false);
}

bool package_rewrite(const EntryNode *list, const char *out_path, FILE *source) {
    if (!check_names(list)) return false;
    int n = entry_list_count(list);
    std::vector<uint8_t *> blocks(static_cast<size_t>(n) + 1, nullptr);
    std::vector<uint32_t> sizes(static_cast<size_t>(n) + 1, 0);
    int from_package = 0;
    for (const EntryNode *node = list; node->name; node = node->next)
        if (!node->source_dir) from_package++;
    std::printf("count = %d\n", from_package);
    bool ok = true;
    int i = 0;
    for (const EntryNode *node = list; ok && node->name; node = node->next, i++) {
        if (node->source_dir) continue;
        std::printf("NAME: %s\n", node->name);
        blocks[i] = node_data(node, source, &sizes[i]);
        ok = blocks[i] != nullptr;
    }
    if (ok) ok = write_package(list, out_path, source, blocks.data(), sizes.data(), true);
    for (uint8_t *b : blocks) std::free(b);
    return ok;
}

EntryNode *package_list(FILE *package) {
    EntryNode *list = entry_list_new();
    uint32_t count = 0;
    PackageEntryInfo *entries = package_index_read(package, &count);
    for (uint32_t i = 0; entries && i < count; i++) entry_list_append(list, entries[i].name, nullptr);
    std::free(entries);
    return list;
}

static bool write_private_file(const std::string &path, const uint8_t *data, uint32_t size) {
    FILE *f = file_create_private(path.c_str());
    if (!f) {
        std::fprintf(stderr, "Error: cannot create %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        std::fprintf(stderr, "Error: cannot write %s\n", path.c_str());
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
    return ok;
}

static bool export_one(const char *name, const uint8_t *data, uint32_t size, const char *prefix) {
    if (!file_name_is_contained(name)) {
        std::fprintf(stderr, "Error: skipping entry with unsafe name \"%s\"\n", name);
        return false;
    }
    return write_private_file(std::string(prefix) + name, data, size);
}

bool package_extract_all(FILE *package, const char *prefix) {
    uint32_t count = 0;
    PackageEntryInfo *entries = package_index_read(package, &count);
    if (!entries) return false;
    bool ok = true;
    for (uint32_t i = 0; i < count; i++) {
        uint32_t size = 0;
        // By name, as the player reads it: of duplicated names the first entry is the one written.
        uint8_t *data = package_read_entry(package, entries[i].name, &size);
        if (!data) {
            std::fprintf(stderr, "Error: entry %s is damaged\n", entries[i].name);
            ok = false;
            continue;
        }
        if (!export_one(entries[i].name, data, size, prefix)) ok = false;
        std::free(data);
    }
    std::free(entries);
    return ok;
}

bool package_export(const EntryNode *list, FILE *package, const char *prefix) {
    bool ok = true;
    for (const EntryNode *node = list; node && node->name; node = node->next) {
        uint32_t size = 0;
        uint8_t *data = node_data(node, package, &size);
        if (!data || !export_one(node->name, data, size, prefix)) ok = false;
        std::free(data);
    }
    return ok;
}

} // namespace resources
