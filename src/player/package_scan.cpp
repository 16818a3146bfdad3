#include "player/package_scan.h"

#include <filesystem>
#include <system_error>

namespace player {

std::string package_scan(const char *directory) {
    std::error_code ec;
    std::filesystem::directory_iterator it(directory, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.size() >= 3 && name.compare(name.size() - 3, 3, "dpk") == 0) return name;
    }
    return std::string();
}

} // namespace player
