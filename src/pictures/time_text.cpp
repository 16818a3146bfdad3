#include "pictures/time_text.h"

#include <cstdio>

namespace pictures {

std::string time_text_document(uint32_t hundredths) {
    char text[48];
    std::snprintf(text, sizeof text, "%u.%02u s (%u)", hundredths / 100, hundredths % 100, hundredths);
    return text;
}

std::string time_text_seconds(double seconds, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f s", decimals < 0 ? 0 : decimals > 6 ? 6 : decimals, seconds);
    return text;
}

} // namespace pictures
