// Program entry of bvtool: dispatches to the sub-commands.
#include "tools/bvtool.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace tools {

bool tool_write_whole(const char *path, const uint8_t *data, uint32_t size) {
    std::string temp = std::string(path) + ".partial";
    FILE *f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0) ok = false;
    std::error_code ec;
    if (ok) std::filesystem::rename(temp, path, ec);
    if (!ok || ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

bool tool_wants_help(int argc, char **argv) {
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

int tool_fail(const char *format, ...) {
    std::fputs("bvtool: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    return 2;
}

} // namespace tools

namespace {

struct Command {
    const char *name;
    int (*run)(int argc, char **argv);
    const char *summary;
};

constexpr Command kCommands[] = {
    {"pack", tools::tool_pack, "pack OUT.dpk [-C DIR] NAME...   store files in a new package"},
    {"list", tools::tool_list, "list PKG                        name and size of every entry"},
    {"extract", tools::tool_extract, "extract PKG DESTDIR [NAME...]   write entries out as files"},
    {"compress", tools::tool_compress, "compress IN OUT                 pack a file as length + zlib"},
    {"decompress", tools::tool_decompress, "decompress IN OUT               unpack a length + zlib file"},
    {"render", tools::tool_render, "render PKG --time T --out F.png   capture one frame of the demo"},
    {"textures", tools::tool_textures,
     "textures PKG OUTDIR             write the procedural textures as PNGs"},
    {"mesh", tools::tool_mesh, "mesh PKG --time T --out F.obj   write the geometry of one frame as OBJ"},
    {"effects", tools::tool_effects, "effects PKG OUTDIR [--time T]  write the 2D effects as PNGs"},
    {"model", tools::tool_model, "model IN.obj OUT.mdl            convert a Wavefront OBJ file to a model"},
    {"build", tools::tool_build, "build SRCDIR OUT.dpk            pack a demo folder, compressing its .xml"},
    {"bench", tools::tool_bench, "bench PKG [--frames N]          time the load and the frames of a demo"},
    {"capture", tools::tool_capture,
     "capture PKG OUT.mp4|OUTDIR      a span as a video file, or as frames and a WAV"},
    {"check", tools::tool_check,
     "check DIR|PKG [--json]          report what the player would silently get wrong"},
    {"preview", tools::tool_preview,
     "preview DIR [--size WxH]        play a demo folder, reloading it on every save"},
    {"docs", tools::tool_docs, "docs OUT.md                     write the scene document reference"},
    {"web", tools::tool_web, "web PKG OUTDIR [--pages DIR]    a folder that plays the demo from a web server"},
    {"font", tools::tool_font, "font FONT.ttf OUTDIR [...]      glyph models and font records from a font"},
    {"lsp", tools::tool_lsp, "lsp                             the language server for an editor (stdin, stdout)"},
    {"timeline", tools::tool_timeline,
     "timeline DIR|PKG OUT.svg|.png   draw the timeline: layers, music, the demo's end"},
    {"plot", tools::tool_plot, "plot DIR|PKG OUT.svg|.png       draw the animation functions as curves"},
    {"names", tools::tool_names,
     "names DIR --to names|numbers    write a folder's references as @names or as numbers"},
};
static_assert(sizeof(kCommands) / sizeof(kCommands[0]) == 22, "one row per sub-command");

void print_usage(FILE *out) {
    std::fputs("usage: bvtool COMMAND [ARGS...]   (bvtool COMMAND --help for details)\n", out);
    for (const Command &c : kCommands)
        std::fprintf(out, "  %s\n", c.summary);
    std::fputs("Exit status: 0 done, 1 findings in a demo, 2 bad arguments or input, or a machine that\n"
               "cannot do the job (no display for the commands that draw).\n",
               out);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        print_usage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        print_usage(stdout);
        return 0;
    }
    for (const Command &c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 1, argv + 1);
    std::fprintf(stderr, "bvtool: unknown command \"%s\"\n", argv[1]);
    print_usage(stderr);
    return 2;
}
