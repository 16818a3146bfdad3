// The studio's worker program (studio_worker.wasm, run in a Web Worker by studio_worker.js): the
// language service of bvtool lsp over the files the page holds, the package bvtool build makes of
// them, the timeline picture of bvtool timeline, and the music decoded as the player decodes it.
// Every call runs to its end on the worker's thread; the page bounds how long it waits for one.
#include "studio/studio_files.h"

#include "analysis/demo_model.h"
#include "lsp/language_service.h"
#include "pictures/timeline_picture.h"
#include "resources/log.h"

#include <emscripten.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using json = nlohmann::json;

lsp::Service *g_service;
studio::StudioFiles g_files;
studio::StudioMusic g_music;
uint32_t g_music_version; // counts decodes, so that the page takes the samples once
std::string g_text;       // the last text answer, alive until the next call
std::vector<uint8_t> g_bytes;

const char *answer(const std::string &text) {
    g_text = text;
    return g_text.c_str();
}

const char *answer_messages(const std::vector<std::string> &messages) {
    std::string out = "[";
    for (size_t i = 0; i < messages.size(); i++)
        out += (i ? "," : "") + messages[i];
    return answer(out + "]");
}

void music_info(void *, const char *file, analysis::MusicInfo *out) {
    if (g_music.file != file) studio::studio_music_decode(g_files, file, &g_music), g_music_version++;
    out->status = g_music.status;
    out->length_ms = g_music.wave.length_ms;
}

analysis::AnalysisHost host() {
    analysis::AnalysisHost h = studio::studio_files_host(&g_files);
    h.music = music_info;
    return h;
}

json findings_json(const std::vector<analysis::Finding> &findings) {
    json list = json::array();
    for (const analysis::Finding &f : findings)
        list.push_back({{"file", f.file}, {"line", f.line}, {"message", f.message}});
    return list;
}

const char *music_problem(const studio::StudioMusic &m) {
    switch (m.status) {
    case analysis::MUSIC_FOUND: return "";
    case analysis::MUSIC_REFUSED: return "leaves the demo's folder: not played";
    case analysis::MUSIC_NOT_OGG: return "is not an Ogg file: not played";
    case analysis::MUSIC_UNDECODABLE: return "cannot be decoded: not played";
    default: return "is not among the files (NAME or music/NAME)";
    }
}

} // namespace

