// The image code's pointer array.
#include "framework/platform/image_ptr_array.h"

#include "framework/core/memory.h"

#include <algorithm>
#include <cstring>

void OmImagePtrArrayFree(OmImagePtrArray* array) {
    OmFreeMemory(array->data);
    array->data = nullptr;
    array->count = 0;
    array->capacity = 0;
}

int32_t OmImagePtrArrayGrow(OmImagePtrArray* array) {
    int64_t capacity = int64_t(array->capacity) + array->growth_step;
    if (capacity > INT32_MAX) return 0;
    return OmImagePtrArrayResize(array, int32_t(capacity));
}

int32_t OmImagePtrArrayResize(OmImagePtrArray* array, int32_t capacity) {
    if (capacity < 0) return 0;
    void** block = nullptr;
    if (capacity) {
        block = static_cast<void**>(OmAllocMemory(sizeof(void*) * size_t(capacity)));
        if (!block) return 0;
    }
    // A smaller capacity keeps the entries that fit rather than writing past the new block.
    int32_t kept = std::clamp(array->count, 0, capacity);
    if (kept) std::memcpy(block, array->data, sizeof(void*) * size_t(kept));
    OmFreeMemory(array->data);
    array->data = block;
    array->count = kept;
    array->capacity = capacity;
    return 1;
}
