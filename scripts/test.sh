#!/bin/sh
# Installs what is missing, builds with warnings as errors and runs every test: first the ordinary
# build (build/) with the Windows programs (build-win/, run under Wine) and the web build
# (build-web/, run in headless Chromium), then the same tests built
# with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), then every libFuzzer target
# for 30 seconds (build-fuzz/, scripts/fuzz.sh).
# Tests that need OpenGL or a window run under Xvfb when there is no display; -noreset keeps
# the server from resetting (and refusing connections) whenever its last client goes away.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh

run_tests() {
    if [ -n "${DISPLAY:-}" ]; then
        ctest --test-dir "$1" --output-on-failure -j2
    else
        xvfb-run -a -s "-noreset -screen 0 1280x1024x24" ctest --test-dir "$1" --output-on-failure -j2
    fi
}

BV_WERROR=ON scripts/build.sh
# The Windows programs, tested under Wine with the native build's end-to-end tests (label windows),
# and the web build, tested in headless Chromium (label web).
BV_WERROR=ON scripts/build-windows.sh
BV_WERROR=ON scripts/build-web.sh
cmake -S . -B build -DBV_WINDOWS_BUILD="$PWD/build-win/x86_64" -DBV_WEB_BUILD="$PWD/build-web" >/dev/null
run_tests build

cmake --preset sanitize -DBV_WERROR=ON >/dev/null
cmake --build build-asan -j2
run_tests build-asan

scripts/fuzz.sh "${BV_FUZZ_SECONDS:-30}"
