// Win32OS headless: the window, the pump, the hooks, the keys and the display-mode keys.
#include "framework/core/com_ref.h"
#include "framework/io/fifo_stream.h"
#include "framework/platform/display_interface.h"
#include "framework/platform/os_service.h"
#include "platform/message_box.h"
#include "platform/os/named_mutex.h"
#include "platform/paths.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <SDL.h>
#include <string>
#include <vector>

namespace {

using namespace platform;

std::vector<std::string> hook_log;

intptr_t first_hook(OmWindowHandle, uint32_t message, uintptr_t, intptr_t) {
    hook_log.push_back("first " + std::to_string(message));
    return -1;
}
intptr_t claiming_hook(OmWindowHandle, uint32_t message, uintptr_t, intptr_t) {
    hook_log.push_back("claiming " + std::to_string(message));
    return message == WM_USER + 1 ? 7 : -1;
}
intptr_t last_hook(OmWindowHandle, uint32_t message, uintptr_t, intptr_t) {
    hook_log.push_back("last " + std::to_string(message));
    return -1;
}

class Win32OSTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        hook_log.clear();
        reset_event_hub();
        set_lock_dir(locks_.path());
        set_message_sink(
            [this](std::string_view, std::string_view text) { boxes_.emplace_back(text); });
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_NE(manager, nullptr);
        ASSERT_EQ(Win32OS_RegisterClasses(manager), 0);
        ASSERT_EQ(FifoStream_RegisterClasses(manager), 0);
        ASSERT_EQ(OmCreate(CLSID_Win32OS, IID_IOmOS, os_.put()), 0);
        ASSERT_EQ(os_->QueryInterface(IID_IOmWindow, window_.put_void()), 0);
    }
    void TearDown() override {
        window_.reset();
        os_.reset();
        set_message_sink(nullptr);
        set_lock_dir("");
        reset_event_hub();
        FrameworkTest::TearDown();
    }
    std::string key_bytes() {
        std::string out;
        char buffer[64];
        uint32_t done = 0;
        while (os_->GetKeyStream()->Read(buffer, sizeof buffer, &done) >= 0 && done > 0)
            out.append(buffer, done);
        return out;
    }

    testsupport::TempDir locks_;
    std::vector<std::string> boxes_;
    ComRef<IOmOS> os_;
    ComRef<IOmWindow> window_;
};

TEST_F(Win32OSTest, BothClassIdsAndInterfacesReachTheOneObject) {
    ComRef<IOmWindow> other;
    ASSERT_EQ(OmCreate(CLSID_Win32OSWindow, IID_IOmWindow, other.put()), 0);
    EXPECT_EQ(other.get(), window_.get());
    ComRef<IUnknown> a, b;
    os_->QueryInterface(IID_IUnknown, a.put_void());
    other->QueryInterface(IID_IUnknown, b.put_void());
    EXPECT_EQ(a.get(), b.get());
}

TEST_F(Win32OSTest, HooksRunInOrderAndTheFirstNonNegativeResultWins) {
    EXPECT_EQ(window_->AddMessageHook(first_hook), 0);
    EXPECT_EQ(window_->AddMessageHook(claiming_hook), 1);
    EXPECT_EQ(window_->AddMessageHook(last_hook), 2);
    EXPECT_EQ(window_->AddMessageHook(claiming_hook), OM_E_FAIL);
    EXPECT_EQ(window_->AddMessageHook(nullptr), OM_E_FAIL);

    EXPECT_EQ(window_->HandleMessage(nullptr, WM_USER + 1, 0, 0), 7);
    const std::vector<std::string> claimed = {"first 1025", "claiming 1025"};
    EXPECT_EQ(hook_log, claimed);

    hook_log.clear();
    EXPECT_EQ(window_->RemoveMessageHook(first_hook), 0);
    EXPECT_EQ(window_->RemoveMessageHook(first_hook), OM_E_FAIL);
    window_->HandleMessage(nullptr, WM_USER + 2, 0, 0);
    const std::vector<std::string> passed = {"claiming 1026", "last 1026"};
    EXPECT_EQ(hook_log, passed);
    EXPECT_EQ(window_->AddMessageHook(first_hook), 2) << "later hooks moved down";
}

