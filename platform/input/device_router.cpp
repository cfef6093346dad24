// The fan-out of the hub's device buffers to the acquired devices.
#include "platform/input/device_router.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

namespace platform {
namespace {

struct Router {
    std::recursive_mutex lock;
    std::array<std::vector<DeviceEventSink*>, 3> sinks;
    std::array<const void*, 3> exclusive{};
};

Router& router() {
    static Router r;
    return r;
}

// Reads in pieces no larger than the hub keeps.
constexpr size_t route_batch = 256;

void route_locked(Router& r, InputDevice kind) {
    DeviceEvent batch[route_batch];
    for (;;) {
        size_t n = read_device_events(kind, batch, route_batch);
        for (size_t i = 0; i < n; ++i)
            for (DeviceEventSink* sink : r.sinks[size_t(kind)]) sink->accept(batch[i]);
        if (n < route_batch) break;
    }
}

} // namespace

void attach_device_sink(InputDevice kind, DeviceEventSink* sink) {
    Router& r = router();
    std::lock_guard guard(r.lock);
    auto& list = r.sinks[size_t(kind)];
    if (std::find(list.begin(), list.end(), sink) != list.end()) return;
    if (list.empty()) {
        drain_events(); // what SDL still holds came before the device was acquired
        set_device_buffering(kind, true);
    } else {
        route_locked(r, kind); // what came before belongs to the devices already there
    }
    list.push_back(sink);
}

void detach_device_sink(InputDevice kind, DeviceEventSink* sink) {
    Router& r = router();
    std::lock_guard guard(r.lock);
    auto& list = r.sinks[size_t(kind)];
    auto it = std::find(list.begin(), list.end(), sink);
    if (it == list.end()) return;
    // The others keep what is waiting; with none left, what SDL still holds is dropped.
    route_locked(r, kind);
    list.erase(it);
    if (list.empty()) set_device_buffering(kind, false);
}

void route_device_events(InputDevice kind) {
    Router& r = router();
    std::lock_guard guard(r.lock);
    if (r.sinks[size_t(kind)].empty()) return;
    route_locked(r, kind);
}

bool claim_exclusive(InputDevice kind, const void* holder) {
    Router& r = router();
    std::lock_guard guard(r.lock);
    const void*& current = r.exclusive[size_t(kind)];
    if (current && current != holder) return false;
    current = holder;
    return true;
}

void release_exclusive(InputDevice kind, const void* holder) {
    Router& r = router();
    std::lock_guard guard(r.lock);
    if (r.exclusive[size_t(kind)] == holder) r.exclusive[size_t(kind)] = nullptr;
}

} // namespace platform
