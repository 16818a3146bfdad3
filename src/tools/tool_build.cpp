// bvtool build: a demo's source folder made into the package the player reads: the two documents
// compressed (names resolved) and the files they name, nothing else.
#include "tools/bvtool.h"
#include "tools/tool_build.h"
#include "tools/tool_check.h"

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

bool folder_read(void *user, const char *name, std::vector<uint8_t> *out) {
    return check_input_read(*static_cast<const CheckInput *>(user), name, out);
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
    CheckInput f = {src.string(), nullptr, src.string()};
    if (overrides) f.overrides = *overrides;
    analysis::AnalysisHost host = {};
    host.user = &f;
    host.read = folder_read;
    analysis::BuildReport report;
    if (!analysis::analysis_build(host, &out->bytes, &report)) {
        out->findings = report.findings;
        *error =
            report.error == "there is no demo.xml" ? std::string(folder) + " has no demo.xml" : report.error;
        return false;
    }
    out->entries = report.entries;
    out->missing = report.missing;
    std::sort(files.begin(), files.end());
    for (const std::string &file : files)
        if (file != "demo.xml" && file != "loading.xml" &&
            std::find(report.packed.begin(), report.packed.end(), file) == report.packed.end())
            out->left_out.push_back(file);
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
