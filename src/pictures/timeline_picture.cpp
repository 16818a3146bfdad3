// The timeline picture: a row per layer slot, each layer a bar, the music's waveform beneath, the
// demo's end and the check's findings where they stand. Pure computation over the model.
#include "pictures/timeline_picture.h"
#include "pictures/time_text.h"

#include "music/music_stream.h"
#include "render/layer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace pictures {

namespace {

constexpr Colour kGrid = {225, 225, 232};
constexpr Colour kWave = {40, 140, 140};

struct ModeLook {
    Colour fill, text;
    const char *short_name; // inside narrow bars
};
// By render mode: drawing into a texture stands out in warm colours.
constexpr ModeLook kModeLooks[] = {
    {{74, 127, 193}, kWhite, "simple"},   {{224, 138, 44}, kWhite, "to texture"},
    {{230, 184, 60}, kInk, "to quarter"}, {{154, 95, 192}, kWhite, "to cube map"},
    {{160, 172, 186}, kInk, "linked"},    {{192, 95, 138}, kWhite, "cube to texture"},
};
static_assert(sizeof(kModeLooks) / sizeof(kModeLooks[0]) == render::kRenderModeCount,
              "one look per render mode");
constexpr ModeLook kUnknownMode = {{176, 176, 176}, kInk, "unknown mode"};

const ModeLook &mode_look(uint8_t type) {
    return type < render::kRenderModeCount ? kModeLooks[type] : kUnknownMode;
}

std::string object_label(const analysis::TimelineLayer &l) {
    if (l.object == 0) return "no object";
    std::string s = "object " + std::to_string(l.object);
    if (!l.object_exists) return s + " (none)";
    return l.object_name.empty() ? s : s + " \"" + l.object_name + "\"";
}

std::string target_label(const analysis::TimelineLayer &l) {
    if (!render::render_mode_has_target(l.type)) return "";
    std::string kind = l.type == render::MODE_CUBEMAP ? "cube map " : "bitmap ";
    std::string s = "-> " + kind + std::to_string(l.rtex);
    return l.target_name.empty() ? s : s + " \"" + l.target_name + "\"";
}

std::string mode_name(uint8_t type) {
    return type < render::kRenderModeCount ? render::kRenderModeNames[type]
                                           : "render mode " + std::to_string(type);
}

// The label that fits a bar: the fullest of a few forms.
std::string bar_label(const analysis::TimelineLayer &l, double width) {
    std::string object = object_label(l), target = target_label(l);
    std::string number = l.object ? std::to_string(l.object) : "-";
    std::string named = l.object_name.empty() ? number : number + " " + l.object_name;
    const std::string forms[] = {
        object + ", " + mode_name(l.type) + (target.empty() ? "" : " " + target),
        object + ", " + mode_look(l.type).short_name + (target.empty() ? "" : " " + target),
        named + " " + mode_look(l.type).short_name,
        named,
        number,
    };
    for (const std::string &f : forms)
        if (picture_text_width(f) <= width) return f;
    return picture_text_fit(named, width);
}

void marker(Picture *p, double x, double y, int32_t number) {
    picture_circle(p, x, y, 6.5, kFindingRed, 1.0f, kWhite, 1.0f);
    picture_text(p, x + 0.5, y - 4, std::to_string(number), kWhite, 1, ANCHOR_MIDDLE);
}

} // namespace

void waveform_begin(WaveformBuilder *b) {
    *b = WaveformBuilder{};
}

void waveform_add(WaveformBuilder *b, const int16_t *values, uint32_t count) {
    constexpr uint32_t kFramesPerHundredth = music::kDeviceRate / 100;
    for (uint32_t i = 0; i + 1 < count; i += 2) {
        int32_t v = (int32_t(values[i]) + int32_t(values[i + 1])) / 2;
        if (b->in_bucket == 0) b->low = b->high = v;
        b->low = std::min(b->low, v), b->high = std::max(b->high, v);
        if (++b->in_bucket == kFramesPerHundredth) {
            b->wave.low.push_back(int16_t(b->low));
            b->wave.high.push_back(int16_t(b->high));
            b->in_bucket = 0;
        }
    }
    b->frames += count / 2;
}

