// bvtool bench: how long a package takes to load, stage by stage, and to draw, frame by frame,
// with the engine's own time split from the time spent in OpenGL and the buffer swap.
#include "tools/bvtool.h"
#include "tools/tool_gl_count.h"
#include "tools/tool_scene.h"
#include "tools/tool_time.h"

#include "player/platform/platform.h"

#include "render/frame.h"
#include "render/layer.h"
#include "scene/scene.h"

#include <GL/glew.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tools {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char *kStageNames[scene::kLoadStageCount] = {
    "start",     "package and documents",         "texture layers", "texture graph", "models", "bitmaps",
    "cube maps", "materials and shader compiles", "the rest"};
static_assert(sizeof(kStageNames) / sizeof(kStageNames[0]) == scene::kLoadStageCount, "one name per stage");

struct StageClock {
    Clock::time_point last;
    double seconds[scene::kLoadStageCount];
};

void stage_done(void *user, scene::LoadStage stage) {
    StageClock *c = static_cast<StageClock *>(user);
    Clock::time_point now = Clock::now();
    if (stage != scene::LOAD_STAGE_START)
        c->seconds[stage] += std::chrono::duration<double>(now - c->last).count();
    c->last = now;
}

// The timeline's end in hundredths: the latest end of any layer slot.
uint32_t timeline_end(const scene::Scene *sc) {
    uint32_t end = 0;
    for (const scene::LayerSlot &slot : sc->slots)
        end = std::max(end, slot.end_time);
    return end;
}

