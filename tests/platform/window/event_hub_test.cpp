// The event hub under SDL's dummy video driver: events pushed into SDL reach both the window
// messages and the device buffers, whichever side drains first.
#include "platform/window/event_hub.h"
#include "platform/window/key_map.h"
#include "platform/window/window.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace platform;

struct Seen {
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
};

intptr_t record(void* context, Window*, uint32_t message, uintptr_t wparam, intptr_t lparam) {
    static_cast<std::vector<Seen>*>(context)->push_back({message, wparam, lparam});
    return 0;
}

class EventHubTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_event_hub();
        window_ = create_window({"Hub Test", "hub", record, &seen_});
        ASSERT_NE(window_, nullptr);
        ASSERT_NE(sdl_window(window_), nullptr) << "the dummy video driver makes SDL windows";
        id_ = SDL_GetWindowID(sdl_window(window_));
    }
    void TearDown() override {
        destroy_window(window_);
        reset_event_hub();
    }

    void push_key(SDL_Scancode code, bool down, uint16_t mod = 0, bool repeat = false) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = id_;
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat;
        e.key.keysym.scancode = code;
        e.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void push_window_event(uint8_t event) {
        SDL_Event e{};
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = id_;
        e.window.event = event;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void push_motion(int x, int y, int dx, int dy) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = id_;
        e.motion.x = x;
        e.motion.y = y;
        e.motion.xrel = dx;
        e.motion.yrel = dy;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    void push_text(const char* utf8) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = id_;
        SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    std::vector<Msg> take_messages() {
        std::vector<Msg> out;
        Msg m;
        while (peek_message(&m, true)) out.push_back(m);
        return out;
    }
    std::vector<DeviceEvent> take_device(InputDevice d) {
        std::vector<DeviceEvent> out(DEVICE_BUFFER_CAPACITY);
        out.resize(read_device_events(d, out.data(), out.size()));
        return out;
    }

    std::vector<Seen> seen_;
    Window* window_ = nullptr;
    uint32_t id_ = 0;
};

TEST_F(EventHubTest, AKeyReachesTheWindowAndTheKeyboardWhicheverDrainsFirst) {
    set_device_buffering(InputDevice::keyboard, true);
    push_key(SDL_SCANCODE_A, true);
    auto keys = take_device(InputDevice::keyboard); // the input side drains first
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].part, 0x1Eu);
    EXPECT_EQ(keys[0].value, DEVICE_PRESSED);

    push_key(SDL_SCANCODE_A, false);
    auto messages = take_messages(); // now the window side drains
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, WM_KEYDOWN);
    EXPECT_EQ(messages[0].wparam, uintptr_t('A'));
    EXPECT_EQ(messages[0].window, window_);
    EXPECT_EQ(messages[1].message, WM_KEYUP);
    EXPECT_TRUE(uint32_t(messages[1].lparam) & 0x80000000u);
    keys = take_device(InputDevice::keyboard);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].value, 0);
}

TEST_F(EventHubTest, KeyMessagesCarryScanCodeExtendedBitAndSystemKeys) {
    struct Row {
        SDL_Scancode code;
        uint16_t mod;
        uint32_t message;
        uint32_t vk;
        uint32_t scan;
        bool extended;
        bool alt;
    };
    const Row rows[] = {
        {SDL_SCANCODE_UP, 0, WM_KEYDOWN, VK_UP, 0x48, true, false},
        {SDL_SCANCODE_KP_8, 0, WM_KEYDOWN, VK_NUMPAD0 + 8, 0x48, false, false},
        {SDL_SCANCODE_RCTRL, KMOD_RCTRL, WM_KEYDOWN, VK_CONTROL, 0x1D, true, false},
        {SDL_SCANCODE_KP_ENTER, 0, WM_KEYDOWN, VK_RETURN, 0x1C, true, false},
        {SDL_SCANCODE_RETURN, KMOD_LALT, WM_SYSKEYDOWN, VK_RETURN, 0x1C, false, true},
        {SDL_SCANCODE_F4, KMOD_LALT, WM_SYSKEYDOWN, VK_F4, 0x3E, false, true},
        {SDL_SCANCODE_F10, 0, WM_SYSKEYDOWN, VK_F10, 0x44, false, false},
        {SDL_SCANCODE_F11, 0, WM_KEYDOWN, VK_F11, 0x57, false, false},
    };
    for (const Row& r : rows) {
        push_key(r.code, true, r.mod);
        auto messages = take_messages();
        ASSERT_EQ(messages.size(), 1u) << r.code;
        const Msg& m = messages[0];
        EXPECT_EQ(m.message, r.message) << r.code;
        EXPECT_EQ(m.wparam, r.vk) << r.code;
        EXPECT_EQ(key_repeat_count(m.lparam), 1u);
        EXPECT_EQ((uint32_t(m.lparam) >> 16) & 0xFF, r.scan) << r.code;
        EXPECT_EQ(key_is_extended(m.lparam), r.extended) << r.code;
        EXPECT_EQ((m.lparam & KF_ALTDOWN_BIT) != 0, r.alt) << r.code;
    }
}

