// bvtool web: a folder that any static web server serves as it is: the player page, frame.html and
// the studio with their scripts and wasm, the package, its music, the demo folder's own files when
// it was given one (for the studio) and the manifest that names them.
#include "tools/bvtool.h"
#include "tools/tool_build.h"

#include "analysis/finding.h"
#include "player/platform/platform.h"
#include "resources/file_util.h"

#include "music/music_stream.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <filesystem>
#include <string>
#include <system_error>

#ifndef BV_WEB_PAGES_DEFAULT
#define BV_WEB_PAGES_DEFAULT "build-web"
#endif

namespace tools {

namespace fs = std::filesystem;

namespace {

constexpr const char *kPageFiles[] = {"index.html",        "index.js",         "index.wasm",
                                      "frame.html",        "frame.js",         "frame.wasm",
                                      "studio.html",       "studio.js",        "studio_frame.js",
                                      "studio_frame.wasm", "studio_worker.js", "studio_worker.wasm"};
static_assert(sizeof kPageFiles / sizeof kPageFiles[0] == 12,
              "the player and frame pages with their scripts and wasm, and the studio with its two programs");

// Where a demo folder's own files go, for the studio to open.
constexpr const char *kSourceFolder = "source";

std::string json_string(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// A name the page may fetch beside itself: relative, and never above its folder.
bool stays_in_folder(const std::string &name) {
    fs::path p(name);
    if (name.empty() || p.is_absolute() || p.has_root_name()) return false;
    for (const fs::path &part : p)
        if (part == "..") return false;
    return true;
}

bool copy_into(const fs::path &from, const fs::path &to) {
    std::error_code ec;
    if (to.has_parent_path()) fs::create_directories(to.parent_path(), ec);
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec) && !ec;
}

int usage() {
    std::fputs(
        "usage: bvtool web PKG|DIR OUTDIR [--pages DIR] [--name NAME]\n"
        "  Writes OUTDIR/ for a static web server: index.html (the player), frame.html, studio.html\n"
        "  (the editor), their scripts and wasm (from DIR, the web build: " BV_WEB_PAGES_DEFAULT " unless\n"
        "  given), the package (a demo folder is packed as bvtool build packs it, into FOLDER.dpk or\n"
        "  NAME.dpk), the music file its document names (from beside the package or its music/\n"
        "  folder; for a folder, from the folder, its music/ or the folder above), for a folder its\n"
        "  own files in OUTDIR/source/ (what the studio opens; given a package, the studio opens the\n"
        "  package's documents) and manifest.json, which names the package, the music and those files.\n",
        stdout);
    return 0;
}

} // namespace

int tool_web(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) return usage();
    const char *pages = BV_WEB_PAGES_DEFAULT;
    std::string name_given;
    const char *positional[2] = {nullptr, nullptr};
    int count = 0;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--pages") == 0 && i + 1 < argc)
            pages = argv[++i];
        else if (std::strcmp(argv[i], "--name") == 0 && i + 1 < argc)
            name_given = argv[++i];
        else if (argv[i][0] == '-' || count == 2)
            return tool_fail("web: unexpected argument \"%s\" (bvtool web --help)", argv[i]);
        else
            positional[count++] = argv[i];
    }
    if (count != 2) return tool_fail("web: needs PKG and OUTDIR (bvtool web --help)");
    fs::path package = positional[0], out = positional[1];
    std::error_code ec;
    for (const char *name : kPageFiles)
        if (!fs::is_regular_file(fs::path(pages) / name, ec))
            return tool_fail("web: %s/%s is missing: build the web pages first (scripts/build-web.sh)", pages,
                             name);
    // A demo folder is packed as bvtool build packs it (names resolved) into FOLDER.dpk; the music is
    // looked for where the player and check look: beside the package, or in the folder, its music/
    // or the folder above.
    bool folder = fs::is_directory(package, ec);
    std::vector<uint8_t> bytes;
    std::vector<fs::path> music_folders;
    std::string package_name;
    if (folder) {
        FolderPackage packed;
        std::string error;
        if (!tool_folder_package(positional[0], &packed, &error)) {
            for (const analysis::Finding &f : packed.findings)
                std::fprintf(stderr, "%s\n", analysis::finding_format(f).c_str());
            return tool_fail("web: %s", error.c_str());
        }
        bytes = std::move(packed.bytes);
        fs::path absolute = fs::absolute(package, ec).lexically_normal();
        package_name =
            (absolute.filename().empty() ? absolute.parent_path().filename() : absolute.filename()).string() +
            ".dpk";
        if (!name_given.empty()) {
            package_name = name_given + ".dpk";
            if (name_given.find_first_of("/\\") != std::string::npos || package_name.size() > 255)
                return tool_fail("web: --name takes a plain file name without its .dpk");
        }
        music_folders = {package, (package / "..").lexically_normal()};
    } else {
        if (!fs::is_regular_file(package, ec))
            return tool_fail("web: %s is not a package file or a demo folder", positional[0]);
        // The player finds the package by its name ending; the page's manifest names it.
        package_name = package.filename().string();
        if (package_name.size() < 3 || package_name.compare(package_name.size() - 3, 3, "dpk") != 0)
            return tool_fail("web: %s: the player only finds packages whose name ends in \"dpk\"",
                             positional[0]);
        uint32_t size = 0;
        uint8_t *data = resources::file_read_all(package.string().c_str(), &size, 0xFFFFFFFFu);
        if (!data) return tool_fail("web: cannot read %s", positional[0]);
        bytes.assign(data, data + size);
        std::free(data);
        music_folders = {package.has_parent_path() ? package.parent_path() : fs::path(".")};
    }
    FILE *f = player::platform_memory_file(bytes.data(), bytes.size());
    if (!f) return tool_fail("web: cannot read %s", positional[0]);
    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(f, "demo.xmlz", &status);
    std::fclose(f);
    if (!document)
        return tool_fail("web: %s: demo.xmlz is %s", positional[0],
                         status == scene::DOCUMENT_MISSING ? "missing" : "damaged");
    uint32_t offset = 0;
    const char *named =
        music::music_element_file(scene::scene_document_section(document, scene::kMusicSection), &offset);
    std::string music = named ? named : "";
    resources::xml_free(document);

    fs::create_directories(out, ec);
    if (!fs::is_directory(out, ec)) return tool_fail("web: cannot make %s", positional[1]);
    for (const char *name : kPageFiles)
        if (!copy_into(fs::path(pages) / name, out / name))
            return tool_fail("web: cannot write %s/%s", positional[1], name);
    std::string package_path = (out / package_name).string();
    if (!tool_write_whole(package_path.c_str(), bytes.data(), uint32_t(bytes.size())))
        return tool_fail("web: cannot write %s", package_path.c_str());

    if (!music.empty()) {
        fs::path from;
        for (const fs::path &place : music_folders)
            for (const fs::path &candidate : {place / music, place / "music" / music})
                if (from.empty() && fs::is_regular_file(candidate, ec)) from = candidate;
        if (!stays_in_folder(music))
            std::fprintf(
                stderr,
                "bvtool: web: the music file \"%s\" would lie outside %s; the page plays without music\n",
                music.c_str(), positional[1]);
        else if (from.empty())
            std::fprintf(stderr, "bvtool: web: %s is not beside %s; the page plays without music\n",
                         music.c_str(), positional[0]);
        else if (!copy_into(from, out / music))
            return tool_fail("web: cannot write %s/%s", positional[1], music.c_str());
    }

    // A folder's own files, for the studio: every regular file but hidden ones, as they are.
    std::vector<std::string> sources;
    if (folder) {
        fs::path into = out / kSourceFolder;
        fs::remove_all(into, ec);
        for (fs::recursive_directory_iterator it(package, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = fs::relative(it->path(), package, ec).generic_string();
            if (name.empty() || name[0] == '.' || name.find("/.") != std::string::npos) {
                if (it->is_directory(ec)) it.disable_recursion_pending();
                continue;
            }
            if (!it->is_regular_file(ec)) continue;
            if (!copy_into(it->path(), into / name))
                return tool_fail("web: cannot write %s/%s/%s", positional[1], kSourceFolder, name.c_str());
            sources.push_back(name);
        }
        std::sort(sources.begin(), sources.end());
    }

    std::string manifest = "{\"package\": " + json_string(package_name);
    if (!music.empty() && stays_in_folder(music) && fs::is_regular_file(out / music, ec))
        manifest += ", \"music\": " + json_string(music);
    if (folder) {
        manifest += ", \"sources\": {\"folder\": " + json_string(kSourceFolder) + ", \"files\": [";
        for (size_t i = 0; i < sources.size(); i++)
            manifest += (i ? ", " : "") + json_string(sources[i]);
        manifest += "]}";
    }
    manifest += "}\n";
    std::string manifest_path = (out / "manifest.json").string();
    if (!tool_write_whole(manifest_path.c_str(), reinterpret_cast<const uint8_t *>(manifest.data()),
                          uint32_t(manifest.size())))
        return tool_fail("web: cannot write %s", manifest_path.c_str());
    std::printf("%s: index.html plays %s%s%s\n", positional[1], package_name.c_str(),
                music.empty() ? "" : " with ", music.c_str());
    return 0;
}

} // namespace tools
