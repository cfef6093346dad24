// The demo scene's frames on the software device, end to end: frames a second and the
// milliseconds of each phase of a frame (frame sync, visibility walk, instancing, lighting,
// transform and clip, rasterisation, translucent sort, present), from the engine's phase
// hooks on the high-resolution counter.
#include "engine/core/lg_phase_timing.h"
#include "engine/world/lg_world_tie.h"
#include "framework/core/framework_startup.h"
#include "platform/headless.h"
#include "platform/window/window.h"
#include "tools/demoscene/demo_scene.h"
#include "tools/demoscene/demo_textures.h"
#include "tools/demoscene/engine_session.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

// The demo scene of the benchmark: the terrain world of about 64 sectors and 20,000
// triangles, 20 planes of about 550 triangles, 200 smoke puffs.
demoscene::SceneSpec bench_scene() {
    demoscene::SceneSpec spec;
    spec.planes = 20;
    spec.particles = 200;
    return spec;
}

constexpr float frameSeconds = 1.0f / 60.0f;

// Counter names of the phases, short enough for the console table.
constexpr const char* phaseCounters[LgPhaseCount] = {
    "sync_ms", "visib_ms", "inst_ms", "light_ms", "xform_ms", "raster_ms", "sort_ms", "show_ms",
};

// The framework, the demo textures, a window and the engine with the scene built, for the
// length of one benchmark run; `error` says what failed.
class SceneRun {
public:
    SceneRun() {
        platform::set_headless(true);
        std::error_code ec;
        directory_ = std::filesystem::temp_directory_path(ec) /
                     ("corvel-bench-scene-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory_, ec);
        if (ec || !demoscene::write_demo_textures(directory_.string())) {
            error = "cannot write the demo textures";
            return;
        }
        if (OmStartup() < 0) {
            error = "the framework did not start";
            return;
        }
        frameworkStarted_ = true;
        platform::WindowDesc desc;
        desc.class_name = "corvel";
        window_ = platform::create_window(desc);
        demoscene::SessionConfig config;
        config.window = window_;
        if (!session.begin(config)) {
            error = session.error();
            return;
        }
        if (!scene.build(bench_scene(), directory_.string())) error = scene.error();
    }
    ~SceneRun() {
        scene.destroy();
        session.end();
        if (window_ != nullptr) platform::destroy_window(window_);
        if (frameworkStarted_) OmShutdown();
        std::error_code ec;
        std::filesystem::remove_all(directory_, ec);
    }
    SceneRun(const SceneRun&) = delete;
    SceneRun& operator=(const SceneRun&) = delete;

    std::string error;
    demoscene::EngineSession session;
    demoscene::DemoScene scene;

private:
    std::filesystem::path directory_;
    bool frameworkStarted_ = false;
    platform::Window* window_ = nullptr;
};

void BM_DemoSceneFrame(benchmark::State& state) {
    SceneRun run;
    if (!run.error.empty()) {
        state.SkipWithError(run.error.c_str());
        return;
    }
    float seconds = 0.0f;
    // One frame first: textures reach the device and instanced data the arena.
    run.scene.advance(seconds);
    if (!run.scene.render_frame(run.session.window())) {
        state.SkipWithError(run.scene.error().c_str());
        return;
    }
    LgPhaseLedger ledger;
    LgPhaseLedgerInstall(&ledger);
    for (auto _ : state) {
        seconds += frameSeconds;
        run.scene.advance(seconds);
        if (!run.scene.render_frame(run.session.window())) {
            state.SkipWithError(run.scene.error().c_str());
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
