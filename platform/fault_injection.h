// Allocation fault injection for tests: make the Nth allocation from now fail.
#pragma once

#include <cstdint>

namespace platform {

// Arms the injector: the allocation numbered `n` (1 = the next one) fails, and so does every
// later one when `sticky` is set. 0 disarms it.
void fail_allocation_after(uint64_t n, bool sticky = false);

// Disarms the injector and clears its counters.
void reset_allocation_faults();

// Asked by the allocator service before each allocation: true when this one must fail.
bool allocation_should_fail();

// Allocations counted since the injector was last armed or reset.
uint64_t allocations_seen();

// Whether the injector made at least one allocation fail since it was last armed or reset.
bool allocation_fault_fired();

} // namespace platform
