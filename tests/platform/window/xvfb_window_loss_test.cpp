// A window destroyed by another X client (as a window manager's or a tool's "close window" may
// do) on an X server of the test's own: the program hears a close request, draws nothing more
// into it, and the X errors of the requests about the gone window do not end the process.
#include "platform/graphics/presenter.h"
#include "platform/os/spawn.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"
#include "platform/window/x11_window_loss.h"
#include "tests/support/xvfb_server.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>
// Last: the X headers define names (None, Bool, Status) that the others use.
#include <SDL_syswm.h>

namespace {

using testsupport::XvfbServer;

// One frame of 16-bit pixels presented into the window.
void present(platform::Window* window) {
    std::vector<uint16_t> pixels(640 * 480, 0xF800);
    platform::DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    format.dwFlags = platform::DDPF_RGB;
    format.dwRGBBitCount = 16;
    format.dwRBitMask = 0xF800;
    format.dwGBitMask = 0x07E0;
    format.dwBBitMask = 0x001F;
    platform::present_frame(window, reinterpret_cast<const uint8_t*>(pixels.data()), 640 * 2, 640,
                            480, format, nullptr, false);
}

TEST(XvfbWindowLoss, AWindowDestroyedByAnotherClientIsACloseRequest) {
    std::string binary = platform::find_in_path("Xvfb");
    if (binary.empty()) GTEST_SKIP() << "Xvfb is not installed";
    XvfbServer server(binary);
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    testsupport::DisplayScope scope(server.display(), true);
    testsupport::SystemLibraryLeakScope system_libraries;
    platform::reset_event_hub();

    platform::Window* w = platform::create_window({"Loss Test", "loss", nullptr, nullptr});
    ASSERT_NE(w, nullptr);
    SDL_Window* sdl = platform::sdl_window(w);
    ASSERT_NE(sdl, nullptr) << SDL_GetError();
    platform::show_window(w, platform::SW_SHOWNORMAL);
    present(w);
    const uint64_t x_window = platform::x_window_of(sdl);
    ASSERT_NE(x_window, 0u);

    // Another client destroys the window.
    Display* other = XOpenDisplay(server.display().c_str());
    ASSERT_NE(other, nullptr);
    XDestroyWindow(other, ::Window(x_window));
    XSync(other, False);
    XCloseDisplay(other);

    bool close_requested = false;
    for (int attempt = 0; attempt < 200 && !close_requested; ++attempt) {
        platform::Msg m{};
        while (platform::peek_message(&m, true))
            if (m.message == platform::WM_CLOSE && m.window == w) close_requested = true;
        if (!close_requested) SDL_Delay(10);
    }
    EXPECT_TRUE(close_requested);
    EXPECT_TRUE(platform::sdl_window_lost(sdl));

    // Requests about the gone window fail; the process goes on, and shuts the window down.
    present(w);
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(sdl, &info));
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    XGetGeometry(info.info.x11.display, ::Window(x_window), &root, &x, &y, &width, &height, &border,
                 &depth);
    XSync(info.info.x11.display, False);
    EXPECT_GT(platform::window_loss_errors(), 0u);
    platform::destroy_window(w);
    EXPECT_FALSE(platform::is_window(w));
    platform::reset_event_hub();
}

} // namespace