struct FrameTimes {
    double total, engine, gl;
    uint64_t calls;
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int tool_bench(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::puts(
            "usage: bvtool bench PKG [--size WxH] [--frames N] [--combiners] [--json] [--calls]\n"
            "Loads the package's demo document as the player does and prints the load time of each\n"
            "stage in seconds, then draws N frames (default 200) at a fixed step across the timeline\n"
            "(its end printed as \"74.00 s (7400)\": seconds, and the hundredths a document counts in)\n"
            "and prints the frame time in milliseconds (min, median, max), the engine's own share (the\n"
            "frame's CPU time outside OpenGL calls) against OpenGL's (inside the calls, glFinish and\n"
            "the swap), and the GL calls per frame (--calls: by entry point, on standard error with\n"
            "--json). glFinish runs at the split points in this mode only. --json keeps every time in\n"
            "milliseconds (load_ms, frame_ms, ...) and adds the timeline's end (timeline_end_s).");
        return 0;
    }
    ToolSceneOptions o = {nullptr, 1280, 720, false, false, nullptr, nullptr};
    int frames = 200;
    bool json = false, by_name = false;
    for (int i = 1; i < argc; i++) {
        int used = tool_scene_parse_option(argc, argv, i, &o, false);
        if (used < 0) return tool_fail("bench: bad value for %s", argv[i]);
        if (used > 0) {
            i += used - 1;
        } else if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--calls") == 0) {
            by_name = true;
        } else {
            return tool_fail("bench: bad arguments (see bvtool bench --help)");
        }
    }
    if (!tool_scene_options_valid(o) || frames < 1 || frames > 100000)
        return tool_fail("bench: bad arguments (see bvtool bench --help)");
    if (by_name && !gl_count_available())
        return tool_fail("bench: --calls: GL calls cannot be counted in this build of bvtool");
    // Library messages (such as the line index note) must not break the JSON report.
    int saved_stdout = json ? player::platform_stdout_divert() : -1;
    StageClock stages = {};
    o.stage_done = stage_done;
    o.stage_user = &stages;
    ToolScene ts;
    if (!tool_scene_open("bench", o, &ts)) {
        player::platform_stdout_restore(saved_stdout);
        return ts.exit_status;
    }
    gl_count_install();
    // Calls made while loading are not the frames': the frames' count is the difference.
    std::vector<std::pair<const char *, uint64_t>> before;
    gl_count_each(
        [](void *u, const char *n, uint64_t c) {
            static_cast<std::vector<std::pair<const char *, uint64_t>> *>(u)->push_back({n, c});
        },
        &before);
    uint32_t end = timeline_end(ts.demo);
    std::vector<FrameTimes> times;
    uint32_t drawn_frames = 0;
    glFinish();
    gl_count_timing(true);
    for (int f = 0; f < frames; f++) {
        uint32_t t = frames > 1 ? uint32_t(uint64_t(end) * f / frames) : 0;
        gl_count_reset();
        Clock::time_point start = Clock::now();
        if (render::render_at_time(ts.demo, t, uint16_t(ts.win.screen.width), uint16_t(ts.win.screen.height),
                                   ts.win.viewport, ts.win.caps, ts.win.glsl))
            drawn_frames++;
        Clock::time_point issued = Clock::now();
        double in_gl = gl_count_seconds();
        uint64_t calls = gl_count_calls();
        glFinish();
        player::gl_window_swap();
        Clock::time_point done = Clock::now();
        double render = std::chrono::duration<double>(issued - start).count();
        double total = std::chrono::duration<double>(done - start).count();
        times.push_back({total, render - in_gl, total - (render - in_gl), calls});
    }
    gl_count_timing(false);
    player::platform_stdout_restore(saved_stdout);
    if (by_name) {
        // With --json standard output holds the JSON object alone.
        struct Report {
            const std::vector<std::pair<const char *, uint64_t>> *before;
            int frames;
            FILE *out;
        } report = {&before, frames, json ? stderr : stdout};
        std::fprintf(report.out, "GL calls a frame by entry point (mean over the frames)\n");
        gl_count_each(
            [](void *u, const char *n, uint64_t c) {
                Report *r = static_cast<Report *>(u);
                for (const auto &b : *r->before)
                    if (b.first == n) c -= b.second;
                if (c) std::fprintf(r->out, "  %-28s %9.1f\n", n, double(c) / r->frames);
            },
            &report);
    }
    tool_scene_close(&ts);

    std::vector<double> total, engine, gl, calls;
    for (const FrameTimes &t : times) {
        total.push_back(t.total * 1000);
        engine.push_back(t.engine * 1000);
        gl.push_back(t.gl * 1000);
        calls.push_back(double(t.calls));
    }
    double load = 0;
    for (int s = 1; s < scene::kLoadStageCount; s++)
        load += stages.seconds[s];
    if (json) {
        std::printf("{\n  \"load_ms\": {");
        for (int s = 1; s < scene::kLoadStageCount; s++)
            std::printf("%s\"%s\": %.3f", s > 1 ? ", " : "", kStageNames[s], stages.seconds[s] * 1000);
        std::printf(", \"total\": %.3f},\n", load * 1000);
        std::printf("  \"frames\": %d, \"frames_drawing\": %u, \"size\": \"%dx%d\", \"path\": \"%s\",\n",
                    frames, drawn_frames, o.width, o.height, o.combiners ? "combiners" : "glsl");
        std::printf("  \"timeline_end_s\": %u.%02u,\n", end / 100, end % 100);
        std::printf("  \"frame_ms\": {\"min\": %.3f, \"median\": %.3f, \"max\": %.3f},\n",
                    *std::min_element(total.begin(), total.end()), median(total),
                    *std::max_element(total.begin(), total.end()));
        if (!gl_count_available()) {
            std::printf(
                "  \"engine_ms_median\": null, \"gl_ms_median\": null, \"gl_calls_per_frame\": null\n}\n");
            return 0;
        }
        std::printf("  \"engine_ms_median\": %.3f, \"gl_ms_median\": %.3f,\n", median(engine), median(gl));
        std::printf("  \"gl_calls_per_frame\": {\"min\": %.0f, \"median\": %.0f, \"max\": %.0f}\n}\n",
                    *std::min_element(calls.begin(), calls.end()), median(calls),
                    *std::max_element(calls.begin(), calls.end()));
        return 0;
    }
    // Stages take from a millisecond to seconds: seconds to the millisecond read well for all.
    std::printf("load (s)\n");
    for (int s = 1; s < scene::kLoadStageCount; s++)
        std::printf("  %-30s %9.3f\n", kStageNames[s], stages.seconds[s]);
    std::printf("  %-30s %9.3f\n", "total", load);
    std::printf("frames: %d at %dx%d across the timeline to %s, %s path (%u drew a layer)\n", frames, o.width,
                o.height, tool_time_document(end).c_str(), o.combiners ? "combiners" : "GLSL", drawn_frames);
    std::printf("  frame time (ms)   min %.2f  median %.2f  max %.2f\n",
                *std::min_element(total.begin(), total.end()), median(total),
                *std::max_element(total.begin(), total.end()));
    if (!gl_count_available()) {
        std::printf("  (the engine's and OpenGL's shares and the GL calls are not measured in this build)\n");
        return 0;
    }
    std::printf("  median split (ms) engine %.2f  OpenGL and swap %.2f\n", median(engine), median(gl));
    std::printf("  GL calls a frame  min %.0f  median %.0f  max %.0f\n",
                *std::min_element(calls.begin(), calls.end()), median(calls),
                *std::max_element(calls.begin(), calls.end()));
    return 0;
}

} // namespace tools
