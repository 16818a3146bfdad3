#include "tools/tool_timeline.h"
#include "tools/bvtool.h"

#include "music/music_stream.h"
#include "resources/log.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace tools {

void timeline_waveform(const CheckInput &in, const std::string &file, Waveform *out) {
    *out = Waveform{};
    if (file.empty()) {
        out->problem = "no music";
        return;
    }
    analysis::MusicStatus status;
    music::MusicStream *stream = check_music_open(in, file.c_str(), &status);
    if (!stream) {
        switch (status) {
        case analysis::MUSIC_REFUSED: out->problem = file + " leaves the demo's folder: not played"; break;
        case analysis::MUSIC_NOT_OGG: out->problem = file + " is not an Ogg file: not played"; break;
        case analysis::MUSIC_UNDECODABLE: out->problem = file + " cannot be decoded: not played"; break;
        default:
            out->problem =
                file + " is not " +
                (in.package ? "beside the package" : "in the folder, its music/ or the folder above");
        }
        return;
    }
    WaveformBuilder builder;
    waveform_begin(&builder);
    std::vector<int16_t> buffer(music::kDeviceRate / 100 * 2 * 100);
    for (;;) {
        uint32_t got = music::music_stream_decode(stream, buffer.data(), uint32_t(buffer.size()));
        if (got < 2) break;
        waveform_add(&builder, buffer.data(), got);
    }
    music::music_stream_close(stream);
    waveform_end(&builder, out);
}

} // namespace tools

namespace tools {

namespace {

// "--size W" or "--size WxH".
bool parse_picture_size(const char *text, int32_t *w, int32_t *h) {
    char tail = 0;
    int a = 0, b = 0;
    if (std::sscanf(text, "%dx%d%c", &a, &b, &tail) == 2) {
        *w = a, *h = b;
    } else if (std::sscanf(text, "%d%c", &a, &tail) == 1) {
        *w = a, *h = 0;
    } else {
        return false;
    }
    return *w >= 240 && *w <= kPictureMaxSide && (*h == 0 || (*h >= 100 && *h <= kPictureMaxSide));
}

bool parse_bpm(const char *text, double *bpm) {
    char *end = nullptr;
    double v = std::strtod(text, &end);
    if (!end || *end || !(v > 0) || v > 10000) return false;
    *bpm = v;
    return true;
}

} // namespace

bool tool_picture_size_option(const char *text, int32_t *w, int32_t *h) {
    return parse_picture_size(text, w, h);
}

bool tool_bpm_option(const char *text, double *bpm) {
    return parse_bpm(text, bpm);
}

bool tool_demo_document(const CheckInput &in, bool loading, std::string *text, std::string *file,
                        std::string *why) {
    bool damaged = false;
    const char *name = loading ? "loading.xml" : "demo.xml";
    if (check_document_text(in, name, text, file, &damaged)) return true;
    *why = *file + (damaged ? " does not inflate: the package is damaged"
                            : std::string(" is missing from the ") + (in.package ? "package" : "folder"));
    return false;
}

int tool_timeline(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool timeline DIR|PKG OUT.svg|OUT.png [--bpm N] [--size W[xH]] [--loading]\n"
            "Draws the demo's timeline as the player plays it: a row for each layer slot that has layers,\n"
            "each layer a bar from where it starts drawing to its end, labelled with its object (its name\n"
            "when the object record has one, else its number) and its render mode; layers drawn into a\n"
            "texture are warm-coloured with a dark top and name their target; a layer's space_before is a\n"
            "dashed gap. The ruler counts seconds. The red line is the end of the demo, the first time at\n"
            "which no layer draws an object (the player stops there, even when later layers exist: the\n"
            "time where nothing draws is shaded). Beneath, the music's waveform from where the player's\n"
            "first sample is heard (the document's offset plus 0.125 s, plus the 0.046 s of silence the\n"
            "player hands the sound device first) to its end; the music is found as bvtool check finds it.\n"
            "What bvtool check finds in the timeline and the music is numbered where it is, and written\n"
            "out below. --bpm N draws a beat grid from where the music is heard, every fourth beat\n"
            "stronger. --size sets the width (1200 unless given) and, with xH, the height the rows are\n"
            "fitted into. --loading draws the loading document's timeline, which runs over the load's\n"
            "progress, 0 to 100 (shown as 0 to 1 s).\n"
            "The SVG is plain (rect, path, circle, text); each bar is a <g class=\"layer\"> with its slot,\n"
            "layer, start, end (hundredths), object and mode as data- attributes and its full description\n"
            "as a title. The PNG is the same picture.\n"
            "Exit status: 0 drawn, 1 drawn with findings (also on standard error), 2 bad arguments or\n"
            "input, or the picture cannot be written.");
        return 0;
    }
    const char *input = nullptr, *output = nullptr;
    TimelineStyle style = {1200, 0, 0, true, 0.0, ""};
    bool loading = false;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--bpm") == 0 && i + 1 < argc && parse_bpm(argv[i + 1], &style.bpm)) {
            i++;
        } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc &&
                   parse_picture_size(argv[i + 1], &style.width, &style.height)) {
            i++;
        } else if (std::strcmp(argv[i], "--loading") == 0) {
            loading = true;
        } else if (argv[i][0] != '-' && !input) {
            input = argv[i];
        } else if (argv[i][0] != '-' && !output) {
            output = argv[i];
        } else {
            tool_fail("timeline: bad arguments (see bvtool timeline --help)");
            return 2;
        }
    }
    if (!input || !output || !picture_path_supported(output)) {
        tool_fail("timeline: expected a demo folder or package and OUT.svg or OUT.png (see bvtool timeline "
                  "--help)");
        return 2;
    }
    CheckInput in;
    std::string why, text, file;
    if (!check_input_open(input, &in, &why)) {
        tool_fail("timeline: %s", why.c_str());
        return 2;
    }
    if (!tool_demo_document(in, loading, &text, &file, &why)) {
        check_input_close(&in);
        tool_fail("timeline: %s", why.c_str());
        return 2;
    }
    FILE *log = resources::log_attached();
    resources::log_attach(nullptr);
    analysis::AnalysisHost host = check_host(in, false);
    host.read = nullptr; // models and images are not the timeline's affair
    analysis::AnalysisDocument doc = {file.c_str(), text.data(), text.size(), !loading};
    analysis::TimelineModel model;
    std::vector<analysis::Finding> problems;
    bool read = analysis::analysis_timeline(doc, host, &model, &problems);
    resources::log_attach(log);
    if (!read) {
        check_input_close(&in);
        for (const analysis::Finding &f : problems)
            std::fprintf(stderr, "%s\n", analysis::finding_format(f).c_str());
        tool_fail("timeline: %s cannot be read as the player reads it", file.c_str());
        return 2;
    }
    Waveform wave;
    if (!loading) timeline_waveform(in, model.music_file, &wave);
    check_input_close(&in);
    style.title = std::filesystem::path(input).filename().string() + "/" + file;
    Picture picture;
    TimeAxis axis;
    double top, bottom;
    timeline_picture(model, wave, style, &picture, &axis, &top, &bottom);
    if (!picture_write(picture, output, &why)) {
        tool_fail("timeline: %s", why.c_str());
        return 2;
    }
    for (const analysis::TimelineFinding &f : model.findings)
        std::fprintf(stderr, "%s\n", analysis::finding_format(f.finding).c_str());
    return model.findings.empty() ? 0 : 1;
}

} // namespace tools
