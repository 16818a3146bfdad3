#include "music/music_ring.h"

#include <cmath>
#include <cstring>

namespace music {

void music_ring_reset(MusicRing *ring) {
    std::memset(ring->data, 0, sizeof ring->data);
    ring->read_position.store(0, std::memory_order_relaxed);
    ring->total_delivered.store(0, std::memory_order_relaxed);
    ring->delivered_before_last.store(0, std::memory_order_relaxed);
    ring->tick_stamp.store(0, std::memory_order_relaxed);
    ring->delivered.store(0, std::memory_order_relaxed);
    ring->write_position.store(kLeadingSilence, std::memory_order_release);
}

uint32_t music_ring_chunk_for(uint32_t free_bytes) {
    if (free_bytes <= kMinimumFreeForDecoding) return 0;
    if (free_bytes < 32768) return 2048;
    if (free_bytes < 65536) return 4096;
    if (free_bytes < 131072) return 8192;
    return 16384;
}

// Decodes into one contiguous part of the ring; the stream's end leaves silence, never old sound.
static void decode_part(MusicRing *ring, uint32_t at, uint32_t bytes, MusicDecodeFn decode, void *user) {
    int16_t *out = reinterpret_cast<int16_t *>(ring->data + at);
    uint32_t values = bytes / 2;
    uint32_t got = decode ? decode(user, out, values) : 0;
    if (got < values) std::memset(out + got, 0, size_t(values - got) * 2);
}

uint32_t music_ring_decode_step(MusicRing *ring, MusicDecodeFn decode, void *user) {
    uint32_t write = ring->write_position.load(std::memory_order_relaxed);
    // The callback frees space by moving the read position; acquire so its reads are done.
    uint32_t read = ring->read_position.load(std::memory_order_acquire);
    uint32_t free_bytes = (read - write) % kRingSize;
    if (free_bytes == 0) free_bytes = kRingSize;
    uint32_t chunk = music_ring_chunk_for(free_bytes);
    if (chunk == 0) return 0;
    uint32_t first = kRingSize - write < chunk ? kRingSize - write : chunk;
    decode_part(ring, write, first, decode, user);
    if (first < chunk) decode_part(ring, 0, chunk - first, decode, user);
    ring->write_position.store((write + chunk) % kRingSize, std::memory_order_release);
    return chunk;
}

uint32_t music_ring_fill(MusicRing *ring, MusicDecodeFn decode, void *user) {
    uint32_t written = 0;
    // At most one ring's worth: the loop ends even if the callback frees space meanwhile.
    while (written < kRingSize) {
        uint32_t chunk = music_ring_decode_step(ring, decode, user);
        if (chunk == 0) break;
        written += chunk;
    }
    return written;
}

void music_ring_callback(MusicRing *ring, uint8_t *out, uint32_t length, uint32_t now) {
    uint32_t write = ring->write_position.load(std::memory_order_acquire);
    uint32_t read = ring->read_position.load(std::memory_order_relaxed);
    uint32_t ready = (write - read) % kRingSize;
    // A buffer is taken only when more than it is ready, so unpublished bytes are never read
    // (a device asking for the whole ring or more never gets any).
    if (length >= kRingSize || ready <= length) {
        ring->delivered.store(0, std::memory_order_release);
        return;
    }
    uint32_t total = ring->total_delivered.load(std::memory_order_relaxed);
    ring->delivered_before_last.store(total, std::memory_order_relaxed);
    ring->total_delivered.store(total + length, std::memory_order_relaxed);
    ring->tick_stamp.store(now, std::memory_order_relaxed);
    uint32_t first = kRingSize - read < length ? kRingSize - read : length;
    std::memcpy(out, ring->data + read, first);
    if (first < length) std::memcpy(out + first, ring->data, length - first);
    ring->read_position.store((read + length) % kRingSize, std::memory_order_release);
    ring->delivered.store(1, std::memory_order_release);
}

uint32_t music_ring_demo_time(const MusicRing *ring, uint32_t now, uint32_t music_offset) {
    uint32_t stamp = ring->tick_stamp.load(std::memory_order_relaxed);
    if (stamp == 0) return 0;
    double bytes = ring->delivered_before_last.load(std::memory_order_relaxed);
    double t = bytes * kMillisecondsPerByte + static_cast<double>(now - stamp) + music_offset;
    return t >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(t);
}

} // namespace music
