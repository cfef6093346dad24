// The rasteriser's process-wide worker pool.
#include "platform/graphics/raster_workers.h"

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

namespace platform {
namespace {

class WorkerPool {
public:
    ~WorkerPool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    void run(uint32_t threads, void (*body)(void*, uint32_t), void* job) {
        std::lock_guard turn(turn_);
        const uint32_t helpers = threads > 1 ? threads - 1 : 0;
        {
            std::unique_lock lock(mutex_);
            while (threads_.size() < helpers) {
                const uint32_t index = uint32_t(threads_.size()) + 1;
                threads_.emplace_back([this, index] { work(index); });
            }
            body_ = body;
            job_ = job;
            helpers_ = helpers;
            running_ = helpers;
            ++generation_;
        }
        if (helpers) wake_.notify_all();
        body(job, 0);
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return running_ == 0; });
    }

private:
    void work(uint32_t index) {
        uint64_t seen = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) return;
            seen = generation_;
            if (index > helpers_) continue;
            auto* body = body_;
            void* job = job_;
            lock.unlock();
            body(job, index);
            lock.lock();
            if (--running_ == 0) done_.notify_one();
        }
    }

    std::mutex turn_; // one job at a time
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    std::vector<std::thread> threads_;
    void (*body_)(void*, uint32_t) = nullptr;
    void* job_ = nullptr;
    uint32_t helpers_ = 0;
    uint32_t running_ = 0;
    uint64_t generation_ = 0;
    bool stopping_ = false;
};

WorkerPool& pool() {
    static WorkerPool p;
    return p;
}

} // namespace

uint32_t default_raster_threads() {
    uint32_t cores = std::thread::hardware_concurrency();
#if defined(__linux__)
    // The cores this process may run on (a process pinned to some of them gets no more out of
    // further threads, which would only take turns with the others).
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof(allowed), &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        cores = uint32_t(CPU_COUNT(&allowed));
#endif
    return std::clamp<uint32_t>(cores, 1, kMaxRasterThreads);
}

uint32_t raster_threads_for(uint32_t profile_setting) {
    if (const char* env = std::getenv("CORVEL_RASTER_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(env, &end, 10);
        if (end != env && *end == '\0' && n >= 1 && n <= long(kMaxRasterThreads))
            return uint32_t(n);
    }
    if (profile_setting >= 1) return std::min(profile_setting, kMaxRasterThreads);
    return default_raster_threads();
}

void run_on_raster_workers(uint32_t threads, void (*body)(void*, uint32_t), void* job) {
    if (threads <= 1) {
        body(job, 0);
        return;
    }
    pool().run(std::min(threads, kMaxRasterThreads), body, job);
}

} // namespace platform
