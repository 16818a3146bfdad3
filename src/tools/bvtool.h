// bvtool: the authoring and capture command. One function per sub-command; each returns the exit status.
#pragma once

#include <cstdint>

namespace tools {

int tool_pack(int argc, char **argv);
int tool_list(int argc, char **argv);
int tool_extract(int argc, char **argv);
int tool_compress(int argc, char **argv);
int tool_decompress(int argc, char **argv);
int tool_render(int argc, char **argv);
int tool_textures(int argc, char **argv);
int tool_mesh(int argc, char **argv);
int tool_effects(int argc, char **argv);
int tool_model(int argc, char **argv);
int tool_build(int argc, char **argv);
int tool_bench(int argc, char **argv);
int tool_capture(int argc, char **argv);
int tool_check(int argc, char **argv);
int tool_preview(int argc, char **argv);
int tool_docs(int argc, char **argv);
int tool_web(int argc, char **argv);
int tool_font(int argc, char **argv);
int tool_lsp(int argc, char **argv);
int tool_timeline(int argc, char **argv);
int tool_plot(int argc, char **argv);
int tool_names(int argc, char **argv);

// True when argument i asks for help ("--help" or "-h").
bool tool_wants_help(int argc, char **argv);
// Prints "bvtool: " and the message on standard error; returns exit status 2
// (bad input, or an environment that cannot do the job; findings are 1 and returned by the caller).
int tool_fail(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Writes SIZE bytes to PATH through PATH.partial renamed into place, so a failure leaves no
// half-written file (and any earlier file untouched). False on any failure.
bool tool_write_whole(const char *path, const uint8_t *data, uint32_t size);

} // namespace tools
