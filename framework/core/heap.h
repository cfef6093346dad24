// The heap under the allocator service and the pools: C runtime blocks, counted, and failing
// on demand when a test arms platform/fault_injection.h.
#pragma once

#include <cstddef>
#include <cstdint>

// A block of at least one byte, or null when the heap (or the fault injector) refuses.
void* om_heap_allocate(size_t size);
// Null allocates; null is returned when it fails, the old block staying valid.
void* om_heap_reallocate(void* block, size_t size);
// Zero-filled count x size bytes; null when the product overflows or the heap refuses.
void* om_heap_allocate_zeroed(size_t count, size_t size);
// Null is accepted.
void om_heap_free(void* block);

// Blocks handed out and not yet freed, for leak checks in tests.
int64_t om_heap_live_blocks();
// Blocks handed out since the start of the process (benchmarks count allocations with it).
uint64_t om_heap_allocations();
