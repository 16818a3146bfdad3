#!/bin/sh
# Builds the engine for the browser (WebAssembly and WebGL 2) into build-web/, from the same
# CMakeLists as the native build: build-web/index.html (the player) and frame.html, each with its
# .js and .wasm, studio.html (the editor) with its script and its two programs, and
# build-web/sample/, the sample demo's folder to serve (scripts/run-web.sh).
# Installs what is missing (Debian's emscripten, and the headless browsers the tests use: Chromium,
# and Firefox ESR with PulseAudio for its sound). The libraries come from Debian's source packages,
# built for wasm once into a cache outside the checkout (scripts/third-party.sh); the generators the
# build runs come from the native build in build/, made first when it is missing.
set -eu
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/install-deps.sh emscripten chromium-headless-shell firefox-esr pulseaudio
# The studio's editor comes from the npm registry (npm ci, versions pinned by its lock file): a
# machine whose Node.js has no npm of its own takes Debian's.
if ! command -v npm >/dev/null 2>&1; then
    scripts/install-deps.sh npm
fi
if [ ! -x build/launcher_artwork ] || [ ! -f build/sample/sample.dpk ]; then
    scripts/build.sh
fi
# Debian's emscripten runs on the first node on PATH; one that is not Debian's own does not look
# in Debian's module folder and misses acorn.
NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
export NODE_PATH
prefix=$(scripts/third-party.sh wasm32-emscripten)
emcmake cmake -S . -B build-web -DBV_THIRD_PARTY="$prefix" -DBV_HOST_BUILD="$PWD/build" \
    -DCMAKE_BUILD_TYPE=Release -DBV_WERROR="${BV_WERROR:-ON}" >/dev/null
cmake --build build-web -j2
# What a viewer's browser downloads for each page: the page, its script and its wasm (the studio:
# its page, its script, and its two programs, each a script and a wasm).
for page in index frame bench studio; do
    raw=0
    packed=0
    files="build-web/$page.html build-web/$page.js build-web/$page.wasm"
    if [ "$page" = studio ]; then
        files="build-web/studio.html build-web/studio.js build-web/studio_frame.js build-web/studio_frame.wasm
               build-web/studio_worker.js build-web/studio_worker.wasm"
    fi
    for f in $files; do
        echo "build-web: $f: $(wc -c <"$f") bytes, $(gzip -9c "$f" | wc -c) gzipped"
        raw=$((raw + $(wc -c <"$f")))
        packed=$((packed + $(gzip -9c "$f" | wc -c)))
    done
    echo "build-web: $page.html with its script and wasm: $raw bytes, $packed gzipped"
done
