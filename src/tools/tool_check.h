// bvtool check: the analysis of a demo's documents (src/analysis) run over a demo folder or a
// package, with the files, the music and this machine's GLSL compiler handed to it; reported like a
// compiler ("demo.xml:123: material 7: ..."). bvtool preview runs the document rules on every reload.
#pragma once

#include "analysis/analysis.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace music {
struct MusicStream;
}

namespace tools {

using CheckFinding = analysis::Finding;

struct CheckReport {
    std::vector<CheckFinding> findings;
    bool glsl_compiled;  // the programs went through this machine's GL
    uint32_t records[2]; // records of the demo and the loading document (0 when missing)
};

// Where a demo comes from: a folder as bvtool build packs it, or a package file. Music is looked
// for beside the package, or in the folder, its music/ folder or the folder above (where the
// package is usually built).
struct CheckInput {
    std::string folder;   // "" for a package
    FILE *package;        // null for a folder
    std::string location; // the folder or the package's path, as given
    // Documents of a folder given as text in place of their files (an editor's unsaved text).
    std::map<std::string, std::string> overrides = {};
};

// Opens a demo folder or a package (its index read); false with *why when it is neither. Close
// with check_input_close.
bool check_input_open(const char *path, CheckInput *in, std::string *why);
void check_input_close(CheckInput *in);

// Reads an entry: a file of the folder (names that leave it are refused; a document in overrides
// is given as its text) or a package entry.
bool check_input_read(const CheckInput &in, const char *name, std::vector<uint8_t> *out);

// The source text of a document ("demo.xml" or "loading.xml"): the folder's file, or the package's
// compressed entry inflated. *file gets the name findings carry. False when it is missing; *damaged
// tells a package entry that does not inflate.
bool check_document_text(const CheckInput &in, const char *name, std::string *text, std::string *file,
                         bool *damaged);

// Runs the analysis of `scope` (analysis::CheckScope) over the demo and the loading document,
// appending to the report: the demo's findings first, by line. CHECK_GLSL needs a current GL
// context. The engine's log is detached while it runs.
void check_run(const CheckInput &in, uint8_t scope, CheckReport *report);

// "FILE:LINE: MESSAGE" (no line part when there is no line).
std::string check_format(const CheckFinding &f);

// Opens the music a document names where the player finds it (for a folder: the folder, its
// music/ or the folder above); *status says what was found. Close with music_stream_close.
music::MusicStream *check_music_open(const CheckInput &in, const char *file, analysis::MusicStatus *status);

// The host the analysis is given for an input: files, music, and GL's compiler when `glsl`.
analysis::AnalysisHost check_host(const CheckInput &in, bool glsl);

} // namespace tools
