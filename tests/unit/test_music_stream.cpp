#include "music/music_stream.h"

#include "test_util.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace music;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A WAV of `seconds` of sine: left at left_hz, right (stereo only) at right_hz; oggenc makes the
// Ogg Vorbis file the engine then reads.
std::string make_ogg(const testutil::TempDir &dir, const std::string &name, uint32_t rate, int channels,
                     double left_hz, double right_hz, double seconds) {
    uint32_t frames = static_cast<uint32_t>(rate * seconds);
    std::vector<uint8_t> wav;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; i++)
            wav.push_back(uint8_t(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        wav.push_back(uint8_t(v));
        wav.push_back(uint8_t(v >> 8));
    };
    uint32_t data_bytes = frames * channels * 2;
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    put32(36 + data_bytes);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1);
    put16(uint16_t(channels));
    put32(rate);
    put32(rate * channels * 2);
    put16(uint16_t(channels * 2));
    put16(16);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    put32(data_bytes);
    for (uint32_t i = 0; i < frames; i++) {
        put16(uint16_t(int16_t(9000 * std::sin(2 * kPi * left_hz * i / rate))));
        if (channels == 2) put16(uint16_t(int16_t(7000 * std::sin(2 * kPi * right_hz * i / rate))));
    }
    std::string wav_path = dir.file(name + ".wav"), ogg_path = dir.file(name + ".ogg");
    testutil::write_file(wav_path, wav);
    std::string command = "oggenc -Q -q 4 '" + wav_path + "' -o '" + ogg_path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ogg_path;
}

// Everything the stream gives, asked for in pieces of an awkward size as the ring would.
std::vector<int16_t> decode_all(MusicStream *stream) {
    std::vector<int16_t> all;
    std::vector<int16_t> piece(1234);
    for (;;) {
        uint32_t got = music_stream_decode(stream, piece.data(), static_cast<uint32_t>(piece.size()));
        all.insert(all.end(), piece.begin(), piece.begin() + got);
        if (got < piece.size()) return all;
    }
}

// Rising zero crossings of one channel over one second starting at frame `from`: the frequency.
int crossings_per_second(const std::vector<int16_t> &pcm, int channel, size_t from) {
    int count = 0;
    for (size_t f = from + 1; f < from + kDeviceRate && (f * 2 + 1) < pcm.size(); f++)
        if (pcm[(f - 1) * 2 + channel] < 0 && pcm[f * 2 + channel] >= 0) count++;
    return count;
}

TEST(MusicStream, EverySampleRatePlaysAtTheRightLengthAndPitch) {
    testutil::TempDir dir;
    struct Case {
        uint32_t rate;
        int channels;
    } cases[] = {{48000, 2}, {22050, 2}, {22050, 1}, {44100, 2}, {32000, 1}};
    for (const Case &c : cases) {
        std::string what = std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channel(s)";
        std::string path = make_ogg(dir, "tone" + std::to_string(c.rate) + "_" + std::to_string(c.channels),
                                    c.rate, c.channels, 1000.0, 1500.0, 2.0);
        FILE *f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr) << what;
        MusicOpen opened;
        MusicStream *stream = music_stream_open(f, &opened);
        ASSERT_EQ(opened, MUSIC_OPEN) << what;
        EXPECT_EQ(music_stream_rate(stream), c.rate) << what;
        std::vector<int16_t> pcm = decode_all(stream);
        music_stream_close(stream);

        // Two seconds at 44.1 kHz, give or take a millisecond.
        EXPECT_NEAR(double(pcm.size() / 2), 2.0 * kDeviceRate, 44.1) << what;
        EXPECT_NEAR(crossings_per_second(pcm, 0, 22050), 1000, 2) << what;
        if (c.channels == 2) {
            EXPECT_NEAR(crossings_per_second(pcm, 1, 22050), 1500, 2) << what;
        } else {
            // A mono file sounds the same on both sides.
            bool same = true;
            for (size_t i = 0; i + 1 < pcm.size(); i += 2)
                same = same && pcm[i] == pcm[i + 1];
            EXPECT_TRUE(same) << what;
        }
    }
}

// A 44.1 kHz stereo file takes no resampler: the ring gets exactly what oggdec decodes.
TEST(MusicStream, NativeRateIsOggdecsOwnOutput) {
    testutil::TempDir dir;
    std::string path = make_ogg(dir, "native", 44100, 2, 440.0, 660.0, 1.0);
    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    MusicOpen opened;
    MusicStream *stream = music_stream_open(f, &opened);
    ASSERT_NE(stream, nullptr);
    std::vector<int16_t> ours = decode_all(stream);
    music_stream_close(stream);

    std::string raw = dir.file("native.raw");
    ASSERT_EQ(std::system(("oggdec -Q -R -o '" + raw + "' '" + path + "'").c_str()), 0);
    std::vector<uint8_t> bytes = testutil::read_file(raw);
    std::vector<int16_t> reference(bytes.size() / 2);
    for (size_t i = 0; i < reference.size(); i++)
        reference[i] = int16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    EXPECT_EQ(ours, reference);
}

} // namespace

namespace {

// A seek lands on the very sample: what follows is oggdec's decode from that frame on.
TEST(MusicStream, SeekGivesOggdecsSamplesFromThatFrame) {
    testutil::TempDir dir;
    std::string path = make_ogg(dir, "seek", 44100, 2, 440.0, 660.0, 2.0);
    std::string raw = dir.file("seek.raw");
    ASSERT_EQ(std::system(("oggdec -Q -R -o '" + raw + "' '" + path + "'").c_str()), 0);
    std::vector<uint8_t> bytes = testutil::read_file(raw);
    size_t total_frames = bytes.size() / 4;
    FILE *f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    MusicOpen opened;
    MusicStream *stream = music_stream_open_seekable(f, &opened);
    ASSERT_NE(stream, nullptr);
    for (size_t frame :
         {size_t(30000), size_t(0), size_t(1), size_t(22057), total_frames - 100, total_frames + 5000}) {
        SCOPED_TRACE(frame);
        ASSERT_TRUE(music_stream_seek(stream, frame));
        std::vector<int16_t> got(4096);
        uint32_t n = music_stream_decode(stream, got.data(), uint32_t(got.size()));
        size_t expected = frame < total_frames ? std::min<size_t>(got.size(), (total_frames - frame) * 2) : 0;
        ASSERT_EQ(n, expected);
        for (uint32_t i = 0; i < n; i++)
            ASSERT_EQ(got[i], int16_t(bytes[(frame * 2 + i) * 2] | bytes[(frame * 2 + i) * 2 + 1] << 8)) << i;
    }
    music_stream_close(stream);
    // The player's stream does not seek.
    f = std::fopen(path.c_str(), "rb");
    stream = music_stream_open(f, &opened);
    EXPECT_FALSE(music_stream_seek(stream, 100));
    music_stream_close(stream);
}

} // namespace
