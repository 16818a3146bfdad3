#include "tools/tool_capture_sound.h"

#include "tools/tool_scene.h"

#include "music/music_ring.h"
#include "music/music_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace tools {

struct CaptureSound {
    music::MusicStream *music; // null: silence
    uint32_t music_offset;     // ms: the demo time of device frame 0
    int64_t next;              // the device frame read next (negative: inside the lead-in)
    uint64_t device_position;  // bytes of the device's stream consumed so far
};

namespace {

// Frames are counted from the music offset: device frame k plays at offset + k / 44.1 ms. Rounded
// down, outward before the offset, so that a span's first frame is the one playing at its start.
int64_t device_frame(const CaptureSound *s, uint32_t ms) {
    int64_t tenths = (int64_t(ms) - int64_t(s->music_offset)) * 441;
    return tenths >= 0 ? tenths / 10 : -((-tenths + 9) / 10);
}

// The device's byte stream from `device_position` on: the silence the ring starts with, then the
// decoded music (silence after its end).
void device_read(CaptureSound *s, uint8_t *out, uint32_t bytes) {
    while (bytes > 0) {
        if (s->device_position < music::kLeadingSilence) {
            uint32_t n =
                static_cast<uint32_t>(std::min<uint64_t>(bytes, music::kLeadingSilence - s->device_position));
            std::memset(out, 0, n);
            out += n, bytes -= n, s->device_position += n;
            continue;
        }
        // The decoder is asked for whole stereo frames, as the ring's chunks ask for them.
        uint32_t values = bytes / 2;
        uint32_t got =
            s->music ? music::music_stream_decode(s->music, reinterpret_cast<int16_t *>(out), values) : 0;
        if (got < values) std::memset(out + size_t(got) * 2, 0, size_t(values - got) * 2);
        s->device_position += bytes;
        return;
    }
}

void put_u32(FILE *f, uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
}
void put_u16(FILE *f, uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
}

} // namespace

CaptureSound *capture_sound_open(const ToolScene &ts, const char *package, uint32_t from_ms,
                                 std::string *note) {
    music::MusicStream *stream = nullptr;
    if (!ts.music_file.empty()) {
        // The player looks in its working folder; a capture also looks beside the package.
        std::string dir = std::filesystem::path(package).parent_path().string();
        for (const char *folder : {dir.c_str(), ""}) {
            FILE *f = music::music_file_open(folder, ts.music_file.c_str());
            if (!f) continue;
            music::MusicOpen opened;
            stream = music::music_stream_open(f, &opened);
            if (stream) break;
            std::fclose(f);
        }
        if (!stream)
            *note = "the music file " + ts.music_file + " was not found, not allowed or not decodable";
    } else {
        *note = "the demo has no music";
    }
    CaptureSound *s = new CaptureSound{stream, ts.music_offset, 0, 0};
    s->next = device_frame(s, from_ms);
    return s;
}

uint64_t capture_sound_frames_to(const CaptureSound *s, uint32_t ms) {
    return uint64_t(std::max<int64_t>(0, device_frame(s, ms) - s->next));
}

void capture_sound_read(CaptureSound *s, int16_t *out, uint32_t frames) {
    uint8_t *bytes = reinterpret_cast<uint8_t *>(out);
    if (s->next < 0) {
        // Before the music starts: the lead-in is silent.
        uint32_t n = static_cast<uint32_t>(std::min<int64_t>(frames, -s->next));
        std::memset(bytes, 0, size_t(n) * 4);
        bytes += size_t(n) * 4, frames -= n, s->next += n;
    }
    if (frames == 0) return;
    // Skip to device frame `next` (only at the start of a span that begins after the offset).
    uint8_t skip[16384];
    while (s->device_position < uint64_t(s->next) * 4) {
        uint32_t n = static_cast<uint32_t>(
            std::min<uint64_t>(sizeof skip, uint64_t(s->next) * 4 - s->device_position));
        device_read(s, skip, n);
    }
    device_read(s, bytes, frames * 4);
    s->next += frames;
}

void capture_sound_close(CaptureSound *s) {
    if (!s) return;
    music::music_stream_close(s->music);
    delete s;
}

bool capture_sound_write_wav(CaptureSound *s, const std::string &path, uint32_t to_ms) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    uint32_t data_bytes =
        static_cast<uint32_t>(std::min<uint64_t>(capture_sound_frames_to(s, to_ms) * 4, 0xFFFFFFF0u));
    std::fwrite("RIFF", 1, 4, f);
    put_u32(f, 36 + data_bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put_u32(f, 16);
    put_u16(f, 1);
    put_u16(f, 2);
    put_u32(f, 44100);
    put_u32(f, 44100 * 4);
    put_u16(f, 4);
    put_u16(f, 16);
    std::fwrite("data", 1, 4, f);
    put_u32(f, data_bytes);
    std::vector<int16_t> buffer(8192);
    for (uint32_t left = data_bytes / 4; left > 0;) {
        uint32_t n = std::min<uint32_t>(left, static_cast<uint32_t>(buffer.size() / 2));
        capture_sound_read(s, buffer.data(), n);
        std::fwrite(buffer.data(), 4, n, f);
        left -= n;
    }
    bool ok = std::ferror(f) == 0;
    return std::fclose(f) == 0 && ok;
}

} // namespace tools
