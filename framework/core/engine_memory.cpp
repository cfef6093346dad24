// The engine's memory callbacks over the allocator service, and the game's slot functions.
#include "framework/core/engine_memory.h"

#include "framework/core/memory.h"

#include <algorithm>
#include <cstring>

void* TvEngineMemAlloc(size_t size) {
    return OmAllocMemory(size);
}

int32_t TvEngineMemFree(void* block) {
    IMemory* memory = OmGetAllocator();
    return memory ? memory->Free(block) : OM_E_NOMANAGER;
}

void* TvEngineMemRealloc(void* block, size_t size) {
    IMemory* memory = OmGetAllocator();
    return memory ? memory->Realloc(block, size) : nullptr;
}

void* TvEngineMemCalloc(size_t count, size_t size) {
    IMemory* memory = OmGetAllocator();
    return memory ? memory->AllocZeroed(count, size) : nullptr;
}

namespace {
size_t slot_width(int32_t size) {
    return std::min(size_t(size), sizeof(void*));
}
} // namespace

void* TvExtensionInit(void* object, int32_t offset, int32_t size) {
    if (object && size >= 4) std::memset(static_cast<char*>(object) + offset, 0, slot_width(size));
    return object;
}

void* TvExtensionDestroy(void* object, int32_t, int32_t) {
    return object;
}

void* TvExtensionCopy(void* destination, const void* source, int32_t offset, int32_t size) {
    if (destination && source && size >= 4)
        std::memcpy(static_cast<char*>(destination) + offset,
                    static_cast<const char*>(source) + offset, slot_width(size));
    return destination;
}
