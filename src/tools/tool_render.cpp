// bvtool render: one frame of a package's demo document, rendered as the player renders it, to PNG.
#include "tools/bvtool.h"
#include "tools/tool_png.h"
#include "tools/tool_scene.h"
#include "tools/tool_time.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstring>
#include <vector>

namespace tools {

namespace {

struct RenderOptions {
    ToolSceneOptions scene = {nullptr, 1280, 720, false, false, nullptr, nullptr};
    const char *out = nullptr;
    uint32_t time_ms = 0;
    bool has_time = false;
};

// False on bad arguments; *bad_time names a time option that is not a time.
bool parse(int argc, char **argv, RenderOptions *o, const char **bad_time) {
    for (int i = 1; i < argc; i++) {
        int used = tool_scene_parse_option(argc, argv, i, &o->scene, true);
        if (used < 0) return false;
        if (used > 0) {
            i += used - 1;
        } else if (std::strcmp(argv[i], "--time") == 0 && i + 1 < argc) {
            if (!tool_time_parse(argv[++i], &o->time_ms)) {
                *bad_time = argv[i];
                return false;
            }
            o->has_time = true;
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            o->out = argv[++i];
        } else {
            return false;
        }
    }
    return o->out && o->has_time && tool_scene_options_valid(o->scene);
}

} // namespace

int tool_render(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::printf(
            "usage: bvtool render PKG --time T [--size WxH] [--combiners] [--no-fbo] --out FILE.png\n"
            "Loads the package's demo document as the player does and writes the frame at demo time T\n"
            "(the player draws the hundredth of a second T falls in). The window is 1280x720 unless\n"
            "--size; the 16:9 picture is fitted with the automatic aspect. --combiners uses the\n"
            "texture-combiner path instead of GLSL; --no-fbo renders targets by copying from the\n"
            "window, as without EXT_framebuffer_object. Prints how many layers drew an object and the\n"
            "document time drawn (\"11.50 s (1150)\": seconds, and the hundredths a document counts\n"
            "in). The player's log lines go to standard error.\n"
            "T is in %s.\n",
            kTimeOptionForms);
        return 0;
    }
    RenderOptions o;
    const char *bad_time = nullptr;
    if (!parse(argc, argv, &o, &bad_time)) {
        if (bad_time)
            return tool_fail("render: --time %s is not a time: give %s", bad_time, kTimeOptionForms);
        return tool_fail("render: bad arguments (see bvtool render --help)");
    }
    ToolScene ts;
    if (!tool_scene_open("render", o.scene, &ts)) return ts.exit_status;
    tool_scene_clear_window();
    uint32_t drawn = tool_scene_render(&ts, o.time_ms);
    int width = o.scene.width, height = o.scene.height;
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    tool_scene_close(&ts);

    // GL rows run bottom to top; PNG rows top to bottom.
    int stride = width * 3;
    bool ok = tool_png_write(o.out, width, height, 3, pixels.data() + size_t(height - 1) * stride, -stride);
    if (!ok) return tool_fail("render: cannot write %s", o.out);
    std::printf("%u layers drew an object at %s\n", drawn, tool_time_demo(o.time_ms).c_str());
    return 0;
}

} // namespace tools
