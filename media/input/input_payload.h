// Payload blocks of input events. The value word of an event is 32 bits wide, so an event
// with a payload (length > 0) names its block by a handle into the table of the live Input
// component, never by address.
#pragma once

#include "framework/core/result_codes.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>

class InputPayloadTable {
public:
    InputPayloadTable() = default;
    ~InputPayloadTable() { clear(); }
    InputPayloadTable(const InputPayloadTable&) = delete;
    InputPayloadTable& operator=(const InputPayloadTable&) = delete;

    // A new handle for a block of `length` bytes (uninitialised; its address in *data when
    // given). 0 when memory runs out.
    uint32_t allocate(uint32_t length, uint8_t** data = nullptr);
    // A new handle holding a copy of the bytes. 0 when memory runs out.
    uint32_t store(const void* bytes, uint32_t length);
    // A new handle holding a copy of the handle's block; 0 when unknown or out of memory.
    uint32_t copy(uint32_t handle);
    // The block of a handle and its length; null when the handle is unknown.
    const uint8_t* data(uint32_t handle, uint32_t* length) const;
    // False when the handle is unknown.
    bool free(uint32_t handle);
    size_t size() const { return blocks_.size(); }
    void clear();

private:
    struct Block {
        uint8_t* bytes;
        uint32_t length;
    };
    std::unordered_map<uint32_t, Block> blocks_;
    uint32_t next_ = 0;
};

// The live Input's table, for drivers that post payload events: store the bytes, post the
// event with the handle as its value and the byte count as its length, then free the handle
// (the queue keeps a copy of its own). Each answers OM_E_FAIL when no Input is alive or the
// handle is unknown; storing answers OM_E_OUTOFMEMORY when memory runs out.
OmResult InputPayloadStore(const void* bytes, uint32_t length, uint32_t* handle);
OmResult InputPayloadData(uint32_t handle, const uint8_t** bytes, uint32_t* length);
OmResult InputPayloadFree(uint32_t handle);
