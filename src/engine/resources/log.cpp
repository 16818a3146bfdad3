#include "resources/log.h"

#include <cstdarg>

namespace resources {

static FILE *g_log_file = nullptr;

void log_attach(FILE *file) { g_log_file = file; }

FILE *log_attached() { return g_log_file; }

void log_line(const char *text) {
    if (!g_log_file) return;
    std::fputs(text, g_log_file);
    std::fputs("\r\n", g_log_file);
    std::fflush(g_log_file);
}

void log_format(const char *format, ...) {
    if (!g_log_file) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(g_log_file, format, args);
    va_end(args);
    std::fflush(g_log_file);
}

} // namespace resources
