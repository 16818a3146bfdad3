"""Prints the RMS and peak level of every 2 s bar of the sample music (an .ogg, decoded with oggdec,
or a 16-bit .wav), as a quick look at the arrangement without listening."""

import array
import math
import os
import subprocess
import sys
import tempfile
import wave

BAR_SECONDS = 2.0


def main(path):
    with tempfile.TemporaryDirectory() as folder:
        if path.endswith(".ogg"):
            decoded = os.path.join(folder, "music.wav")
            subprocess.run(["oggdec", "-Q", "-o", decoded, path], check=True)
            path = decoded
        with wave.open(path, "rb") as w:
            rate, channels = w.getframerate(), w.getnchannels()
            samples = array.array("h")
            samples.frombytes(w.readframes(w.getnframes()))
    if sys.byteorder == "big":
        samples.byteswap()
    per_bar = int(BAR_SECONDS * rate) * channels
    for first in range(0, len(samples), per_bar):
        part = samples[first:first + per_bar]
        rms = math.sqrt(math.fsum(x * x for x in part) / len(part)) / 32768.0
        peak = max(max(part), -min(part)) / 32768.0
        rms_db = 20.0 * math.log10(max(rms, 1e-9))
        peak_db = 20.0 * math.log10(max(peak, 1e-9))
        bar = first // per_bar
        print("bar %2d %5.1f s  rms %6.1f dB  peak %6.1f dB  %s"
              % (bar, bar * BAR_SECONDS, rms_db, peak_db, "#" * max(0, int(rms_db + 45))))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit("usage: bar_levels.py MUSIC.ogg|MUSIC.wav")
    main(sys.argv[1])