TEST_F(EventHubTest, TypematicRepeatsAreMessagesButNotDeviceEvents) {
    set_device_buffering(InputDevice::keyboard, true);
    push_key(SDL_SCANCODE_B, true);
    push_key(SDL_SCANCODE_B, true, 0, true);
    auto messages = take_messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_FALSE(messages[0].lparam & KF_REPEAT_BIT);
    EXPECT_TRUE(messages[1].lparam & KF_REPEAT_BIT);
    EXPECT_EQ(take_device(InputDevice::keyboard).size(), 1u);
    uint8_t state[256];
    keyboard_state(state);
    EXPECT_EQ(state[0x30], DEVICE_PRESSED);
}

TEST_F(EventHubTest, TextBecomesEightBitCharacters) {
    push_text("a\xC3\xA9\xE2\x82\xAC"); // 'a', e-acute, and the euro sign which has no 8-bit form
    auto messages = take_messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, WM_CHAR);
    EXPECT_EQ(messages[0].wparam, uintptr_t('a'));
    EXPECT_EQ(messages[1].wparam, 0xE9u);
}

TEST_F(EventHubTest, TranslateQueuesControlCharactersFirst) {
    push_key(SDL_SCANCODE_RETURN, true);
    push_key(SDL_SCANCODE_RETURN, false);
    Msg down;
    ASSERT_TRUE(peek_message(&down, true));
    EXPECT_TRUE(translate_message(down));
    auto rest = take_messages();
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].message, WM_CHAR);
    EXPECT_EQ(rest[0].wparam, 0x0Du);
    EXPECT_EQ(rest[1].message, WM_KEYUP);

    Msg letter{window_, WM_KEYDOWN, 'A', 0, 0};
    EXPECT_FALSE(translate_message(letter)) << "letters come from text input";
}

TEST_F(EventHubTest, WindowEventsBecomeWindowMessages) {
    push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    push_window_event(SDL_WINDOWEVENT_EXPOSED);
    push_window_event(SDL_WINDOWEVENT_EXPOSED);
    push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    push_window_event(SDL_WINDOWEVENT_CLOSE);
    std::vector<std::pair<uint32_t, uintptr_t>> got;
    for (const Msg& m : take_messages()) got.emplace_back(m.message, m.wparam);
    const std::vector<std::pair<uint32_t, uintptr_t>> want = {
        {WM_ACTIVATE, WA_ACTIVE},   {WM_SETFOCUS, 0},  {WM_PAINT, 0},
        {WM_ACTIVATE, WA_INACTIVE}, {WM_KILLFOCUS, 0}, {WM_CLOSE, 0}};
    EXPECT_EQ(got, want) << "one paint for two exposures";
}

TEST_F(EventHubTest, MouseMovesCoalesceAsMessagesButEachMotionIsBuffered) {
    set_device_buffering(InputDevice::mouse, true);
    push_motion(10, 20, 3, 0);
    push_motion(12, 25, 2, 5);
    auto messages = take_messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, WM_MOUSEMOVE);
    EXPECT_EQ(point_x(messages[0].lparam), 12);
    EXPECT_EQ(point_y(messages[0].lparam), 25);
    auto motion = take_device(InputDevice::mouse);
    ASSERT_EQ(motion.size(), 3u);
    EXPECT_EQ(motion[0].part, MOUSE_X);
    EXPECT_EQ(motion[0].value, 3);
    EXPECT_EQ(motion[2].part, MOUSE_Y);
    EXPECT_EQ(motion[2].value, 5);
    EXPECT_LT(motion[0].sequence, motion[1].sequence);
}

