// bvtool pack, list, extract, compress and decompress.
#include "tools/bvtool.h"

#include "resources/file_util.h"
#include "resources/package.h"
#include "resources/packed.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace tools {

using namespace resources;

int tool_pack(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts("usage: bvtool pack OUT.dpk [-C DIR] NAME...\n"
                  "Stores each file DIR/NAME (DIR defaults to the current folder) as the entry NAME,\n"
                  "in the order given. NAME may hold a relative path; it must be 1 to 31 bytes long.");
        return 0;
    }
    if (argc < 2) return tool_fail("pack: missing output package (see bvtool pack --help)");
    const char *out_path = argv[1];
    std::string dir = "./";
    EntryNode *list = entry_list_new();
    for (int i = 2; i < argc; i++) {
        if (std::strcmp(argv[i], "-C") == 0) {
            if (i + 1 >= argc) {
                entry_list_free(list);
                return tool_fail("pack: -C needs a folder");
            }
            dir = argv[++i];
            if (dir.empty() || dir.back() != '/') dir += '/';
            continue;
        }
        entry_list_append(list, argv[i], dir.c_str());
    }
    bool ok = package_write(list, out_path, nullptr);
    entry_list_free(list);
    return ok ? 0 : tool_fail("pack: %s was not written", out_path);
}

int tool_list(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool list PKG\nPrints one line per entry in index order: name, a tab, size in bytes.");
        return 0;
    }
    if (argc != 2) return tool_fail("list: expected one package (see bvtool list --help)");
    FILE *pkg = std::fopen(argv[1], "rb");
    if (!pkg) return tool_fail("list: cannot open %s", argv[1]);
    uint32_t count = 0;
    PackageEntryInfo *entries = package_index_read(pkg, &count);
    std::fclose(pkg);
    if (!entries) return tool_fail("list: %s has a damaged index", argv[1]);
    int status = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (entries[i].in_bounds) {
            std::printf("%s\t%u\n", entries[i].name, entries[i].size);
        } else {
            status = tool_fail("list: entry %s lies outside the file", entries[i].name);
        }
    }
    std::free(entries);
    return status;
}

int tool_extract(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts("usage: bvtool extract PKG DESTDIR [NAME...]\n"
                  "Writes every entry (or only the named ones) to DESTDIR/NAME, readable by the owner only.");
        return 0;
    }
    if (argc < 3) return tool_fail("extract: expected a package and a folder (see bvtool extract --help)");
    FILE *pkg = std::fopen(argv[1], "rb");
    if (!pkg) return tool_fail("extract: cannot open %s", argv[1]);
    std::string prefix = argv[2];
    if (prefix.back() != '/') prefix += '/';
    std::error_code ec;
    std::filesystem::create_directories(argv[2], ec);
    bool ok;
    if (argc == 3) {
        ok = package_extract_all(pkg, prefix.c_str());
    } else {
        EntryNode *list = entry_list_new();
        for (int i = 3; i < argc; i++)
            entry_list_append(list, argv[i], nullptr);
        ok = package_export(list, pkg, prefix.c_str());
        entry_list_free(list);
    }
    std::fclose(pkg);
    return ok ? 0 : tool_fail("extract: not every entry was written");
}

// Writes a whole block to path through a temporary file, so a failure leaves nothing behind.
int tool_compress(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts("usage: bvtool compress IN OUT\n"
                  "Writes IN as a u32 little-endian length followed by a zlib stream (level 9),\n"
                  "the form of scene documents and model files.");
        return 0;
    }
    if (argc != 3) return tool_fail("compress: expected IN and OUT (see bvtool compress --help)");
    uint32_t size = 0;
    uint8_t *data = file_read_all(argv[1], &size, kPackedMaxLength);
    if (!data)
        return tool_fail("compress: cannot read %s (or larger than %u bytes)", argv[1], kPackedMaxLength);
    uint32_t packed_size = 0;
    uint8_t *packed = packed_compress(data, size, &packed_size);
    std::free(data);
    bool ok = packed && tool_write_whole(argv[2], packed, packed_size);
    std::free(packed);
    return ok ? 0 : tool_fail("compress: cannot write %s", argv[2]);
}

int tool_decompress(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool decompress IN OUT\nUnpacks a length + zlib file (a scene document or model).");
        return 0;
    }
    if (argc != 3) return tool_fail("decompress: expected IN and OUT (see bvtool decompress --help)");
    uint32_t size = 0;
    uint8_t *packed = file_read_all(argv[1], &size);
    if (!packed) return tool_fail("decompress: cannot read %s", argv[1]);
    uint32_t length = 0;
    PackedStatus status;
    uint8_t *data = packed_inflate(packed, size, &length, &status);
    std::free(packed);
    if (!data) return tool_fail("decompress: %s is damaged (bad length word or zlib stream)", argv[1]);
    bool ok = tool_write_whole(argv[2], data, length);
    std::free(data);
    return ok ? 0 : tool_fail("decompress: cannot write %s", argv[2]);
}

} // namespace tools
