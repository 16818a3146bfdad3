#include "music/music_stream.h"

#include "resources/file_util.h"
#include "resources/xml.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <samplerate.h>
#include <string>
#include <thread>
#include <vorbis/vorbisfile.h>

namespace music {

// Frames decoded per decoder call when resampling, and the most frames one resampler call writes.
constexpr uint32_t kDecodeFrames = 1024;
constexpr uint32_t kResampleFrames = 2048;

struct MusicStream {
    OggVorbis_File vorbis;
    FILE *file;
    uint32_t rate;
    SRC_STATE *resampler; // null at 44.1 kHz: the decoded samples go to the ring unchanged
    bool seekable;
    bool decoder_done; // the decoder has given its last frame
    uint32_t pending;  // decoded frames in `input` not yet taken by the resampler
    uint32_t taken;    // frames of `input` already taken
    int16_t decoded[kDecodeFrames * 2];
    float input[kDecodeFrames * 2];
    float output[kResampleFrames * 2];
};

// The player's stream reads the file from where it stands and is never seeked (a plain stream of
// pages); the seekable one gives the decoder the file's positions too.
static size_t read_file(void *to, size_t size, size_t count, void *file) {
    return std::fread(to, size, count, static_cast<FILE *>(file));
}

static int seek_file(void *file, ogg_int64_t offset, int whence) {
    if (offset < 0 && whence == SEEK_SET) return -1;
    if (offset > 0x7FFFFFFF || offset < -0x7FFFFFFF) return -1; // music files stay below 2 GiB
    return std::fseek(static_cast<FILE *>(file), static_cast<long>(offset), whence);
}

static long tell_file(void *file) {
    return std::ftell(static_cast<FILE *>(file));
}

// Where each of up to six channels (Vorbis order) is heard: left, right or both.
enum Side : uint8_t { LEFT = 1, RIGHT = 2, BOTH = 3 };
static const uint8_t kSides[7][6] = {
    {0},
    {BOTH},
    {LEFT, RIGHT},
    {LEFT, BOTH, RIGHT},
    {LEFT, RIGHT, LEFT, RIGHT},
    {LEFT, BOTH, RIGHT, LEFT, RIGHT},
    {LEFT, BOTH, RIGHT, LEFT, RIGHT, BOTH},
};
static_assert(sizeof(kSides) / sizeof(kSides[0]) == 7, "one row per channel count 0..6");

// A float sample as the decoder's own 16-bit output has it (round to nearest, clamped).
static int16_t to_short(float v) {
    long s = std::lrint(static_cast<double>(v * 32768.0f));
    return static_cast<int16_t>(s > 32767 ? 32767 : s < -32768 ? -32768 : s);
}

// Decodes up to `frames` stereo frames: mono is heard on both sides, more channels are mixed down
// (channels beyond six are left out). Returns 0 at the end of the stream or on an error it cannot
// pass.
static uint32_t decode_stereo(MusicStream *s, int16_t *out, uint32_t frames) {
    for (;;) {
        float **pcm = nullptr;
        int link = 0;
        long got = ov_read_float(&s->vorbis, &pcm, int(frames), &link);
        if (got == OV_HOLE) continue; // a gap in the data: decoding goes on after it
        if (got <= 0) return 0;
        vorbis_info *info = ov_info(&s->vorbis, link);
        int channels = info ? info->channels : 0;
        if (channels <= 0) return 0;
        int mixed = channels < 6 ? channels : 6;
        for (long i = 0; i < got; i++) {
            float left = 0.0f, right = 0.0f;
            for (int c = 0; c < mixed; c++) {
                if (kSides[mixed][c] & LEFT) left += pcm[c][i];
                if (kSides[mixed][c] & RIGHT) right += pcm[c][i];
            }
            out[2 * i] = to_short(left);
            out[2 * i + 1] = to_short(right);
        }
        return static_cast<uint32_t>(got);
    }
}

static MusicStream *stream_open(FILE *file, MusicOpen *result, bool seekable) {
    char header[3] = {0, 0, 0};
    if (std::fread(header, 1, 3, file) != 3 || std::memcmp(header, "Ogg", 3) != 0) {
        *result = MUSIC_NOT_OGG;
        return nullptr;
    }
    std::rewind(file);
    *result = MUSIC_UNDECODABLE;
    MusicStream *s = static_cast<MusicStream *>(std::calloc(1, sizeof(MusicStream)));
    if (!s) return nullptr;
    ov_callbacks callbacks = {read_file, seekable ? seek_file : nullptr, nullptr,
                              seekable ? tell_file : nullptr};
    // Not closing on failure: the caller still owns the file then.
    if (ov_open_callbacks(file, &s->vorbis, nullptr, 0, callbacks) < 0) {
        std::free(s);
        return nullptr;
    }
    vorbis_info *info = ov_info(&s->vorbis, -1);
    s->file = file;
    s->seekable = seekable && ov_seekable(&s->vorbis);
    s->rate = info && info->rate > 0 ? static_cast<uint32_t>(info->rate) : 0;
    if (s->rate != kDeviceRate) {
        int error = 0;
        // The web build's library holds this converter alone (scripts/third-party.sh).
        if (s->rate && src_is_valid_ratio(double(kDeviceRate) / s->rate))
            s->resampler = src_new(SRC_SINC_MEDIUM_QUALITY, 2, &error);
        if (!s->resampler) {
            ov_clear(&s->vorbis);
            std::free(s);
            return nullptr;
        }
    }
    *result = MUSIC_OPEN;
    return s;
}

MusicStream *music_stream_open(FILE *file, MusicOpen *result) {
    return stream_open(file, result, false);
}

MusicStream *music_stream_open_seekable(FILE *file, MusicOpen *result) {
    return stream_open(file, result, true);
}

bool music_stream_seek(MusicStream *s, uint64_t frame) {
    if (!s->seekable) return false;
    // The file's own frame; the resampler starts afresh from it.
    uint64_t source = s->resampler ? frame * s->rate / kDeviceRate : frame;
    ogg_int64_t total = ov_pcm_total(&s->vorbis, -1);
    s->pending = s->taken = 0;
    if (s->resampler) src_reset(s->resampler);
    if (total >= 0 && source >= uint64_t(total)) {
        s->decoder_done = true;
        return true;
    }
    s->decoder_done = ov_pcm_seek(&s->vorbis, static_cast<ogg_int64_t>(source)) != 0;
    return true;
}

uint32_t music_stream_length_ms(MusicStream *s) {
    if (!s->seekable || s->rate == 0) return 0;
    ogg_int64_t total = ov_pcm_total(&s->vorbis, -1);
    if (total <= 0) return 0;
    uint64_t ms = uint64_t(total) * 1000u / s->rate;
    return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
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
            s->taken = 0;
            s->pending = decode_stereo(s, s->decoded, kDecodeFrames);
            s->decoder_done = s->pending == 0;
            src_short_to_float_array(s->decoded, s->input, int(s->pending * 2));
            fed = true;
        }
        uint32_t room = frames - produced < kResampleFrames ? frames - produced : kResampleFrames;
        SRC_DATA d = {};
        d.data_in = s->input + s->taken * 2;
        d.input_frames = long(s->pending - s->taken);
        d.data_out = s->output;
        d.output_frames = long(room);
        d.src_ratio = double(kDeviceRate) / s->rate;
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
    uint32_t frames = values / 2;
    if (s->resampler) return decode_resampled(s, out, frames) * 2;
    uint32_t done = 0;
    while (done < frames && !s->decoder_done) {
        uint32_t got = decode_stereo(s, out + done * 2, frames - done);
        s->decoder_done = got == 0;
        done += got;
    }
    return done * 2;
}

void music_stream_close(MusicStream *stream) {
    if (!stream) return;
    ov_clear(&stream->vorbis);
    if (stream->resampler) src_delete(stream->resampler);
    std::fclose(stream->file);
    std::free(stream);
}

const char *music_element_file(const resources::XmlNode *element, uint32_t *music_offset) {
    const char *file = resources::xml_attribute(element, "file");
    if (!file) return nullptr;
    int64_t offset = int64_t(resources::xml_attribute_int(element, "offset")) + 125;
    // An offset below -125 would wrap to a lead-in of days; the music then starts at once.
    *music_offset = offset < 0 ? 0 : static_cast<uint32_t>(offset);
    return file;
}

FILE *music_file_open(const char *folder, const char *name) {
    if (!name || !resources::file_name_is_contained(name)) return nullptr;
    std::string base = folder && folder[0] ? std::string(folder) + "/" : std::string();
    FILE *f = resources::file_open_regular((base + name).c_str());
    return f ? f : resources::file_open_regular((base + "music/" + name).c_str());
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
