// The 12-byte input event: the unit of the input queues, of input recordings, and of what the
// front end hands to the game once per event.
#pragma once

#include <cstdint>

struct InputEvent {
    uint16_t source; // device id: driver number in the high byte, device index in the low byte
    uint16_t code;   // what happened; each device kind has its own codes
    uint32_t length; // payload bytes; 0 for every event the input drivers post
    uint32_t value;  // key code, movement, a float's bits or a state
};
static_assert(sizeof(InputEvent) == 12);

// The component's own events (source 0).
constexpr uint16_t kInputEventEndOfBatch = 2;
constexpr uint16_t kInputEventEndOfSideRecords = 1;
