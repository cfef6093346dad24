// The demo scene's set-up and tear-down for benchmarks.
#include "tools/demoscene/demo_run.h"

#include "framework/core/framework_startup.h"
#include "platform/headless.h"
#include "platform/window/window.h"
#include "tools/demoscene/demo_textures.h"

#include <unistd.h>

namespace demoscene {

SceneSpec bench_scene() {
    SceneSpec spec;
    spec.planes = 20;
    spec.particles = 200;
    return spec;
}

DemoRun::DemoRun(const SceneSpec& spec) {
    platform::set_headless(true);
    std::error_code ec;
    directory_ = std::filesystem::temp_directory_path(ec) /
                 ("corvel-bench-scene-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory_, ec);
    if (ec || !write_demo_textures(directory_.string())) {
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
    SessionConfig config;
    config.window = window_;
    if (!session.begin(config)) {
        error = session.error();
        return;
    }
    if (!scene.build(spec, directory_.string())) error = scene.error();
}

DemoRun::~DemoRun() {
    scene.destroy();
    session.end();
    if (window_ != nullptr) platform::destroy_window(window_);
    if (frameworkStarted_) OmShutdown();
    std::error_code ec;
    std::filesystem::remove_all(directory_, ec);
}

bool DemoRun::frame(float seconds) {
    scene.advance(seconds);
    if (scene.render_frame(session.window())) return true;
    error = scene.error();
    return false;
}

} // namespace demoscene
