#include "resources/file_util.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace resources {

uint8_t *file_read_all(const char *path, uint32_t *out_size, uint32_t max_size) {
    FILE *f = std::fopen(path, "rb");
    if (!f) return nullptr;
    uint8_t *data = nullptr;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) length = std::ftell(f);
    if (length >= 0 && static_cast<unsigned long>(length) <= max_size && std::fseek(f, 0, SEEK_SET) == 0) {
        // One spare byte so an empty file still gives a non-null block.
        data = static_cast<uint8_t *>(std::malloc(static_cast<size_t>(length) + 1));
        if (data && std::fread(data, 1, static_cast<size_t>(length), f) != static_cast<size_t>(length)) {
            std::free(data);
            data = nullptr;
        }
    }
    std::fclose(f);
    if (data) *out_size = static_cast<uint32_t>(length);
    return data;
}

FILE *file_create_private(const char *path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path(), ec);
    FILE *f = std::fopen(path, "wb");
    if (!f) return nullptr;
    // Tighten before any byte is written, so the data never sits in a readable file.
    fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
    return f;
}

bool file_name_is_contained(const char *name) {
    if (!name || !name[0]) return false;
    if (name[0] == '/' || std::strchr(name, '\\') || std::strchr(name, ':')) return false;
    const char *part = name;
    while (*part) {
        const char *end = std::strchr(part, '/');
        size_t len = end ? static_cast<size_t>(end - part) : std::strlen(part);
        if (len == 2 && part[0] == '.' && part[1] == '.') return false;
        if (!end) break;
        part = end + 1;
    }
    return true;
}

FILE *file_open_regular(const char *path) {
    std::error_code ec;
    if (!path || !std::filesystem::is_regular_file(path, ec)) return nullptr;
    return std::fopen(path, "rb");
}

uint8_t *file_read_regular(const char *path, uint32_t *out_size, uint32_t max_size) {
    FILE *f = file_open_regular(path);
    if (!f) return nullptr;
    std::fclose(f);
    return file_read_all(path, out_size, max_size);
}

} // namespace resources
