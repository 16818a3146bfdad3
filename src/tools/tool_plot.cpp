#include "tools/tool_plot.h"
#include "tools/tool_time.h"
#include "tools/tool_timeline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tools {

namespace {

constexpr Colour kGrid = {228, 228, 234};

// Segments by their place in the function: neighbours always differ.
constexpr Colour kSegmentColours[] = {
    {31, 119, 180}, {230, 110, 20}, {44, 160, 44},   {200, 40, 40},  {148, 103, 189},
    {140, 86, 75},  {220, 90, 170}, {100, 100, 100}, {160, 160, 20}, {20, 170, 190},
};
constexpr int kSegmentColourCount = int(sizeof(kSegmentColours) / sizeof(kSegmentColours[0]));
static_assert(kSegmentColourCount == 10, "ten colours, repeated beyond the tenth segment");

Colour segment_colour(int32_t i) {
    return kSegmentColours[(i < 0 ? 0 : i) % kSegmentColourCount];
}

std::string kind_name(uint8_t kind) {
    return kind < functions::kSegmentKindCount ? functions::kSegmentDescriptors[kind].name
                                               : "kind " + std::to_string(kind) + " (reads 1.0)";
}

// A value for people: up to four significant digits.
std::string value_label(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", std::fabs(v) < 1e-12 ? 0.0 : v);
    return buf;
}

double nice_step(double span, int wanted) {
    double raw = span / std::max(1, wanted);
    double p = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= raw) return m * p;
    return 10 * p;
}

uint32_t loop_bound(float v) {
    // As the engine truncates the bounds (negative ones are of no use to a picture).
    return v > 0 ? uint32_t(std::min<double>(v, 4294967295.0)) : 0;
}

struct Sample {
    uint32_t t;
    double v;
};
struct Run {
    int32_t segment;
    std::vector<Sample> samples;
};

// The curve at every hundredth (at most a few hundred a pixel), grouped into runs of one segment.
// Within a pixel column only the first, lowest, highest and last samples are kept: the line
// through them looks the same as through all.
std::vector<Run> sample_runs(const functions::Function &record, double t0, double t1, double pixels,
                             double *low, double *high) {
    functions::Function f = record;
    f.cached_time = 0xFFFFFFFFu;
    std::vector<Run> runs;
    uint64_t a = uint64_t(std::max(0.0, std::ceil(t0))), b = uint64_t(std::max(0.0, std::floor(t1)));
    b = std::min<uint64_t>(b, 0xFFFFFFFFu);
    double per_pixel = double(b - a + 1) / std::max(1.0, pixels);
    uint64_t stride = per_pixel > 256 ? uint64_t(per_pixel / 256) : 1;
    *low = 1e300, *high = -1e300;
    int64_t column = -1;
    std::vector<Sample> pending; // the current column's samples of the current run
    auto flush = [&]() {
        if (pending.empty()) return;
        auto lo = std::min_element(pending.begin(), pending.end(),
                                   [](const Sample &x, const Sample &y) { return x.v < y.v; });
        auto hi = std::max_element(pending.begin(), pending.end(),
                                   [](const Sample &x, const Sample &y) { return x.v < y.v; });
        std::vector<size_t> keep = {0, size_t(lo - pending.begin()), size_t(hi - pending.begin()),
                                    pending.size() - 1};
        std::sort(keep.begin(), keep.end());
        keep.erase(std::unique(keep.begin(), keep.end()), keep.end());
        for (size_t k : keep)
            runs.back().samples.push_back(pending[k]);
        pending.clear();
    };
    for (uint64_t t = a; t <= b; t += stride) {
        uint32_t local = 0;
        int32_t segment = functions::function_locate(&f, uint32_t(t), &local);
        double v = functions::function_evaluate(&f, uint32_t(t));
        *low = std::min(*low, v), *high = std::max(*high, v);
        if (runs.empty() || runs.back().segment != segment) {
            flush();
            runs.push_back(Run{segment, {}});
        }
        int64_t c = int64_t(double(t - a) / std::max(per_pixel, 1e-9));
        if (c != column) {
            flush();
            column = c;
        }
        pending.push_back(Sample{uint32_t(t), v});
    }
    flush();
    if (runs.empty()) *low = *high = 0;
    return runs;
}

} // namespace

