// bvtool names: a demo folder's documents rewritten in place between references by number and
// references by name (the rewriting itself is the analysis library's).
#include "tools/bvtool.h"

#include "analysis/names_rewrite.h"
#include "resources/file_util.h"
#include "resources/packed.h"

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

struct NamesDocument {
    std::string path;
    analysis::NamesRewrite result;
    bool changed;
};

// Reads a whole regular file as text; false when it is missing, not a regular file, or too large.
bool read_document(const std::string &path, std::string *out) {
    uint32_t size = 0;
    uint8_t *data = resources::file_read_regular(path.c_str(), &size, resources::kPackedMaxLength);
    if (!data) return false;
    out->assign(reinterpret_cast<const char *>(data), size);
    std::free(data);
    return true;
}

} // namespace

int tool_names(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool names DIR --to names|numbers\n"
            "Rewrites the documents of a demo folder (demo.xml and loading.xml) in place, every other byte\n"
            "kept (layout, comments, attribute order).\n"
            "  --to numbers  every @name reference becomes the number of the record it names; the records\n"
            "                keep their name=\"...\".\n"
            "  --to names    every record a numeric reference points to is given a name when it has\n"
            "                none (from the comment on the line before it when that comment is about it\n"
            "                alone, else from its file, else from the texture a slot holds, else its kind\n"
            "                and number: function_12), lower case, words joined by _, unique within its\n"
            "                section; then every reference written as the plain number of a record (not\n"
            "                0 where it means none, nor texts such as \"07\" or \" 7\") becomes @name.\n"
            "Either way bvtool build makes the same package of the folder as before. A document that is not\n"
            "well-formed, or names a record no record or more than one is called, is reported\n"
            "(FILE:LINE: message) and nothing is written.\n"
            "Exit status: 0 rewritten (or nothing to do), 1 findings, 2 the folder or its documents cannot\n"
            "be read or written.");
        return 0;
    }
    const char *folder = nullptr, *form = nullptr;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--to") == 0 && i + 1 < argc)
            form = argv[++i];
        else if (argv[i][0] != '-' && !folder)
            folder = argv[i];
        else {
            tool_fail("names: bad arguments (see bvtool names --help)");
            return 2;
        }
    }
    if (!folder || !form) {
        tool_fail("names: expected a demo folder and --to names|numbers (see bvtool names --help)");
        return 2;
    }
    analysis::NamesForm to;
    if (std::strcmp(form, "names") == 0)
        to = analysis::NAMES_TO_NAMES;
    else if (std::strcmp(form, "numbers") == 0)
        to = analysis::NAMES_TO_NUMBERS;
    else {
        tool_fail("names: --to takes names or numbers, not \"%s\"", form);
        return 2;
    }
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        tool_fail("names: %s is not a folder", folder);
        return 2;
    }
    std::vector<NamesDocument> documents;
    std::vector<analysis::Finding> findings;
    for (const char *name : {"demo.xml", "loading.xml"}) {
        NamesDocument d = {(fs::path(folder) / name).string(), {}, false};
        std::string text;
        if (!read_document(d.path, &text)) {
            if (fs::exists(d.path, ec) || std::strcmp(name, "demo.xml") == 0) {
                tool_fail("names: %s cannot be read", d.path.c_str());
                return 2;
            }
            continue;
        }
        if (!analysis::names_rewrite(name, text, to, &d.result, &findings)) continue;
        d.changed = d.result.text != text;
        documents.push_back(d);
    }
    if (!findings.empty()) {
        analysis::findings_sort(&findings);
        for (const analysis::Finding &f : findings)
            std::fprintf(stderr, "%s\n", analysis::finding_format(f).c_str());
        tool_fail("names: nothing was rewritten");
        return 1;
    }
    for (const NamesDocument &d : documents) {
        if (!d.changed) continue;
        fs::perms mode = fs::status(d.path, ec).permissions();
        const std::string &text = d.result.text;
        if (!tool_write_whole(d.path.c_str(), reinterpret_cast<const uint8_t *>(text.data()),
                              static_cast<uint32_t>(text.size()))) {
            tool_fail("names: %s was not written", d.path.c_str());
            return 2;
        }
        if (!ec) fs::permissions(d.path, mode, ec);
    }
    for (const NamesDocument &d : documents) {
        std::string file = fs::path(d.path).filename().string();
        if (to == analysis::NAMES_TO_NAMES)
            std::printf("%s: %d records named, %d references written as names\n", file.c_str(),
                        d.result.named, d.result.references);
        else
            std::printf("%s: %d references written as numbers\n", file.c_str(), d.result.references);
    }
    return 0;
}

} // namespace tools
