// Captures what the engine logs while in scope.
#pragma once

#include "resources/log.h"

#include <cstdio>
#include <string>

namespace testutil {

struct LogCapture {
    FILE *file;
    LogCapture() : file(std::tmpfile()) { resources::log_attach(file); }
    ~LogCapture() {
        resources::log_attach(nullptr);
        std::fclose(file);
    }
    std::string text() {
        std::fflush(file);
        std::rewind(file);
        std::string out;
        int c;
        while ((c = std::fgetc(file)) != EOF) out += static_cast<char>(c);
        return out;
    }
};

} // namespace testutil
