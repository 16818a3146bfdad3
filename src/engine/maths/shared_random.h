// The player's one random sequence, shared by Lake water's drops and the "Amoba" 2D effect. A
// linear congruential generator with fixed constants, so a demo looks the same on every machine
// (the C library's rand() differs between platforms in range and sequence).
#pragma once

#include <cstdint>

namespace maths {

constexpr int32_t kSharedRandomMax = 32767;

// Sets the state; the sequence starts from state 1 before any seeding.
void shared_random_seed(uint32_t seed);

// The next value, 0..32767: state = state x 214013 + 2531011 (mod 2^32), result bits 16..30.
int32_t shared_random_next();

} // namespace maths
