// The deferred-call buffer over the driver's memory functions.
#include "engine/driver/lg_deferred_buffer.h"

#include "engine/core/lg_error.h"
#include "engine/driver/lg_d3d_state.h"

#include <cstring>

namespace {

// Entries hold a function pointer and data with pointers in it: keep both 8-aligned.
constexpr size_t entryAlign = 8;
constexpr size_t headerBytes = (sizeof(LgDeferredCall) + entryAlign - 1) & ~(entryAlign - 1);
constexpr size_t offsetGrowth = 5;
constexpr int32_t shrinkPeriod = 64;

void* out_of_memory() {
    LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
    return nullptr;
}

} // namespace

LgDeferredBuffer* LgDeferredBufferCreate() {
    auto* buffer = static_cast<LgDeferredBuffer*>(LgD3DAlloc(sizeof(LgDeferredBuffer)));
    if (buffer == nullptr) return static_cast<LgDeferredBuffer*>(out_of_memory());
    std::memset(buffer, 0, sizeof(LgDeferredBuffer));
    return buffer;
}

int32_t LgDeferredBufferDestroy(LgDeferredBuffer* buffer) {
    if (buffer == nullptr) return 0;
    if (buffer->data != nullptr) LgD3DFree(buffer->data);
    if (buffer->offsets != nullptr) LgD3DFree(buffer->offsets);
    LgD3DFree(buffer);
    return 1;
}

void* LgDeferredBufferAdd(LgDeferredBuffer* buffer, size_t size, LgDeferredCall function) {
    if (buffer == nullptr) return nullptr;
    const size_t entry = (headerBytes + size + entryAlign - 1) & ~(entryAlign - 1);
    if (buffer->used + entry > buffer->capacity) {
        auto* grown = static_cast<uint8_t*>(buffer->data == nullptr
                                                ? LgD3DAlloc(buffer->used + entry)
                                                : LgD3DRealloc(buffer->data, buffer->used + entry));
        if (grown == nullptr) return out_of_memory();
        buffer->data = grown;
        buffer->capacity = buffer->used + entry;
    }
    if (buffer->count == buffer->offsetCapacity) {
        const size_t bytes = (buffer->offsetCapacity + offsetGrowth) * sizeof(size_t);
        auto* grown = static_cast<size_t*>(
            buffer->offsets == nullptr ? LgD3DAlloc(bytes) : LgD3DRealloc(buffer->offsets, bytes));
        if (grown == nullptr) return out_of_memory();
        buffer->offsets = grown;
        buffer->offsetCapacity += offsetGrowth;
    }
    uint8_t* start = buffer->data + buffer->used;
    std::memcpy(start, &function, sizeof(function));
    buffer->offsets[buffer->count++] = buffer->used;
    buffer->used += entry;
    return start + headerBytes;
}

LgDeferredBuffer* LgDeferredBufferReplay(LgDeferredBuffer* buffer, int32_t order) {
    if (buffer == nullptr) return nullptr;
    // An entry's function may add entries (and move the data block): read through offsets.
    const size_t count = buffer->count;
    for (size_t n = 0; n < count; ++n) {
        const size_t i = order == LgDeferredReplayForward ? n : count - 1 - n;
        const size_t offset = buffer->offsets[i];
        LgDeferredCall function;
        std::memcpy(&function, buffer->data + offset, sizeof(function));
        function(buffer->data + offset + headerBytes);
    }
    return buffer;
}

LgDeferredBuffer* LgDeferredBufferReset(LgDeferredBuffer* buffer) {
    if (buffer == nullptr) return nullptr;
    if (buffer->used > buffer->peak) buffer->peak = buffer->used;
    buffer->resetCounter = (buffer->resetCounter + 1) % shrinkPeriod;
    if (buffer->resetCounter == 0) {
        if (buffer->capacity > buffer->peak + buffer->peak / 2) {
            if (buffer->peak == 0) {
                LgD3DFree(buffer->data);
                buffer->data = nullptr;
                buffer->capacity = 0;
            } else if (void* shrunk = LgD3DRealloc(buffer->data, buffer->peak)) {
                buffer->data = static_cast<uint8_t*>(shrunk);
                buffer->capacity = buffer->peak;
            }
        }
        buffer->peak = 0;
    }
    buffer->used = 0;
    buffer->count = 0;
    return buffer;
}
