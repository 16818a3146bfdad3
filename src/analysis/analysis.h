// The analysis of a demo's scene documents that the authors' tools share (bvtool check, the
// preview's reload, the language server, the browser's studio): the documents read as the player
// reads them, every rule of what the player would do that their author did not mean, names resolved
// to numbers. No file system, GL or process inside: the caller hands in the documents' text, the
// files they name, what it found of the music and a GLSL compiler.
#pragma once

#include "analysis/finding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace analysis {

enum CheckScope : uint8_t {
    CHECK_DOCUMENTS = 1, // structure, records, references, kinds and values
    CHECK_FILES = 2,     // models, images and music decoded
    CHECK_GRAPH = 4,     // the texture graph run as the loader runs it
    CHECK_GLSL = 8,      // programs compiled and linked (through the host's compiler)
    CHECK_ALL = 15,
};

enum MusicStatus : uint8_t {
    MUSIC_FOUND = 0,
    MUSIC_NOT_FOUND,   // not where the player looks
    MUSIC_REFUSED,     // the name leaves the demo's folder: the player does not open it
    MUSIC_NOT_OGG,     // found, but not an Ogg file
    MUSIC_UNDECODABLE, // an Ogg file that is not Vorbis the player can decode
};

struct MusicInfo {
    MusicStatus status;
    uint32_t length_ms; // the decoded length when found
};

struct GlslResult {
    bool vertex_ok, fragment_ok, linked;
    std::string vertex_log, fragment_log, link_log; // the driver's words when a stage fails
};

// What the caller provides. Any function may be null: files are then not looked at, the music not
// looked for, programs not compiled (whatever the scope asks).
struct AnalysisHost {
    void *user;
    const char *container;   // where named files are looked for, for messages: "folder" or "package"
    const char *music_where; // where the music is looked for, for messages
    // Reads a file the document names; false when there is none.
    bool (*read)(void *user, const char *name, std::vector<uint8_t> *out);
    // Finds and measures the music the demo document names, as the player finds it.
    void (*music)(void *user, const char *file, MusicInfo *out);
    // Compiles both shaders and links them (texts with their lengths, not zero-terminated).
    void (*compile)(void *user, const char *vertex, uint32_t vertex_length, const char *fragment,
                    uint32_t fragment_length, GlslResult *out);
};

struct AnalysisDocument {
    const char *file; // the name findings carry ("demo.xml", or "demo.xmlz" in a package)
    const char *text; // the source as written (names included)
    size_t size;
    bool demo; // the demo document (its music is read), else the loading document
};

// Runs the rules of `scope` over one document, appending findings in source order. A document that
// is not well-formed XML gets only those findings: the rest would follow from them.
void analysis_check(const AnalysisDocument &doc, const AnalysisHost &host, uint8_t scope,
                    std::vector<Finding> *findings);

// The text a package holds for a source document: every "@name" replaced by the number it names
// and every record's "name" left out, each line kept where it was. False, with findings, when a
// name is unknown or ambiguous.
bool analysis_package_text(const AnalysisDocument &doc, std::string *out, std::vector<Finding> *findings);

// The package entries a document names, as its readers read them: model files, bitmaps with the
// premade mip levels that exist (asked of host.read), cube-map faces. The music is not one.
void analysis_named_files(const AnalysisDocument &doc, const AnalysisHost &host,
                          std::vector<std::string> *out);

} // namespace analysis

namespace analysis {

struct BuildReport {
    int32_t entries = 0;                // entries in the package
    std::vector<std::string> packed;    // their names, in package order
    std::vector<std::string> missing;   // files the documents name that host.read does not give
    std::vector<Finding> findings;      // names that do not resolve, when that is why it failed
    std::string error;                  // why it failed, in words
};

// The package bvtool build makes of a demo folder whose files host.read gives: demo.xml and
// loading.xml compressed as demo.xmlz and loading.xmlz (names resolved, records' names left out,
// every line where it was) and every file they name, in name order; never the music. False, with
// the report saying why, when demo.xml is missing, a name does not resolve, or an entry's name does
// not fit the index. Files that are missing are reported, not fatal (the player skips them).
bool analysis_build(const AnalysisHost &host, std::vector<uint8_t> *package, BuildReport *report);

} // namespace analysis
