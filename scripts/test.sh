#!/bin/sh
# Installs what is missing, builds with warnings as errors and runs every test.
# Tests that need OpenGL or a window run under Xvfb when there is no display; -noreset keeps
# the server from resetting (and refusing connections) whenever its last client goes away.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BV_WERROR=ON scripts/build.sh
if [ -n "${DISPLAY:-}" ]; then
    ctest --test-dir build --output-on-failure -j2
else
    xvfb-run -a -s "-noreset -screen 0 1280x1024x24" ctest --test-dir build --output-on-failure -j2
fi
