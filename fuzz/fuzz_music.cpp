// The music file: any bytes as the Ogg Vorbis file a demo names, opened and decoded (resampled to
// 44.1 kHz when the file says another rate) for up to two seconds of sound.
#include "fuzz_support.h"

#include "music/music_stream.h"

#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *f = fuzz::fuzz_memory_file(data, size);
    music::MusicOpen opened;
    music::MusicStream *stream = music::music_stream_open(f, &opened);
    if (!stream) {
        std::fclose(f);
        return 0;
    }
    // As the ring asks: chunks of 1024 to 8192 values.
    std::vector<int16_t> chunk(8192);
    uint32_t total = 0;
    for (uint32_t want = 1024; total < 2 * 44100 * 2; want = want == 8192 ? 1024 : want * 2) {
        uint32_t got = music::music_stream_decode(stream, chunk.data(), want);
        if (got > want) fuzz::fuzz_fail("decoded more than asked");
        total += want;
        if (got < want) break;
    }
    music::music_stream_close(stream);
    return 0;
}
