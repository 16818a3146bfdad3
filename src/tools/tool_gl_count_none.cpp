// GL call counting where it cannot be done (see tool_gl_count.h): nothing is counted.
#include "tools/tool_gl_count.h"

namespace tools {

bool gl_count_available() {
    return false;
}

void gl_count_install() {}

void gl_count_timing(bool) {}

void gl_count_reset() {}

uint64_t gl_count_calls() {
    return 0;
}

void gl_count_each(void (*)(void *user, const char *name, uint64_t calls), void *) {}

double gl_count_seconds() {
    return 0.0;
}

} // namespace tools