TEST_F(Win32OSTest, PumpDispatchesToTheHooksDropsTimersAndQuitIsSticky) {
    ASSERT_EQ(window_->Create(nullptr), 0);
    window_->AddMessageHook(last_hook);
    OmWindowHandle w = window_->GetHandle();
    hook_log.clear();
    post_message(w, WM_TIMER, 1, 0);
    post_message(w, WM_USER, 0, 0);
    EXPECT_EQ(os_->Pump(), 0);
    EXPECT_EQ(std::count(hook_log.begin(), hook_log.end(), "last 1024"), 1);
    EXPECT_EQ(std::count(hook_log.begin(), hook_log.end(), "last 275"), 0) << "WM_TIMER dropped";
    EXPECT_EQ(os_->IsQuitRequested(), 0u);

    post_quit_message(0);
    post_message(w, WM_USER + 5, 0, 0);
    os_->Pump();
    EXPECT_NE(os_->IsQuitRequested(), 0u);
    hook_log.clear();
    post_message(w, WM_USER + 6, 0, 0);
    os_->Pump();
    EXPECT_NE(os_->IsQuitRequested(), 0u);
    EXPECT_TRUE(hook_log.empty()) << "after quit nothing more is dispatched";
}

TEST_F(Win32OSTest, TheClientSizeIsAppliedCentredAtTheNextPump) {
    ASSERT_EQ(window_->Create(nullptr), 0);
    OmWindowHandle w = window_->GetHandle();
    EXPECT_EQ(window_show_state(w), SW_SHOWMINIMIZED) << "no client size yet";
    EXPECT_EQ(window_->SetClientSize(640, 480), 0);
    EXPECT_EQ(window_->SetWindowed(1), 0);
    EXPECT_EQ(window_show_state(w), SW_SHOWMINIMIZED) << "setters only record the wish";
    os_->Pump();
    EXPECT_EQ(window_show_state(w), SW_SHOWNORMAL);
    int x, y, width, height;
    ASSERT_TRUE(window_client_rect(w, &x, &y, &width, &height));
    Point desktop = desktop_size();
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(x, (desktop.x - 640) / 2);
    EXPECT_EQ(y, (desktop.y - 480) / 2);
    uint32_t cw = 0, ch = 0;
    window_->GetClientSize(&cw, &ch);
    EXPECT_EQ(cw, 640u);
    EXPECT_EQ(ch, 480u);

    window_->SetWindowed(0);
    os_->Pump();
    EXPECT_EQ(window_show_state(w), SW_SHOWMAXIMIZED);
    EXPECT_EQ(capture_window(), w) << "full screen keeps the mouse";
    window_->SetWindowed(1);
    os_->Pump();
    EXPECT_EQ(capture_window(), nullptr);
}

TEST_F(Win32OSTest, ASecondInstanceIsRefused) {
    // Another program instance holds the class's lock and has no window we can see.
    NamedMutex* other = create_named_mutex(OM_DEFAULT_CLASS_NAME);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(window_->Create(nullptr), OM_E_FAIL);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0], OM_ALREADY_RUNNING_TEXT);
    EXPECT_EQ(window_->GetHandle(), nullptr);

    // When its window is found it is brought up instead of a message.
    Window* theirs = create_window({OM_DEFAULT_CLASS_NAME, "theirs"});
    EXPECT_EQ(window_->Create(nullptr), OM_E_FAIL);
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(window_show_state(theirs), SW_SHOWMAXIMIZED);
    destroy_window(theirs);
    close_named_mutex(other);

    ASSERT_EQ(window_->Create(nullptr), 0);
    EXPECT_EQ(window_->Create(nullptr), OM_E_FAIL) << "created already";
    EXPECT_EQ(create_named_mutex(OM_DEFAULT_CLASS_NAME), nullptr) << "this one holds it now";
}

TEST_F(Win32OSTest, ExtendedKeysAndCharactersReachTheKeyStreamOncePerRepeat) {
    ASSERT_NE(os_->GetKeyStream(), nullptr);
    OmWindowHandle w = nullptr;
    window_->HandleMessage(w, WM_KEYDOWN, VK_UP,
                           make_key_lparam(3, 0x48, true, false, false, false));
    window_->HandleMessage(w, WM_KEYDOWN, 'A',
                           make_key_lparam(2, 0x1E, false, false, false, false));
    window_->HandleMessage(w, WM_CHAR, 'a', make_key_lparam(2, 0x1E, false, false, false, false));
    window_->HandleMessage(w, WM_SYSKEYDOWN, VK_F10,
                           make_key_lparam(1, 0x44, false, false, false, false));
    EXPECT_EQ(key_bytes(), "\xA6\xA6\xA6"
                           "aa"
                           "y");

    // The same through SDL, the hub and the pump.
    ASSERT_EQ(window_->Create(nullptr), 0);
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(sdl_window(window_->GetHandle()));
    e.key.keysym.scancode = SDL_SCANCODE_DELETE;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    os_->Pump();
    EXPECT_EQ(key_bytes(), "\xAE\r") << "Delete is extended; Enter is translated to a character";
}

