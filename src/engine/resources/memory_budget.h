// The memory that documents may make the player allocate: the records of every list and the
// parsed XML trees together stay below one stated limit, whatever a document says. A request that
// would pass it is refused (the record is left out, the tree is cut short) and the first refusal
// is logged. Main thread only, like all loading.
#pragma once

#include <cstdint>

namespace resources {

constexpr uint64_t kMemoryBudgetLimit = 1ull << 30;

// Counts bytes as taken; false (nothing taken) when the total would pass the limit.
bool memory_budget_take(uint64_t bytes);
// Returns bytes taken earlier.
void memory_budget_give(uint64_t bytes);
uint64_t memory_budget_used();

// Tests and fuzz targets: a smaller limit (0 for the standard one); forgets what was taken and
// whether the refusal was logged.
void memory_budget_reset(uint64_t limit);

} // namespace resources
