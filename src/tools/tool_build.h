// Packing a demo folder, shared by bvtool build (to a file), bvtool preview (in memory) and the
// commands that take a folder where they take a package.
#pragma once

#include "analysis/finding.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tools {

struct FolderPackage {
    std::vector<uint8_t> bytes;        // the package
    int entries;                       // entries in it
    std::vector<std::string> missing;  // files the documents name that the folder does not hold
    std::vector<std::string> left_out; // files of the folder the player does not read (the music among them)
    std::vector<analysis::Finding> findings; // names that do not resolve, when that is why it failed
};

// Makes the package of a folder in memory with what the player reads of it: demo.xml and
// loading.xml compressed as demo.xmlz and loading.xmlz (names resolved to numbers, records' names
// left out, every line where it was), and every file they name (models, bitmaps with the premade mip
// levels that exist, cube-map faces), in name order. False with *error set when the folder cannot be
// read, demo.xml is missing, a name in a document is unknown or ambiguous (out->findings says where),
// or an entry name does not fit the index.
// Documents in `overrides` (by name) are taken as given instead of from their files.
bool tool_folder_package(const char *folder, FolderPackage *out, std::string *error,
                         const std::map<std::string, std::string> *overrides = nullptr);

} // namespace tools
