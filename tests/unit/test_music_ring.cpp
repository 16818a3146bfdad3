#include "music/music_ring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace music;

namespace {

// A stream that counts: sample i has the value i (mod 2^16), and it may end early.
struct CountingSource {
    uint32_t next = 0;
    uint32_t remaining = 0xFFFFFFFFu;
    std::vector<uint32_t> calls; // values asked per call
};

uint32_t counting_decode(void *user, int16_t *out, uint32_t values) {
    CountingSource *s = static_cast<CountingSource *>(user);
    s->calls.push_back(values);
    uint32_t n = values < s->remaining ? values : s->remaining;
    for (uint32_t i = 0; i < n; i++) out[i] = static_cast<int16_t>(s->next++);
    s->remaining -= n;
    return n;
}

std::unique_ptr<MusicRing> fresh_ring() {
    std::unique_ptr<MusicRing> ring(new MusicRing);
    music_ring_reset(ring.get());
    return ring;
}

TEST(MusicRing, ChunkSizeFollowsTheFreeSpace) {
    struct Case {
        uint32_t free_bytes, chunk;
    } cases[] = {{0, 0},         {8192, 0},       {8193, 2048},    {32767, 2048},  {32768, 4096},
                 {65535, 4096},  {65536, 8192},   {131071, 8192},  {131072, 16384}, {262144, 16384}};
    for (const Case &c : cases) EXPECT_EQ(music_ring_chunk_for(c.free_bytes), c.chunk) << c.free_bytes;
}

TEST(MusicRing, DecoderStartsAfterTheSilenceAndSplitsAtTheEnd) {
    auto ring = fresh_ring();
    EXPECT_EQ(ring->write_position.load(), kLeadingSilence);
    EXPECT_EQ(ring->read_position.load(), 0u);
    for (uint32_t i = 0; i < kLeadingSilence; i++) ASSERT_EQ(ring->data[i], 0);
    CountingSource source;
    // Free space 262144 - 8192 gives the largest chunk.
    EXPECT_EQ(music_ring_decode_step(ring.get(), counting_decode, &source), 16384u);
    EXPECT_EQ(ring->write_position.load(), kLeadingSilence + 16384);
    int16_t first;
    std::memcpy(&first, ring->data + kLeadingSilence, 2);
    EXPECT_EQ(first, 0);
    std::memcpy(&first, ring->data + kLeadingSilence + 2, 2);
    EXPECT_EQ(first, 1);

    // Near the end of the ring: free = (100000 - 261144) mod 262144 = 101000, so an 8192-byte chunk,
    // 1000 bytes up to the end and 7192 from the start.
    ring->write_position.store(kRingSize - 1000);
    ring->read_position.store(100000);
    source.calls.clear();
    uint32_t before = source.next;
    EXPECT_EQ(music_ring_decode_step(ring.get(), counting_decode, &source), 8192u);
    EXPECT_EQ(source.calls, (std::vector<uint32_t>{500, 3596}));
    EXPECT_EQ(ring->write_position.load(), 7192u);
    int16_t last_before_end, first_at_start;
    std::memcpy(&last_before_end, ring->data + kRingSize - 2, 2);
    std::memcpy(&first_at_start, ring->data, 2);
    EXPECT_EQ(last_before_end, static_cast<int16_t>(before + 499));
    EXPECT_EQ(first_at_start, static_cast<int16_t>(before + 500));

    // With 8192 bytes or less free, nothing is decoded.
    ring->write_position.store(1000);
    ring->read_position.store(9192);
    EXPECT_EQ(music_ring_decode_step(ring.get(), counting_decode, &source), 0u);
    EXPECT_EQ(ring->write_position.load(), 1000u);
}

TEST(MusicRing, AfterTheStreamEndsTheRingGetsSilence) {
    auto ring = fresh_ring();
    std::memset(ring->data, 0xEE, sizeof ring->data); // stale sound from an earlier lap
    CountingSource source;
    source.remaining = 100; // the stream ends after 100 values
    music_ring_decode_step(ring.get(), counting_decode, &source);
    int16_t v;
    std::memcpy(&v, ring->data + kLeadingSilence + 2 * 99, 2);
    EXPECT_EQ(v, 99);
    for (uint32_t i = kLeadingSilence + 200; i < kLeadingSilence + 16384; i++) ASSERT_EQ(ring->data[i], 0) << i;
    EXPECT_EQ(ring->data[kLeadingSilence + 16384], 0xEE) << "nothing written past the chunk";
}

TEST(MusicRing, CallbackDeliversOnlyMoreThanOneBufferAndKeepsTheClock) {
    auto ring = fresh_ring();
    std::vector<uint8_t> device(kDeviceBufferBytes, 0x77);
    // 8192 ready: not more than a buffer, so an underrun: nothing written, flag 0.
    ring->delivered.store(1);
    music_ring_callback(ring.get(), device.data(), kDeviceBufferBytes, 500);
    EXPECT_EQ(ring->delivered.load(), 0u);
    EXPECT_EQ(device[0], 0x77);
    EXPECT_EQ(ring->read_position.load(), 0u);
    EXPECT_EQ(ring->tick_stamp.load(), 0u);
    // Exactly 32768 ready is still not enough (ready must exceed the buffer).
    ring->write_position.store(kDeviceBufferBytes);
    music_ring_callback(ring.get(), device.data(), kDeviceBufferBytes, 500);
    EXPECT_EQ(ring->delivered.load(), 0u);

    CountingSource source;
    ring->write_position.store(kLeadingSilence);
    music_ring_decode_step(ring.get(), counting_decode, &source);
    music_ring_decode_step(ring.get(), counting_decode, &source);
    music_ring_callback(ring.get(), device.data(), kDeviceBufferBytes, 1000);
    EXPECT_EQ(ring->delivered.load(), 1u);
    EXPECT_EQ(ring->delivered_before_last.load(), 0u);
    EXPECT_EQ(ring->total_delivered.load(), kDeviceBufferBytes);
    EXPECT_EQ(ring->tick_stamp.load(), 1000u);
    EXPECT_EQ(ring->read_position.load(), kDeviceBufferBytes);
    for (uint32_t i = 0; i < kLeadingSilence; i++) ASSERT_EQ(device[i], 0);
    int16_t v;
    std::memcpy(&v, device.data() + kLeadingSilence + 10, 2);
    EXPECT_EQ(v, 5);
    // 8192 left after the first buffer, plus two chunks of 16384: more than a buffer again.
    music_ring_decode_step(ring.get(), counting_decode, &source);
    music_ring_decode_step(ring.get(), counting_decode, &source);
    music_ring_callback(ring.get(), device.data(), kDeviceBufferBytes, 1186);
    EXPECT_EQ(ring->delivered_before_last.load(), kDeviceBufferBytes);
    EXPECT_EQ(ring->total_delivered.load(), 2 * kDeviceBufferBytes);
    // The next buffer continues the stream exactly: 32768 - 8192 bytes were 12288 values.
    std::memcpy(&v, device.data(), 2);
    EXPECT_EQ(v, 12288);

    // A device asking for a buffer as large as the ring can never be served.
    std::vector<uint8_t> huge(kRingSize);
    music_ring_callback(ring.get(), huge.data(), kRingSize, 2000);
    EXPECT_EQ(ring->delivered.load(), 0u);
}

TEST(MusicRing, CallbackCopiesAcrossTheRingEnd) {
    auto ring = fresh_ring();
    for (uint32_t i = 0; i < kRingSize; i++) ring->data[i] = static_cast<uint8_t>(i * 7);
    ring->read_position.store(kRingSize - 100);
    ring->write_position.store(40000);
    std::vector<uint8_t> device(kDeviceBufferBytes);
    music_ring_callback(ring.get(), device.data(), kDeviceBufferBytes, 1);
    EXPECT_EQ(device[0], static_cast<uint8_t>((kRingSize - 100) * 7));
    EXPECT_EQ(device[99], static_cast<uint8_t>((kRingSize - 1) * 7));
    EXPECT_EQ(device[100], 0);
    EXPECT_EQ(device[101], 7);
    EXPECT_EQ(ring->read_position.load(), kDeviceBufferBytes - 100);
}

TEST(MusicRing, DemoTimeFromTheClockWords) {
    auto ring = fresh_ring();
    EXPECT_EQ(music_ring_demo_time(ring.get(), 5000, 2125), 0u) << "no buffer stamped yet";
    ring->tick_stamp.store(4000);
    ring->delivered_before_last.store(176400); // one second of sound
    EXPECT_EQ(music_ring_demo_time(ring.get(), 4040, 2125), 1000u + 40 + 2125);
    ring->delivered_before_last.store(100); // 0.567 ms truncates with the rest
    EXPECT_EQ(music_ring_demo_time(ring.get(), 4000, 0), 0u);
}

} // namespace

// Where no thread decodes, one fill tops the ring up to its last 8192 free bytes, in sequence.
TEST(MusicRing, FillStopsWhenNoChunkFitsAndContinuesTheStream) {
    auto ring = fresh_ring();
    CountingSource source;
    uint32_t written = music_ring_fill(ring.get(), counting_decode, &source);
    uint32_t free_bytes = (ring->read_position.load() - ring->write_position.load()) % kRingSize;
    EXPECT_LE(free_bytes, 8192u);
    EXPECT_EQ(written, kRingSize - kLeadingSilence - free_bytes);
    EXPECT_EQ(source.next, written / 2);
    EXPECT_EQ(music_ring_fill(ring.get(), counting_decode, &source), 0u);
}
