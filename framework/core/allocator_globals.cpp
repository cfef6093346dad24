// The program-wide allocator pointer and the Om functions that go through it.
#include "framework/core/memory.h"

#include "framework/core/static_state.h"

namespace {

IMemory* global_allocator = nullptr;

const OmStaticStateReset reset_allocator([] { global_allocator = nullptr; });

} // namespace

OmResult OmSetAllocator(IMemory* allocator) {
    if (global_allocator) {
        if (allocator) return OM_E_FAIL;
        IMemory* old = global_allocator;
        global_allocator = nullptr;
        old->Release();
        return OM_S_OK;
    }
    global_allocator = allocator;
    return OM_S_OK;
}

IMemory* OmGetAllocator() {
    return global_allocator;
}

void* OmAllocMemory(size_t size) {
    return global_allocator ? global_allocator->Alloc(size) : nullptr;
}

void OmFreeMemory(void* block) {
    if (global_allocator) global_allocator->Free(block);
}

OmResult OmCreateMemoryPool(uint32_t element_size, uint32_t per_block, IMemoryPool** out) {
    if (!global_allocator) {
        if (out) *out = nullptr;
        return OM_E_NOMANAGER;
    }
    return global_allocator->CreatePool(element_size, per_block, out);
}

// Used by OmUseProgramServices in component libraries.
void om_bind_allocator(IMemory* allocator) {
    global_allocator = allocator;
}
