#include "player/log_file.h"

#include "player/platform/platform.h"
#include "resources/log.h"

namespace player {

FILE *log_file_open() {
    if (!platform_probe_create(kLogFileName)) return nullptr;
    FILE *file = std::fopen(kLogFileName, "wb");
    if (!file) return nullptr;
    resources::log_attach(file);
    resources::log_format("%s\r\n", kCaption);
    return file;
}

void log_file_close(FILE *file) {
    resources::log_attach(nullptr);
    if (file) std::fclose(file);
}

} // namespace player
