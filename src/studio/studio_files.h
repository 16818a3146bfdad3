// The files of a demo that the browser studio holds (its documents' text, models, images and
// music), with what the analysis asks of them: a host that reads them, a package opened into them,
// and the music decoded as the player decodes it. Pure: the page hands the bytes in.
#pragma once

#include "analysis/analysis.h"
#include "pictures/timeline_picture.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace studio {

// Bounds on what the studio takes: a document's text, any one file, and all files together.
constexpr size_t kMaxDocumentBytes = 4u << 20;
constexpr size_t kMaxFileBytes = 64u << 20;
constexpr size_t kMaxTotalBytes = 512u << 20;

struct StudioFiles {
    std::map<std::string, std::vector<uint8_t>> files; // by name relative to the demo's folder
    size_t total;                                      // their bytes together
};

// Puts (or replaces) a file; false, changing nothing, when it passes a bound or the name is not
// one the folder can hold (empty, absolute, climbing out with "..").
bool studio_files_put(StudioFiles *f, const std::string &name, const uint8_t *data, size_t size,
                      std::string *why);
void studio_files_clear(StudioFiles *f);
const std::vector<uint8_t> *studio_files_get(const StudioFiles &f, const std::string &name);

// A host whose read gives the files (user is the StudioFiles); music, compile are left null.
analysis::AnalysisHost studio_files_host(StudioFiles *f);

// Opens a package into files: demo.xmlz and loading.xmlz inflated into demo.xml and loading.xml
// (their records as numbers, as the package holds them), every other entry as it is. False, with
// *why, when the package's index is damaged or a document does not inflate; *f is then cleared.
bool studio_files_from_package(const uint8_t *data, size_t size, StudioFiles *f, std::string *why);

// The music a document names, found where the player finds it among the files (NAME, then
// music/NAME) and decoded as the player decodes it: interleaved stereo at 44.1 kHz, with its
// waveform. *status says why there is none.
struct StudioMusic {
    std::string file;
    analysis::MusicStatus status;
    std::vector<int16_t> samples;
    pictures::Waveform wave;
};
void studio_music_decode(const StudioFiles &f, const std::string &file, StudioMusic *out);

} // namespace studio