TEST_F(EventHubTest, DeviceBuffersKeepTheNewestAndReportOverflow) {
    push_key(SDL_SCANCODE_C, true);
    EXPECT_EQ(take_device(InputDevice::keyboard).size(), 0u) << "nothing kept while off";
    set_device_buffering(InputDevice::keyboard, true);
    for (size_t i = 0; i < DEVICE_BUFFER_CAPACITY + 5; ++i) {
        push_key(SDL_SCANCODE_C, i % 2 == 0);
        if (i % 64 == 63) drain_events(); // SDL's own queue is smaller than the buffer
    }
    std::vector<DeviceEvent> out(DEVICE_BUFFER_CAPACITY + 10);
    bool overflowed = false;
    size_t n = read_device_events(InputDevice::keyboard, out.data(), out.size(), &overflowed);
    EXPECT_EQ(n, DEVICE_BUFFER_CAPACITY);
    EXPECT_TRUE(overflowed);
    EXPECT_EQ(out[n - 1].value, DEVICE_PRESSED) << "the last event pushed is kept";
    EXPECT_EQ(out[0].value, 0) << "the five oldest, starting with a press, are gone";
    read_device_events(InputDevice::keyboard, out.data(), out.size(), &overflowed);
    EXPECT_FALSE(overflowed) << "reported once";
}

TEST_F(EventHubTest, TheMessageQueueIsBounded) {
    size_t posted = 0;
    while (post_message(window_, WM_USER, posted, 0) && posted < 20000) ++posted;
    EXPECT_EQ(posted, 10000u);
    post_quit_message(3);
    EXPECT_EQ(queued_message_count(), 10001u) << "quit is never refused";
}

TEST_F(EventHubTest, DestroyingAWindowSendsDestroyAndForgetsItsMessages) {
    post_message(window_, WM_USER, 1, 0);
    post_message(nullptr, WM_USER, 2, 0);
    destroy_window(window_);
    EXPECT_FALSE(is_window(window_));
    ASSERT_EQ(seen_.size(), 1u);
    EXPECT_EQ(seen_[0].message, WM_DESTROY);
    auto messages = take_messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].wparam, 2u);
    EXPECT_EQ(dispatch_message(Msg{window_, WM_USER, 0, 0, 0}), 0) << "dead windows get nothing";
    window_ = nullptr;
}

TEST_F(EventHubTest, HeadlessWindowsAreInTheForegroundAndKeepTheirState) {
    EXPECT_TRUE(is_foreground(window_));
    EXPECT_EQ(find_window("Hub Test"), window_);
    EXPECT_EQ(find_window("hub test"), nullptr);
    show_window(window_, SW_SHOWMINIMIZED);
    EXPECT_TRUE(is_minimized(window_));
    move_window(window_, 192, 144, 640, 480);
    int x, y, w, h;
    ASSERT_TRUE(window_client_rect(window_, &x, &y, &w, &h));
    EXPECT_EQ(x, 192);
    EXPECT_EQ(y, 144);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    set_window_title(window_, "other");
    EXPECT_EQ(window_title(window_), "other");
}

TEST_F(EventHubTest, TheIconAndThePointerPositionAreKeptWithoutADisplay) {
    EXPECT_EQ(window_icon_size(window_).x, 0);
    const std::vector<uint32_t> pixels(16 * 8, 0xff102030);
    EXPECT_FALSE(set_window_icon(window_, pixels.data(), 0, 8));
    EXPECT_FALSE(set_window_icon(window_, nullptr, 16, 8));
    ASSERT_TRUE(set_window_icon(window_, pixels.data(), 16, 8));
    EXPECT_EQ(window_icon_size(window_).x, 16);
    EXPECT_EQ(window_icon_size(window_).y, 8);
    Window* dead = window_;
    destroy_window(window_);
    window_ = nullptr;
    EXPECT_FALSE(set_window_icon(dead, pixels.data(), 16, 8));
    EXPECT_EQ(window_icon_size(dead).x, 0);

    set_cursor_pos(12, 34);
    EXPECT_EQ(cursor_pos().x, 12);
    EXPECT_EQ(cursor_pos().y, 34);
    set_cursor_pos(0, 0);
}

TEST(KeyMap, DeviceKeyNumbersRoundTrip) {
    for (int code = 0; code < SDL_NUM_SCANCODES; ++code) {
        KeyCode k = key_code_of_scancode(code);
        if (!k.device) continue;
        EXPECT_EQ(scancode_of_device_key(k.device), code) << code;
    }
    EXPECT_EQ(key_code_of_scancode(SDL_SCANCODE_PAUSE).device, 0xC5);
    EXPECT_EQ(key_code_of_scancode(-1).vk, 0);
}

} // namespace
