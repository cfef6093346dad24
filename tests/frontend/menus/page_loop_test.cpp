// The page loop over the real menus with scripted input on the virtual clock: the pointer
// clamp, the focus sound, clicks, the status page, F5, task switch, close and leave requests,
// the time-out, the 800 x 600 scale; the network status page; the current directory kept by
// page loads; the front end from the title page to quit.
#include "frontend/menus/page_loop.h"

#include "framework/platform/os_service.h"
#include "frontend/html/html_browser.h"
#include "frontend/menus/dispatcher.h"
#include "frontend/menus/front_end.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_tokens.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/startup/program_options.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_modes.h"
#include "frontend/video/video_startup.h"
#include "media/display/renderer.h"
#include "media/input/input.h"
#include "media/raster/mouse_pointer.h"
#include "platform/clock.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"
#include "tests/frontend/menus/menu_fixture.h"
#include "tests/support/png_file.h"
#include "tests/support/virtual_clock.h"

#include <SDL.h>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace {

constexpr char test_page[] = "menus\\test.html";

std::vector<std::string> sounds;
std::map<long, std::function<void()>> script;

OmResult record_sound(const char* name) {
    sounds.push_back(name);
    return OM_S_OK;
}

void run_script(long pass) {
    auto it = script.find(pass);
    if (it != script.end()) it->second();
}

void post(uint16_t device, uint16_t code, int32_t value) {
    const InputEvent event{device, code, 0, uint32_t(value)};
    ASSERT_GE(TvGetInput()->PostEvent(&event), 0);
}
void move(int32_t dx, int32_t dy) {
    if (dx) post(TvGetMouseDevice(), TV_MOUSE_X, dx);
    if (dy) post(TvGetMouseDevice(), TV_MOUSE_Y, dy);
}
// Moves the pointer to a page point.
void move_to(int32_t x, int32_t y) {
    move(x - TvMenus().pointer_x, y - TvMenus().pointer_y);
}
void button(bool pressed) {
    post(TvGetMouseDevice(), TV_MOUSE_BUTTON, pressed ? int32_t(TV_BUTTON_PRESSED) : 0x21);
}
void press(uint16_t code, uint32_t value) {
    post(TvGetKeyboardDevice(), code, int32_t(value));
}
// A left-button press and its release reaching SDL together, as a tap shorter than one pass
// of the loop does: both go through the event hub and the mouse device to the loop.
void tap() {
    const uint32_t id = SDL_GetWindowID(platform::sdl_window(TvGetMainWindow()->GetHandle()));
    for (const bool down : {true, false}) {
        SDL_Event e{};
        e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.windowID = id;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
}

class PageLoop : public menutest::MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        sounds.clear();
        script.clear();
        TvSetMenuSoundPlayer(record_sound);
        TvSetMenuPassObserver(run_script);
        set_up_game("");
        ASSERT_NE(TvGetMouseDevice(), 0);
        ASSERT_NE(TvGetKeyboardDevice(), 0);
        // Two links, a gap, a link with a target text.
        menutest::write_page(dir_, test_page,
                             {{"menus\\first.html", 100},
                              {"menus\\second.html", 100},
                              {"", 100},
                              {"menus\\third.html", 50, "Go there"}});
        ASSERT_EQ(TvShowPage(test_page), OM_S_OK);
    }
    void TearDown() override {
        TvSetMenuSoundPlayer(nullptr);
        TvSetMenuPassObserver(nullptr);
        platform::set_virtual_frame_step(16);
        MenuTest::TearDown();
    }
    // The centre of a link's first box, in page units.
    std::pair<int32_t, int32_t> centre(int32_t link) {
        HtmlBox box;
        EXPECT_GE(TvGetCurrentPage()->GetLinkBox(link, 0, &box), 0) << link;
        return {box.x + box.width / 2, box.y + box.height / 2};
    }
    std::string run(uint32_t timeout = 180000, std::string link = "before") {
        TvRunPage(link, timeout);
        return link;
    }
    testsupport::VirtualClockScope clock_;
};

