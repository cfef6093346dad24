// OmArray and OmPtrArray: the growable arrays that components embed for their tables.
#pragma once

#include "framework/core/result_codes.h"

#include <cstddef>

// The fields both arrays share, in this order; OmPtrArrayFree frees either kind through it.
// Count and capacity are signed so that a negative index is simply out of range.
struct OmArrayHeader {
    void* data;
    int32_t count;
    int32_t capacity;
    int32_t growth; // elements added per growth step, 32 after init
};

// Fixed-size elements stored inline.
struct OmArray : OmArrayHeader {
    uint32_t element_size;
};

// Untyped pointers; `data` holds void* slots.
struct OmPtrArray : OmArrayHeader {};

inline constexpr int32_t OM_ARRAY_GROWTH = 32;

// Empty, growth step 32; 0.
OmResult OmArrayInit(OmArray* array, uint32_t element_size);
// Moves the elements into a new block of n elements. OM_E_OUTOFMEMORY (array unchanged);
// OM_E_FAIL for n below the count or a block size beyond what a 32-bit count can address.
OmResult OmArrayReserve(OmArray* array, int32_t n);
// OmArrayReserve(capacity + growth step).
OmResult OmArrayGrow(OmArray* array);
// Reserves n first when needed (its failure returned, count unchanged), then sets the count;
// new elements are not cleared. OM_E_FAIL for a negative n.
OmResult OmArraySetCount(OmArray* array, int32_t n);
// The data, or null when the array is empty.
void* OmArrayData(const OmArray* array);
// The element's address, or null outside 0 .. count - 1.
void* OmArrayAt(const OmArray* array, int32_t index);
// The element's address without any check, for indices the caller knows to be valid.
inline void* OmArrayAtUnchecked(const OmArray* array, int32_t index) {
    return static_cast<char*>(array->data) + size_t(index) * array->element_size;
}
// A new zero-filled last element, or null when growth fails.
void* OmArrayAppend(OmArray* array);
// A new zero-filled element at the index (at or beyond the count: at the end), the later
// elements moved up by one; null when growth fails or the index is negative.
void* OmArrayInsertAt(OmArray* array, int32_t index);
// Removes the element, moving the later ones down; an index at or beyond the last element
// drops the last one, a negative index or an empty array changes nothing. The new count.
int32_t OmArrayRemoveAt(OmArray* array, int32_t index);
// Shrinks the block to the count (a count of 0 frees it). OM_E_OUTOFMEMORY, array unchanged.
OmResult OmArrayCompact(OmArray* array);

// Empty, growth step 32; 0.
OmResult OmPtrArrayInit(OmPtrArray* array);
// Moves the pointers into a block of n; 1 on success, 0 when it cannot be had (unchanged)
// or n is below the count.
int32_t OmPtrArrayReserve(OmPtrArray* array, int32_t n);
// OmPtrArrayReserve(capacity + growth step).
int32_t OmPtrArrayGrow(OmPtrArray* array);
// Reserves when needed, then sets the count; new slots are not cleared. 1, or 0 with the
// count unchanged when the block cannot be had or n is negative.
int32_t OmPtrArraySetCount(OmPtrArray* array, int32_t n);
// The slots (null when no block is held).
inline void** OmPtrArrayItems(const OmPtrArray* array) {
    return static_cast<void**>(array->data);
}
// The pointer, or null outside 0 .. count - 1.
inline void* OmPtrArrayAt(const OmPtrArray* array, int32_t index) {
    if (index < 0 || index >= array->count) return nullptr;
    return OmPtrArrayItems(array)[index];
}
// Stores the pointer when the index is inside the array; otherwise nothing.
void OmPtrArraySetAt(OmPtrArray* array, int32_t index, void* pointer);
// Stores the pointer at the end and returns its index; OM_E_OUTOFMEMORY (negative, unlike
// any index) when growth fails.
int32_t OmPtrArrayAppend(OmPtrArray* array, void* pointer);
// Stores the pointer at the index (at or beyond the count: at the end), moving the later ones
// up; returns the pointer, or null when growth fails or the index is negative.
void* OmPtrArrayInsert(OmPtrArray* array, int32_t index, void* pointer);
// Removes the slot, moving the later ones down; an index outside the array changes nothing.
void OmPtrArrayRemoveAt(OmPtrArray* array, int32_t index);
// As OmArrayCompact.
OmResult OmPtrArrayCompact(OmPtrArray* array);
// Frees the block of either kind of array: data null, count and capacity 0, growth kept.
void OmPtrArrayFree(OmArrayHeader* array);
inline void OmPtrArrayDestroy(OmArrayHeader* array) {
    OmPtrArrayFree(array);
}
inline void OmArrayFree(OmArray* array) {
    OmPtrArrayFree(array);
}
