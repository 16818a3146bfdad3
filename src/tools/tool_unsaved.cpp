#include "tools/tool_unsaved.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace tools {

namespace fs = std::filesystem;

std::string tool_unsaved_dir(const std::string &folder) {
    std::error_code ec;
    fs::path absolute = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec) return "";
    // FNV-1a of the folder's path: a name per folder that needs no escaping.
    uint64_t h = 1469598103934665603ull;
    for (char c : absolute.generic_string()) {
        h ^= uint8_t(c);
        h *= 1099511628211ull;
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(h));
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    fs::path base = runtime && runtime[0] ? fs::path(runtime) : fs::temp_directory_path(ec);
    if (ec) return "";
    return (base / "bvtool-unsaved" / key).string();
}

void tool_unsaved_put(const std::string &folder, const std::string &file, const std::string *text) {
    std::string dir = tool_unsaved_dir(folder);
    if (dir.empty()) return;
    std::error_code ec;
    fs::path path = fs::path(dir) / file;
    if (!text) {
        fs::remove(path, ec);
        return;
    }
    fs::create_directories(dir, ec);
    fs::path temp = path;
    temp += ".partial";
    FILE *f = std::fopen(temp.string().c_str(), "wb");
    if (!f) return;
    bool ok = std::fwrite(text->data(), 1, text->size(), f) == text->size();
    ok = std::fclose(f) == 0 && ok;
    if (ok) fs::rename(temp, path, ec);
    if (!ok || ec) fs::remove(temp, ec);
}

bool tool_unsaved_get(const std::string &folder, const std::string &file, std::string *text) {
    std::string dir = tool_unsaved_dir(folder);
    if (dir.empty()) return false;
    FILE *f = std::fopen((fs::path(dir) / file).string().c_str(), "rb");
    if (!f) return false;
    text->clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text->append(buf, n);
    std::fclose(f);
    return true;
}

} // namespace tools
