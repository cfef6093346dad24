// The demo scene's frames on the software device, end to end: frames a second and the
// milliseconds of each phase of a frame (frame sync, visibility walk, instancing, lighting,
// transform and clip, rasterisation, translucent sort, present), from the engine's phase
// hooks on the high-resolution counter.
#include "engine/core/lg_phase_timing.h"
#include "engine/world/lg_world_tie.h"
#include "tools/demoscene/demo_run.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using demoscene::bench_scene;

constexpr float frameSeconds = 1.0f / 60.0f;

// Counter names of the phases, short enough for the console table.
constexpr const char* phaseCounters[LgPhaseCount] = {
    "sync_ms", "visib_ms", "inst_ms", "light_ms", "xform_ms", "raster_ms", "sort_ms", "show_ms",
};

void BM_DemoSceneFrame(benchmark::State& state) {
    demoscene::DemoRun run(bench_scene());
    if (!run.error.empty()) {
        state.SkipWithError(run.error.c_str());
        return;
    }
    float seconds = 0.0f;
    // One frame first: textures reach the device and instanced data the arena.
    if (!run.frame(seconds)) {
        state.SkipWithError(run.error.c_str());
        return;
    }
    LgPhaseLedger ledger;
    LgPhaseLedgerInstall(&ledger);
    for (auto _ : state) {
        seconds += frameSeconds;
        if (!run.frame(seconds)) {
            state.SkipWithError(run.error.c_str());
            break;
        }
    }
    LgPhaseLedgerInstall(nullptr);
    const double frames = static_cast<double>(state.iterations());
    if (frames == 0) return;
    const double perMs = LgPhaseTicksPerMillisecond();
    for (int32_t p = 0; p < LgPhaseCount; ++p)
        state.counters[phaseCounters[p]] = double(ledger.ticks[p]) / perMs / frames;
    state.counters["other_ms"] = double(ledger.unattributed) / perMs / frames;
    state.counters["fps"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["planes_seen"] = run.scene.visible_planes();
    state.counters["sectors_seen"] = LgCameraTies(run.scene.camera())->count;
    state.counters["tris"] = double(run.scene.world_triangles() +
                                    bench_scene().planes * run.scene.triangles_per_plane() +
                                    2 * bench_scene().particles);
}
BENCHMARK(BM_DemoSceneFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace
