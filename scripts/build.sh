#!/bin/sh
# Configures and builds into build/ (Release with assertions off, warnings as errors when BV_WERROR=ON).
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DBV_WERROR="${BV_WERROR:-OFF}" >/dev/null
cmake --build build -j2
