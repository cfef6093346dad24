// Cost of the clock queries that frame loops make many times a frame.
#include "platform/clock.h"

#include <benchmark/benchmark.h>

static void BM_TimeGetTime(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(platform::timeGetTime());
}
BENCHMARK(BM_TimeGetTime);

static void BM_PerformanceCounter(benchmark::State& state) {
    int64_t c;
    for (auto _ : state) {
        platform::QueryPerformanceCounter(&c);
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(BM_PerformanceCounter);