TEST_F(PageLoop, ThePointerStaysInsideThePage) {
    script[0] = [] { move(-5000, -5000); };
    script[1] = [] {
        EXPECT_EQ(TvMenus().pointer_x, 1);
        EXPECT_EQ(TvMenus().pointer_y, 1);
        move(5000, 5000);
    };
    script[2] = [] {
        EXPECT_EQ(TvMenus().pointer_x, 639);
        EXPECT_EQ(TvMenus().pointer_y, 479);
        press(TV_KEY_DOWN, TV_KEY_F5);
    };
    EXPECT_EQ(run(), "before");
    // F5 ends the loop after its pass.
    EXPECT_EQ(TvMenuPassCount(), 3);
    // At 640 x 480 the pointer is drawn where the page puts it.
    int32_t x = 0, y = 0;
    TvGetMenuPointer()->GetPosition(&x, &y);
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 479);
}

TEST_F(PageLoop, FocusSoundsOncePerLinkAndAClickChoosesIt) {
    const auto [x0, y0] = centre(0);
    const auto [x1, y1] = centre(1);
    script[0] = [=] { move_to(x0, y0); };
    script[4] = [=] {
        EXPECT_EQ(sounds, std::vector<std::string>{"Menu.Focus"});
        EXPECT_EQ(TvGetCurrentPage()->GetSelectedLink(), 0);
        EXPECT_EQ(TvGetMenuPointer()->GetFrame(), 2);
        move_to(x1, y1);
    };
    script[6] = [] { button(true); };
    EXPECT_EQ(run(), "menus\\second.html");
    EXPECT_EQ(sounds, (std::vector<std::string>{"Menu.Focus", "Menu.Focus", "Menu.Click"}));
}

TEST_F(PageLoop, AClickOutsideLinksWaitsForTheHeldButtonToReachALink) {
    const auto [x0, y0] = centre(0);
    script[0] = [] { move_to(320, 250); }; // the gap
    script[1] = [] { button(true); };
    script[3] = [] {
        EXPECT_EQ(TvMenus().click, 1u);
        EXPECT_EQ(TvGetCurrentPage()->GetSelectedLink(), -1);
        EXPECT_EQ(TvGetMenuPointer()->GetFrame(), 0);
    };
    script[4] = [=] { move_to(x0, y0); };
    EXPECT_EQ(run(), "menus\\first.html");
    EXPECT_EQ(TvMenuPassCount(), 5);
    // A released button chooses nothing.
    script.clear();
    TvResetMenuPassCount();
    TvMenus().click = 0;
    script[0] = [] {
        move_to(320, 250);
        button(true);
    };
    script[1] = [] { button(false); };
    script[2] = [=] { move_to(x0, y0); };
    script[5] = [] { press(TV_KEY_DOWN, TV_KEY_F5); };
    EXPECT_EQ(run(), "before");
}

TEST_F(PageLoop, APressAndItsReleaseInOnePassAreAClick) {
    const auto [x1, y1] = centre(1);
    script[0] = [=] { move_to(x1, y1); };
    script[3] = [] { tap(); };
    EXPECT_EQ(run(), "menus\\second.html");
    EXPECT_EQ(TvMenuPassCount(), 4);
    EXPECT_EQ(TvMenus().click, 0u);
    // Tapped over no link: nothing is chosen then, and nothing later when the pointer reaches
    // a link with the button up.
    script.clear();
    TvResetMenuPassCount();
    script[0] = [] { move_to(320, 250); };
    script[1] = [] { tap(); };
    script[2] = [=] {
        EXPECT_EQ(TvMenus().click, 0u);
        move_to(x1, y1);
    };
    script[5] = [] { press(TV_KEY_DOWN, TV_KEY_F5); };
    EXPECT_EQ(run(), "before");
}

TEST_F(PageLoop, ALinkWithATargetShowsTheStatusPageWhileThePointerRestsOnIt) {
    const auto [x3, y3] = centre(2);
    script[0] = [=] { move_to(x3, y3); };
    script[2] = [] {
        EXPECT_NE(*TvGetStatusPageSlot(), nullptr);
        EXPECT_EQ(TvMenus().status_text, "Go there");
        move_to(320, 250);
    };
    script[3] = [] {
        EXPECT_EQ(*TvGetStatusPageSlot(), nullptr);
        press(TV_KEY_DOWN, TV_KEY_F5);
    };
    EXPECT_EQ(run(), "before");
    EXPECT_EQ(sounds, std::vector<std::string>{"Menu.Focus"});
}

