#!/bin/sh
# Checks that a cross-built libvorbisfile decodes exactly as Debian's native one: a few
# seconds of tones are encoded with oggenc, decoded by vorbis_decode_check.c built for
# TARGET (run under Wine or node) and compared byte for byte with `oggdec -R`.
# Usage: scripts/third-party/vorbis-check.sh x86_64-w64-mingw32|wasm32-emscripten [PREFIX]
# PREFIX defaults to what scripts/third-party.sh TARGET prints.
set -eu

HERE=$(cd "$(dirname "$0")" && pwd)
TARGET=${1:-}
case $TARGET in
x86_64-w64-mingw32) PACKAGES="vorbis-tools python3 wine64" ;;
wasm32-emscripten) PACKAGES="vorbis-tools python3" ;;
i686-w64-mingw32)
    echo "vorbis-check: i686 programs cannot run here (no 32-bit execution, no wine32)" >&2
    exit 2 ;;
*) echo "usage: $0 x86_64-w64-mingw32|wasm32-emscripten [PREFIX]" >&2; exit 2 ;;
esac

# shellcheck disable=SC2086
"$HERE/../install-deps.sh" $PACKAGES >&2

PREFIX=${2:-$("$HERE/../third-party.sh" "$TARGET")}
WORK=$(mktemp -d /tmp/vorbis-check.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

# Two channels of chords and a little seeded noise, with fades, so that many samples are
# small and land near rounding boundaries.
python3 - tones.wav <<'EOF'
import math, random, struct, sys, wave
rate, secs = 44100, 8
rng = random.Random(1234)
frames = bytearray()
for i in range(rate * secs):
    t = i / rate
    env = min(1.0, t / 0.5, (secs - t) / 1.5)
    left = 0.30 * math.sin(2 * math.pi * 220.0 * t) + 0.15 * math.sin(2 * math.pi * 1318.5 * t)
    right = 0.25 * math.sin(2 * math.pi * 329.6 * t) + 0.10 * math.sin(2 * math.pi * 3520.0 * t * (1 + 0.1 * t))
    noise = 0.02 * (rng.random() - 0.5)
    for v in (left, right):
        frames += struct.pack('<h', int(round(32767 * max(-1.0, min(1.0, env * v + noise)))))
with wave.open(sys.argv[1], 'wb') as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(rate)
    w.writeframes(bytes(frames))
EOF
oggenc -Q -q 3 -o tones.ogg tones.wav
oggdec -Q -R -o expected.raw tones.ogg

export PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig"
unset PKG_CONFIG_PATH || true
# shellcheck disable=SC2046
if [ "$TARGET" = wasm32-emscripten ]; then
    export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
    # SINGLE_FILE: emscripten 3.1.6 would fetch() a separate .wasm, which node 18+ refuses
    # for a file path.
    emcc -O2 -sNODERAWFS=1 -sSINGLE_FILE=1 -o check.js "$HERE/vorbis_decode_check.c" \
        $(pkg-config --static --cflags --libs vorbisfile)
    node check.js tones.ogg decoded.raw
else
    x86_64-w64-mingw32-gcc-posix -O2 -static -o check.exe "$HERE/vorbis_decode_check.c" \
        $(pkg-config --static --cflags --libs vorbisfile)
    export WINEPREFIX="$WORK/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
    # The prefix is ready once its wineserver has exited.
    /usr/lib/wine/wineserver -w
    /usr/lib/wine/wine64 ./check.exe tones.ogg decoded.raw
    /usr/lib/wine/wineserver -w
fi

size=$(wc -c <expected.raw)
if cmp -s expected.raw decoded.raw; then
    echo "vorbis-check: $TARGET: $size bytes identical to oggdec -R"
    exit 0
fi
python3 - expected.raw decoded.raw <<'EOF'
import struct, sys
a = open(sys.argv[1], 'rb').read()
b = open(sys.argv[2], 'rb').read()
n = min(len(a), len(b)) // 2
x = struct.unpack('<%dh' % n, a[:2 * n])
y = struct.unpack('<%dh' % n, b[:2 * n])
d = [abs(p - q) for p, q in zip(x, y) if p != q]
print("vorbis-check: sizes %d and %d; %d of %d samples differ, by at most %d"
      % (len(a), len(b), len(d), n, max(d) if d else 0))
EOF
echo "vorbis-check: $TARGET: FAILED, output differs from oggdec -R" >&2
exit 1
