// Start-up for framework benchmarks: the program-wide allocator, installed once.
#pragma once

#include "framework/core/memory.h"
#include "framework/core/std_c_memory.h"

namespace bench {

inline void use_framework_allocator() {
    if (OmGetAllocator()) return;
    IUnknown* memory = nullptr;
    StdCMemory::Create(nullptr, &memory);
    OmSetAllocator(static_cast<StdCMemory*>(memory));
}

} // namespace bench
