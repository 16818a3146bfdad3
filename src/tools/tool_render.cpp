// bvtool render: one frame of a package's demo document, rendered as the player renders it, to PNG.
#include "tools/bvtool.h"

#include "player/gl_window.h"
#include "player/screen.h"
#include "render/frame.h"
#include "resources/log.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"

#include <GL/glew.h>
#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stb_image_write.h>
#include <vector>

namespace tools {

namespace {

struct RenderOptions {
    const char *package = nullptr;
    const char *out = nullptr;
    long time_ms = -1;
    int width = 1280, height = 720;
    bool combiners = false;
    bool no_fbo = false;
};

bool parse(int argc, char **argv, RenderOptions *o) {
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        bool has_value = i + 1 < argc;
        if (std::strcmp(a, "--time") == 0 && has_value) {
            char *end = nullptr;
            o->time_ms = std::strtol(argv[++i], &end, 10);
            if (!end || *end || o->time_ms < 0) return false;
        } else if (std::strcmp(a, "--size") == 0 && has_value) {
            if (std::sscanf(argv[++i], "%dx%d", &o->width, &o->height) != 2) return false;
        } else if (std::strcmp(a, "--out") == 0 && has_value) {
            o->out = argv[++i];
        } else if (std::strcmp(a, "--combiners") == 0) {
            o->combiners = true;
        } else if (std::strcmp(a, "--no-fbo") == 0) {
            o->no_fbo = true;
        } else if (a[0] != '-' && !o->package) {
            o->package = a;
        } else {
            return false;
        }
    }
    return o->package && o->out && o->time_ms >= 0 && o->width >= 16 && o->height >= 16 && o->width <= 8192 &&
           o->height <= 8192;
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
    FILE *package = std::fopen(o.package, "rb");
    if (!package) return tool_fail("render: cannot open %s", o.package);
    resources::log_attach(stderr);

    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fclose(package);
        return tool_fail("render: cannot initialise video: %s", SDL_GetError());
    }
    player::GlWindow win = {};
    win.screen = player::ScreenSize{o.width, o.height};
    win.aspect = player::screen_aspect_for(0, win.screen);
    win.viewport = player::screen_viewport_fit(win.screen, win.aspect);
    win.glsl = o.combiners ? 0 : 1;
    if (!player::gl_window_open(&win, false, false, "bvtool render") || !player::gl_window_setup(&win, true, nullptr)) {
        std::fclose(package);
        return tool_fail("render: no OpenGL window");
    }
    if (o.no_fbo) {
        win.caps.fbo = 0;
        render::render_set_framebuffer(0);
    }

    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(package, "demo.xmlz", &status);
    if (!document) {
        SDL_Quit();
        std::fclose(package);
        return tool_fail("render: demo.xmlz is %s", status == scene::DOCUMENT_MISSING ? "missing" : "damaged");
    }
    scene::Scene *demo = scene::scene_create();
    scene::LoadContext ctx = {package, &win.formats, win.caps, win.glsl, nullptr};
    status = scene::scene_document_build(demo, document, "demo.xmlz", &ctx);
    resources::xml_free(document);
    std::fclose(package);
    if (status != scene::DOCUMENT_OK) {
        scene::scene_release(demo);
        SDL_Quit();
        return tool_fail("render: demo.xmlz cannot be played");
    }

    // The capture starts from a black window, bars included (a window's first back buffer holds
    // whatever the driver left there).
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    uint32_t drawn = render::render_at_time(demo, static_cast<uint32_t>(o.time_ms / 10),
                                            static_cast<uint16_t>(o.width), static_cast<uint16_t>(o.height),
                                            win.viewport, win.caps, win.glsl);
    std::vector<uint8_t> pixels(size_t(o.width) * o.height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, o.width, o.height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    scene::scene_release(demo);
    SDL_Quit();

    // GL rows run bottom to top; PNG rows top to bottom.
    int stride = o.width * 3;
    bool ok = stbi_write_png(o.out, o.width, o.height, 3, pixels.data() + size_t(o.height - 1) * stride, -stride) != 0;
    if (!ok) return tool_fail("render: cannot write %s", o.out);
    std::printf("%u layers drew an object\n", drawn);
    return 0;
}

} // namespace tools
