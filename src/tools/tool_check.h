// bvtool check: what the player would silently do with a demo that its author did not mean,
// found by reading the documents with the engine's own readers and tables, reported like a
// compiler ("demo.xml:123: material 7: ..."). bvtool preview runs the document rules on every
// reload.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tools {

struct CheckFinding {
    std::string file; // "demo.xml" for a folder, "demo.xmlz" for a package, or a file name
    int32_t line;     // 1-based, 0 when the finding has no line
    std::string message;
    bool structural; // the document cannot be read as meant at all (sections missing or shifted)
};

struct CheckReport {
    std::vector<CheckFinding> findings;
    bool glsl_compiled; // the programs went through this machine's GL
};

// Where a demo comes from: a folder as bvtool build packs it, or a package file. Music is looked
// for beside the package, or in the folder, its music/ folder and the folder above (where the
// package is usually built).
struct CheckInput {
    std::string folder;   // "" for a package
    FILE *package;        // null for a folder
    std::string location; // the folder or the package's path, as given
};

enum CheckScope : uint8_t {
    CHECK_DOCUMENTS = 1, // structure, records, references, kinds and values
    CHECK_FILES = 2,     // models, images and music decoded
    CHECK_GRAPH = 4,     // the texture graph run as the loader runs it
    CHECK_GLSL = 8,      // programs compiled and linked (needs a current GL context)
    CHECK_ALL = 15,
};

// Reads an entry: a file of the folder (names that leave it are refused) or a package entry.
bool check_input_read(const CheckInput &in, const char *name, std::vector<uint8_t> *out);

// Runs the rules of `scope` over demo and loading documents, appending to the report in file and
// line order. The engine's log is detached while it runs.
void check_run(const CheckInput &in, uint8_t scope, CheckReport *report);

// "FILE:LINE: MESSAGE" (no line part when there is no line).
std::string check_format(const CheckFinding &f);

} // namespace tools
