// The real engine on the software device, headless: the framework with every module and the
// game's classes registered, the window made, video initialised, its modes listed and a
// 640 x 480 16-bit mode started. Torn down as the program's shutdown does.
#pragma once

#include "framework/platform/os_service.h"
#include "frontend/menus/front_end_shutdown.h"
#include "frontend/startup/game_services.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_startup.h"
#include "platform/os/named_mutex.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"
#include "program/class_registration.h"
#include "tests/frontend/frontend_fixture.h"

namespace frontendtest {

// The first entry of the mode list with this size at 16 bits, or -1.
inline int32_t find_mode(int32_t width, int32_t height) {
    for (int32_t i = 0; i < TvGetModeCount(); ++i)
        if (TvGetMode(i)->width == width && TvGetMode(i)->height == height) return i;
    return -1;
}

class VideoTest : public FrontEndTest {
protected:
    void SetUp() override {
        platform::reset_event_hub();
        FrontEndTest::SetUp();
        // The window's one-per-machine lock lives in the test's own directory, so that tests
        // running side by side do not refuse each other's windows.
        dir_.make_dir("locks");
        platform::set_lock_dir(dir_ / "locks");
        TvRegisterClasses(OmGetObjectManager());
        TvInstallGameServices();
        ASSERT_GE(TvOpenWindowComponents(), 0);
        window_components_ = true;
        IOmWindow* window = TvGetMainWindow();
        window->SetWindowed(windowed_);
        window->SetClientSize(640, 480);
        window->SetClassName("corvel video test");
        ASSERT_GE(window->Create(nullptr), 0);
        ASSERT_EQ(TvInitVideo(), OM_S_OK);
        video_ = true;
        TvSelectVideoModes(-1, windowed_);
        ASSERT_GE(start_mode(), 0);
        ASSERT_EQ(TvStartVideo(start_mode()), OM_S_OK);
    }
    void TearDown() override {
        TvShutDownFrontEnd();
        if (video_) {
            TvStopVideo();
            TvFreeVideoModes();
            TvCloseVideo();
        }
        if (window_components_) TvCloseWindowComponents();
        TvRemoveGameServices();
        platform::set_lock_dir("");
        FrontEndTest::TearDown();
    }

    // Windowed, the device offers the desktop's mode; full screen, 640 x 480 is chosen.
    int32_t start_mode() const { return windowed_ ? 0 : find_mode(640, 480); }

    uint32_t windowed_ = 1;
    bool video_ = false;
    bool window_components_ = false;
};

} // namespace frontendtest
