// The growable byte buffer over the program-wide allocator.
#include "framework/core/byte_buffer.h"

#include "framework/core/memory.h"

#include <algorithm>
#include <cstring>

void OmByteBufferInit(OmByteBuffer* buffer) {
    buffer->data = nullptr;
    buffer->size = 0;
}

OmResult OmByteBufferAlloc(OmByteBuffer* buffer, uint32_t n) {
    uint8_t* block = nullptr;
    if (n) {
        block = static_cast<uint8_t*>(OmAllocMemory(n));
        if (!block) return OM_E_OUTOFMEMORY;
    }
    OmFreeMemory(buffer->data);
    buffer->data = block;
    buffer->size = n;
    return OM_S_OK;
}

OmResult OmByteBufferResize(OmByteBuffer* buffer, uint32_t n) {
    uint8_t* block = nullptr;
    if (n) {
        block = static_cast<uint8_t*>(OmAllocMemory(n));
        if (!block) return OM_E_OUTOFMEMORY;
        if (buffer->data) std::memcpy(block, buffer->data, std::min(buffer->size, n));
    }
    OmFreeMemory(buffer->data);
    buffer->data = block;
    buffer->size = n;
    return OM_S_OK;
}

void OmByteBufferFree(OmByteBuffer* buffer) {
    OmFreeMemory(buffer->data);
    buffer->data = nullptr;
    buffer->size = 0;
}
