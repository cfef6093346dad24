// Class-level operator new/delete over the program-wide allocator service.
#pragma once

#include "framework/core/memory.h"

#include <cstring>

// Components derive from this so that `new` draws from IMemory and yields null (not an
// exception) when memory runs out, with every member starting as if zero-filled.
struct OmAllocated {
    static void* operator new(size_t size) noexcept {
        void* p = OmAllocMemory(size);
        if (p) std::memset(p, 0, size);
        return p;
    }
    static void operator delete(void* p) noexcept { OmFreeMemory(p); }
};