std::string plot_usage_note(int32_t function, const analysis::TimelineModel &timeline) {
    std::vector<const analysis::TimelineLayer *> users;
    double until = 0;
    for (const analysis::TimelineLayer &l : timeline.layers)
        if (std::binary_search(l.functions.begin(), l.functions.end(), function)) {
            users.push_back(&l);
            until = std::max(until, double(l.offset) + (l.end - l.begin));
        }
    if (users.empty()) return "not used by the timeline";
    std::string s =
        "used by slot " + std::to_string(users[0]->slot) + " layer " + std::to_string(users[0]->index);
    if (users.size() > 1) s += " and " + std::to_string(users.size() - 1) + " more";
    return s + ", at 0 to " + timeline_seconds_label(until);
}

double plot_beat_origin(int32_t function, const analysis::TimelineModel &timeline) {
    double heard = timeline.music_file.empty() ? 0.0 : timeline_music_heard(timeline.music_offset);
    for (const analysis::TimelineLayer &l : timeline.layers)
        if (std::binary_search(l.functions.begin(), l.functions.end(), function))
            return heard - double(l.begin) + double(l.offset);
    return heard;
}

void plot_default_range(const analysis::DocumentFunction &df, const analysis::TimelineModel *timeline,
                        double *t0, double *t1) {
    const functions::Function &f = df.record;
    *t0 = 0;
    double used = 0;
    if (timeline)
        for (const analysis::TimelineLayer &l : timeline->layers)
            if (std::binary_search(l.functions.begin(), l.functions.end(), df.number))
                used = std::max(used, double(l.offset) + (l.end - l.begin));
    double end = used;
    if (end <= 0) {
        for (int i = 0; i < f.segment_count && i < functions::kMaxSegments; i++)
            end += f.segment_lengths[i];
        uint32_t b = loop_bound(f.loop_begin), e = loop_bound(f.loop_end);
        if ((f.loop_mode == functions::LOOP_LOOP || f.loop_mode == functions::LOOP_PING_PONG) && e > b)
            end = std::max(end, double(e) + 2.0 * (e - b));
    }
    *t1 = std::min(72000.0, std::max(100.0, end));
}

