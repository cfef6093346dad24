// A real SDL window on an X server of the test's own (Xvfb on a free display): it opens at
// 640 x 480, takes a key event through the hub and closes.
#include "platform/headless.h"
#include "platform/os/spawn.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"
#include "tests/support/xvfb_server.h"

#include <SDL.h>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace platform;
using testsupport::XvfbServer;

TEST(XvfbWindow, ARealWindowOpensTakesAKeyAndCloses) {
    std::string binary = find_in_path("Xvfb");
    if (binary.empty()) GTEST_SKIP() << "Xvfb is not installed";
    XvfbServer server(binary);
    testsupport::SystemLibraryLeakScope system_libraries;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";

    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    std::string old_display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    std::string old_driver = std::getenv("SDL_VIDEODRIVER") ? std::getenv("SDL_VIDEODRIVER") : "";
    setenv("DISPLAY", server.display().c_str(), 1);
    unsetenv("SDL_VIDEODRIVER"); // the headless test start-up asks for SDL's dummy driver
    set_headless(false);
    reset_event_hub();

    Window* w = create_window({"Xvfb Test", "xvfb", nullptr, nullptr, 640, 480});
    ASSERT_NE(w, nullptr);
    SDL_Window* sdl = sdl_window(w);
    ASSERT_NE(sdl, nullptr) << SDL_GetError();
    EXPECT_STREQ(SDL_GetCurrentVideoDriver(), "x11");
    show_window(w, SW_SHOWNORMAL);
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_SHOWN);

    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(sdl);
    e.key.keysym.scancode = SDL_SCANCODE_LEFT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    Msg msg{};
    bool found = false;
    while (peek_message(&msg, true))
        if (msg.message == WM_KEYDOWN && msg.wparam == VK_LEFT) {
            found = true;
            EXPECT_EQ(msg.window, w);
            EXPECT_TRUE(key_is_extended(msg.lparam));
        }
    EXPECT_TRUE(found);

    destroy_window(w);
    EXPECT_FALSE(is_window(w));
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "the last window takes SDL's video down";
    set_headless(true);
    if (old_display.empty())
        unsetenv("DISPLAY");
    else
        setenv("DISPLAY", old_display.c_str(), 1);
    if (!old_driver.empty()) setenv("SDL_VIDEODRIVER", old_driver.c_str(), 1);
}

} // namespace
