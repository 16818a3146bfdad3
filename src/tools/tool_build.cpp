// bvtool build: a demo's source folder made into a package: every .xml document compressed into
// .xmlz, every other file stored as it is. bvtool preview packs the same way, in memory.
#include "tools/bvtool.h"
#include "tools/tool_build.h"

#include "resources/file_util.h"
#include "resources/package.h"
#include "resources/packed.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace tools {

namespace fs = std::filesystem;

namespace {

void store_u32be(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

bool ends_with(const std::string &s, const char *tail) {
    size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

} // namespace

bool tool_folder_package(const char *folder, std::vector<uint8_t> *out, std::string *error,
                         int *entry_count) {
    out->clear();
    fs::path src = folder;
    std::error_code ec;
    if (!fs::is_directory(src, ec)) {
        *error = std::string(folder) + " is not a folder";
        return false;
    }
    std::vector<std::string> names;
    for (fs::recursive_directory_iterator it(src, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) names.push_back(fs::relative(it->path(), src, ec).generic_string());
    if (ec) {
        *error = std::string("cannot read ") + folder;
        return false;
    }
    std::sort(names.begin(), names.end());
    // A document NAME.xml is packed as NAME.xmlz; a stale NAME.xmlz beside it would shadow nothing
    // and only confuse, so it is left out.
    std::vector<std::string> entries;
    for (const std::string &name : names) {
        std::string entry = ends_with(name, ".xml") ? name + "z" : name;
        if (ends_with(name, ".xmlz") &&
            std::binary_search(names.begin(), names.end(), name.substr(0, name.size() - 1)))
            continue;
        if (entry.empty() || entry.size() >= resources::kPackageNameSize) {
            *error = "entry name \"" + entry + "\" must be 1 to 31 bytes long";
            return false;
        }
        entries.push_back(name);
    }
    uint64_t data_start = resources::kPackageHeaderSize +
                          uint64_t(entries.size()) * resources::kPackageEntrySize +
                          resources::kPackageTerminatorSize;
    out->assign(data_start, 0);
    std::memcpy(out->data(), resources::kPackageHeader, resources::kPackageHeaderSize);
    std::string base = src.string() + "/";
    for (size_t i = 0; i < entries.size(); i++) {
        const std::string &name = entries[i];
        uint32_t size = 0;
        uint8_t *data = resources::file_read_all((base + name).c_str(), &size, resources::kPackedMaxLength);
        if (!data) {
            *error = "cannot read " + name;
            return false;
        }
        std::string entry = name;
        if (ends_with(name, ".xml")) {
            uint32_t packed_size = 0;
            uint8_t *packed = resources::packed_compress(data, size, &packed_size);
            std::free(data);
            if (!packed) {
                *error = "cannot compress " + name;
                return false;
            }
            data = packed;
            size = packed_size;
            entry += "z";
        }
        uint64_t first = out->size();
        if (first + size > 0xFFFFFFFFull) {
            std::free(data);
            *error = "the package would exceed 4 GiB";
            return false;
        }
        uint8_t *index = out->data() + resources::kPackageHeaderSize + i * resources::kPackageEntrySize;
        std::memcpy(index, entry.data(), entry.size());
        store_u32be(index + 32, static_cast<uint32_t>(first));
        store_u32be(index + 36, static_cast<uint32_t>(first + size - 1));
        out->insert(out->end(), data, data + size);
        std::free(data);
    }
    if (entry_count) *entry_count = static_cast<int>(entries.size());
    return true;
}

int tool_build(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts("usage: bvtool build SRCDIR OUT.dpk\n"
                  "Packs every file below SRCDIR (entry names are paths relative to it, in name order):\n"
                  "each NAME.xml is compressed and stored as NAME.xmlz, every other file as it is.");
        return 0;
    }
    if (argc != 3) return tool_fail("build: expected SRCDIR and OUT.dpk (see bvtool build --help)");
    std::vector<uint8_t> package;
    std::string error;
    int count = 0;
    if (!tool_folder_package(argv[1], &package, &error, &count)) return tool_fail("build: %s", error.c_str());
    if (!tool_write_whole(argv[2], package.data(), static_cast<uint32_t>(package.size())))
        return tool_fail("build: %s was not written", argv[2]);
    std::printf("%d entries packed into %s\n", count, argv[2]);
    return 0;
}

} // namespace tools
