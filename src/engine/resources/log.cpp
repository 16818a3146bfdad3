#include "resources/log.h"

#include <cstdarg>
#include <initializer_list>

namespace resources {

static FILE *g_log_file = nullptr;
static FILE *g_log_mirror = nullptr;

void log_attach(FILE *file) { g_log_file = file; }

FILE *log_attached() { return g_log_file; }

void log_mirror(FILE *stream) { g_log_mirror = stream; }

void log_line(const char *text) {
    for (FILE *f : {g_log_file, g_log_mirror}) {
        if (!f) continue;
        std::fputs(text, f);
        std::fputs("\r\n", f);
        std::fflush(f);
    }
}

void log_format(const char *format, ...) {
    for (FILE *f : {g_log_file, g_log_mirror}) {
        if (!f) continue;
        va_list args;
        va_start(args, format);
        std::vfprintf(f, format, args);
        va_end(args);
        std::fflush(f);
    }
}

} // namespace resources
