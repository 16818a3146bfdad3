#include "maths/shared_random.h"

namespace maths {

// Main thread only, like everything that draws from it.
static uint32_t g_state = 1;

void shared_random_seed(uint32_t seed) {
    g_state = seed;
}

int32_t shared_random_next() {
    g_state = g_state * 214013u + 2531011u;
    return static_cast<int32_t>((g_state >> 16) & 0x7FFFu);
}

} // namespace maths
