// OmArray and OmPtrArray: one block from the allocator, moved whole when it grows.
#include "framework/containers/om_array.h"

#include "framework/core/memory.h"

#include <cstdint>
#include <cstring>

namespace {

// Largest block either array asks for: its sizes were 32-bit, and a byte count beyond that
// could only come from a corrupted count or element size.
constexpr uint64_t max_block_bytes = UINT32_MAX;

// Moves the elements of `array` into a block of n elements of `size` bytes (n = 0 frees the
// block). OM_E_FAIL below the count or past the size limit; OM_E_OUTOFMEMORY.
OmResult move_block(OmArrayHeader* array, int32_t n, size_t size) {
    if (n < array->count || n < 0) return OM_E_FAIL;
    uint64_t bytes = uint64_t(n) * size;
    if (bytes > max_block_bytes) return OM_E_FAIL;
    void* block = nullptr;
    if (bytes) {
        block = OmAllocMemory(size_t(bytes));
        if (!block) return OM_E_OUTOFMEMORY;
        if (array->count) std::memcpy(block, array->data, size_t(array->count) * size);
    }
    OmFreeMemory(array->data);
    array->data = block;
    array->capacity = n;
    return OM_S_OK;
}

// The capacity after one growth step, or -1 when it would not fit a 32-bit count.
int32_t grown_capacity(const OmArrayHeader* array) {
    int64_t next = int64_t(array->capacity) + (array->growth > 0 ? array->growth : 1);
    return next > INT32_MAX ? -1 : int32_t(next);
}

void init_header(OmArrayHeader* array) {
    array->data = nullptr;
    array->count = 0;
    array->capacity = 0;
    array->growth = OM_ARRAY_GROWTH;
}

} // namespace

OmResult OmArrayInit(OmArray* array, uint32_t element_size) {
    init_header(array);
    array->element_size = element_size;
    return OM_S_OK;
}

OmResult OmArrayReserve(OmArray* array, int32_t n) {
    return move_block(array, n, array->element_size);
}

OmResult OmArrayGrow(OmArray* array) {
    return OmArrayReserve(array, grown_capacity(array));
}

OmResult OmArraySetCount(OmArray* array, int32_t n) {
    if (n < 0) return OM_E_FAIL;
    if (n > array->capacity) {
        OmResult r = OmArrayReserve(array, n);
        if (r < 0) return r;
    }
    array->count = n;
    return OM_S_OK;
}

void* OmArrayData(const OmArray* array) {
    return array->count ? array->data : nullptr;
}

void* OmArrayAt(const OmArray* array, int32_t index) {
    if (index < 0 || index >= array->count) return nullptr;
    return OmArrayAtUnchecked(array, index);
}

void* OmArrayAppend(OmArray* array) {
    if (array->count == array->capacity && OmArrayGrow(array) < 0) return nullptr;
    void* element = OmArrayAtUnchecked(array, array->count++);
    std::memset(element, 0, array->element_size);
    return element;
}

void* OmArrayInsertAt(OmArray* array, int32_t index) {
    if (index < 0) return nullptr;
    if (index >= array->count) return OmArrayAppend(array);
    if (array->count == array->capacity && OmArrayGrow(array) < 0) return nullptr;
    char* slot = static_cast<char*>(OmArrayAtUnchecked(array, index));
    std::memmove(slot + array->element_size, slot,
                 size_t(array->count - index) * array->element_size);
    ++array->count;
    std::memset(slot, 0, array->element_size);
    return slot;
}

int32_t OmArrayRemoveAt(OmArray* array, int32_t index) {
    if (index < 0 || array->count == 0) return array->count;
    if (index < array->count - 1) {
        char* slot = static_cast<char*>(OmArrayAtUnchecked(array, index));
        std::memmove(slot, slot + array->element_size,
                     size_t(array->count - 1 - index) * array->element_size);
    }
    return --array->count;
}

OmResult OmArrayCompact(OmArray* array) {
    if (array->capacity == array->count) return OM_S_OK;
    return move_block(array, array->count, array->element_size);
}

OmResult OmPtrArrayInit(OmPtrArray* array) {
    init_header(array);
    return OM_S_OK;
}

int32_t OmPtrArrayReserve(OmPtrArray* array, int32_t n) {
    return move_block(array, n, sizeof(void*)) == OM_S_OK ? 1 : 0;
}

int32_t OmPtrArrayGrow(OmPtrArray* array) {
    return OmPtrArrayReserve(array, grown_capacity(array));
}

int32_t OmPtrArraySetCount(OmPtrArray* array, int32_t n) {
    if (n < 0) return 0;
    if (n > array->capacity && !OmPtrArrayReserve(array, n)) return 0;
    array->count = n;
    return 1;
}

void OmPtrArraySetAt(OmPtrArray* array, int32_t index, void* pointer) {
    if (index >= 0 && index < array->count) OmPtrArrayItems(array)[index] = pointer;
}

int32_t OmPtrArrayAppend(OmPtrArray* array, void* pointer) {
    if (array->count == array->capacity && !OmPtrArrayGrow(array)) return OM_E_OUTOFMEMORY;
    OmPtrArrayItems(array)[array->count] = pointer;
    return array->count++;
}

void* OmPtrArrayInsert(OmPtrArray* array, int32_t index, void* pointer) {
    if (index < 0) return nullptr;
    if (array->count == array->capacity && !OmPtrArrayGrow(array)) return nullptr;
    if (index > array->count) index = array->count;
    void** items = OmPtrArrayItems(array);
    std::memmove(items + index + 1, items + index, size_t(array->count - index) * sizeof(void*));
    items[index] = pointer;
    ++array->count;
    return pointer;
}

void OmPtrArrayRemoveAt(OmPtrArray* array, int32_t index) {
    if (index < 0 || index >= array->count) return;
    void** items = OmPtrArrayItems(array);
    std::memmove(items + index, items + index + 1,
                 size_t(array->count - 1 - index) * sizeof(void*));
    --array->count;
}

OmResult OmPtrArrayCompact(OmPtrArray* array) {
    if (array->capacity == array->count) return OM_S_OK;
    return move_block(array, array->count, sizeof(void*));
}

void OmPtrArrayFree(OmArrayHeader* array) {
    OmFreeMemory(array->data);
    array->data = nullptr;
    array->count = 0;
    array->capacity = 0;
}
