#include "music/music_stream.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

namespace music {

struct MusicStream {
    stb_vorbis *decoder;
};

MusicStream *music_stream_open(FILE *file, MusicOpen *result) {
    char header[3] = {0, 0, 0};
    if (std::fread(header, 1, 3, file) != 3 || std::memcmp(header, "Ogg", 3) != 0) {
        *result = MUSIC_NOT_OGG;
        return nullptr;
    }
    std::rewind(file);
    int error = 0;
    // Not closing on failure: the caller still owns the file then.
    stb_vorbis *decoder = stb_vorbis_open_file(file, 0, &error, nullptr);
    if (!decoder) {
        *result = MUSIC_UNDECODABLE;
        return nullptr;
    }
    MusicStream *stream = new MusicStream{decoder};
    *result = MUSIC_OPEN;
    return stream;
}

uint32_t music_stream_decode(void *stream, int16_t *out, uint32_t values) {
    MusicStream *s = static_cast<MusicStream *>(stream);
    int want = values > INT_MAX ? INT_MAX : static_cast<int>(values);
    int frames = stb_vorbis_get_samples_short_interleaved(s->decoder, 2, out, want);
    return frames > 0 ? static_cast<uint32_t>(frames) * 2 : 0;
}

void music_decoder_start(MusicRing *ring, MusicStream *stream) {
    music_ring_reset(ring);
    std::thread([ring, stream] {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(17));
            music_ring_decode_step(ring, music_stream_decode, stream);
        }
    }).detach();
}

} // namespace music