TEST_F(Win32OSTest, TheKeyStreamIsLimited) {
    for (int i = 0; i < 2000; ++i)
        window_->HandleMessage(nullptr, WM_CHAR, 'k',
                               make_key_lparam(1, 0, false, false, false, false));
    // The pipe refuses to grow past its limit; it may fill the room of its last growth step.
    size_t kept = key_bytes().size();
    EXPECT_GE(kept, OM_KEY_STREAM_LIMIT);
    EXPECT_LT(kept, OM_KEY_STREAM_LIMIT + 128);
}

TEST_F(Win32OSTest, AltF4AndClosingTheWindowEndTheProgram) {
    ASSERT_EQ(window_->Create(nullptr), 0);
    window_->HandleMessage(window_->GetHandle(), WM_SYSKEYDOWN, VK_F4,
                           make_key_lparam(1, 0x3E, false, true, false, false));
    os_->Pump();
    EXPECT_NE(os_->IsQuitRequested(), 0u);
}

TEST_F(Win32OSTest, ClosingTheWindowDestroysItAndQuits) {
    ASSERT_EQ(window_->Create(nullptr), 0);
    OmWindowHandle w = window_->GetHandle();
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    e.window.windowID = SDL_GetWindowID(sdl_window(w));
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    os_->Pump();
    EXPECT_FALSE(is_window(w));
    EXPECT_EQ(window_->GetHandle(), nullptr);
    EXPECT_NE(os_->IsQuitRequested(), 0u);
}

TEST_F(Win32OSTest, AppPathNeedsRoomForItsTerminator) {
    testsupport::TempDir dir;
    set_program_dir(dir.path());
    ComRef<IOmOS> os = os_;
    window_->Attach(create_window({"attached", "attached"}), nullptr);
    std::string expected = dir.path() + "/";
    std::vector<char> buffer(expected.size() + 1);
    EXPECT_EQ(os_->GetAppPath(buffer.data(), uint32_t(expected.size())), OM_E_FAIL);
    ASSERT_EQ(os_->GetAppPath(buffer.data(), uint32_t(buffer.size())), 0);
    EXPECT_EQ(std::string(buffer.data()), expected);
    EXPECT_EQ(os_->GetAppPath(nullptr, 300), OM_E_FAIL);
    destroy_window(window_->GetHandle());
    set_program_dir("");
}

TEST_F(Win32OSTest, NamesAreBoundedAndTheTitleReachesTheWindow) {
    char buffer[OM_WINDOW_NAME_SIZE];
    ASSERT_EQ(window_->GetTitle(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, OM_DEFAULT_TITLE);
    EXPECT_EQ(window_->GetTitle(buffer, uint32_t(std::strlen(OM_DEFAULT_TITLE))), OM_E_FAIL);
    EXPECT_EQ(window_->SetTitle(std::string(80, 't').c_str()), OM_E_FAIL);
    EXPECT_EQ(window_->SetClassName(std::string(79, 'c').c_str()), 0);
    EXPECT_EQ(window_->SetClassName(nullptr), OM_E_FAIL);
    ASSERT_EQ(window_->SetClassName("Aerovant - Kestrune"), 0);
    ASSERT_EQ(window_->Create(nullptr), 0);
    EXPECT_EQ(find_window("Aerovant - Kestrune"), window_->GetHandle());
    ASSERT_EQ(window_->SetTitle("Aerovant - Kestrune"), 0);
    EXPECT_EQ(window_title(window_->GetHandle()), "Aerovant - Kestrune");
}

TEST_F(Win32OSTest, SharedServicesAreCounted) {
    EXPECT_EQ(OmOSGetTime(), 0u);
    char buffer[300];
    EXPECT_EQ(OmOSGetAppPath(buffer, sizeof buffer), OM_E_FAIL);
    EXPECT_EQ(OmOSRelease(), 0u) << "nothing to release";
    ASSERT_EQ(OmOSAcquire(), 0);
    ASSERT_EQ(OmOSAcquire(), 0);
    EXPECT_EQ(OmOSGetShared(), os_.get());
    EXPECT_EQ(OmOSGetAppPath(buffer, sizeof buffer), 0);
    ASSERT_EQ(OmOSServiceAcquire(), 0);
    EXPECT_EQ(OmOSServiceGetShared(), window_.get());
    EXPECT_EQ(OmOSRelease(), 1u);
    EXPECT_EQ(OmOSRelease(), 0u);
    EXPECT_EQ(OmOSGetShared(), nullptr);
    EXPECT_EQ(OmOSServiceRelease(), 0u);
}

// A display with a fixed mode list whose SetMode can be made to fail for one width.
class FakeDisplay final : public OmObject<FakeDisplay, IDisplay> {
public:
    std::vector<OmDisplayMode> modes;
    OmDisplayMode current;
    uint32_t failing_width = 0;
    std::vector<OmDisplayMode> set_calls;

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IDisplay, this}});
    }
    uint32_t GetModeCount() override { return uint32_t(modes.size()); }
    OmResult GetMode(uint32_t index, OmDisplayMode* mode) override {
        if (index >= modes.size() || mode->size != OM_DISPLAY_MODE_SIZE) return OM_E_FAIL;
        *mode = modes[index];
        return OM_S_OK;
    }
    OmResult SetMode(const OmDisplayMode* mode) override {
        set_calls.push_back(*mode);
        if (mode->width == failing_width) return OM_E_FAIL;
        current = *mode;
        return OM_S_OK;
    }
    OmResult GetCurrentMode(OmDisplayMode* mode) override {
        *mode = current;
        return OM_S_OK;
    }
    OmResult Present(void*) override { return OM_S_OK; }
};

