// Packing a demo folder, shared by bvtool build (to a file) and bvtool preview (in memory).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// Makes the package of a folder in memory: every file below it by its relative path, in name
// order, each NAME.xml compressed into NAME.xmlz (a NAME.xmlz beside a NAME.xml is left out).
// False with *error set when the folder cannot be read or a name does not fit the index.
bool tool_folder_package(const char *folder, std::vector<uint8_t> *out, std::string *error, int *entry_count);

} // namespace tools
