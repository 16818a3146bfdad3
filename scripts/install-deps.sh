#!/bin/sh
# Installs the Debian 12 packages that the build, the tests and the player need, or the packages
# named as arguments (the cross builds' scripts name theirs).
# Idempotent: packages already present are left alone and nothing runs when all are there.
set -eu

PACKAGES="${*:-build-essential cmake pkg-config
libsdl1.2-dev libglew-dev libstb-dev zlib1g-dev libgl-dev libglu1-mesa-dev libgl1-mesa-dri
googletest libgtest-dev libbenchmark-dev
xvfb xauth xdotool vorbis-tools imagemagick python3
clang libclang-rt-14-dev libsamplerate0-dev libvorbis-dev libpng-dev libjpeg62-turbo-dev
libexpat1-dev nlohmann-json3-dev libegl-dev neovim libfreetype-dev fonts-dejavu-core python3-fonttools
libavcodec-dev libavformat-dev libswscale-dev libswresample-dev libavutil-dev ffmpeg}"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -z "$missing" ]; then
    exit 0
fi

echo "install-deps: installing$missing"
if [ "$(id -u)" -eq 0 ]; then
    SUDO=""
elif command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
else
    echo "install-deps: missing packages:$missing (run as root or install sudo)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
