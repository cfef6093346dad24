// A framework test with every module group registered, a window (an SDL window under the
// dummy video driver) adopted by the window service, and helpers that push input into SDL.
#pragma once

#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "platform/input/input_focus.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"
#include "tests/media/media_classes.h"
#include "tests/support/framework_fixture.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace testsupport {

class InputWindowTest : public FrameworkTest {
protected:
    void SetUp() override {
        platform::reset_event_hub();
        testsupport::register_media_classes(OmGetObjectManager());
        window_ = platform::create_window({"Input Test", "input", nullptr, nullptr});
        ASSERT_NE(window_, nullptr);
        ASSERT_NE(platform::sdl_window(window_), nullptr);
        window_id_ = SDL_GetWindowID(platform::sdl_window(window_));
        ASSERT_EQ(OmOSServiceAcquire(), 0);
        os_acquired_ = true;
        ASSERT_EQ(OmOSServiceGetShared()->Attach(window_, nullptr), 0);
    }
    // Derived fixtures release their components first, then call this.
    void TearDown() override {
        if (os_acquired_) OmOSServiceRelease();
        platform::destroy_window(window_);
        platform::clear_forced_input_focus();
        platform::reset_event_hub();
        FrameworkTest::TearDown();
    }

    void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
    void push_key(SDL_Scancode code, bool down, bool repeat = false) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = window_id_;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = code;
        push(e);
    }
    void push_motion(int dx, int dy) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = window_id_;
        e.motion.xrel = dx;
        e.motion.yrel = dy;
        push(e);
    }
    void push_button(uint8_t button, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = window_id_;
        e.button.button = button;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        push(e);
    }
    void push_wheel(int notches) {
        SDL_Event e{};
        e.type = SDL_MOUSEWHEEL;
        e.wheel.windowID = window_id_;
        e.wheel.y = notches;
        push(e);
    }

    platform::Window* window_ = nullptr;
    uint32_t window_id_ = 0;
    bool os_acquired_ = false;
};

} // namespace testsupport
