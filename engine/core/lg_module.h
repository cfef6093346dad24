// Bookkeeping every engine module keeps: its slice offset and how often it is open.
#pragma once

#include "engine/core/lg_types.h"

struct LgModule {
    int32_t offset = 0;
    int32_t openCount = 0;

    // The module's slice in the current instance; null while the module is not open.
    template <typename T>
    T* slice() const {
        if (openCount == 0 || LgEngineInstancePtr == nullptr) return nullptr;
        return reinterpret_cast<T*>(reinterpret_cast<char*>(LgEngineInstancePtr) + offset);
    }
    template <typename T>
    static T* slice_of(void* instance, int32_t offset) {
        return reinterpret_cast<T*>(static_cast<char*>(instance) + offset);
    }
};
