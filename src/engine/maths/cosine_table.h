// The engine's tabulated cosine: 8192 floats over two turns, 4096 steps a turn. Mesh effects,
// manipulators, 2D effects and the Ripple filter read it instead of calling cos.
#pragma once

#include <cstdint>

namespace maths {

constexpr int kCosineSteps = 4096;
constexpr int kCosineTableSize = 2 * kCosineSteps;

// Fills the table (entry i = cos(i x 2 pi / 4096), rounded to float). Called once at start-up;
// later calls do nothing.
void cosine_table_build();

// The table (built on first use if cosine_table_build was not called).
const float *cosine_table();

// Entry 4096 + m for an integer step k, where m is k's remainder by 4096 with k's sign.
float cosine_step(int64_t k);

// The same for a step already truncated but held in a double: a step that is not finite reads
// entry 4096, one beyond the 64-bit range keeps its remainder.
float cosine_step_of(double k);

// Table steps in a radian (4096 steps a turn, as the stored demos were made with).
constexpr double kCosineStepsPerRadian = 651.8986469;

// The cosine of an angle in radians: the step trunc(angle x kCosineStepsPerRadian) looked up as above.
float cosine_lookup(double radians);

} // namespace maths
