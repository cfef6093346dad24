// Hands the event hub's per-kind device buffers out to every acquired device of that kind, so
// two devices over the same keyboard (or mouse, or joystick) each see every event.
#pragma once

#include "platform/window/event_hub.h"

namespace platform {

// What an acquired device receives.
class DeviceEventSink {
public:
    virtual void accept(const DeviceEvent& event) = 0;

protected:
    ~DeviceEventSink() = default;
};

// Starts routing the kind's events to `sink` (the hub buffers the kind while any sink is
// attached). Events that came before are not given to it.
void attach_device_sink(InputDevice kind, DeviceEventSink* sink);
// Stops routing to `sink`; the hub stops buffering the kind when no sink is left.
void detach_device_sink(InputDevice kind, DeviceEventSink* sink);
// Moves the hub's waiting events of the kind to the attached sinks, oldest first.
void route_device_events(InputDevice kind);

// The exclusive holder of a kind (null when none): at most one acquired device holds it.
bool claim_exclusive(InputDevice kind, const void* holder);
void release_exclusive(InputDevice kind, const void* holder);

} // namespace platform
