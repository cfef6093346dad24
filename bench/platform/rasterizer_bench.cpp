// Software rasteriser throughput: Mpixels/s and triangles/s at 640x480 and 1024x768 in 565 with
// a 16-bit z-buffer, for triangle areas 8 to 4096 pixels, per drawing mode; and a 3x overdraw.
#include "bench/platform/raster_workload.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace rasterbench;

namespace {

void BM_Triangles(benchmark::State& state) {
    const uint32_t w = state.range(0) == 0 ? 640 : 1024, h = state.range(0) == 0 ? 480 : 768;
    const double area = double(state.range(1));
    const Mode mode = Mode(state.range(2));
    DeviceBench b(w, h);
    b.set_mode(mode);
    const uint32_t count = area >= 4096 ? 200 : 2000;
    auto v = scatter(w, h, area, count);
    for (auto _ : state) b.scene(v);
    const double tris = double(state.iterations()) * count;
    state.counters["Mpixels/s"] =
        benchmark::Counter(tris * area / 1e6, benchmark::Counter::kIsRate);
    state.counters["triangles/s"] = benchmark::Counter(tris, benchmark::Counter::kIsRate);
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + " " + kModeNames[mode]);
}

void triangle_args(benchmark::internal::Benchmark* b) {
    for (int res : {0, 1})
        for (int area : {8, 64, 512, 4096})
            for (int mode = 0; mode < ModeCount; ++mode) b->Args({res, area, mode});
}
BENCHMARK(BM_Triangles)->Apply(triangle_args)->Unit(benchmark::kMicrosecond);

void BM_Overdraw3x(benchmark::State& state) {
    const uint32_t w = state.range(0) == 0 ? 640 : 1024, h = state.range(0) == 0 ? 480 : 768;
    DeviceBench b(w, h);
    b.set_mode(PointTextured);
    const auto v = overdraw_layers(w, h);
    for (auto _ : state) {
        b.clear_depth();
        b.scene(v);
    }
    state.counters["Mpixels/s"] = benchmark::Counter(double(state.iterations()) * 3.0 * w * h / 1e6,
                                                     benchmark::Counter::kIsRate);
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Overdraw3x)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
