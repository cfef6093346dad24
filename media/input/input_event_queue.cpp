// The input event ring.
#include "media/input/input_event_queue.h"

#include "framework/core/memory.h"

OmResult InputEventQueue::create(uint32_t capacity) {
    release(nullptr);
    if (capacity < 2) return OM_E_FAIL;
    slots_ = static_cast<InputEvent*>(OmAllocMemory(size_t(capacity) * sizeof(InputEvent)));
    if (!slots_) return OM_E_OUTOFMEMORY;
    capacity_ = capacity;
    write_ = 1;
    read_ = 0;
    return OM_S_OK;
}

void InputEventQueue::release(InputPayloadTable* payloads) {
    if (payloads) clear(*payloads);
    OmFreeMemory(slots_);
    slots_ = nullptr;
    capacity_ = 0;
    write_ = 1;
    read_ = 0;
}

OmResult InputEventQueue::push(const InputEvent& event, InputPayloadTable& payloads) {
    if (!slots_ || full()) return OM_E_OUTOFMEMORY;
    InputEvent copy = event;
    if (event.length > 0) {
        uint32_t length = 0;
        if (!payloads.data(event.value, &length) || length != event.length) return OM_E_OUTOFMEMORY;
        copy.value = payloads.copy(event.value);
        if (!copy.value) return OM_E_OUTOFMEMORY;
    }
    slots_[write_] = copy;
    write_ = next(write_);
    return OM_S_OK;
}

OmResult InputEventQueue::push_owned(const InputEvent& event, InputPayloadTable& payloads) {
    if (!slots_ || full()) {
        if (event.length > 0) payloads.free(event.value);
        return OM_E_OUTOFMEMORY;
    }
    slots_[write_] = event;
    write_ = next(write_);
    return OM_S_OK;
}

OmResult InputEventQueue::pop(InputEvent* out) {
    if (empty()) return OM_E_FAIL;
    read_ = next(read_);
    *out = slots_[read_];
    return OM_S_OK;
}

OmResult InputEventQueue::peek(InputEvent* out, InputPayloadTable& payloads) const {
    if (empty()) return OM_E_FAIL;
    InputEvent copy = slots_[next(read_)];
    if (copy.length > 0) {
        copy.value = payloads.copy(copy.value);
        if (!copy.value) return OM_E_OUTOFMEMORY;
    }
    *out = copy;
    return OM_S_OK;
}

void InputEventQueue::clear(InputPayloadTable& payloads) {
    if (!slots_) return;
    for (uint32_t i = next(read_); i != write_; i = next(i))
        if (slots_[i].length > 0) payloads.free(slots_[i].value);
    read_ = (write_ == 0 ? capacity_ : write_) - 1;
}
