// The ring of input events that the Input component keeps three of.
#pragma once

#include "media/input/input_event.h"
#include "media/input/input_payload.h"

// Write index starts at 1 and read index at 0: the queue is empty when (write - read) modulo
// capacity is 1 and full when they are equal, so it holds capacity - 1 events. Slots come
// from the framework allocator. A held event with a payload owns its own handle.
class InputEventQueue {
public:
    InputEventQueue() = default;
    ~InputEventQueue() { release(nullptr); }
    InputEventQueue(const InputEventQueue&) = delete;
    InputEventQueue& operator=(const InputEventQueue&) = delete;

    // OM_E_OUTOFMEMORY (the queue stays without slots); capacity must be 2 or more.
    OmResult create(uint32_t capacity);
    // Frees the held payloads (when a table is given) and the slots.
    void release(InputPayloadTable* payloads);
    bool created() const { return slots_ != nullptr; }

    bool empty() const { return !slots_ || (write_ + capacity_ - read_) % capacity_ == 1; }
    bool full() const { return slots_ && write_ == read_; }

    // Stores a copy of the event, with a copy of its payload. OM_E_OUTOFMEMORY when full, when
    // the payload cannot be copied or names no block of that length.
    OmResult push(const InputEvent& event, InputPayloadTable& payloads);
    // Stores the event taking over its payload handle; when it does not fit, the payload is
    // freed and OM_E_OUTOFMEMORY returned.
    OmResult push_owned(const InputEvent& event, InputPayloadTable& payloads);
    // Takes the oldest event; its payload handle passes to the caller. OM_E_FAIL when empty.
    OmResult pop(InputEvent* out);
    // Copies the oldest event, giving the caller a copy of its payload. OM_E_FAIL when empty,
    // OM_E_OUTOFMEMORY when the payload cannot be copied.
    OmResult peek(InputEvent* out, InputPayloadTable& payloads) const;
    // Drops every held event: read index := (write index, or capacity for 0) - 1.
    void clear(InputPayloadTable& payloads);

private:
    uint32_t next(uint32_t index) const { return index + 1 == capacity_ ? 0 : index + 1; }

    uint32_t capacity_ = 0;
    uint32_t write_ = 1;
    uint32_t read_ = 0;
    InputEvent* slots_ = nullptr;
};
