// Finding the demo's package in the working directory.
#pragma once

#include <string>

namespace player {

// The name of the first directory entry (in the order the directory listing returns them) whose
// name ends in the three bytes "dpk", or an empty string when there is none.
std::string package_scan(const char *directory);

} // namespace player
