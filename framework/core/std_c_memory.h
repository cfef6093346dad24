// The allocator service: one static object over the C runtime heap, and its memory pools.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/memory.h"

// The one StdCMemory object is static: releasing it to a count of 0 never frees it, and
// creating it again hands out the same object.
class StdCMemory final : public IMemory {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    void* Alloc(size_t size) override;
    OmResult Free(void* block) override;
    void* Realloc(void* block, size_t size) override;
    void* AllocZeroed(size_t count, size_t size) override;
    OmResult CreatePool(uint32_t element_size, uint32_t per_block, IMemoryPool** out) override;

    // The create function of the class table (and of start-up).
    static OmResult Create(IUnknown* outer, IUnknown** out);

    uint32_t ref_count() const { return ref_count_; }

private:
    friend struct StdCMemoryState;
    uint32_t ref_count_ = 0;
};

OM_DECLARE_MODULE(StdCMemory);

// Heap blocks (allocator blocks, pool objects and pool blocks) not yet returned: tests compare
// it before and after a case to find leaks.
int64_t OmLiveHeapBlocks();