PlotPlaced plot_panel(Picture *p, const analysis::DocumentFunction &df, const PlotPanel &panel) {
    const functions::Function &f = df.record;
    const bool compact = panel.h < kPlotCompactHeight + 40;
    double ax0 = panel.x + 50, ax1 = panel.x + panel.w - 10;
    double ay0 = panel.y + (panel.note.empty() ? 16 : 28), ay1 = panel.y + panel.h - (compact ? 14 : 28);
    if (ay1 < ay0 + 20) ay1 = ay0 + 20;
    std::string head =
        "function " + std::to_string(df.number) + (df.name.empty() ? "" : " \"" + df.name + "\"");
    uint32_t lb = loop_bound(f.loop_begin), le = loop_bound(f.loop_end);
    bool looping =
        (f.loop_mode == functions::LOOP_LOOP || f.loop_mode == functions::LOOP_PING_PONG) && le > lb;
    if (looping)
        head += std::string(", ") + functions::kLoopModeNames[f.loop_mode] + " " +
                timeline_seconds_label(lb) + " to " + timeline_seconds_label(le);
    picture_text(p, panel.x + 4, panel.y + 2, picture_text_fit(head, panel.w - 8), kInk);
    if (!panel.note.empty())
        picture_text(p, panel.x + 4, panel.y + 14, picture_text_fit(panel.note, panel.w - 8), kFaint);

    double low, high;
    std::vector<Run> runs = sample_runs(f, panel.t0, panel.t1, ax1 - ax0, &low, &high);
    if (!(high > low)) {
        double pad = std::fabs(low) > 1e-9 ? std::fabs(low) * 0.5 : 1.0;
        low -= pad, high += pad;
    }
    double margin = (high - low) * 0.08;
    double v0 = low - margin, v1 = high + margin;
    TimeAxis ta = {ax0, ax1, panel.t0, panel.t1};
    auto yv = [&](double v) { return ay1 - (v - v0) * (ay1 - ay0) / (v1 - v0); };

    picture_rect(p, ax0, ay0, ax1 - ax0, ay1 - ay0, {250, 250, 252});
    // The loop's range, and what ping-pong plays once its end is passed.
    if (looping && le > panel.t0 && lb < panel.t1) {
        double xa = axis_x(ta, std::max<double>(lb, panel.t0)),
               xb = axis_x(ta, std::min<double>(le, panel.t1));
        std::string what = functions::kLoopModeNames[f.loop_mode];
        if (f.loop_mode == functions::LOOP_PING_PONG && lb > 0)
            what += ": after its end it runs 0 to " + timeline_seconds_label(le - lb);
        picture_group_begin(p, "loop",
                            {{"mode", std::to_string(f.loop_mode)},
                             {"begin", std::to_string(lb)},
                             {"end", std::to_string(le)}},
                            what + " over " + tool_time_document(lb) + " to " + tool_time_document(le));
        picture_rect(p, xa, ay0, xb - xa, ay1 - ay0, {255, 220, 120}, 0.35f);
        picture_line(p, xb, ay0, xb, ay1, {200, 140, 20}, 1.0f, 3.0f);
        picture_text(p, xa + 3, ay0 + 2, picture_text_fit(what, std::max(0.0, ax1 - xa - 6)), {150, 100, 10});
        picture_group_end(p);
    }
    // Value and time ticks.
    double vstep = nice_step(v1 - v0, compact ? 3 : 5);
    for (double v = std::ceil(v0 / vstep) * vstep; v <= v1; v += vstep) {
        double y = std::round(yv(v)) + 0.5;
        picture_line(p, ax0, y, ax1, y, std::fabs(v) < vstep * 1e-6 ? Colour{190, 190, 200} : kGrid);
        picture_text(p, ax0 - 4, y - 4, value_label(std::fabs(v) < vstep * 1e-6 ? 0 : v), kInk, 1,
                     ANCHOR_END);
    }
    double tstep = timeline_tick_step(64.0 * (panel.t1 - panel.t0) / std::max(1.0, ax1 - ax0));
    for (double t = std::ceil(panel.t0 / tstep) * tstep; t <= panel.t1 + 1e-9; t += tstep) {
        double x = std::round(axis_x(ta, t)) + 0.5;
        picture_line(p, x, ay1, x, ay1 + 3, kInk);
        picture_text(p, x, ay1 + 4, timeline_seconds_label(t), kInk, 1, ANCHOR_MIDDLE);
    }
    if (panel.bpm > 0) {
        double beat = 6000.0 / panel.bpm;
        if ((panel.t1 - panel.t0) / beat < 4000) {
            int64_t n = int64_t(std::ceil((panel.t0 - panel.beat_origin) / beat));
            for (double t = panel.beat_origin + double(n) * beat; t <= panel.t1; t += beat, n++)
                picture_line(p, axis_x(ta, t), ay0, axis_x(ta, t), ay1, {60, 60, 200}, 1.0f, 0.0f,
                             n % 4 == 0 ? 0.55f : 0.3f);
            picture_group_begin(
                p, "beats",
                {{"origin", picture_number(panel.beat_origin, 3)}, {"step", picture_number(beat, 3)}}, "");
            picture_group_end(p);
        }
    }
    // Segment boundaries and kinds, where the function's own time reaches them unlooped.
    double start = 0, reach = looping ? double(le) : 1e300;
    int32_t count = std::min<int32_t>(f.segment_count, functions::kMaxSegments);
    for (int32_t i = 0; i < count; i++) {
        double end = start + f.segment_lengths[i];
        if (i > 0 && start > panel.t0 && start < panel.t1 && start <= reach)
            picture_line(p, axis_x(ta, start), ay0, axis_x(ta, start), ay1, kFaint, 1.0f, 2.0f);
        double a = std::max(start, panel.t0), b = std::min({end, panel.t1, reach});
        std::string name = std::to_string(i + 1) + " " + kind_name(f.segment_kinds[i]);
        if (b > a && axis_x(ta, b) - axis_x(ta, a) > picture_text_width(name) + 6)
            picture_text(p, (axis_x(ta, a) + axis_x(ta, b)) / 2, ay1 - 12, name, segment_colour(i), 1,
                         ANCHOR_MIDDLE);
        start = end;
    }
    // The curve, a path per run of one segment.
    picture_group_begin(p, "curve",
                        {{"function", std::to_string(df.number)},
                         {"t0", picture_number(panel.t0, 3)},
                         {"t1", picture_number(panel.t1, 3)},
                         {"x0", picture_number(ax0, 3)},
                         {"x1", picture_number(ax1, 3)},
                         {"v0", picture_number(v0, 9)},
                         {"v1", picture_number(v1, 9)},
                         {"y0", picture_number(ay1, 3)},
                         {"y1", picture_number(ay0, 3)}},
                        "");
    for (const Run &r : runs) {
        std::vector<double> pts;
        for (const Sample &s : r.samples) {
            pts.push_back(axis_x(ta, s.t));
            pts.push_back(yv(s.v));
        }
        if (pts.size() == 2) pts.insert(pts.end(), {pts[0] + 0.01, pts[1]});
        uint8_t kind = r.segment >= 0 ? f.segment_kinds[r.segment] : 0;
        picture_group_begin(p, "segment",
                            {{"segment", std::to_string(r.segment + 1)}, {"kind", std::to_string(kind)}},
                            r.segment >= 0 ? std::to_string(r.segment + 1) + " " + kind_name(kind)
                                           : "no segments: the function reads 1.0");
        picture_polyline(p, pts, segment_colour(r.segment), 1.5f);
        picture_group_end(p);
    }
    picture_group_end(p);
    // Catmull-Rom knots where the engine places them: a knot that is not at least one unit after
    // the one before is moved there and takes its y (a ring marks it).
    start = 0;
    for (int32_t i = 0; i < count; i++) {
        double len = f.segment_lengths[i];
        if (f.segment_kinds[i] == functions::SEGMENT_SPLINE) {
            double X[16], Y[16];
            functions::function_spline_knots(f.parameters[i], X, Y);
            int knots = std::min(12, (df.given[i] + 1) / 2);
            for (int k = 1; k <= knots; k++) {
                double t = start + X[k + 1];
                if (X[k + 1] < 0 || X[k + 1] > len || t < panel.t0 || t > panel.t1 || t > reach) continue;
                double wx = f.parameters[i][2 * k - 2], wy = f.parameters[i][2 * k - 1];
                bool moved = X[k + 1] != wx || Y[k + 1] != wy;
                std::string title = "segment " + std::to_string(i + 1) + " knot " + std::to_string(k) +
                                    " at " + value_label(X[k + 1]) + ", " + value_label(Y[k + 1]);
                if (moved)
                    title +=
                        " (written " + value_label(wx) + ", " + value_label(wy) + ": moved by the engine)";
                picture_group_begin(p, "knot",
                                    {{"segment", std::to_string(i + 1)},
                                     {"knot", std::to_string(k)},
                                     {"t", picture_number(t, 3)},
                                     {"v", picture_number(Y[k + 1], 9)},
                                     {"moved", moved ? "1" : "0"}},
                                    title);
                double x = axis_x(ta, t), y = yv(Y[k + 1]);
                if (moved)
                    picture_circle(p, x, y, 4, kWhite, 1.0f, kFindingRed, 1.5f);
                else
                    picture_circle(p, x, y, 3, segment_colour(i), 1.0f, kWhite, 1.0f);
                picture_group_end(p);
            }
        }
        start += len;
    }
    for (const PlotMark &m : panel.marks) {
        if (m.t < panel.t0 || m.t > panel.t1) continue;
        double x = axis_x(ta, m.t);
        picture_line(p, x, ay0, x, ay1, kMarkRed, 1.5f);
        if (!m.label.empty()) picture_text(p, x + 3, ay0 + 2, m.label, kMarkRed);
    }
    picture_frame(p, std::round(ax0) + 0.5, std::round(ay0) + 0.5, std::round(ax1 - ax0) - 1,
                  std::round(ay1 - ay0) - 1, {200, 200, 208});
    PlotPlaced placed = {ax0, ax1, panel.t0, panel.t1, ay1, ay0, v0, v1};
    if (compact) return placed;
    // The legend: every segment with its kind and length.
    double x = ax0;
    for (int32_t i = 0; i < count; i++) {
        std::string item = std::to_string(i + 1) + " " + kind_name(f.segment_kinds[i]) + " " +
                           timeline_seconds_label(f.segment_lengths[i]);
        double w = 12 + picture_text_width(item) + 12;
        if (x + w > ax1 + 10) {
            if (x > ax0) picture_text(p, x, ay1 + 16, "...", kInk);
            break;
        }
        picture_rect(p, x, ay1 + 16, 9, 9, segment_colour(i));
        picture_text(p, x + 12, ay1 + 16, item, kInk);
        x += w;
    }
    if (count == 0) picture_text(p, ax0, ay1 + 16, "no segments: the function reads 1.0", kInk);
    return placed;
}

} // namespace tools

