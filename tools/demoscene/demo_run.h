// The demo scene brought up for a benchmark: the framework, the demo textures in a temporary
// folder, a (headless) window, the engine started on it and the scene built, all torn down
// with the object.
#pragma once

#include "tools/demoscene/demo_scene.h"
#include "tools/demoscene/engine_session.h"

#include <filesystem>
#include <string>

namespace platform {
struct Window;
}

namespace demoscene {

// The benchmarks' scene: the terrain world of about 64 sectors and 20,000 triangles, 20
// planes of about 550 triangles, 200 smoke puffs.
SceneSpec bench_scene();

class DemoRun {
public:
    // `error` is empty when the scene is ready to draw.
    explicit DemoRun(const SceneSpec& spec);
    ~DemoRun();
    DemoRun(const DemoRun&) = delete;
    DemoRun& operator=(const DemoRun&) = delete;

    // Poses the scene `seconds` into its flight and draws and shows that frame.
    bool frame(float seconds);

    std::string error;
    EngineSession session;
    DemoScene scene;

private:
    std::filesystem::path directory_;
    bool frameworkStarted_ = false;
    platform::Window* window_ = nullptr;
};

} // namespace demoscene
