// Real clocks over CLOCK_MONOTONIC, and the virtual clock tests switch to.
#include "platform/clock.h"

#include <array>
#include <atomic>
#include <ctime>
#include <mutex>
#include <sched.h>

namespace platform {
namespace {

constexpr int64_t nanoseconds_per_second = 1000000000;
constexpr int64_t nanoseconds_per_millisecond = 1000000;

struct VirtualClock {
    std::mutex lock;
    uint64_t now_ns = 0;
    bool moved_since_query = true;
    uint32_t frame_step_ms = 16;
};

std::atomic<bool> virtual_on{false};

VirtualClock& virtual_clock() {
    static VirtualClock clock;
    return clock;
}

int64_t monotonic_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * nanoseconds_per_second + ts.tv_nsec;
}

// Reads the virtual time; a read that finds the clock unmoved moves it by 1 ms first.
uint64_t query_virtual_ns() {
    VirtualClock& c = virtual_clock();
    std::lock_guard guard(c.lock);
    if (!c.moved_since_query) c.now_ns += nanoseconds_per_millisecond;
    c.moved_since_query = false;
    return c.now_ns;
}

void advance_virtual_ns(uint64_t ns) {
    VirtualClock& c = virtual_clock();
    std::lock_guard guard(c.lock);
    c.now_ns += ns;
    c.moved_since_query = true;
}

} // namespace

uint32_t timeGetTime() {
    if (virtual_on.load(std::memory_order_relaxed))
        return uint32_t(query_virtual_ns() / nanoseconds_per_millisecond);
    return uint32_t(monotonic_ns() / nanoseconds_per_millisecond);
}

int QueryPerformanceCounter(int64_t* count) {
    if (!count) return 0;
    *count = virtual_on.load(std::memory_order_relaxed) ? int64_t(query_virtual_ns())
                                                         : monotonic_ns();
    return 1;
}

int QueryPerformanceFrequency(int64_t* frequency) {
    if (!frequency) return 0;
    *frequency = nanoseconds_per_second;
    return 1;
}

void Sleep(uint32_t milliseconds) {
    if (virtual_on.load(std::memory_order_relaxed)) {
        advance_virtual_ns(uint64_t(milliseconds) * nanoseconds_per_millisecond);
        sched_yield();
        return;
    }
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec ts{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

void use_virtual_clock(bool on) { virtual_on.store(on); }

bool virtual_clock_active() { return virtual_on.load(); }

void set_virtual_time(uint64_t milliseconds) {
    VirtualClock& c = virtual_clock();
    std::lock_guard guard(c.lock);
    c.now_ns = milliseconds * nanoseconds_per_millisecond;
    c.moved_since_query = true;
}

void advance_virtual_clock(uint64_t milliseconds) {
    advance_virtual_ns(milliseconds * nanoseconds_per_millisecond);
}

void advance_virtual_clock_us(uint64_t microseconds) { advance_virtual_ns(microseconds * 1000); }

void set_virtual_frame_step(uint32_t milliseconds) {
    VirtualClock& c = virtual_clock();
    std::lock_guard guard(c.lock);
    c.frame_step_ms = milliseconds;
}

namespace {
std::atomic<void (*)()> frame_shown_hook{nullptr};
std::array<std::atomic<void (*)()>, 4> frame_shown_listeners{};
std::mutex listeners_lock;
} // namespace

void set_frame_shown_hook(void (*hook)()) {
    frame_shown_hook.store(hook);
}

bool add_frame_shown_listener(void (*listener)()) {
    std::lock_guard guard(listeners_lock);
    for (auto& slot : frame_shown_listeners)
        if (slot.load() == listener) return true;
    for (auto& slot : frame_shown_listeners)
        if (!slot.load()) {
            slot.store(listener);
            return true;
        }
    return false;
}

void remove_frame_shown_listener(void (*listener)()) {
    std::lock_guard guard(listeners_lock);
    for (auto& slot : frame_shown_listeners)
        if (slot.load() == listener) slot.store(nullptr);
}

void note_frame_shown() {
    if (virtual_on.load(std::memory_order_relaxed)) {
        uint32_t step;
        {
            VirtualClock& c = virtual_clock();
            std::lock_guard guard(c.lock);
            step = c.frame_step_ms;
        }
        advance_virtual_ns(uint64_t(step) * nanoseconds_per_millisecond);
    }
    if (void (*hook)() = frame_shown_hook.load()) hook();
    for (auto& slot : frame_shown_listeners)
        if (void (*listener)() = slot.load()) listener();
}

} // namespace platform