#include "tools/bvtool.h"
#include "tools/tool_check.h"
#include "resources/log.h"

#include <cstring>
#include <filesystem>

namespace tools {

int tool_plot(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::fputs(
            "usage: bvtool plot DIR|PKG OUT.svg|OUT.png [--function N|@name]... [--from T] [--to T]\n"
            "                   [--bpm N] [--size W[xH]] [--loading]\n"
            "Draws animation functions as curves over their own time in seconds, sampled at every\n"
            "hundredth by the engine's own evaluation (a layer evaluates its values at its local time\n"
            "plus its offset). Each segment has its own colour, its number and kind written in it and in\n"
            "the legend; dotted lines part the segments. Catmull-Rom knots stand where the engine places\n"
            "them: a knot less than one time unit after the one before it is moved there and takes that\n"
            "knot's y (a red ring; its title says where it was written). A loop or ping-pong range is\n"
            "shaded and the curve goes on past its end as the engine repeats it (a ping-pong over B to E\n"
            "runs 0 to E-B once past E).\n"
            "Without --function, every function of the document is drawn as a small multiple with its\n"
            "number and name, each over the times the timeline evaluates it at (or its segments' length\n"
            "when nothing uses it; at most 720 s). --from and --to set one range for all, in seconds\n"
            "(12.5s) or milliseconds (12500ms, or bare). --bpm N draws a beat grid from where the music's\n"
            "first sample is heard (as bvtool timeline places it), in the function's own time as the\n"
            "first layer that uses it sees it; every fourth beat stronger. --size sets the width (1200\n"
            "unless given) and, with xH, the height the panels share. --loading draws the loading\n"
            "document's functions.\n"
            "In the SVG each curve is a <g class=\"curve\"> whose data- attributes give its axes (times\n"
            "t0..t1 in hundredths at x0..x1, values v0..v1 at y0..y1), with a path per run of one\n"
            "segment; knots are <g class=\"knot\"> with their time and value.\n"
            "Exit status: 0 drawn, 2 bad arguments or input, or the picture cannot be written.\n",
            stdout);
        return 0;
    }
    const char *input = nullptr, *output = nullptr;
    std::vector<std::string> wanted;
    uint32_t from_ms = 0, to_ms = 0;
    bool from = false, to = false, loading = false;
    double bpm = 0;
    int32_t width = 1200, height = 0;
    for (int i = 1; i < argc; i++) {
        bool value = i + 1 < argc;
        if (std::strcmp(argv[i], "--function") == 0 && value) {
            wanted.push_back(argv[++i]);
        } else if (std::strcmp(argv[i], "--from") == 0 && value && tool_time_parse(argv[i + 1], &from_ms)) {
            from = true, i++;
        } else if (std::strcmp(argv[i], "--to") == 0 && value && tool_time_parse(argv[i + 1], &to_ms)) {
            to = true, i++;
        } else if (std::strcmp(argv[i], "--bpm") == 0 && value && tool_bpm_option(argv[i + 1], &bpm)) {
            i++;
        } else if (std::strcmp(argv[i], "--size") == 0 && value &&
                   tool_picture_size_option(argv[i + 1], &width, &height)) {
            i++;
        } else if (std::strcmp(argv[i], "--loading") == 0) {
            loading = true;
        } else if (argv[i][0] != '-' && !input) {
            input = argv[i];
        } else if (argv[i][0] != '-' && !output) {
            output = argv[i];
        } else {
            tool_fail("plot: bad arguments (see bvtool plot --help)");
            return 2;
        }
    }
    if (!input || !output || !picture_path_supported(output)) {
        tool_fail("plot: expected a demo folder or package and OUT.svg or OUT.png (see bvtool plot --help)");
        return 2;
    }
    if ((from || to) && to_ms / 10 <= from_ms / 10) {
        tool_fail("plot: --to must come at least a hundredth after --from (and both are needed together)");
        return 2;
    }
    CheckInput in;
    std::string why, text, file;
    if (!check_input_open(input, &in, &why) || !tool_demo_document(in, loading, &text, &file, &why)) {
        check_input_close(&in);
        tool_fail("plot: %s", why.c_str());
        return 2;
    }
    check_input_close(&in);
    FILE *log = resources::log_attached();
    resources::log_attach(nullptr);
    analysis::AnalysisDocument doc = {file.c_str(), text.data(), text.size(), !loading};
    std::vector<analysis::DocumentFunction> all;
    analysis::TimelineModel timeline;
    analysis::AnalysisHost host = {};
    std::vector<analysis::Finding> problems;
    bool read = analysis::analysis_functions(doc, &all, &problems) &&
                analysis::analysis_timeline(doc, host, &timeline, &problems);
    resources::log_attach(log);
    if (!read) {
        for (const analysis::Finding &f : problems)
            std::fprintf(stderr, "%s\n", analysis::finding_format(f).c_str());
        tool_fail("plot: %s cannot be read as the player reads it", file.c_str());
        return 2;
    }
    std::vector<const analysis::DocumentFunction *> chosen;
    for (const std::string &w : wanted) {
        const analysis::DocumentFunction *found = nullptr;
        int matches = 0;
        for (const analysis::DocumentFunction &f : all) {
            bool hit = w[0] == '@' ? f.name == w.substr(1) : std::to_string(f.number) == w;
            if (hit) found = &f, matches++;
        }
        if (matches != 1) {
            tool_fail(
                "plot: %s: %s", w.c_str(),
                matches ? "more than one function is called so"
                        : ("no such function (" + file + " has " + std::to_string(all.size()) + ")").c_str());
            return 2;
        }
        chosen.push_back(found);
    }
    bool small = chosen.empty();
    if (small)
        for (const analysis::DocumentFunction &f : all)
            chosen.push_back(&f);
    if (chosen.empty()) {
        tool_fail("plot: %s has no functions", file.c_str());
        return 2;
    }
    Picture picture;
    picture.background = kWhite;
    picture.width = width;
    std::string head = std::filesystem::path(input).filename().string() + "/" + file + ": " +
                       std::to_string(all.size()) + " function" + (all.size() == 1 ? "" : "s");
    if (bpm > 0) head += "; beat grid " + picture_number(bpm) + " BPM from where the music is heard";
    picture_text(&picture, 10, 8, head, kInk);
    int32_t columns = small ? (width >= 1100 ? 3 : width >= 700 ? 2 : 1) : 1;
    double panel_w = double(width - 20) / columns, panel_h = small ? 170 : 260;
    size_t rows = (chosen.size() + size_t(columns) - 1) / size_t(columns);
    if (height > 0) panel_h = std::max(90.0, std::floor((height - 30.0) / double(rows)));
    if (26 + double(rows) * panel_h + 4 > kPictureMaxSide) {
        tool_fail("plot: %u functions do not fit in one picture: choose some with --function",
                  unsigned(chosen.size()));
        return 2;
    }
    for (size_t i = 0; i < chosen.size(); i++) {
        PlotPanel panel = {};
        panel.x = 10 + double(i % size_t(columns)) * panel_w;
        panel.y = 26 + double(i / size_t(columns)) * panel_h;
        panel.w = panel_w - 8;
        panel.h = panel_h - 10;
        if (from || to) {
            panel.t0 = from_ms / 10, panel.t1 = to_ms / 10;
        } else {
            plot_default_range(*chosen[i], &timeline, &panel.t0, &panel.t1);
        }
        panel.bpm = bpm;
        panel.beat_origin = plot_beat_origin(chosen[i]->number, timeline);
        panel.note = plot_usage_note(chosen[i]->number, timeline);
        plot_panel(&picture, *chosen[i], panel);
    }
    picture.height = height > 0 ? height : int32_t(26 + double(rows) * panel_h + 4);
    if (!picture_write(picture, output, &why)) {
        tool_fail("plot: %s", why.c_str());
        return 2;
    }
    return 0;
}

} // namespace tools
