// bvtool build: a demo's source folder made into the package the player reads: the two documents
// compressed (names resolved) and the files they name, nothing else.
#include "tools/bvtool.h"
#include "tools/tool_build.h"

#include "analysis/analysis.h"
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

struct Folder {
    std::string base;
};

bool folder_read(void *user, const char *name, std::vector<uint8_t> *out) {
    const Folder &f = *static_cast<const Folder *>(user);
    out->clear();
    if (!resources::file_name_is_contained(name)) return false;
    std::string path = f.base + "/" + name;
    FILE *file = resources::file_open_regular(path.c_str());
    if (!file) return false;
    std::fclose(file);
    uint32_t size = 0;
    uint8_t *data = resources::file_read_all(path.c_str(), &size, resources::kPackedMaxLength);
    if (!data) return false;
    out->assign(data, data + size);
    std::free(data);
    return true;
}

} // namespace

bool tool_folder_package(const char *folder, FolderPackage *out, std::string *error,
                         const std::map<std::string, std::string> *overrides) {
    *out = FolderPackage{};
    fs::path src = folder;
    std::error_code ec;
    if (!fs::is_directory(src, ec)) {
        *error = std::string(folder) + " is not a folder";
        return false;
    }
    std::vector<std::string> files;
    for (fs::recursive_directory_iterator it(src, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) files.push_back(fs::relative(it->path(), src, ec).generic_string());
    if (ec) {
        *error = std::string("cannot read ") + folder;
        return false;
    }
    Folder f = {src.string()};
    analysis::AnalysisHost host = {};
    host.user = &f;
    host.read = folder_read;
    // name in the package -> its bytes
    std::vector<std::pair<std::string, std::vector<uint8_t>>> entries;
    std::vector<std::string> named;
    for (const char *document : {"demo.xml", "loading.xml"}) {
        std::vector<uint8_t> raw;
        auto given =
            overrides ? overrides->find(document) : std::map<std::string, std::string>::const_iterator();
        if (overrides && given != overrides->end())
            raw.assign(given->second.begin(), given->second.end());
        else if (!folder_read(&f, document, &raw)) {
            if (std::strcmp(document, "demo.xml") == 0) {
                *error = std::string(folder) + " has no demo.xml";
                return false;
            }
            continue;
        }
        analysis::AnalysisDocument doc = {document, reinterpret_cast<const char *>(raw.data()), raw.size(),
                                          std::strcmp(document, "demo.xml") == 0};
        std::string text;
        if (!analysis::analysis_package_text(doc, &text, &out->findings)) {
            *error = std::string(document) + " names records that do not resolve";
            return false;
        }
        uint32_t packed_size = 0;
        uint8_t *packed = resources::packed_compress(reinterpret_cast<const uint8_t *>(text.data()),
                                                     uint32_t(text.size()), &packed_size);
        if (!packed) {
            *error = std::string("cannot compress ") + document;
            return false;
        }
        entries.push_back({std::string(document) + "z", std::vector<uint8_t>(packed, packed + packed_size)});
        std::free(packed);
        analysis::analysis_named_files(doc, host, &named);
    }
    for (const std::string &name : named) {
        std::vector<uint8_t> bytes;
        if (!folder_read(&f, name.c_str(), &bytes)) {
            out->missing.push_back(name);
            continue;
        }
        entries.push_back({name, std::move(bytes)});
    }
    std::sort(entries.begin(), entries.end(),
              [](const std::pair<std::string, std::vector<uint8_t>> &a,
                 const std::pair<std::string, std::vector<uint8_t>> &b) { return a.first < b.first; });
    std::sort(files.begin(), files.end());
    for (const std::string &file : files) {
        bool packed = file == "demo.xml" || file == "loading.xml";
        for (const auto &e : entries)
            packed = packed || e.first == file;
        if (!packed) out->left_out.push_back(file);
    }
    for (const auto &e : entries)
        if (e.first.empty() || e.first.size() >= resources::kPackageNameSize) {
            *error = "entry name \"" + e.first + "\" must be 1 to 31 bytes long";
            return false;
        }
    uint64_t data_start = resources::kPackageHeaderSize +
                          uint64_t(entries.size()) * resources::kPackageEntrySize +
                          resources::kPackageTerminatorSize;
    std::vector<uint8_t> &bytes = out->bytes;
    bytes.assign(data_start, 0);
    std::memcpy(bytes.data(), resources::kPackageHeader, resources::kPackageHeaderSize);
    for (size_t i = 0; i < entries.size(); i++) {
        const std::string &name = entries[i].first;
        const std::vector<uint8_t> &data = entries[i].second;
        uint64_t first = bytes.size();
        if (first + data.size() > 0xFFFFFFFFull) {
            *error = "the package would exceed 4 GiB";
            return false;
        }
        uint8_t *index = bytes.data() + resources::kPackageHeaderSize + i * resources::kPackageEntrySize;
        std::memcpy(index, name.data(), name.size());
        store_u32be(index + 32, static_cast<uint32_t>(first));
        store_u32be(index + 36, static_cast<uint32_t>(first + data.size() - 1));
        bytes.insert(bytes.end(), data.begin(), data.end());
    }
    out->entries = static_cast<int>(entries.size());
    return true;
}

int tool_build(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool build SRCDIR OUT.dpk\n"
            "Packs what the player reads of a demo folder: demo.xml and loading.xml, compressed and stored "
            "as\n"
            "demo.xmlz and loading.xmlz (every @name replaced by the number it names and records' names "
            "left\n"
            "out; each line stays where it was), and every file they name (models, bitmaps with their "
            "premade\n"
            "mip levels, cube-map faces). The music is not packed: the player reads it from beside the\n"
            "package. Files the player does not read are listed in one line and left out.\n"
            "Exit status: 0 packed; 1 a file the documents name is missing, or a name is unknown; 2 the\n"
            "folder cannot be read or the package not written.");
        return 0;
    }
    if (argc != 3) {
        tool_fail("build: expected SRCDIR and OUT.dpk (see bvtool build --help)");
        return 2;
    }
    FolderPackage package;
    std::string error;
    if (!tool_folder_package(argv[1], &package, &error)) {
        for (const analysis::Finding &f : package.findings)
            std::fprintf(stderr, "%s\n", analysis::finding_format(f).c_str());
        tool_fail("build: %s", error.c_str());
        return package.findings.empty() ? 2 : 1;
    }
    if (!package.missing.empty()) {
        std::string list;
        for (const std::string &m : package.missing)
            list += (list.empty() ? "" : ", ") + m;
        tool_fail("build: %s names files that %s does not hold: %s", "the demo", argv[1], list.c_str());
        return 1;
    }
    if (!tool_write_whole(argv[2], package.bytes.data(), static_cast<uint32_t>(package.bytes.size()))) {
        tool_fail("build: %s was not written", argv[2]);
        return 2;
    }
    std::printf("%d entries packed into %s\n", package.entries, argv[2]);
    if (!package.left_out.empty()) {
        std::string list;
        for (const std::string &l : package.left_out)
            list += (list.empty() ? "" : ", ") + l;
        std::printf("left out (the player does not read them): %s\n", list.c_str());
    }
    return 0;
}

} // namespace tools
