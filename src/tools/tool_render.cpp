// bvtool render: one frame of a package's demo document, rendered as the player renders it, to PNG.
#include "tools/bvtool.h"
#include "tools/tool_png.h"
#include "tools/tool_scene.h"

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

bool parse(int argc, char **argv, RenderOptions *o) {
    for (int i = 1; i < argc; i++) {
        int used = tool_scene_parse_option(argc, argv, i, &o->scene, true);
        if (used < 0) return false;
        if (used > 0) {
            i += used - 1;
        } else if (std::strcmp(argv[i], "--time") == 0 && i + 1 < argc) {
            if (!tool_parse_ms(argv[++i], &o->time_ms)) return false;
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
        std::puts("usage: bvtool render PKG --time T [--size WxH] [--combiners] [--no-fbo] --out FILE.png\n"
                  "Loads the package's demo document as the player does and writes the frame at demo time\n"
                  "T milliseconds (window 1280x720 unless --size; the 16:9 picture is fitted with the\n"
                  "automatic aspect). --combiners uses the texture-combiner path instead of GLSL; --no-fbo\n"
                  "renders targets by copying from the window, as without EXT_framebuffer_object.\n"
                  "The player's log lines go to standard error.");
        return 0;
    }
    RenderOptions o;
    if (!parse(argc, argv, &o)) return tool_fail("render: bad arguments (see bvtool render --help)");
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
    std::printf("%u layers drew an object\n", drawn);
    return 0;
}

} // namespace tools
