// The music ring under ThreadSanitizer: a decoder thread and a callback thread run against one ring
// as the player runs them; every delivered byte must continue the decoded stream exactly.
#include "music/music_ring.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

namespace {

uint32_t counting_decode(void *user, int16_t *out, uint32_t values) {
    uint32_t *next = static_cast<uint32_t *>(user);
    for (uint32_t i = 0; i < values; i++) out[i] = static_cast<int16_t>((*next)++);
    return values;
}

} // namespace

int main() {
    std::unique_ptr<music::MusicRing> ring(new music::MusicRing);
    music::music_ring_reset(ring.get());
    std::atomic<bool> stop{false};
    uint32_t next = 0;
    std::thread decoder([&] {
        while (!stop.load()) {
            music::music_ring_decode_step(ring.get(), counting_decode, &next);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    uint32_t expected = 0, delivered = 0, skipped_silence = 0;
    bool ok = true;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
    static uint8_t buffer[music::kDeviceBufferBytes];
    uint32_t tick = 1;
    while (ok && std::chrono::steady_clock::now() < until) {
        music::music_ring_callback(ring.get(), buffer, sizeof buffer, tick++);
        if (ring->delivered.load(std::memory_order_acquire)) {
            uint32_t start = 0;
            if (skipped_silence < music::kLeadingSilence) {
                start = music::kLeadingSilence - skipped_silence;
                skipped_silence = music::kLeadingSilence;
            }
            for (uint32_t i = start; i + 1 < sizeof buffer; i += 2) {
                int16_t v;
                std::memcpy(&v, buffer + i, 2);
                if (v != static_cast<int16_t>(expected++)) {
                    std::fprintf(stderr, "stream broken at byte %u of buffer %u\n", i, delivered);
                    ok = false;
                    break;
                }
            }
            delivered++;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    stop.store(true);
    decoder.join();
    std::printf("%u buffers delivered in order\n", delivered);
    return ok && delivered > 10 ? 0 : 1;
}
