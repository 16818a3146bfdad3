#!/bin/sh
# Installs what is missing, builds with warnings as errors and runs every test.
# Tests that need OpenGL or a window run under Xvfb when there is no display.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BV_WERROR=ON scripts/build.sh
if [ -n "${DISPLAY:-}" ]; then
    ctest --test-dir build --output-on-failure -j2
else
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j2
fi
