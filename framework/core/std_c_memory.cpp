// StdCMemory: the static allocator service object and its module.
#include "framework/core/std_c_memory.h"

#include "framework/core/heap.h"
#include "framework/core/memory_pool.h"
#include "framework/core/static_state.h"

namespace {

StdCMemory the_memory;

const OmClassRecord classes[] = {
    {&CLSID_StdCMemory, nullptr, nullptr, StdCMemory::Create, "StdCMemory"},
};

} // namespace

struct StdCMemoryState {
    static void reset() { the_memory.ref_count_ = 0; }
};

namespace {
const OmStaticStateReset reset_memory(StdCMemoryState::reset);
}

OmResult StdCMemory::Create(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    ++the_memory.ref_count_;
    *out = &the_memory;
    return OM_S_OK;
}

OmResult StdCMemory::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out, {{&IID_IMemory, this}});
}

uint32_t StdCMemory::AddRef() {
    return ++ref_count_;
}

uint32_t StdCMemory::Release() {
    if (ref_count_ == 0) return 0;
    return --ref_count_;
}

void* StdCMemory::Alloc(size_t size) {
    return om_heap_allocate(size);
}

OmResult StdCMemory::Free(void* block) {
    om_heap_free(block);
    return OM_S_OK;
}

void* StdCMemory::Realloc(void* block, size_t size) {
    return om_heap_reallocate(block, size);
}

void* StdCMemory::AllocZeroed(size_t count, size_t size) {
    return om_heap_allocate_zeroed(count, size);
}

OmResult StdCMemory::CreatePool(uint32_t element_size, uint32_t per_block, IMemoryPool** out) {
    return om_create_memory_pool(element_size, per_block, out);
}

int64_t OmLiveHeapBlocks() {
    return om_heap_live_blocks();
}

OM_DEFINE_MODULE(StdCMemory, classes)
