// The growable pointer array of the image code, over the program-wide allocation wrapper.
#pragma once

#include <cstdint>

// Laid out like the containers' pointer array: data, count, capacity, growth step.
struct OmImagePtrArray {
    void** data;
    int32_t count;
    int32_t capacity;
    int32_t growth_step;
};

// Frees the block; count and capacity become 0.
void OmImagePtrArrayFree(OmImagePtrArray* array);
// Resize to capacity + growth step. 1, or 0 with the array unchanged.
int32_t OmImagePtrArrayGrow(OmImagePtrArray* array);
// A block of `capacity` entries holding the first entries (the count is cut to a smaller
// capacity). 1, or 0 with the array unchanged when memory runs out or capacity is negative.
int32_t OmImagePtrArrayResize(OmImagePtrArray* array, int32_t capacity);
