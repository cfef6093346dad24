// The demo scene in a real SDL window on an X server of the test's own: the screen read back
// from the server shows the same frame as the headless run.
#include "tests/engine/e2e/e2e_support.h"

#include "platform/headless.h"
#include "platform/os/spawn.h"
#include "tests/support/xvfb_server.h"

#include <SDL.h>

namespace e2etest {
namespace {

using testsupport::Screenshot;
using testsupport::XvfbServer;

// The conversion of 16-bit pixels for the screen may round the low bits differently from the
// headless copy; nothing else may differ.
constexpr int channelSlack = 8;

// The part of the screen under the window's client area.
testsupport::Image client_area(const Screenshot& shot, int x, int y, int width, int height) {
    testsupport::Image image;
    if (x < 0 || y < 0 || uint32_t(x + width) > shot.width || uint32_t(y + height) > shot.height)
        return image;
    image.width = uint32_t(width);
    image.height = uint32_t(height);
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            image.pixels.push_back(shot.at(uint32_t(x + column), uint32_t(y + row)));
    return image;
}

class DemoSceneWindow : public DemoSceneTest {
protected:
    // Takes down the scene, the engine and the window of the previous run.
    void take_down() {
        scene.destroy();
        session.end();
        platform::destroy_window(window);
        window = nullptr;
    }
};

TEST_F(DemoSceneWindow, TheScreenShowsTheHeadlessFrame) {
    const std::string binary = platform::find_in_path("Xvfb");
    if (binary.empty()) GTEST_SKIP() << "Xvfb is not installed";

    ASSERT_TRUE(start_engine());
    ASSERT_TRUE(build_scene());
    ASSERT_TRUE(scene.render_frame(session.window())) << scene.error();
    const testsupport::Image headless = last_frame();
    take_down();

    XvfbServer server(binary);
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    {
        testsupport::DisplayScope display(server.display(), true);
        testsupport::SystemLibraryLeakScope system_libraries;
        ASSERT_TRUE(start_engine());
        ASSERT_NE(platform::sdl_window(window), nullptr) << "no SDL window on the X server";
        // Without a window manager the window lands where it is placed once mapped.
        platform::show_window(window, platform::SW_SHOWNORMAL);
        platform::move_window(window, 32, 24, 640, 480);
        ASSERT_TRUE(build_scene());
        int x = 0, y = 0, width = 0, height = 0;
        FrameDifference d{headless.pixels.size(), 255};
        // The server maps the window asynchronously: draw until the frame shows up.
        for (int attempt = 0; attempt < 20 && d.differing != 0; ++attempt) {
            ASSERT_TRUE(scene.render_frame(session.window())) << scene.error();
            SDL_PumpEvents();
            SDL_Delay(50);
            ASSERT_TRUE(platform::window_client_rect(window, nullptr, nullptr, &width, &height));
            // Where the server put the window, as SDL last heard it.
            SDL_GetWindowPosition(platform::sdl_window(window), &x, &y);
            Screenshot shot;
            ASSERT_TRUE(testsupport::capture_root_window(server.display(), &shot))
                << "xwd could not read the screen";
            const testsupport::Image shown = client_area(shot, x, y, width, height);
            if (shown.width == headless.width && shown.height == headless.height)
                d = compare_frames(headless, shown, channelSlack);
        }
        EXPECT_EQ(d.differing, 0u) << "largest channel difference " << d.largest << " at client ("
                                   << x << ", " << y << ")";
        take_down();
    }
}

} // namespace
} // namespace e2etest
