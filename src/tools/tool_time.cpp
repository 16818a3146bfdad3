#include "tools/tool_time.h"

#include "pictures/time_text.h"

#include <cstdio>
#include <cstring>

namespace tools {

bool tool_time_parse(const char *text, uint32_t *ms) {
    if (!text) return false;
    // Whole part, then (seconds only) up to three decimals, counted exactly in milliseconds.
    uint64_t whole = 0, fraction = 0;
    int whole_digits = 0, fraction_digits = 0;
    const char *p = text;
    for (; *p >= '0' && *p <= '9'; p++, whole_digits++) {
        whole = whole * 10 + uint64_t(*p - '0');
        if (whole > 0xFFFFFFFFull) return false;
    }
    bool point = *p == '.';
    if (point)
        for (p++; *p >= '0' && *p <= '9'; p++, fraction_digits++) {
            if (fraction_digits == 3) return false; // finer than a millisecond
            fraction = fraction * 10 + uint64_t(*p - '0');
        }
    if (whole_digits + fraction_digits == 0) return false;
    uint64_t value;
    if (std::strcmp(p, "s") == 0) {
        for (int d = fraction_digits; d < 3; d++)
            fraction *= 10;
        value = whole * 1000 + fraction;
    } else if (!point && (*p == 0 || std::strcmp(p, "ms") == 0)) {
        value = whole;
    } else {
        return false;
    }
    if (value > 0xFFFFFFFFull) return false;
    *ms = static_cast<uint32_t>(value);
    return true;
}

std::string tool_time_document(uint32_t hundredths) {
    return pictures::time_text_document(hundredths);
}

std::string tool_time_demo(uint32_t ms) {
    return tool_time_document(ms / 10);
}

std::string tool_time_seconds(double seconds, int decimals) {
    return pictures::time_text_seconds(seconds, decimals);
}

} // namespace tools