OmDisplayMode mode(uint32_t w, uint32_t h, uint32_t format = 0x40110, uint32_t windowed = 0) {
    return {OM_DISPLAY_MODE_SIZE, w, h, format, windowed};
}

TEST_F(Win32OSTest, DisplayKeysChangeTheModeAndRestoreItOnFailure) {
    FakeDisplay* display;
    ASSERT_EQ(om_new_component(&display), 0);
    display->modes = {mode(320, 200, 0x20108), mode(640, 480), mode(800, 600), mode(1024, 768)};
    os_->SetUserValue(display);
    window_->SetDisplayKeys(1, 1);

    struct Row {
        uint32_t key;
        OmDisplayMode from;
        bool expect_change;
        OmDisplayMode to;
    };
    const Row rows[] = {
        {VK_RETURN, mode(640, 480), true, mode(640, 480, 0x40110, 1)},
        {VK_RETURN, mode(700, 500, 0x40110, 1), true, mode(640, 480)},
        {VK_RETURN, mode(700, 500, 0x30118, 1), false, {}},
        {VK_F11, mode(800, 600), true, mode(640, 480)},
        {VK_F11, mode(640, 480), true, mode(320, 200, 0x20108)},
        {VK_F11, mode(320, 200, 0x20108), false, {}},
        {VK_F12, mode(800, 600), true, mode(1024, 768)},
        {VK_F12, mode(1024, 768), false, {}},
        {VK_F11, mode(640, 480, 0x40110, 1), true, mode(624, 468, 0x40110, 1)},
        {VK_F11, mode(47, 100, 0x40110, 1), false, {}},
        {VK_F12, mode(640, 480, 0x40110, 1), true, mode(656, 492, 0x40110, 1)},
        {VK_F12, mode(2033, 100, 0x40110, 1), false, {}},
    };
    auto same = [](const OmDisplayMode& a, const OmDisplayMode& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    for (const Row& r : rows) {
        display->current = r.from;
        display->set_calls.clear();
        window_->HandleMessage(nullptr, WM_SYSKEYDOWN, r.key,
                               make_key_lparam(1, 0, false, true, false, false));
        if (!r.expect_change) {
            EXPECT_TRUE(display->set_calls.empty()) << r.key << " " << r.from.width;
            continue;
        }
        ASSERT_EQ(display->set_calls.size(), 1u) << r.key << " " << r.from.width;
        EXPECT_TRUE(same(display->current, r.to))
            << r.key << " " << r.from.width << " -> " << display->current.width;
    }

    display->current = mode(800, 600);
    display->failing_width = 1024;
    display->set_calls.clear();
    window_->HandleMessage(nullptr, WM_SYSKEYDOWN, VK_F12,
                           make_key_lparam(1, 0, false, true, false, false));
    ASSERT_EQ(display->set_calls.size(), 2u);
    EXPECT_TRUE(same(display->set_calls[1], mode(800, 600))) << "the old mode is set again";

    window_->SetDisplayKeys(0, 0);
    display->set_calls.clear();
    window_->HandleMessage(nullptr, WM_SYSKEYDOWN, VK_RETURN, 0);
    window_->HandleMessage(nullptr, WM_SYSKEYDOWN, VK_F11, 0);
    EXPECT_TRUE(display->set_calls.empty()) << "keys switched off";
    os_->SetUserValue(nullptr);
    display->Release();
}

TEST_F(Win32OSTest, ClosestModeIsTheNearestAreaOfTheSameFormatFirstOnTies) {
    FakeDisplay* display;
    ASSERT_EQ(om_new_component(&display), 0);
    display->modes = {mode(800, 600, 0x20108), mode(640, 480), mode(480, 640), mode(1024, 768)};
    uint32_t index = 99;
    OmDisplayMode wanted = mode(600, 500);
    ASSERT_EQ(OmFindClosestDisplayMode(display, &wanted, &index), 0);
    EXPECT_EQ(index, 1u);
    wanted.format = 0x30118;
    EXPECT_EQ(OmFindClosestDisplayMode(display, &wanted, &index), OM_E_FAIL);
    display->Release();
}

} // namespace
