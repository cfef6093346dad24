// The rasteriser's worker threads: one process-wide pool that runs a job on the calling thread
// and as many workers as the job asks for, and the setting for how many threads rasterise.
#pragma once

#include <cstdint>

namespace platform {

// Threads a device rasterises with when neither its profile nor CORVEL_RASTER_THREADS says:
// the number of cores the calling thread may run on, at most kMaxRasterThreads.
constexpr uint32_t kMaxRasterThreads = 16;
uint32_t default_raster_threads();

// The thread count for a profile's setting (0: the default). CORVEL_RASTER_THREADS, when set
// to a number from 1 to kMaxRasterThreads, overrides the profile.
uint32_t raster_threads_for(uint32_t profile_setting);

// Runs body(participant) on the calling thread (participant 0) and on threads - 1 workers
// (1 .. threads - 1) at once, and returns when every call has returned. One job runs at a
// time; callers from several threads take turns.
void run_on_raster_workers(uint32_t threads, void (*body)(void* job, uint32_t participant),
                           void* job);

} // namespace platform
