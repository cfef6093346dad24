// The service tick that wakes the sound workers every 100 ms: a real-clock thread under the
// SDL backend, pumped by render() under the manual backend so that tests interleave mixing and
// servicing deterministically.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::audio {

inline constexpr uint32_t service_tick_ms = 100;

class TickSource;

// One worker's place at the tick source, registered on the thread that starts the worker (so
// no tick is missed between start and first wait) and unregistered when it goes.
class TickWaiter {
public:
    explicit TickWaiter(TickSource& source);
    ~TickWaiter();
    TickWaiter(const TickWaiter&) = delete;
    TickWaiter& operator=(const TickWaiter&) = delete;

    // Blocks until a tick newer than the last one seen, then true; false as soon as `stop` is
    // set (the stopper calls TickSource::wake()).
    bool wait(const std::atomic<bool>& stop);

private:
    friend class TickSource;
    TickSource& source_;
    uint64_t seen_ = 0;
    bool idle_ = true;
};

class TickSource {
public:
    // Ticks every `period_ms` on the real clock while held.
    explicit TickSource(uint32_t period_ms = service_tick_ms) : period_ms_(period_ms) {}

    // Counts a tick and wakes the waiters. With `settle`, returns only once every registered
    // waiter has serviced it and waits again (or has gone).
    void tick(bool settle);
    // Wakes every waiter to look at its stop flag.
    void wake();
    uint64_t count();

    // A thread that ticks every period on the real clock while it is held (counted:
    // the SDL sound objects hold it).
    void hold_real_clock();
    void release_real_clock();

private:
    friend class TickWaiter;
    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t count_ = 0;
    std::vector<TickWaiter*> waiters_;
    uint32_t real_clock_holders_ = 0;
    uint64_t real_clock_generation_ = 0;
    std::thread real_clock_;
    uint32_t period_ms_;
};

// The process's service ticks.
TickSource& service_ticks();

} // namespace platform::audio