void waveform_end(WaveformBuilder *b, Waveform *out) {
    if (b->in_bucket) {
        b->wave.low.push_back(int16_t(b->low));
        b->wave.high.push_back(int16_t(b->high));
    }
    *out = std::move(b->wave);
    out->found = true;
    out->problem.clear();
    out->length_ms = uint32_t(std::min<uint64_t>(0xFFFFFFFFu, b->frames * 1000 / music::kDeviceRate));
    *b = WaveformBuilder{};
}

double timeline_music_heard(uint32_t music_offset_ms) {
    double silence_ms = double(music::kLeadingSilence) / 4.0 * 1000.0 / music::kDeviceRate;
    return (double(music_offset_ms) + silence_ms) / 10.0;
}

double axis_x(const TimeAxis &a, double t) {
    return a.t1 > a.t0 ? a.x0 + (t - a.t0) * (a.x1 - a.x0) / (a.t1 - a.t0) : a.x0;
}

double axis_time(const TimeAxis &a, double x) {
    return a.x1 > a.x0 ? a.t0 + (x - a.x0) * (a.t1 - a.t0) / (a.x1 - a.x0) : a.t0;
}

double timeline_tick_step(double min_step) {
    static const double kSteps[] = {1,    2,    5,    10,   20,    50,    100,   200,    500,
                                    1000, 1500, 3000, 6000, 12000, 30000, 60000, 180000, 360000};
    for (double s : kSteps)
        if (s >= min_step) return s;
    return std::ceil(min_step / 360000.0) * 360000.0;
}

std::string timeline_seconds_label(double hundredths) {
    double s = hundredths / 100.0;
    char buf[32];
    if (std::fabs(s - std::round(s)) < 1e-9)
        std::snprintf(buf, sizeof buf, "%.0f s", s);
    else if (std::fabs(s * 10 - std::round(s * 10)) < 1e-9)
        std::snprintf(buf, sizeof buf, "%.1f s", s);
    else
        std::snprintf(buf, sizeof buf, "%.2f s", s);
    return buf;
}

