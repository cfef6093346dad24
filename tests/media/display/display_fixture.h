// A framework with the display modules and the OS window registered, the window made headless
// and a device profile chosen by the test; the profile and window are reset afterwards.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/display_interface.h"
#include "framework/platform/os_service.h"
#include "platform/graphics/device_profile.h"
#include "platform/graphics/pixel_format.h"
#include "platform/graphics/presenter.h"
#include "platform/os/named_mutex.h"
#include "platform/window/event_hub.h"
#include "tests/media/media_classes.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

namespace displaytest {

class DisplayTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        platform::reset_event_hub();
        platform::set_lock_dir(locks_.path());
        platform::set_device_profile(profile());
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_NE(manager, nullptr);
        ASSERT_EQ(Win32OS_RegisterClasses(manager), 0);
        testsupport::register_display_classes(manager);
        ASSERT_EQ(OmCreate(CLSID_Win32OS, IID_IOmWindow, window_.put()), 0);
        window_->SetClassName("corvel display test");
        ASSERT_GE(window_->Create(nullptr), 0);
    }
    void TearDown() override {
        window_.reset();
        testsupport::FrameworkTest::TearDown();
        platform::set_device_profile(platform::default_profile());
        platform::set_gfx_window_hooks({});
        platform::set_lock_dir("");
        platform::reset_event_hub();
    }
    // The device the test runs on (the default unless a test overrides it).
    virtual platform::DeviceProfile profile() { return platform::default_profile(); }

    static OmDisplayMode mode(uint32_t width, uint32_t height, uint32_t format, uint32_t windowed) {
        return OmDisplayMode{OM_DISPLAY_MODE_SIZE, width, height, format, windowed};
    }

    testsupport::TempDir locks_;
    ComRef<IOmWindow> window_;
};

} // namespace displaytest
