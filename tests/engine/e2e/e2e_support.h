// Shared set-up of the end-to-end tests: the framework started, the demo textures written, a
// window, the engine brought up on it as the game does, the demo scene built; and the frame
// comparison with its tolerance.
#pragma once

#include "platform/graphics/presenter.h"
#include "platform/window/window.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/png_file.h"
#include "tests/support/source_dir.h"
#include "tests/support/temp_dir.h"
#include "tools/demoscene/demo_scene.h"
#include "tools/demoscene/demo_textures.h"
#include "tools/demoscene/engine_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace e2etest {

// The scene of the tests: a few planes, near, middle and deep in the fog, and one smoke puff.
inline demoscene::SceneSpec test_scene() {
    demoscene::SceneSpec spec;
    spec.planes = 3;
    spec.particles = 1;
    return spec;
}

// Runs the case inside a started framework (leaks of framework blocks fail it) with the
// demo textures on disk.
class DemoSceneTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ASSERT_EQ(framework_.started(), 0);
        ASSERT_TRUE(demoscene::write_demo_textures(textures.path()));
    }
    void TearDown() override {
        scene.destroy();
        session.end();
        if (window != nullptr) platform::destroy_window(window);
        testsupport::FrameworkTest::TearDown();
    }

    // Opens a window of the frame's size and brings the engine up on it.
    bool start_engine() {
        platform::WindowDesc desc;
        desc.class_name = "corvel";
        desc.title = "corvel end to end";
        window = platform::create_window(desc);
        demoscene::SessionConfig config;
        config.window = window;
        const bool ok = window != nullptr && session.begin(config);
        EXPECT_TRUE(ok) << session.error();
        return ok;
    }
    bool build_scene() {
        const bool ok = scene.build(test_scene(), textures.path());
        EXPECT_TRUE(ok) << scene.error();
        return ok;
    }

    testsupport::TempDir textures;
    platform::Window* window = nullptr;
    demoscene::EngineSession session;
    demoscene::DemoScene scene;
};

// How far two frames are apart: pixels with any channel off by more than `slack`, and the
// largest channel difference.
struct FrameDifference {
    size_t differing = 0;
    int largest = 0;
};
inline FrameDifference compare_frames(const testsupport::Image& a, const testsupport::Image& b,
                                      int slack) {
    FrameDifference d;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i) {
        int worst = 0;
        for (int shift : {0, 8, 16}) {
            const int x = int(a.pixels[i] >> shift & 0xFF), y = int(b.pixels[i] >> shift & 0xFF);
            worst = std::max(worst, std::abs(x - y));
        }
        d.largest = std::max(d.largest, worst);
        d.differing += worst > slack;
    }
    return d;
}

// The last frame the graphics layer kept (headless presents only).
inline testsupport::Image last_frame() {
    const platform::PresentedFrame& f = platform::last_presented_frame();
    return {f.width, f.height, f.pixels};
}

inline std::string golden_path(const std::string& name) {
    return (std::filesystem::path(testsupport::source_dir()) / "tests/engine/e2e" / "golden" /
            (name + ".png"))
        .string();
}

} // namespace e2etest
