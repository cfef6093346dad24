// Allocation fault injection: a countdown shared by every allocator of the process.
#include "platform/fault_injection.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<uint64_t> fail_at{0};
std::atomic<uint64_t> seen{0};
std::atomic<bool> keep_failing{false};
std::atomic<bool> fired{false};

} // namespace

void fail_allocation_after(uint64_t n, bool sticky) {
    seen.store(0);
    fired.store(false);
    keep_failing.store(sticky);
    fail_at.store(n);
}

void reset_allocation_faults() { fail_allocation_after(0, false); }

bool allocation_should_fail() {
    uint64_t target = fail_at.load(std::memory_order_relaxed);
    uint64_t count = seen.fetch_add(1, std::memory_order_relaxed) + 1;
    if (target == 0) return false;
    bool fail = count == target || (keep_failing.load(std::memory_order_relaxed) && count > target);
    if (fail) fired.store(true, std::memory_order_relaxed);
    return fail;
}

uint64_t allocations_seen() { return seen.load(); }

bool allocation_fault_fired() { return fired.load(); }

} // namespace platform
