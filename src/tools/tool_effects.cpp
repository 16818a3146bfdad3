// bvtool effects: the demo document's 2D effects, brought to chosen times as the player updates
// them, read back from GL and written as PNG.
#include "tools/bvtool.h"
#include "tools/tool_png.h"
#include "tools/tool_scene.h"
#include "tools/tool_time.h"

#include "geometry/effect2d.h"
#include "scene/scene.h"

#include <GL/glew.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace tools {

int tool_effects(int argc, char **argv) {
    if (tool_wants_help(argc, argv)) {
        std::printf("usage: bvtool effects PKG OUTDIR [--time T]...\n"
                    "Loads the package's demo document as the player does, updates every 2D effect in list\n"
                    "order at each given demo time T in order, then reads every effect's texture back and\n"
                    "writes it as OUTDIR/NNN.png (NNN its place in the list, three digits; 8-bit effects\n"
                    "greyscale, 24-bit RGB). Without --time the images are those of creation.\n"
                    "T is in %s.\n",
                    kTimeOptionForms);
        return 0;
    }
    ToolSceneOptions scene = {nullptr, 64, 64, false, false, nullptr, nullptr};
    const char *outdir = nullptr;
    std::vector<uint32_t> times;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--time") == 0 && i + 1 < argc) {
            uint32_t ms;
            if (!tool_time_parse(argv[++i], &ms))
                return tool_fail("effects: --time %s is not a time: give %s", argv[i], kTimeOptionForms);
            times.push_back(ms);
        } else if (argv[i][0] != '-' && !scene.package) {
            scene.package = argv[i];
        } else if (argv[i][0] != '-' && !outdir) {
            outdir = argv[i];
        } else {
            return tool_fail("effects: bad arguments (see bvtool effects --help)");
        }
    }
    if (!scene.package || !outdir) return tool_fail("effects: expected a package and a folder");
    std::error_code ec;
    std::filesystem::create_directories(outdir, ec);
    if (!std::filesystem::is_directory(outdir, ec)) return tool_fail("effects: cannot make %s", outdir);
    ToolScene ts;
    if (!tool_scene_open("effects", scene, &ts)) return ts.exit_status;
    resources::ObjectList *effects = ts.demo->effects2d;
    bool pbo = ts.win.caps.pbo != 0;
    for (uint32_t ms : times)
        for (uint32_t p = 1; p <= effects->count; p++)
            geometry::effect2d_update(p, effects, ts.demo->functions, ms / 10, pbo);
    int status = 0;
    for (uint32_t p = 1; p <= effects->count && status == 0; p++) {
        const geometry::Effect2D *e = resources::object_at<geometry::Effect2D>(effects, p);
        int channels = e->bits_per_pixel / 8;
        std::vector<uint8_t> pixels(size_t(e->width) * e->height * channels);
        glBindTexture(GL_TEXTURE_2D, e->texture);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        // Red holds the luminance of an 8-bit effect whatever internal format it was given.
        glGetTexImage(GL_TEXTURE_2D, 0, channels == 1 ? GL_RED : GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        char name[16];
        std::snprintf(name, sizeof name, "%03u.png", p);
        std::string path = (std::filesystem::path(outdir) / name).string();
        if (!tool_png_write(path.c_str(), e->width, e->height, channels, pixels.data(),
                            long(e->width) * channels))
            status = tool_fail("effects: cannot write %s", path.c_str());
    }
    if (status == 0)
        std::printf("%u 2D effects written%s%s\n", effects->count, times.empty() ? "" : " at ",
                    times.empty() ? "" : tool_time_demo(times.back()).c_str());
    tool_scene_close(&ts);
    return status;
}

} // namespace tools
