// Loading a scene document: read, inflate and parse the package entry, then read its sections
// strictly by position into a scene.
#pragma once

#include "render/capabilities.h"

#include <cstdint>
#include <cstdio>

namespace resources {
struct XmlNode;
}
namespace textures {
struct TextureFormatTable;
}

namespace scene {

struct Scene;
struct LoadProgress;

constexpr int kSectionCount = 15;
constexpr int kRequiredSections = 14; // the fifteenth, music, may be missing
constexpr int kMusicSection = 15;

enum DocumentStatus : uint8_t {
    DOCUMENT_OK = 0,
    DOCUMENT_MISSING,   // no such package entry
    DOCUMENT_DAMAGED,   // does not inflate to its stated length
    DOCUMENT_MALFORMED, // fewer than 14 sections, or a table overflows
};

// Stages of a load, for timing reports: each stage's work ends with a call to the stage hook.
// The first two are reported by whoever reads the document.
enum LoadStage : uint8_t {
    LOAD_STAGE_START = 0,          // nothing yet: the clock starts
    LOAD_STAGE_DOCUMENT,           // the package opened, the document read, inflated and parsed
    LOAD_STAGE_TEXTURE_LAYERS,     // section 1: layers drawn by their generators
    LOAD_STAGE_TEXTURE_GRAPH,      // section 2: nodes read, generated and uploaded
    LOAD_STAGE_MODELS,             // section 3
    LOAD_STAGE_BITMAPS,            // section 7
    LOAD_STAGE_CUBE_MAPS,          // section 8
    LOAD_STAGE_MATERIALS,          // section 11, with shader generation and compiles
    LOAD_STAGE_OTHER,              // every other section
    kLoadStageCount
};
using LoadStageDone = void (*)(void *user, LoadStage stage);

struct LoadContext {
    FILE *package;
    const textures::TextureFormatTable *formats;
    render::Capabilities caps; // the loading capabilities for the loading document
    int8_t glsl;               // the GLSL switch: 1 generated shaders, 0 texture combiners
    LoadProgress *progress;    // null: no progress frames
    LoadStageDone stage_done;  // null: no stage reports
    void *stage_user;
};

// Reads, inflates and parses a document entry. Returns the document node (free with xml_free),
// or null with DOCUMENT_MISSING or DOCUMENT_DAMAGED.
resources::XmlNode *scene_document_read(FILE *package, const char *entry_name, DocumentStatus *status);

// The top element's n-th child element (1-based), or null.
const resources::XmlNode *scene_document_section(const resources::XmlNode *document, int number);
int scene_document_section_count(const resources::XmlNode *document);

// Records of every section: the children of each child of the top element, summed.
uint32_t scene_document_count_records(const resources::XmlNode *document);

// Reads sections 1 to 14 into the scene. A document with fewer than 14 sections is rejected with
// a log line naming entry_name, before anything is read. Section 15 (music) is left to the caller.
DocumentStatus scene_document_build(Scene *sc, const resources::XmlNode *document, const char *entry_name,
                                    LoadContext *ctx);

} // namespace scene
