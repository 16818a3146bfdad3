#include "music/music_stream.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb_vorbis.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <samplerate.h>
#include <thread>

namespace music {

// Frames decoded per call when resampling, and the most frames one resampler call writes.
constexpr uint32_t kDecodeFrames = 1024;
constexpr uint32_t kResampleFrames = 2048;
// Everything the decoder allocates comes from one block of this size (ordinary files need about
// 250 KiB): a damaged file cannot make it take more, and nothing it allocates outlives the stream,
// even on the error paths where the decoder itself forgets to free.
constexpr uint32_t kDecoderArena = 4u << 20;

struct MusicStream {
    stb_vorbis *decoder;
    FILE *file;
    char *arena; // kDecoderArena bytes, the decoder's only memory
    uint32_t rate;
    SRC_STATE *resampler; // null at 44.1 kHz: the decoder's samples go to the ring unchanged
    double ratio;         // output frames per input frame
    bool decoder_done;    // the decoder has given its last frame
    uint32_t pending;     // decoded frames in `input` not yet taken by the resampler
    uint32_t taken;       // frames of `input` already taken
    int16_t decoded[kDecodeFrames * 2];
    float input[kDecodeFrames * 2];
    float output[kResampleFrames * 2];
};

MusicStream *music_stream_open(FILE *file, MusicOpen *result) {
    char header[3] = {0, 0, 0};
    if (std::fread(header, 1, 3, file) != 3 || std::memcmp(header, "Ogg", 3) != 0) {
        *result = MUSIC_NOT_OGG;
        return nullptr;
    }
    std::rewind(file);
    *result = MUSIC_UNDECODABLE;
    MusicStream *s = static_cast<MusicStream *>(std::calloc(1, sizeof(MusicStream)));
    char *arena = static_cast<char *>(std::malloc(kDecoderArena));
    if (!s || !arena) {
        std::free(s);
        std::free(arena);
        return nullptr;
    }
    stb_vorbis_alloc alloc = {arena, int(kDecoderArena)};
    int error = 0;
    // Not closing on failure: the caller still owns the file then.
    stb_vorbis *decoder = stb_vorbis_open_file(file, 0, &error, &alloc);
    if (!decoder) {
        std::free(arena);
        std::free(s);
        return nullptr;
    }
    s->decoder = decoder;
    s->file = file;
    s->arena = arena;
    s->rate = stb_vorbis_get_info(decoder).sample_rate;
    if (s->rate != kDeviceRate) {
        s->ratio = s->rate ? double(kDeviceRate) / s->rate : 0.0;
        int src_error = 0;
        if (src_is_valid_ratio(s->ratio)) s->resampler = src_new(SRC_SINC_MEDIUM_QUALITY, 2, &src_error);
        if (!s->resampler) {
            stb_vorbis_close(decoder);
            std::free(arena);
            std::free(s);
            return nullptr;
        }
    }
    *result = MUSIC_OPEN;
    return s;
}

uint32_t music_stream_rate(const MusicStream *stream) {
    return stream->rate;
}

// Fills out with up to `frames` stereo frames at 44.1 kHz from the resampler, feeding it decoded
// frames as it needs them; fewer only once the stream has ended and the resampler is drained.
static uint32_t decode_resampled(MusicStream *s, int16_t *out, uint32_t frames) {
    uint32_t produced = 0;
    while (produced < frames) {
        bool fed = false;
        if (s->taken == s->pending && !s->decoder_done) {
            int got =
                stb_vorbis_get_samples_short_interleaved(s->decoder, 2, s->decoded, int(kDecodeFrames * 2));
            s->taken = 0;
            s->pending = got > 0 ? uint32_t(got) : 0;
            s->decoder_done = got <= 0;
            src_short_to_float_array(s->decoded, s->input, int(s->pending * 2));
            fed = true;
        }
        uint32_t room = frames - produced < kResampleFrames ? frames - produced : kResampleFrames;
        SRC_DATA d = {};
        d.data_in = s->input + s->taken * 2;
        d.input_frames = long(s->pending - s->taken);
        d.data_out = s->output;
        d.output_frames = long(room);
        d.src_ratio = s->ratio;
        d.end_of_input = s->decoder_done ? 1 : 0;
        if (src_process(s->resampler, &d) != 0) break;
        s->taken += uint32_t(d.input_frames_used);
        src_float_to_short_array(s->output, out + produced * 2, int(d.output_frames_gen * 2));
        produced += uint32_t(d.output_frames_gen);
        // Drained, or (never expected) a call that moved nothing with nothing new to give it.
        if (d.output_frames_gen == 0 && d.input_frames_used == 0 && (s->decoder_done || !fed)) break;
    }
    return produced;
}

uint32_t music_stream_decode(void *stream, int16_t *out, uint32_t values) {
    MusicStream *s = static_cast<MusicStream *>(stream);
    if (s->resampler) return decode_resampled(s, out, values / 2) * 2;
    int want = values > INT_MAX ? INT_MAX : static_cast<int>(values);
    int frames = stb_vorbis_get_samples_short_interleaved(s->decoder, 2, out, want);
    return frames > 0 ? static_cast<uint32_t>(frames) * 2 : 0;
}

void music_stream_close(MusicStream *stream) {
    if (!stream) return;
    stb_vorbis_close(stream->decoder);
    if (stream->resampler) src_delete(stream->resampler);
    std::fclose(stream->file);
    std::free(stream->arena);
    std::free(stream);
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
