// frame.html's program, the browser's twin of bvtool render: the page fetches a package into the
// file system and passes its path, the demo times and the canvas size; the program loads the demo
// document as the player does, draws the frames at the times in order (as successive frames) and
// leaves the last one on the canvas. The page's title then says "frame ready", or
// "frame failed: REASON". The player's log lines go to the browser's console.
#include "player/gl_window.h"
#include "player/screen.h"
#include "render/frame.h"
#include "render/material.h"
#include "resources/log.h"
#include "resources/object_list.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"

#include <GL/glew.h>
#include <SDL.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <emscripten.h>
#include <string>
#include <vector>

namespace {

int fail(const std::string &reason) {
    emscripten_set_window_title(("frame failed: " + reason).c_str());
    std::printf("frame failed: %s\n", reason.c_str());
    return 1;
}

// "1000,2500,2500": the times in milliseconds; false on anything else.
bool parse_times(const char *text, std::vector<uint32_t> *times) {
    const char *p = text;
    while (*p) {
        char *end = nullptr;
        unsigned long v = std::strtoul(p, &end, 10);
        if (end == p || v > 0xFFFFFFFFul) return false;
        times->push_back(uint32_t(v));
        p = end;
        if (*p == ',')
            p++;
        else if (*p)
            return false;
    }
    return !times->empty();
}

} // namespace

int main(int argc, char **argv) {
    std::vector<uint32_t> times;
    int width = 0, height = 0;
    if (argc != 4 || !parse_times(argv[2], &times) || std::sscanf(argv[3], "%dx%d", &width, &height) != 2 ||
        width < 16 || height < 16 || width > 8192 || height > 8192)
        return fail("bad parameters (package=P&time=MS[,MS...]&size=WxH)");
    resources::log_attach(stdout);
    FILE *package = std::fopen(argv[1], "rb");
    if (!package) return fail("cannot open the package");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail("no video");
    player::GlWindow win = {};
    win.screen = player::ScreenSize{width, height};
    win.aspect = player::screen_aspect_for(0, win.screen);
    win.viewport = player::screen_viewport_fit(win.screen, win.aspect);
    win.glsl = 1;
    if (!player::gl_window_open(&win, false, false, "frame") || !player::gl_window_setup(&win, true, nullptr))
        return fail("no WebGL 2");

    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(package, "demo.xmlz", &status);
    if (!document)
        return fail(status == scene::DOCUMENT_MISSING ? "demo.xmlz is missing from the package"
                                                      : "demo.xmlz is damaged and cannot be inflated");
    scene::Scene *demo = scene::scene_create();
    scene::LoadContext ctx = {package, &win.formats, win.caps, win.glsl, nullptr, nullptr, nullptr};
    status =
        demo ? scene::scene_document_build(demo, document, "demo.xmlz", &ctx) : scene::DOCUMENT_MALFORMED;
    resources::xml_free(document);
    std::fclose(package);
    if (status != scene::DOCUMENT_OK) return fail("demo.xmlz cannot be played");

    // Every program the document's materials made, generated or the document's own, as WebGL took it.
    uint32_t programs = 0, linked = 0;
    for (uint32_t i = 1; i <= demo->materials->count; i++) {
        const render::Material *m = resources::object_at<render::Material>(demo->materials, i);
        if (!m) continue;
        const render::ShaderProgram *p = m->enable_glsl ? &m->custom : m->generated;
        if (!p || (!m->enable_glsl && p->reference) || !p->program) continue; // shared: counted once
        GLint ok = GL_FALSE;
        glGetProgramiv(p->program, GL_LINK_STATUS, &ok);
        programs++;
        linked += ok == GL_TRUE;
    }
    std::printf("GLSL programs: %u of %u linked\n", linked, programs);

    for (uint32_t t : times) {
        // The whole canvas black first, bars included, as bvtool render clears its window.
        glDisable(GL_SCISSOR_TEST);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        render::render_at_time(demo, t / 10, uint16_t(width), uint16_t(height), win.viewport, win.caps,
                               win.glsl);
    }
    // The scene and its GL objects stay: the canvas shows the last frame once this returns.
    emscripten_set_window_title("frame ready");
    return 0;
}
