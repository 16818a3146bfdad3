#include "tools/tool_scene.h"
#include "tools/tool_build.h"

#include "music/music_stream.h"
#include "player/platform/platform.h"
#include "render/frame.h"
#include "resources/log.h"
#include "resources/xml.h"
#include "scene/scene.h"
#include "scene/scene_loader.h"
#include "tools/bvtool.h"

#include <filesystem>
#include <GL/glew.h>
#include <SDL.h>
#include <cstdio>
#include <cstring>

namespace tools {

int tool_scene_parse_option(int argc, char **argv, int i, ToolSceneOptions *o, bool allow_no_fbo) {
    const char *a = argv[i];
    if (std::strcmp(a, "--size") == 0) {
        if (i + 1 >= argc || std::sscanf(argv[i + 1], "%dx%d", &o->width, &o->height) != 2) return -1;
        return 2;
    }
    if (std::strcmp(a, "--combiners") == 0) {
        o->combiners = true;
        return 1;
    }
    if (allow_no_fbo && std::strcmp(a, "--no-fbo") == 0) {
        o->no_fbo = true;
        return 1;
    }
    if (a[0] != '-' && !o->package) {
        o->package = a;
        return 1;
    }
    return 0;
}

bool tool_scene_options_valid(const ToolSceneOptions &o) {
    return o.package && o.width >= 16 && o.height >= 16 && o.width <= 8192 && o.height <= 8192;
}

bool tool_window_open(const char *command, const ToolSceneOptions &o, player::GlWindow *win) {
    if (!player::platform_video_start()) {
        tool_fail("%s: cannot open a window: %s", command, SDL_GetError());
        return false;
    }
    win->screen = player::ScreenSize{o.width, o.height};
    win->aspect = player::screen_aspect_for(0, win->screen);
    win->viewport = player::screen_viewport_fit(win->screen, win->aspect);
    win->glsl = o.combiners ? 0 : 1;
    // The tools draw as fast as they can; a swap that waits for the display would hold them to its rate.
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 0);
    if (!player::gl_window_open(win, false, false, "bvtool") ||
        !player::gl_window_setup(win, true, nullptr)) {
        tool_fail("%s: no OpenGL window", command);
        return false;
    }
    if (o.no_fbo) {
        win->caps.fbo = 0;
        render::render_set_framebuffer(0);
    }
    return true;
}

bool tool_scene_open(const char *command, const ToolSceneOptions &o, ToolScene *out) {
    *out = ToolScene{};
    out->exit_status = 2;
    player::platform_binary_stream(stderr); // the log's line ends as they are
    resources::log_attach(stderr);
    // The package first: a wrong path is reported as such, even where no window can open. A demo
    // folder is packed in memory as bvtool build packs it.
    FolderPackage folder;
    std::error_code ec;
    FILE *package = nullptr;
    if (std::filesystem::is_directory(o.package, ec)) {
        std::string error;
        if (!tool_folder_package(o.package, &folder, &error)) {
            for (const analysis::Finding &f : folder.findings)
                std::fprintf(stderr, "%s\n", analysis::finding_format(f).c_str());
            tool_fail("%s: %s", command, error.c_str());
            if (!folder.findings.empty()) out->exit_status = 1;
            return false;
        }
        package = player::platform_memory_file(folder.bytes.data(), folder.bytes.size());
    } else {
        package = std::fopen(o.package, "rb");
    }
    if (!package) {
        tool_fail("%s: cannot open %s", command, o.package);
        return false;
    }
    player::GlWindow &win = out->win;
    if (!tool_window_open(command, o, &win)) {
        std::fclose(package);
        out->exit_status = kToolNoWindowStatus;
        return false;
    }
    if (o.stage_done) o.stage_done(o.stage_user, scene::LOAD_STAGE_START);
    scene::DocumentStatus status;
    resources::XmlNode *document = scene::scene_document_read(package, "demo.xmlz", &status);
    if (!document) {
        SDL_Quit();
        std::fclose(package);
        tool_fail("%s: demo.xmlz is %s", command, status == scene::DOCUMENT_MISSING ? "missing" : "damaged");
        return false;
    }
    if (o.stage_done) o.stage_done(o.stage_user, scene::LOAD_STAGE_DOCUMENT);
    out->demo = scene::scene_create();
    scene::LoadContext ctx = {package, &win.formats, win.caps, win.glsl, nullptr, o.stage_done, o.stage_user};
    status = out->demo ? scene::scene_document_build(out->demo, document, "demo.xmlz", &ctx)
                       : scene::DOCUMENT_MALFORMED;
    const char *music = music::music_element_file(
        scene::scene_document_section(document, scene::kMusicSection), &out->music_offset);
    if (music) out->music_file = music;
    resources::xml_free(document);
    std::fclose(package);
    if (status != scene::DOCUMENT_OK) {
        tool_scene_close(out);
        tool_fail("%s: demo.xmlz cannot be played", command);
        return false;
    }
    return true;
}

void tool_scene_close(ToolScene *ts) {
    scene::scene_release(ts->demo);
    ts->demo = nullptr;
    SDL_Quit();
}

void tool_scene_clear_window() {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
}

uint32_t tool_scene_render(ToolScene *ts, uint32_t ms) {
    return render::render_at_time(ts->demo, ms / 10, static_cast<uint16_t>(ts->win.screen.width),
                                  static_cast<uint16_t>(ts->win.screen.height), ts->win.viewport,
                                  ts->win.caps, ts->win.glsl);
}

} // namespace tools
