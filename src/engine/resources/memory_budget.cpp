#include "resources/memory_budget.h"

#include "resources/log.h"

namespace resources {

static uint64_t g_used = 0;
static uint64_t g_limit = kMemoryBudgetLimit;
static bool g_refused = false;

bool memory_budget_take(uint64_t bytes) {
    if (bytes > g_limit - g_used) {
        if (!g_refused)
            log_format(
                "Error: the documents need more than %llu MiB of memory; what does not fit is left out.\r\n",
                static_cast<unsigned long long>(g_limit >> 20));
        g_refused = true;
        return false;
    }
    g_used += bytes;
    return true;
}

void memory_budget_give(uint64_t bytes) {
    g_used = bytes > g_used ? 0 : g_used - bytes;
}

uint64_t memory_budget_used() {
    return g_used;
}

void memory_budget_reset(uint64_t limit) {
    g_used = 0;
    g_limit = limit ? limit : kMemoryBudgetLimit;
    g_refused = false;
}

} // namespace resources