extern "C" {

// A file of the demo's folder, documents included; "" or why it was refused.
EMSCRIPTEN_KEEPALIVE const char *bv_worker_put(const char *name, const uint8_t *data, uint32_t size) {
    std::string why;
    if (!studio::studio_files_put(&g_files, name, data, size, &why)) return answer(why);
    if (std::string(name) == g_music.file || std::string(name) == "music/" + g_music.file)
        g_music.file = "\x01";
    return answer("");
}

EMSCRIPTEN_KEEPALIVE void bv_worker_clear() {
    studio::studio_files_clear(&g_files);
    g_music = studio::StudioMusic{};
    g_music.file = "\x01"; // decoded again when next asked
}

// A file's bytes (bv_worker_bytes), or -1 when there is none.
EMSCRIPTEN_KEEPALIVE int32_t bv_worker_get(const char *name) {
    const std::vector<uint8_t> *bytes = studio::studio_files_get(g_files, name);
    if (!bytes) return -1;
    g_bytes = *bytes;
    return int32_t(g_bytes.size());
}

EMSCRIPTEN_KEEPALIVE const uint8_t *bv_worker_bytes() {
    return g_bytes.data();
}

// The files' names and sizes: [[name, size], ...].
EMSCRIPTEN_KEEPALIVE const char *bv_worker_list() {
    json list = json::array();
    for (const auto &f : g_files.files)
        list.push_back({f.first, f.second.size()});
    return answer(list.dump());
}

// Opens a package into the files (its documents inflated); "" or why not.
EMSCRIPTEN_KEEPALIVE const char *bv_worker_open_package(const uint8_t *data, uint32_t size) {
    std::string why;
    g_music.file = "\x01";
    return answer(studio::studio_files_from_package(data, size, &g_files, &why) ? "" : why);
}

// One message to the language service (JSON text); the messages it sends, as a JSON array.
EMSCRIPTEN_KEEPALIVE const char *bv_worker_lsp(const char *message) {
    if (!g_service) g_service = lsp::service_create(lsp::ServiceHost{nullptr, nullptr});
    std::vector<std::string> out;
    int status = 0;
    lsp::service_handle(g_service, message, &out, &status);
    return answer_messages(out);
}

// The slow checks of every document whose text changed (the files it names and the texture
// graph; the frame's own load reports GLSL), as diagnostics messages.
EMSCRIPTEN_KEEPALIVE const char *bv_worker_slow() {
    std::vector<std::string> out;
    lsp::SlowJob job;
    while (g_service && lsp::service_take_slow_job(g_service, &job)) {
        lsp::service_run_slow_job(&job, host());
        lsp::service_finish_slow_job(g_service, job, &out);
    }
    return answer_messages(out);
}

// The package bvtool build makes of the files (bv_worker_bytes), and its report as JSON.
EMSCRIPTEN_KEEPALIVE const char *bv_worker_build() {
    analysis::BuildReport report;
    bool ok = analysis::analysis_build(studio::studio_files_host(&g_files), &g_bytes, &report);
    if (!ok) g_bytes.clear();
    json r = {{"ok", ok},
              {"error", report.error},
              {"size", g_bytes.size()},
              {"missing", report.missing},
              {"findings", findings_json(report.findings)}};
    return answer(r.dump());
}

// The demo's timeline as bvtool timeline draws it, width pixels wide (height 0: as the rows need),
// with what the page's playhead needs: {svg, axis, end, music: {file, offset, status, problem,
// length_ms, version}} or {error, findings}.
EMSCRIPTEN_KEEPALIVE const char *bv_worker_timeline(int32_t width, int32_t height) {
    const std::vector<uint8_t> *demo = studio::studio_files_get(g_files, "demo.xml");
    if (!demo) return answer(json{{"error", "there is no demo.xml"}}.dump());
    analysis::AnalysisDocument doc = {"demo.xml", reinterpret_cast<const char *>(demo->data()), demo->size(),
                                      true};
    analysis::AnalysisHost h = host();
    h.read = nullptr; // models and images are not the timeline's affair
    analysis::TimelineModel model;
    std::vector<analysis::Finding> why;
    FILE *log = resources::log_attached();
    resources::log_attach(nullptr);
    bool read = analysis::analysis_timeline(doc, h, &model, &why);
    resources::log_attach(log);
    if (!read)
        return answer(json{{"error", "demo.xml cannot be read as the player reads it"},
                           {"findings", findings_json(why)}}
                          .dump());
    if (g_music.file != model.music_file) {
        analysis::MusicInfo info;
        music_info(nullptr, model.music_file.c_str(), &info);
    }
    pictures::Waveform wave;
    if (g_music.status == analysis::MUSIC_FOUND)
        wave = g_music.wave;
    else
        wave.problem =
            model.music_file.empty() ? "no music" : model.music_file + " " + music_problem(g_music);
    pictures::TimelineStyle style = {width, height, 0, false, 0.0, "demo.xml"};
    pictures::Picture picture;
    pictures::TimeAxis axis;
    double top = 0, bottom = 0;
    pictures::timeline_picture(model, wave, style, &picture, &axis, &top, &bottom);
    json r = {{"svg", pictures::picture_svg(picture)},
              {"width", picture.width},
              {"height", picture.height},
              {"axis", {{"x0", axis.x0}, {"x1", axis.x1}, {"t0", axis.t0}, {"t1", axis.t1}}},
              {"rows", {top, bottom}},
              {"end", model.demo_end},
              {"music",
               {{"file", model.music_file},
                {"offset", model.music_offset},
                {"status", int(g_music.status)},
                {"problem", wave.problem},
                {"length_ms", g_music.wave.length_ms},
                {"version", g_music_version}}}};
    return answer(r.dump());
}

// The decoded music's samples (interleaved stereo 16-bit at 44.1 kHz) and their count.
EMSCRIPTEN_KEEPALIVE const int16_t *bv_worker_music_samples() {
    return g_music.samples.data();
}
EMSCRIPTEN_KEEPALIVE uint32_t bv_worker_music_values() {
    return uint32_t(g_music.samples.size());
}

} // extern "C"

int main() {
    // The engine's readers log what they skip; the worker keeps quiet, the findings say it.
    resources::log_attach(nullptr);
    g_music.file = "\x01";
    return 0;
}
