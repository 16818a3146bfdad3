// The music ring: 256 KiB of decoded 16-bit stereo sound between the decoder thread (the only
// writer of the write position) and the audio callback (the only writer of the read position and
// of the clock words). No locks: the ring's bytes are published before the write position
// (release/acquire), and the clock words before the delivered flag.
#pragma once

#include <atomic>
#include <cstdint>

namespace music {

constexpr uint32_t kRingSize = 262144;
constexpr uint32_t kLeadingSilence = 8192;       // queued before the first decoded chunk
constexpr uint32_t kDeviceBufferBytes = 32768;   // 8192 stereo 16-bit frames
constexpr uint32_t kMinimumFreeForDecoding = 8192;
constexpr double kMillisecondsPerByte = 0.005668934240362812; // 44100 frames of 4 bytes a second

struct MusicRing {
    uint8_t data[kRingSize];
    std::atomic<uint32_t> read_position;   // callback
    std::atomic<uint32_t> write_position;  // decoder
    std::atomic<uint32_t> total_delivered; // callback: bytes handed to the device
    std::atomic<uint32_t> delivered_before_last; // callback: bytes handed over before the last buffer
    std::atomic<uint32_t> tick_stamp;      // callback: ms tick of the last buffer
    std::atomic<uint32_t> delivered;       // callback: 1 after a delivering callback, 0 after an underrun
};

// Decodes up to `values` 16-bit samples (interleaved stereo) into out; returns how many it wrote
// (fewer, down to 0, at the end of the stream).
using MusicDecodeFn = uint32_t (*)(void *user, int16_t *out, uint32_t values);

// Clears the ring: read position 0, write position 8192 (the leading silence), clock words 0.
void music_ring_reset(MusicRing *ring);

// The chunk one decoder wake-up writes for the free space: nothing at 8192 bytes or less, 2048
// below 32768, 4096 below 65536, 8192 below 131072, else 16384.
uint32_t music_ring_chunk_for(uint32_t free_bytes);

// One decoder wake-up: decodes one chunk at the write position (in two parts when it runs past the
// ring's end), fills what the stream did not provide with silence, then publishes the new write
// position. Returns the chunk size (0 when there was not enough room).
uint32_t music_ring_decode_step(MusicRing *ring, MusicDecodeFn decode, void *user);

// Decoder wake-ups until the ring has no room for another (where no thread decodes, between the
// frames of the page); returns the bytes written.
uint32_t music_ring_fill(MusicRing *ring, MusicDecodeFn decode, void *user);

// The audio callback: when more than `length` bytes are ready, records the clock words, copies
// `length` bytes to the device (wrapping at the ring's end), advances the read position and sets
// the delivered flag; otherwise clears the flag and writes nothing. now is the tick count in ms.
void music_ring_callback(MusicRing *ring, uint8_t *out, uint32_t length, uint32_t now);

// The demo time in ms from the clock words: bytes before the last buffer as time, plus the ms since
// that buffer, plus the music offset; 0 when no buffer has been stamped yet.
uint32_t music_ring_demo_time(const MusicRing *ring, uint32_t now, uint32_t music_offset);

} // namespace music
