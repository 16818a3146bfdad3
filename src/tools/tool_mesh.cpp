// bvtool mesh: the geometry one frame of a package's demo draws, written as Wavefront OBJ.
#include "tools/bvtool.h"
#include "tools/tool_scene.h"
#include "tools/tool_time.h"

#include "render/draw_capture.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tools {

namespace {

struct MeshOptions {
    ToolSceneOptions scene = {nullptr, 1280, 720, false, false, nullptr, nullptr};
    const char *out = nullptr;
    std::vector<uint32_t> times;
};

// False on bad arguments; *bad_time names a time option that is not a time.
bool parse(int argc, char **argv, MeshOptions *o, const char **bad_time) {
    for (int i = 1; i < argc; i++) {
        int used = tool_scene_parse_option(argc, argv, i, &o->scene, false);
        if (used < 0) return false;
        if (used > 0) {
            i += used - 1;
        } else if (std::strcmp(argv[i], "--time") == 0 && i + 1 < argc) {
            uint32_t ms;
            if (!tool_time_parse(argv[++i], &ms)) {
                *bad_time = argv[i];
                return false;
            }
            o->times.push_back(ms);
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            o->out = argv[++i];
        } else {
            return false;
        }
    }
    return o->out && !o->times.empty() && tool_scene_options_valid(o->scene);
}

} // namespace

int tool_mesh(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::printf(
            "usage: bvtool mesh PKG --time T [--time T]... [--size WxH] [--combiners] --out FILE.obj\n"
            "Loads the package's demo document as the player does, plays the frames at the given demo\n"
            "times T in order, as successive frames, and writes what the last one drew as Wavefront\n"
            "OBJ: one group per drawn instance (o s<slot>_l<layer>_o<object>_i<item>_n<n>), its\n"
            "vertices moved by the instance's model matrix (no view or projection). The file's first\n"
            "line names the document time drawn (\"at 11.50 s (1150)\": seconds, and the hundredths a\n"
            "document counts in).\n"
            "T is in %s.\n",
            kTimeOptionForms);
        return 0;
    }
    MeshOptions o;
    const char *bad_time = nullptr;
    if (!parse(argc, argv, &o, &bad_time)) {
        if (bad_time) return tool_fail("mesh: --time %s is not a time: give %s", bad_time, kTimeOptionForms);
        return tool_fail("mesh: bad arguments (see bvtool mesh --help)");
    }
    FILE *out = std::fopen(o.out, "wb");
    if (!out) return tool_fail("mesh: cannot write %s", o.out);
    ToolScene ts;
    if (!tool_scene_open("mesh", o.scene, &ts)) {
        std::fclose(out);
        std::remove(o.out);
        return ts.exit_status;
    }
    for (size_t i = 0; i + 1 < o.times.size(); i++)
        tool_scene_render(&ts, o.times[i]);
    std::string header = std::string("bvtool mesh ") + o.scene.package + " at " +
                         tool_time_demo(o.times.back()) + " (" + (o.scene.combiners ? "combiners" : "GLSL") +
                         ")";
    render::draw_capture_begin(out, header.c_str());
    tool_scene_render(&ts, o.times.back());
    render::draw_capture_end();
    tool_scene_close(&ts);
    bool ok = std::ferror(out) == 0;
    ok = std::fclose(out) == 0 && ok;
    if (!ok) return tool_fail("mesh: cannot write %s", o.out);
    return 0;
}

} // namespace tools