void timeline_picture(const analysis::TimelineModel &m, const Waveform &music, const TimelineStyle &style,
                      Picture *out, TimeAxis *axis, double *strip_top, double *strip_bottom) {
    *out = Picture{};
    out->background = kWhite;
    const int32_t width = std::max(240, std::min(kPictureMaxSide, style.width));
    out->width = width;
    const bool full = style.full;

    // The slots that have layers, in order.
    std::vector<int32_t> slots;
    for (const analysis::TimelineLayer &l : m.layers)
        if (slots.empty() || slots.back() != l.slot) slots.push_back(l.slot);
    double music_start = timeline_music_heard(m.music_offset);
    double music_end = music.found ? music_start + music.length_ms / 10.0 : 0.0;

    const double label_w = full ? 96 : 64;
    TimeAxis a = {label_w + 8, double(width - 14), 0, 0};
    double last = std::max({double(m.last_end), double(m.demo_end), music_end, 100.0});
    double step = timeline_tick_step(70.0 * last / std::max(1.0, a.x1 - a.x0));
    a.t1 = std::ceil(last / step) * step;
    step = timeline_tick_step(70.0 * a.t1 / std::max(1.0, a.x1 - a.x0));

    double y = 8;
    if (full) {
        auto count = [](size_t n, const char *one) {
            return std::to_string(n) + " " + one + (n == 1 ? "" : "s");
        };
        std::string head = style.title + ": " + count(m.layers.size(), "layer") + " in " +
                           count(slots.size(), "slot") + "; ";
        head += m.nothing_draws ? "nothing draws: the player ends at once"
                                : "the demo ends at " + time_text_document(m.demo_end);
        if (!m.music_file.empty() && music.found)
            head += "; the music plays until " + time_text_document(uint32_t(music_end));
        picture_text(out, 10, y, head, kInk);
        y += 20;
    }
    picture_group_begin(out, "axis",
                        {{"x0", picture_number(a.x0, 3)},
                         {"x1", picture_number(a.x1, 3)},
                         {"t0", picture_number(a.t0, 3)},
                         {"t1", picture_number(a.t1, 3)}},
                        "");
    picture_group_end(out);
    // The ruler: seconds above, the end of the demo and findings about the whole timeline below.
    double ruler = y;
    for (double t = 0; t <= a.t1 + 1e-9; t += step) {
        double x = axis_x(a, t);
        std::string label = timeline_seconds_label(t);
        uint8_t anchor = t == 0 ? ANCHOR_START : ANCHOR_MIDDLE;
        if (x + picture_text_width(label) / 2.0 > width - 2) anchor = ANCHOR_END;
        picture_text(out, anchor == ANCHOR_END ? x + 2 : x, ruler, label, kInk, 1, anchor);
        picture_line(out, x, ruler + 12, x, ruler + 17, kInk);
    }
    picture_line(out, a.x0, ruler + 17.5, a.x1, ruler + 17.5, kInk);
    double marks = ruler + 20;
    double row_h = style.row_height > 0 ? style.row_height : (full ? 24 : 16);
    double music_h = full ? 44 : std::max(16.0, row_h);
    double rows_top = marks + 14;
    if (style.height > 0) {
        double reserved = rows_top + music_h + 12 + (full ? 60 : 0);
        double fit = (style.height - reserved) / std::max<size_t>(1, slots.size());
        row_h = std::max(10.0, std::min(row_h, std::floor(fit)));
    }
    double music_top = rows_top + double(slots.size()) * row_h + 6;
    double bottom = music_top + music_h;
    *strip_top = rows_top;
    *strip_bottom = bottom;

    // Row bands and their names.
    for (size_t i = 0; i < slots.size(); i++) {
        double ry = rows_top + double(i) * row_h;
        if (i % 2 == 0) picture_rect(out, 0, ry, width, row_h, {244, 245, 248});
        picture_text(out, 8, ry + (row_h - 8) / 2, "slot " + std::to_string(slots[i]), kInk);
    }
    picture_rect(out, 0, music_top, width, music_h, {238, 246, 246});
    picture_text(out, 8, music_top + (music_h - 8) / 2, "music", kInk);
    for (double t = step; t <= a.t1 + 1e-9; t += step)
        picture_line(out, axis_x(a, t), rows_top, axis_x(a, t), bottom, kGrid);

    // Layers: the gap before each, then its bar.
    std::vector<int32_t> finding_of_layer(m.layers.size(), 0);
    for (size_t i = 0; i < m.findings.size(); i++)
        if (m.findings[i].layer >= 0 && !finding_of_layer[size_t(m.findings[i].layer)])
            finding_of_layer[size_t(m.findings[i].layer)] = int32_t(i + 1);
    for (size_t i = 0; i < m.layers.size(); i++) {
        const analysis::TimelineLayer &l = m.layers[i];
        size_t row = size_t(std::find(slots.begin(), slots.end(), l.slot) - slots.begin());
        double ry = rows_top + double(row) * row_h + 3, rh = row_h - 6;
        double xs = axis_x(a, l.start), xb = axis_x(a, l.begin), xe = axis_x(a, l.end);
        if (l.begin > l.start) {
            picture_group_begin(out, "gap",
                                {{"slot", std::to_string(l.slot)},
                                 {"layer", std::to_string(l.index)},
                                 {"start", std::to_string(l.start)},
                                 {"end", std::to_string(l.begin)}},
                                "slot " + std::to_string(l.slot) + ": nothing from " +
                                    time_text_document(l.start) + " to " + time_text_document(l.begin) +
                                    " (space_before of layer " + std::to_string(l.index) + ")");
            picture_rect(out, xs, ry, xb - xs, rh, kWhite).stroke_width = 0;
            Shape &gap = picture_frame(out, xs + 0.5, ry + 0.5, std::max(0.0, xb - xs - 1), rh - 1, kFaint);
            gap.dash = 3;
            std::string text =
                picture_text_fit("gap " + timeline_seconds_label(l.begin - l.start), xb - xs - 6);
            if (!text.empty())
                picture_text(out, (xs + xb) / 2, ry + (rh - 8) / 2, text, kFaint, 1, ANCHOR_MIDDLE);
            picture_group_end(out);
        }
        const ModeLook &look = mode_look(l.type);
        std::string title = "slot " + std::to_string(l.slot) + " layer " + std::to_string(l.index) +
                            " (line " + std::to_string(l.line) + "): " + object_label(l) + ", " +
                            mode_name(l.type) +
                            (render::render_mode_has_target(l.type) ? " " + target_label(l) : "") +
                            ", from " + time_text_document(l.begin) + " to " + time_text_document(l.end) +
                            (l.offset ? ", its time offset by " + time_text_document(l.offset) : "");
        picture_group_begin(out, "layer",
                            {{"slot", std::to_string(l.slot)},
                             {"layer", std::to_string(l.index)},
                             {"start", std::to_string(l.begin)},
                             {"end", std::to_string(l.end)},
                             {"object", std::to_string(l.object)},
                             {"mode", std::to_string(l.type)}},
                            title);
        double bw = std::max(1.0, xe - xb - 1); // a pixel apart from the next
        picture_rect(out, xb, ry, bw, rh, look.fill, l.object_exists ? 1.0f : 0.35f);
        if (render::render_mode_has_target(l.type)) // drawn into a texture: a dark band on top
            picture_rect(out, xb, ry, bw, 3, {90, 50, 20}, 0.8f);
        if (finding_of_layer[i])
            picture_frame(out, xb + 1, ry + 1, std::max(0.0, bw - 2), rh - 2, kFindingRed, 2);
        double room = finding_of_layer[i] ? 16 : 0; // the finding's mark stands at the bar's start
        std::string label = bar_label(l, bw - 6 - room);
        if (!label.empty())
            picture_text(out, xb + 3 + room, ry + (rh - 8) / 2, label, l.object_exists ? look.text : kInk);
        picture_group_end(out);
    }

    // The music: its waveform from where it starts, to its end.
    if (music.found && !music.low.empty()) {
        double x_start = axis_x(a, music_start), x_end = axis_x(a, music_end);
        double mid = music_top + music_h / 2, amp = music_h / 2 - 3;
        std::vector<double> columns;
        for (double x = std::floor(x_start); x < x_end && x < a.x1 + 1; x += 1) {
            double h0 = std::max(0.0, axis_time(a, x) - music_start), h1 = axis_time(a, x + 1) - music_start;
            size_t b0 = size_t(h0), b1 = std::min(music.low.size(), size_t(std::ceil(std::max(h0 + 1, h1))));
            int32_t lo = 0, hi = 0;
            for (size_t b = b0; b < b1; b++)
                lo = std::min<int32_t>(lo, music.low[b]), hi = std::max<int32_t>(hi, music.high[b]);
            double top = mid - amp * hi / 32768.0, low = mid - amp * lo / 32768.0;
            columns.push_back(top);
            columns.push_back(std::max(low, top + 1));
        }
        picture_group_begin(
            out, "music",
            {{"file", m.music_file},
             {"start", picture_number(music_start)},
             {"end", picture_number(music_end)}},
            m.music_file + ": " + time_text_seconds(music.length_ms / 1000.0, 2) + ", heard from " +
                timeline_seconds_label(music_start) + " (music offset " + std::to_string(m.music_offset) +
                " ms, then the player's leading silence) to " + timeline_seconds_label(music_end));
        picture_columns(out, std::floor(x_start), 1.0, columns, kWave);
        picture_line(out, x_end, music_top, x_end, bottom, kWave, 1.5f);
        if (full)
            picture_text(out, std::min(x_end, a.x1) - 4, music_top + 2,
                         "music ends " + timeline_seconds_label(music_end), kWave, 1, ANCHOR_END);
        picture_group_end(out);
    } else {
        picture_text(out, a.x0 + 4, music_top + (music_h - 8) / 2,
                     m.music_file.empty() ? "no music" : music.problem, kFaint);
    }

    // The beat grid, from the music's start (from 0 without music).
    if (style.bpm > 0) {
        double beat = 6000.0 / style.bpm, first = m.music_file.empty() ? 0.0 : music_start;
        if ((a.t1 - first) / beat < 20000) {
            int32_t n = 0;
            for (double t = first; t <= a.t1; t += beat, n++) {
                double x = axis_x(a, t);
                picture_line(out, x, rows_top, x, bottom, {60, 60, 200}, n % 4 == 0 ? 1.0f : 0.6f, 0.0f,
                             n % 4 == 0 ? 0.45f : 0.2f);
            }
        }
    }

    // The end of the demo, and where nothing draws before the last layer ends.
    picture_group_begin(out, "end", {{"time", std::to_string(m.demo_end)}},
                        "the demo ends at " + time_text_document(m.demo_end) + ": nothing draws there");
    if (m.hole)
        picture_rect(out, axis_x(a, m.demo_end), rows_top, axis_x(a, m.resumes) - axis_x(a, m.demo_end),
                     bottom - rows_top, kMarkRed, 0.15f);
    double xe = axis_x(a, m.demo_end);
    picture_line(out, xe, marks, xe, bottom, kMarkRed, 2.0f);
    std::string end_text = "end " + timeline_seconds_label(m.demo_end);
    if (m.hole) end_text += ": nothing draws until " + timeline_seconds_label(m.resumes);
    bool left = xe + 4 + picture_text_width(end_text) > a.x1 + 10;
    picture_text(out, left ? xe - 4 : xe + 4, marks + 1, end_text, kMarkRed, 1,
                 left ? ANCHOR_END : ANCHOR_START);
    picture_group_end(out);

    // Findings: a numbered mark where each is, the words below.
    for (size_t i = 0; i < m.findings.size(); i++) {
        const analysis::TimelineFinding &f = m.findings[i];
        double fx, fy;
        if (f.layer >= 0) {
            const analysis::TimelineLayer &l = m.layers[size_t(f.layer)];
            size_t row = size_t(std::find(slots.begin(), slots.end(), l.slot) - slots.begin());
            fx = axis_x(a, l.begin) + 8;
            fy = rows_top + double(row) * row_h + row_h / 2;
        } else if (f.slot >= 0 && std::find(slots.begin(), slots.end(), f.slot) != slots.end()) {
            size_t row = size_t(std::find(slots.begin(), slots.end(), f.slot) - slots.begin());
            fx = label_w;
            fy = rows_top + double(row) * row_h + row_h / 2;
        } else if (f.music) {
            fx = label_w;
            fy = music_top + music_h / 2;
        } else {
            fx = left ? xe + 9 : xe - 9; // beside the line, away from its words
            fy = marks + 5;
        }
        picture_group_begin(out, "finding", {{"line", std::to_string(f.finding.line)}},
                            analysis::finding_format(f.finding));
        marker(out, fx, fy, int32_t(i + 1));
        picture_group_end(out);
    }
    y = bottom + 10;
    if (full) {
        // The legend of the render modes.
        double x = 10;
        for (int t = 0; t < render::kRenderModeCount; t++) {
            std::string name = render::kRenderModeNames[t];
            double w = 14 + picture_text_width(name) + 14;
            if (x + w > width - 10) {
                x = 10;
                y += 16;
            }
            picture_rect(out, x, y, 10, 10, kModeLooks[t].fill);
            picture_text(out, x + 14, y + 1, name, kInk);
            x += w;
        }
        y += 18;
        picture_rect(out, 10, y, 10, 10, kModeLooks[0].fill, 0.35f);
        picture_text(out, 24, y + 1, "pale: draws no object", kInk);
        picture_rect(out, 190, y, 10, 3, {90, 50, 20}, 0.8f);
        picture_text(out, 204, y + 1, "dark top: drawn into a texture", kInk);
        y += 20;
        constexpr size_t kFindingsWritten = 60; // the rest are on standard error
        for (size_t i = 0; i < m.findings.size(); i++) {
            if (i == kFindingsWritten) {
                picture_text(out, 10, y, std::to_string(m.findings.size() - i) + " more on standard error",
                             kFindingRed);
                y += 12;
                break;
            }
            std::string line = std::to_string(i + 1) + "  " + analysis::finding_format(m.findings[i].finding);
            for (const std::string &part : picture_text_wrap(line, width - 20)) {
                picture_text(out, 10, y, part, kFindingRed);
                y += 12;
            }
        }
    }
    out->height = style.height > 0 ? style.height : int32_t(std::ceil(y + 4));
    *axis = a;
}

} // namespace pictures
