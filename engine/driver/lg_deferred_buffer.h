// The deferred-call buffer: a growable arena of recorded calls (a function and its data) that
// the driver replays later, in insertion order or reversed.
#pragma once

#include <cstddef>
#include <cstdint>

using LgDeferredCall = void (*)(void* data);

struct LgDeferredBuffer {
    uint8_t* data;
    size_t capacity; // bytes
    size_t used;     // bytes
    size_t* offsets; // each entry's start, in insertion order
    size_t offsetCapacity;
    size_t count;
    int32_t resetCounter; // 0..63
    size_t peak;          // most bytes used since the last shrink
};

// Replay orders.
constexpr int32_t LgDeferredReplayForward = 1;
constexpr int32_t LgDeferredReplayReverse = 2;

// A new empty buffer; null with {0, 0x80000013} when memory runs out.
LgDeferredBuffer* LgDeferredBufferCreate();
int32_t LgDeferredBufferDestroy(LgDeferredBuffer* buffer);
// Room for `size` bytes of data for `function`; the data area is 8-aligned. Null with
// {0, 0x80000013} when the buffer cannot grow.
void* LgDeferredBufferAdd(LgDeferredBuffer* buffer, size_t size, LgDeferredCall function);
// Calls every entry's function with its data: LgDeferredReplayForward in insertion order,
// any other order reversed.
LgDeferredBuffer* LgDeferredBufferReplay(LgDeferredBuffer* buffer, int32_t order);
// Empties the buffer; every 64th reset gives back memory above the peak use.
LgDeferredBuffer* LgDeferredBufferReset(LgDeferredBuffer* buffer);
