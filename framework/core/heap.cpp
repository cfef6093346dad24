// C runtime heap with a live-block count and the test fault injector in front of it.
#include "framework/core/heap.h"

#include "platform/fault_injection.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace {
// Atomic because the sound worker thread allocates too.
std::atomic<int64_t> live_blocks{0};
std::atomic<uint64_t> allocations{0};
} // namespace

void* om_heap_allocate(size_t size) {
    if (platform::allocation_should_fail()) return nullptr;
    void* p = std::malloc(size ? size : 1);
    if (p) live_blocks.fetch_add(1, std::memory_order_relaxed);
    if (p) allocations.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void* om_heap_reallocate(void* block, size_t size) {
    if (!block) return om_heap_allocate(size);
    if (platform::allocation_should_fail()) return nullptr;
    // A zero size would free the block behind the caller's back; keep a one-byte block.
    return std::realloc(block, size ? size : 1);
}

void* om_heap_allocate_zeroed(size_t count, size_t size) {
    if (platform::allocation_should_fail()) return nullptr;
    if (count == 0 || size == 0) count = size = 1;
    if (count > SIZE_MAX / size) return nullptr;
    void* p = std::calloc(count, size);
    if (p) live_blocks.fetch_add(1, std::memory_order_relaxed);
    if (p) allocations.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void om_heap_free(void* block) {
    if (!block) return;
    live_blocks.fetch_sub(1, std::memory_order_relaxed);
    std::free(block);
}

uint64_t om_heap_allocations() {
    return allocations.load(std::memory_order_relaxed);
}

int64_t om_heap_live_blocks() {
    return live_blocks.load(std::memory_order_relaxed);
}