TEST_F(PageLoop, APageLeftAloneTimesOutOnTheVirtualClock) {
    platform::set_virtual_frame_step(1000);
    const uint32_t start = platform::timeGetTime();
    EXPECT_EQ(run(180000), "command:timeout");
    const uint32_t elapsed = platform::timeGetTime() - start;
    EXPECT_GT(elapsed, 180000u);
    EXPECT_LT(elapsed, 182100u);
    // No time-out: the page waits until something happens.
    TvResetMenuPassCount();
    script[400] = [] { press(TV_KEY_DOWN, TV_KEY_F5); };
    EXPECT_EQ(run(0), "before");
    EXPECT_EQ(TvMenuPassCount(), 401);
}

TEST_F(PageLoop, CloseLeaveAndTaskSwitchReturnWithTheLinkUnchanged) {
    platform::Window* window = TvGetMainWindow()->GetHandle();
    // A close request during the pump: the loop returns and the program's loops end too.
    script[2] = [=] { platform::post_message(window, platform::WM_CLOSE, 0, 0); };
    EXPECT_EQ(run(), "before");
    EXPECT_EQ(TvGetQuitFlag(), 1);
    // Already set: nothing runs.
    TvResetMenuPassCount();
    EXPECT_EQ(run(), "before");
    EXPECT_EQ(TvMenuPassCount(), 0);
    TvSetQuitFlag(0);

    // The session's leave-page flag.
    script.clear();
    script[3] = [] { TvMenus().leave_page = 1; };
    EXPECT_EQ(run(), "before");
    TvMenus().leave_page = 0;

    // Alt-tab away: back once the window has the focus again (the focus comes back from
    // another thread, as the system would give it, until the loop has returned).
    script.clear();
    script[1] = [] {
        press(TV_KEY_DOWN, TV_KEY_LEFT_ALT);
        press(TV_KEY_DOWN, TV_KEY_TAB);
    };
    std::atomic<bool> returned{false};
    std::thread system([&] {
        while (!returned) {
            platform::post_message(window, platform::WM_SETFOCUS, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_EQ(run(), "before");
    returned = true;
    system.join();
    EXPECT_EQ(TvGetFocusFlag(), 1);
    EXPECT_EQ(TvMenus().alt, 0);
}

TEST_F(PageLoop, AltTabWaitsOnlyWhileTheWindowHasNoFocus) {
    platform::Window* window = TvGetMainWindow()->GetHandle();
    // The keys alone, the focus never leaving (one window, the keys bound elsewhere): the
    // loop goes on. Should it wait for a focus-in anyway, the stand-in system gives one after
    // two seconds and the test fails.
    script[1] = [] {
        press(TV_KEY_DOWN, TV_KEY_LEFT_ALT);
        press(TV_KEY_DOWN, TV_KEY_TAB);
    };
    std::atomic<bool> returned{false}, rescued{false};
    std::thread rescuer([&] {
        for (int i = 0; i < 200 && !returned; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (returned) return;
        rescued = true;
        platform::post_message(window, platform::WM_SETFOCUS, 0, 0);
    });
    EXPECT_EQ(run(), "before");
    returned = true;
    rescuer.join();
    EXPECT_FALSE(rescued) << "the loop waited for a focus that never left";
    EXPECT_EQ(TvGetFocusFlag(), 1);

    // The focus does leave: the loop waits until it is back.
    script.clear();
    script[1] = [=] {
        press(TV_KEY_DOWN, TV_KEY_LEFT_ALT);
        press(TV_KEY_DOWN, TV_KEY_TAB);
        platform::post_message(window, platform::WM_KILLFOCUS, 0, 0);
    };
    std::atomic<bool> given{false};
    returned = false;
    std::thread system([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        given = true;
        platform::post_message(window, platform::WM_SETFOCUS, 0, 0);
    });
    EXPECT_EQ(run(), "before");
    EXPECT_TRUE(given) << "the loop went on while the window had no focus";
    system.join();
    EXPECT_EQ(TvGetFocusFlag(), 1);
}

TEST_F(PageLoop, WithoutAPageTheLoopDrawsNothingAndStillEnds) {
    TvReleaseMenuBrowser();
    ASSERT_EQ(TvSetUpMenuBrowser(), OM_S_OK);
    ASSERT_EQ(TvGetCurrentPage(), nullptr);
    script[2] = [] { press(TV_KEY_DOWN, TV_KEY_F5); };
    EXPECT_EQ(run(), "before");
    EXPECT_TRUE(sounds.empty());
}

TEST_F(PageLoop, At800x600ThePageAndThePointerAreScaledBy125) {
    // A red picture over the top-left quarter of the page.
    testsupport::Image red{320, 240, std::vector<uint32_t>(320 * 240, 0xFFFF0000u)};
    dir_.write_file("Language/english/menus/red.png", "");
    ASSERT_TRUE(testsupport::write_png(dir_ / "Language/english/menus/red.png", red));
    menutest::write_page(dir_, "menus\\red.html", {}, "<img src=\"menus\\red.png\">");
    for (const auto& [width, height, side] : {std::tuple{640, 480, 4}, {800, 600, 5}}) {
        SCOPED_TRACE(width);
        TvReleaseMenuVideo();
        TvReleaseEngineCamera();
        TvStopVideo();
        TvGetMainWindow()->SetClientSize(width, height);
        ASSERT_EQ(TvStartVideo(0), OM_S_OK);
        ASSERT_GE(TvRecreateEngineCamera(), 0);
        ASSERT_EQ(tvfe::TvGetScreenWidth(), width);
        ASSERT_EQ(TvSetUpMenuVideo(), OM_S_OK);
        ASSERT_EQ(TvShowPage("menus\\red.html"), OM_S_OK);
        TvMenus().pointer_x = 320;
        TvMenus().pointer_y = 400;
        script.clear();
        script[1] = [] { press(TV_KEY_DOWN, TV_KEY_F5); };
        EXPECT_EQ(run(), "before");

        int32_t x = 0, y = 0;
        TvGetMenuPointer()->GetPosition(&x, &y);
        EXPECT_EQ(x, width / 2);
        EXPECT_EQ(y, height * 400 / 480);
        // The pointer's 4 x 4 frame covers side x side pixels of the shown frame there.
        testsupport::Image frame;
        ASSERT_TRUE(testsupport::write_last_frame_png(dir_ / "frame.png"));
        ASSERT_TRUE(testsupport::read_png(dir_ / "frame.png", &frame));
        ASSERT_EQ(int(frame.width), width);
        int lit = 0, left = width, top = height, right = -1, bottom = -1;
        for (int py = y - 10; py < y + 10; ++py)
            for (int px = x - 10; px < x + 10; ++px)
                if (frame.pixels[py * frame.width + px] & 0xFFFFFF) {
                    ++lit;
                    left = std::min(left, px);
                    right = std::max(right, px);
                    top = std::min(top, py);
                    bottom = std::max(bottom, py);
                }
        EXPECT_EQ(left, x);
        EXPECT_EQ(top, y);
        EXPECT_EQ(right - left + 1, side);
        EXPECT_EQ(bottom - top + 1, side);
        // All but the top-left pixel: the picture's key colour is left out.
        EXPECT_EQ(lit, side * side - 1);
        EXPECT_EQ(frame.pixels[y * frame.width + x] & 0xFFFFFF, 0u);
        // The picture's far corner lands at the middle of the screen.
        auto pixel = [&](int px, int py) { return frame.pixels[py * frame.width + px] & 0xFFFFFF; };
        EXPECT_EQ(pixel(width / 2 - 3, height / 2 - 3), 0xFF0000u);
        EXPECT_EQ(pixel(width / 2 + 3, height / 2 + 3), 0u);
        EXPECT_EQ(pixel(width / 2 - 3, height / 2 + 3), 0u);
    }
}

TEST_F(PageLoop, TheNetworkStatusPageSetsItsCountdownOnTheFirstShowAndDrawsOnce) {
    menutest::write_page(dir_, "menus\\connecting.html", {}, "^timervalue^");
    menutest::write_page(dir_, "menus\\waiting.html", {}, "^waitingtimervalue^");
    TvSetLink("menus\\other.html");
    EXPECT_EQ(TvShowNetStatusPage("menus\\connecting.html", 25), OM_S_OK);
    EXPECT_EQ(TvMenus().countdown, 25);
    EXPECT_EQ(TvMenus().link, "menus\\connecting.html");
    IHTMLPage* shown = TvGetCurrentPage();
    TvShowNetStatusPage("menus\\connecting.html", 25);
    EXPECT_EQ(TvGetCurrentPage(), shown) << "the same page and value are not shown again";
    TvShowNetStatusPage("menus\\connecting.html", 24);
    EXPECT_EQ(TvMenus().countdown, 24);
    TvShowNetStatusPage("menus\\waiting.html", 40);
    EXPECT_EQ(TvMenus().countdown, 15);
    EXPECT_EQ(TvMenus().link, "menus\\waiting.html");
}

TEST_F(PageLoop, PageLoadsKeepTheCurrentDirectoryOnEveryPath) {
    const auto here = std::filesystem::current_path();
    EXPECT_EQ(TvShowPage(test_page), OM_S_OK);
    EXPECT_EQ(std::filesystem::current_path(), here);
    IHTMLPage* shown = TvGetCurrentPage();
    EXPECT_EQ(TvShowPage("menus\\missing.html"), OM_E_FAIL);
    EXPECT_EQ(std::filesystem::current_path(), here);
    EXPECT_EQ(TvGetCurrentPage(), shown);
    // Names resolve whatever their case.
    EXPECT_EQ(TvShowPage("MENUS\\Test.HTML"), OM_S_OK);
    EXPECT_EQ(std::filesystem::current_path(), here);
    // Without the language directory nothing is found and nothing moves.
    std::filesystem::rename(dir_ / "Language", dir_ / "Elsewhere");
    EXPECT_EQ(TvShowPage(test_page), OM_E_FAIL);
    EXPECT_EQ(std::filesystem::current_path(), here);
    std::filesystem::rename(dir_ / "Elsewhere", dir_ / "Language");
}

TEST_F(PageLoop, TheFrontEndRunsFromTheTitlePageToQuit) {
    menutest::write_page(dir_, "menus\\chooseface.html", {{"command:quit", 480}});
    script[1] = [] { button(true); };
    EXPECT_EQ(TvRunFrontEnd("gamestartup"), OM_S_OK);
    EXPECT_EQ(menutest::entry_script().calls,
              (std::vector<std::string>{"create pilot 1", "save pilots"}));
    EXPECT_EQ(TvMenus().current_page, "menus\\chooseface.html");
    EXPECT_EQ(TvMenus().link, "command:quit");
    EXPECT_TRUE(TvIsPilotUsed(0));
    EXPECT_EQ(TvGetQuitFlag(), 0);
}

TEST_F(PageLoop, TheFrontEndEndsAtTheProgramsFrameLimit) {
    TvSetProgramOptions({"", 3});
    EXPECT_EQ(TvRunFrontEnd("gamestartup"), OM_S_OK);
    EXPECT_EQ(TvMenuPassCount(), 3);
    EXPECT_EQ(TvGetQuitFlag(), 1);
    EXPECT_TRUE(menutest::entry_script().calls.empty()) << "the title page used every frame";
}

} // namespace

namespace {

class FullScreenMenus : public menutest::MenuTest {
protected:
    FullScreenMenus() { windowed_ = 0; }
};

TEST_F(FullScreenMenus, VideoModesListTheFourMenuSizesAndMarkTheCurrentOne) {
    set_up_game("");
    const int32_t current = frontendtest::find_mode(640, 480);
    const int32_t big = frontendtest::find_mode(800, 600);
    ASSERT_GE(current, 0);
    ASSERT_GE(big, 0);
    TvSetConfiguredMissionMode(current);
    std::string modes;
    TvExpandPageTokens("videomodes", &modes);
    EXPECT_NE(modes.find("<b>640 x 480</b><br>"), std::string::npos) << modes;
    EXPECT_NE(modes.find("<B><A HREF=\"command:videomode:" + std::to_string(big) +
                         "\">800 x 600</A></B><BR>"),
              std::string::npos)
        << modes;
    // Every entry is one of the four sizes.
    for (int32_t i = 0; i < TvGetModeCount(); ++i) {
        const LgVideoMode* mode = TvGetMode(i);
        const std::string size = std::to_string(mode->width) + " x " + std::to_string(mode->height);
        const bool listed = (mode->width == 640 && mode->height == 480) ||
                            (mode->width == 800 && mode->height == 600) ||
                            (mode->width == 1024 && mode->height == 768) ||
                            (mode->width == 1280 && mode->height == 1024);
        EXPECT_EQ(modes.find(size) != std::string::npos, listed) << size;
    }
}

} // namespace
