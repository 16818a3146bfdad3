// A document's timeline and functions as the player plays them, with the names their records carry,
// for the pictures the authors' tools draw (bvtool timeline and plot, the preview's strip). Read
// by the engine's own readers: the times are the ones render at time and evaluate function use.
#pragma once

#include "analysis/analysis.h"
#include "functions/function.h"

#include <cstdint>
#include <string>
#include <vector>

namespace scene {
struct Scene;
}

namespace analysis {

struct TimelineLayer {
    int32_t slot;  // 0-based
    int32_t index; // 1-based within its slot
    // Hundredths of a second: its gap starts where the layer before it ends (start), it draws from
    // begin = start + space_before until end (inclusive, as render at time finds it).
    uint32_t start, begin, end;
    uint32_t offset;                  // added to the layer's local time for every evaluation
    uint16_t object;                  // 0: draws nothing
    bool object_exists;               // the number names a record of the object list
    std::string object_name;          // the object record's name; "" when it has none
    uint8_t type;                     // render mode
    uint16_t rtex;                    // the target for the modes that read one, else 0
    std::string target_name;          // the target record's name; "" when it has none
    int32_t line;                     // of the layer's element
    int32_t source_begin, source_end; // byte range of its element in the source
    // The functions the layer's frame evaluates (1-based, ascending): its own values and those of
    // every record its object reaches through materials, lights, effects, fonts and manipulators.
    std::vector<int32_t> functions;
};

struct TimelineFinding {
    Finding finding;
    int32_t layer; // index into TimelineModel::layers, -1 when it is about no one layer
    int32_t slot;  // the slot it is about, -1 when it is about the whole timeline or the music
    bool music;    // about the music element
};

struct TimelineModel {
    std::vector<TimelineLayer> layers; // by slot, then in time order
    uint32_t last_end;                 // the latest end of any layer
    // Where the demo ends: the first time at which render at time draws nothing. When that is
    // before last_end (hole), drawing would resume at `resumes`, but the player has stopped.
    uint32_t demo_end;
    bool hole;
    uint32_t resumes;
    bool nothing_draws;     // slot 0 is empty or no layer ever draws: the player ends at once
    std::string music_file; // "" when the demo names none (or for the loading document)
    uint32_t music_offset;  // ms: the demo time at which the music starts
    // What the check finds in the timeline and the music element (host.music is asked for the
    // music's length, which the timeline is held against).
    std::vector<TimelineFinding> findings;
};

// Reads the timeline of a well-formed document whose sections stand where the player reads them.
// False, with the findings that say why, when it cannot be read as the player would.
bool analysis_timeline(const AnalysisDocument &doc, const AnalysisHost &host, TimelineModel *out,
                       std::vector<Finding> *why);

struct DocumentFunction {
    functions::Function record; // as the engine's reader made it (its cache unused)
    int32_t number;             // 1-based
    std::string name;           // "" when the record has none
    int32_t line;
    // Parameters each segment's element gives (the rest read 0): a spline's knots beyond them are
    // the engine's flat run, not the author's.
    uint8_t given[functions::kMaxSegments];
};

// The functions of a document, read as the player reads them. False, with findings, as above.
bool analysis_functions(const AnalysisDocument &doc, std::vector<DocumentFunction> *out,
                        std::vector<Finding> *why);

// Where the demo ends (render at time first returns 0): the first time at or before last_end, or
// just after it, at which no layer that is active draws an object that exists (object_count
// records). *hole is set when drawing would resume before last_end, at *resumes.
uint32_t timeline_demo_end(const scene::Scene *sc, uint32_t object_count, uint32_t last_end, bool *hole,
                           uint32_t *resumes);

// Whether some slot has a layer at time t that draws an object (what render at time counts).
bool timeline_draws(const scene::Scene *sc, uint32_t object_count, uint32_t t);

} // namespace analysis
