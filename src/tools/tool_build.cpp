// bvtool build: a demo's source folder made into a package: every .xml document compressed into
// .xmlz, every other file stored as it is.
#include "tools/bvtool.h"

#include "resources/file_util.h"
#include "resources/package.h"
#include "resources/packed.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace tools {

namespace fs = std::filesystem;

int tool_build(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts("usage: bvtool build SRCDIR OUT.dpk\n"
                  "Packs every file below SRCDIR (entry names are paths relative to it, in name order):\n"
                  "each NAME.xml is compressed and stored as NAME.xmlz, every other file as it is.");
        return 0;
    }
    if (argc != 3) return tool_fail("build: expected SRCDIR and OUT.dpk (see bvtool build --help)");
    fs::path src = argv[1];
    std::error_code ec;
    if (!fs::is_directory(src, ec)) return tool_fail("build: %s is not a folder", argv[1]);
    std::vector<std::string> names;
    for (fs::recursive_directory_iterator it(src, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) names.push_back(fs::relative(it->path(), src, ec).generic_string());
    if (ec) return tool_fail("build: cannot read %s", argv[1]);
    std::sort(names.begin(), names.end());

    // Compressed documents are staged in a new folder beside the output, removed afterwards; a
    // folder already there is never touched.
    fs::path staging;
    for (int n = 0; n < 1000 && staging.empty(); n++) {
        fs::path candidate = std::string(argv[2]) + ".staging" + (n ? std::to_string(n) : "");
        if (fs::create_directory(candidate, ec)) staging = candidate;
    }
    if (staging.empty()) {
        return tool_fail("build: cannot make a staging folder beside %s", argv[2]);
    }
    std::string src_dir = src.string() + "/", staging_dir = staging.string() + "/";
    resources::EntryNode *list = resources::entry_list_new();
    int status = 0;
    for (const std::string &name : names) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xml") != 0) {
            resources::entry_list_append(list, name.c_str(), src_dir.c_str());
            continue;
        }
        uint32_t size = 0;
        uint8_t *text =
            resources::file_read_all((src_dir + name).c_str(), &size, resources::kPackedMaxLength);
        uint32_t packed_size = 0;
        uint8_t *packed = text ? resources::packed_compress(text, size, &packed_size) : nullptr;
        std::free(text);
        std::string packed_name = name + "z";
        fs::create_directories((staging / packed_name).parent_path(), ec);
        bool ok = packed && tool_write_whole((staging_dir + packed_name).c_str(), packed, packed_size);
        std::free(packed);
        if (!ok) {
            status = tool_fail("build: cannot compress %s", name.c_str());
            break;
        }
        resources::entry_list_append(list, packed_name.c_str(), staging_dir.c_str());
    }
    if (status == 0 && !resources::package_write(list, argv[2], nullptr))
        status = tool_fail("build: %s was not written", argv[2]);
    if (status == 0) std::printf("%d entries packed into %s\n", resources::entry_list_count(list), argv[2]);
    resources::entry_list_free(list);
    fs::remove_all(staging, ec);
    return status;
}

} // namespace tools
