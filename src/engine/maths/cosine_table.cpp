#include "maths/cosine_table.h"

#include <cmath>

namespace maths {

static float g_table[kCosineTableSize];
static bool g_built = false;

void cosine_table_build() {
    if (g_built) return;
    for (int i = 0; i < kCosineTableSize; i++)
        g_table[i] = static_cast<float>(std::cos(i * 0.0015339807861328126));
    g_built = true;
}

const float *cosine_table() {
    cosine_table_build();
    return g_table;
}

float cosine_step(int64_t k) {
    return cosine_table()[kCosineSteps + static_cast<int>(k % kCosineSteps)];
}

float cosine_step_of(double k) {
    if (!std::isfinite(k)) return cosine_table()[kCosineSteps];
    // Steps beyond 64-bit range keep their remainder; fmod keeps the sign of k as % does.
    if (std::fabs(k) >= 9.0e18) k = std::fmod(k, double(kCosineSteps));
    return cosine_step(static_cast<int64_t>(k));
}

float cosine_lookup(double radians) {
    return cosine_step_of(std::trunc(radians * kCosineStepsPerRadian));
}

} // namespace maths
