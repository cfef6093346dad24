// The service tick source.
#include "platform/audio/tick_source.h"

#include <algorithm>
#include <chrono>

namespace platform::audio {

TickWaiter::TickWaiter(TickSource& source) : source_(source) {
    std::lock_guard lock(source_.mutex_);
    seen_ = source_.count_;
    source_.waiters_.push_back(this);
}

TickWaiter::~TickWaiter() {
    std::lock_guard lock(source_.mutex_);
    auto& w = source_.waiters_;
    w.erase(std::remove(w.begin(), w.end(), this), w.end());
    source_.changed_.notify_all();
}

bool TickWaiter::wait(const std::atomic<bool>& stop) {
    std::unique_lock lock(source_.mutex_);
    idle_ = true;
    source_.changed_.notify_all();
    source_.changed_.wait(lock, [&] { return stop.load() || source_.count_ > seen_; });
    if (stop.load()) return false;
    seen_ = source_.count_;
    idle_ = false;
    return true;
}

void TickSource::tick(bool settle) {
    std::unique_lock lock(mutex_);
    ++count_;
    changed_.notify_all();
    if (!settle) return;
    changed_.wait(lock, [&] {
        return std::all_of(waiters_.begin(), waiters_.end(),
                           [&](TickWaiter* w) { return w->seen_ == count_ && w->idle_; });
    });
}

void TickSource::wake() {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
}

uint64_t TickSource::count() {
    std::lock_guard lock(mutex_);
    return count_;
}

void TickSource::hold_real_clock() {
    std::lock_guard lock(mutex_);
    if (real_clock_holders_++ > 0) return;
    uint64_t generation = real_clock_generation_;
    real_clock_ = std::thread([this, generation] {
        std::unique_lock lock(mutex_);
        auto stopped = [&] { return real_clock_generation_ != generation; };
        auto next = std::chrono::steady_clock::now();
        while (!stopped()) {
            next += std::chrono::milliseconds(period_ms_);
            if (changed_.wait_until(lock, next, stopped)) break;
            ++count_;
            changed_.notify_all();
        }
    });
}

void TickSource::release_real_clock() {
    std::thread ending;
    {
        std::lock_guard lock(mutex_);
        if (real_clock_holders_ == 0 || --real_clock_holders_ > 0) return;
        ++real_clock_generation_; // a later hold starts a thread of the next generation
        changed_.notify_all();
        ending = std::move(real_clock_);
    }
    if (ending.joinable()) ending.join();
}

TickSource& service_ticks() {
    static TickSource* source = new TickSource; // lives to the end: workers may outlast statics
    return *source;
}

} // namespace platform::audio
