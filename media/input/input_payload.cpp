// The payload table of input events.
#include "media/input/input_payload.h"

#include "framework/core/memory.h"

#include <cstring>
#include <new>

uint32_t InputPayloadTable::allocate(uint32_t length, uint8_t** data) {
    auto* bytes = static_cast<uint8_t*>(OmAllocMemory(length ? length : 1));
    if (!bytes) return 0;
    uint32_t handle;
    do {
        handle = ++next_;
    } while (handle == 0 || blocks_.count(handle));
    try {
        blocks_.emplace(handle, Block{bytes, length});
    } catch (const std::bad_alloc&) {
        OmFreeMemory(bytes);
        return 0;
    }
    if (data) *data = bytes;
    return handle;
}

uint32_t InputPayloadTable::store(const void* bytes, uint32_t length) {
    uint8_t* block;
    uint32_t handle = allocate(length, &block);
    if (handle && length) std::memcpy(block, bytes, length);
    return handle;
}

uint32_t InputPayloadTable::copy(uint32_t handle) {
    uint32_t length;
    const uint8_t* bytes = data(handle, &length);
    return bytes ? store(bytes, length) : 0;
}

const uint8_t* InputPayloadTable::data(uint32_t handle, uint32_t* length) const {
    auto it = blocks_.find(handle);
    if (it == blocks_.end()) return nullptr;
    if (length) *length = it->second.length;
    return it->second.bytes;
}

bool InputPayloadTable::free(uint32_t handle) {
    auto it = blocks_.find(handle);
    if (it == blocks_.end()) return false;
    OmFreeMemory(it->second.bytes);
    blocks_.erase(it);
    return true;
}

void InputPayloadTable::clear() {
    for (auto& [handle, block] : blocks_) OmFreeMemory(block.bytes);
    blocks_.clear();
}
