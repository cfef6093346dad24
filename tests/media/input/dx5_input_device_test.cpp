// DX5InputDevice behind Input under SDL's dummy video driver: events pushed into SDL reach
// Input_GetEvent with the driver's codes, focus loss suppresses input, and the window pump and
// the input driver never take each other's events.
#include "media/input/dx5_input_device.h"

#include "framework/core/com_ref.h"
#include "media/input/key_codes.h"
#include "platform/input/dinput.h"
#include "tests/media/input/input_window_fixture.h"
#include "tests/support/virtual_clock.h"

#include <SDL.h>
#include <bit>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

static bool operator==(const InputEvent& a, const InputEvent& b) {
    return a.source == b.source && a.code == b.code && a.length == b.length && a.value == b.value;
}
static void PrintTo(const InputEvent& e, std::ostream* os) {
    *os << "{" << e.source << ", " << e.code << ", " << e.length << ", " << e.value << "}";
}

namespace {

using platform::Msg;
using platform::WM_KEYDOWN;
using platform::WM_KEYUP;

class DX5InputDeviceTest : public testsupport::InputWindowTest {
protected:
    void TearDown() override {
        for (uint16_t id : enabled_) input_->DisableDevice(id);
        input_.reset();
        if (virtual_stick_) SDL_JoystickClose(virtual_stick_);
        if (virtual_index_ >= 0) SDL_JoystickDetachVirtual(virtual_index_);
        if (joysticks_) platform::release_sdl(SDL_INIT_JOYSTICK);
        InputWindowTest::TearDown();
    }

    void make_input() {
        ASSERT_EQ(OmCreate(CLSID_Input, IID_IInput, input_.put()), 0);
        ASSERT_EQ(input_->Init(2048), 0);
    }
    // Finds and enables a device of the kind; its id.
    uint16_t enable(uint16_t kind) {
        uint16_t id = 0;
        EXPECT_EQ(input_->FindDevice(kind, &id), 0) << kind;
        EXPECT_EQ(input_->EnableDevice(id), 0) << kind;
        enabled_.push_back(id);
        return id;
    }
    std::vector<InputEvent> poll() {
        EXPECT_EQ(input_->Poll(), 0);
        std::vector<InputEvent> out;
        InputEvent e;
        while (input_->GetEvent(&e) == 0) out.push_back(e);
        return out;
    }
    // A virtual joystick with 5 axes, 4 buttons and a hat, attached before Input looks.
    void attach_joystick() {
        joysticks_ = platform::acquire_sdl(SDL_INIT_JOYSTICK);
        ASSERT_TRUE(joysticks_) << SDL_GetError();
        virtual_index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 5, 4, 1);
        ASSERT_GE(virtual_index_, 0) << SDL_GetError();
        virtual_stick_ = SDL_JoystickOpen(virtual_index_);
        ASSERT_NE(virtual_stick_, nullptr) << SDL_GetError();
    }

    ComRef<IInput> input_;
    std::vector<uint16_t> enabled_;
    bool joysticks_ = false;
    int virtual_index_ = -1;
    SDL_Joystick* virtual_stick_ = nullptr;
};

TEST_F(DX5InputDeviceTest, TheDriverOffersKeyboardMouseAndTicker) {
    make_input();
    std::vector<std::pair<uint16_t, uint16_t>> seen;
    uint16_t cursor = 0, kind = 0;
    while (input_->EnumerateDevices(&cursor, &kind) == 0) seen.push_back({cursor, kind});
    std::vector<std::pair<uint16_t, uint16_t>> expected = {
        {0x101, kInputKindKeyboard}, {0x102, kInputKindMouse}, {0x103, kInputKindTicker}};
    EXPECT_EQ(seen, expected);

    struct Row {
        uint16_t kind;
        uint16_t id;
    };
    for (Row r : {Row{kInputKindKeyboard, 0x101}, Row{kInputKindMouse, 0x102},
                  Row{kInputKindSharedMouse, 0x102}, Row{kInputKindTicker, 0x103},
                  Row{kInputKindJoystick, 0x104}}) {
        uint16_t id = 0;
        EXPECT_EQ(input_->FindDevice(r.kind, &id), 0) << r.kind;
        EXPECT_EQ(id, r.id) << r.kind;
    }
    uint16_t id = 0;
    EXPECT_EQ(input_->FindDevice(9, &id), OM_E_FAIL);
}

TEST_F(DX5InputDeviceTest, EnablingPostsANotificationAndDisablingTwiceFails) {
    make_input();
    uint16_t keyboard = enable(kInputKindKeyboard);
    EXPECT_EQ(poll(),
              (std::vector<InputEvent>{{kInputSourceEnabled, keyboard, 0, kInputNotifyKeyboard}}));
    enabled_.clear();
    ASSERT_EQ(input_->DisableDevice(keyboard), 0);
    EXPECT_EQ(poll(),
              (std::vector<InputEvent>{{kInputSourceDisabled, keyboard, 0, kInputNotifyKeyboard}}));
    EXPECT_EQ(input_->DisableDevice(keyboard), OM_E_FAIL);
    EXPECT_EQ(input_->DisableDevice(0x103), OM_E_FAIL) << "the ticker was never enabled";
    EXPECT_TRUE(poll().empty()) << "a failed disable posts nothing";
    uint16_t id = 0;
    ASSERT_EQ(input_->FindDevice(kInputKindJoystick, &id), 0);
    EXPECT_EQ(input_->EnableDevice(id), OM_E_FAIL) << "no joystick is attached";
}

TEST_F(DX5InputDeviceTest, KeysArriveByScanCodeWithoutRepeats) {
    make_input();
    uint16_t keyboard = enable(kInputKindKeyboard);
    poll();
    struct Row {
        SDL_Scancode key;
        uint32_t code;
    };
    const Row rows[] = {
        {SDL_SCANCODE_A, 'a'},         {SDL_SCANCODE_1, '1'},          {SDL_SCANCODE_SPACE, ' '},
        {SDL_SCANCODE_ESCAPE, 0x80},   {SDL_SCANCODE_F12, 0x8C},       {SDL_SCANCODE_UP, 0x93},
        {SDL_SCANCODE_RCTRL, 0xAF},    {SDL_SCANCODE_KP_0, 0x97},      {SDL_SCANCODE_KP_4, 0x9F},
        {SDL_SCANCODE_KP_ENTER, 0xA6}, {SDL_SCANCODE_KP_DIVIDE, 0xA2}, {SDL_SCANCODE_LGUI, 255},
    };
    for (const Row& r : rows) {
        push_key(r.key, true);
        push_key(r.key, true, true); // a typematic repeat
        push_key(r.key, false);
        std::vector<InputEvent> expected = {{keyboard, kInputKeyPressed, 0, r.code},
                                            {keyboard, kInputKeyReleased, 0, r.code}};
        EXPECT_EQ(poll(), expected) << r.key;
    }
}

TEST_F(DX5InputDeviceTest, MouseMotionWheelAndButtonsArriveInOrder) {
    make_input();
    uint16_t mouse = enable(kInputKindMouse);
    poll();
    push_motion(5, -3);
    push_wheel(1);
    push_wheel(-2);
    push_button(SDL_BUTTON_LEFT, true);
    push_button(SDL_BUTTON_LEFT, false);
    push_button(SDL_BUTTON_RIGHT, true);
    push_button(SDL_BUTTON_MIDDLE, true);
    push_button(SDL_BUTTON_X1, true);
    push_button(SDL_BUTTON_X2, true); // a fifth button the mouse does not report
    std::vector<InputEvent> expected = {
        {mouse, kInputMouseX, 0, 5u},
        {mouse, kInputMouseY, 0, uint32_t(-3)},
        {mouse, kInputMouseWheel, 0, 120u},
        {mouse, kInputMouseWheel, 0, uint32_t(-240)},
        {mouse, kInputMouseButton1, 0, kInputMousePressed},
        {mouse, kInputMouseButton1, 0, kInputMouseReleased},
        {mouse, kInputMouseButton2, 0, kInputMousePressed},
        {mouse, kInputMouseButton3, 0, kInputMousePressed},
        {mouse, kInputMouseButton4, 0, kInputMousePressed},
    };
    EXPECT_EQ(poll(), expected);
}

TEST_F(DX5InputDeviceTest, AMouseFoundExclusiveStaysExclusive) {
    make_input();
    uint16_t id = 0;
    ASSERT_EQ(input_->FindDevice(kInputKindMouse, &id), 0);
    id = 0;
    ASSERT_EQ(input_->FindDevice(kInputKindSharedMouse, &id), 0);
    enable(kInputKindSharedMouse);
    // A second exclusive user of the mouse is turned away while the driver holds it.
    platform::IDirectInput7* di = nullptr;
    ASSERT_EQ(platform::DirectInputCreateEx(nullptr, platform::DIRECTINPUT_VERSION_700,
                                            platform::IID_IDirectInput7,
                                            reinterpret_cast<void**>(&di), nullptr),
              0);
    platform::IDirectInputDevice7* other = nullptr;
    ASSERT_EQ(di->CreateDevice(platform::GUID_SysMouse, &other, nullptr), 0);
    other->SetDataFormat(&platform::c_dfDIMouse);
    other->SetCooperativeLevel(window_, platform::DISCL_EXCLUSIVE | platform::DISCL_BACKGROUND);
    EXPECT_EQ(other->Acquire(), platform::DIERR_OTHERAPPHASPRIO);
    other->Release();
    di->Release();
}

TEST_F(DX5InputDeviceTest, TheTickerPostsOneTickPer10MsAndCarriesTheRest) {
    testsupport::VirtualClockScope clock(1000);
    make_input();
    uint16_t ticker = enable(kInputKindTicker);
    platform::advance_virtual_clock(35);
    InputEvent tick{ticker, kInputTick, 0, 10};
    EXPECT_EQ(poll(), (std::vector<InputEvent>{tick, tick, tick}));
    platform::advance_virtual_clock(5);
    EXPECT_EQ(poll(), (std::vector<InputEvent>{tick})) << "the 5 ms carried over";
    EXPECT_TRUE(poll().empty());
}

TEST_F(DX5InputDeviceTest, AVirtualJoystickReachesInputWithConvertedValues) {
    attach_joystick();
    make_input();
    uint16_t joystick = enable(kInputKindJoystick);
    EXPECT_EQ(joystick, 0x104);
    poll();
    SDL_JoystickSetVirtualAxis(virtual_stick_, 0, 32767);
    SDL_JoystickSetVirtualAxis(virtual_stick_, 1, -32768);
    SDL_JoystickSetVirtualAxis(virtual_stick_, 3, 32767);
    SDL_JoystickSetVirtualHat(virtual_stick_, 0, SDL_HAT_RIGHT);
    SDL_JoystickSetVirtualButton(virtual_stick_, 3, SDL_PRESSED);
    std::vector<InputEvent> got = poll();
    auto value_of = [&](uint16_t code) -> const InputEvent* {
        for (const InputEvent& e : got)
            if (e.code == code) return &e;
        return nullptr;
    };
    ASSERT_TRUE(value_of(kInputJoystickX));
    EXPECT_FLOAT_EQ(std::bit_cast<float>(value_of(kInputJoystickX)->value), 1.0f);
    ASSERT_TRUE(value_of(kInputJoystickY));
    EXPECT_FLOAT_EQ(std::bit_cast<float>(value_of(kInputJoystickY)->value), -1.0f);
    ASSERT_TRUE(value_of(kInputJoystickSlider));
    EXPECT_FLOAT_EQ(std::bit_cast<float>(value_of(kInputJoystickSlider)->value), 1.0f);
    ASSERT_TRUE(value_of(kInputJoystickHat));
    EXPECT_EQ(value_of(kInputJoystickHat)->value, 9000u);
    ASSERT_TRUE(value_of(kInputJoystickButton1 + 3));
    EXPECT_EQ(value_of(kInputJoystickButton1 + 3)->value, kInputJoystickPressed);
    for (const InputEvent& e : got) EXPECT_EQ(e.source, joystick);

    SDL_JoystickSetVirtualHat(virtual_stick_, 0, SDL_HAT_CENTERED);
    EXPECT_EQ(poll(), (std::vector<InputEvent>{{joystick, kInputJoystickHat, 0, 0xFFFFFFFFu}}));
    SDL_JoystickSetVirtualButton(virtual_stick_, 3, SDL_RELEASED);
    EXPECT_EQ(poll(), (std::vector<InputEvent>{{joystick, uint16_t(kInputJoystickButton1 + 3), 0,
                                                kInputJoystickReleased}}));
}

TEST_F(DX5InputDeviceTest, FocusLossSuppressesInputAndFocusBringsItBack) {
    make_input();
    uint16_t keyboard = enable(kInputKindKeyboard);
    poll();
    platform::force_input_focus(false);
    push_key(SDL_SCANCODE_B, true);
    EXPECT_TRUE(poll().empty()) << "input lost";
    push_key(SDL_SCANCODE_B, false);
    EXPECT_TRUE(poll().empty()) << "not acquired, and acquiring fails";
    platform::force_input_focus(true);
    EXPECT_TRUE(poll().empty()) << "this poll acquires again";
    push_key(SDL_SCANCODE_C, true);
    EXPECT_EQ(poll(), (std::vector<InputEvent>{{keyboard, kInputKeyPressed, 0, 'c'}}));
}

TEST_F(DX5InputDeviceTest, EnablingWithoutFocusWaitsForIt) {
    make_input();
    platform::force_input_focus(false);
    uint16_t keyboard = enable(kInputKindKeyboard);
    poll();
    push_key(SDL_SCANCODE_D, true);
    EXPECT_TRUE(poll().empty());
    platform::force_input_focus(true);
    poll();
    push_key(SDL_SCANCODE_D, false);
    EXPECT_EQ(poll(), (std::vector<InputEvent>{{keyboard, kInputKeyReleased, 0, 'd'}}));
}

TEST_F(DX5InputDeviceTest, TheWindowPumpAndInputNeverTakeEachOthersEvents) {
    make_input();
    uint16_t keyboard = enable(kInputKindKeyboard);
    poll();
    auto take_messages = [] {
        std::vector<uint32_t> out;
        Msg m;
        while (platform::peek_message(&m, true))
            if (m.message == WM_KEYDOWN || m.message == WM_KEYUP) out.push_back(m.message);
        return out;
    };
    push_key(SDL_SCANCODE_E, true);
    EXPECT_EQ(take_messages(), std::vector<uint32_t>{WM_KEYDOWN}) << "the pump drains first";
    push_key(SDL_SCANCODE_E, false);
    std::vector<InputEvent> expected = {{keyboard, kInputKeyPressed, 0, 'e'},
                                        {keyboard, kInputKeyReleased, 0, 'e'}};
    EXPECT_EQ(poll(), expected) << "input drains second and still has both";
    EXPECT_EQ(take_messages(), std::vector<uint32_t>{WM_KEYUP});
}

TEST(KeyCodes, ScanCodesOutsideTheTableGive255) {
    struct Row {
        uint32_t scan;
        uint8_t code;
    };
    for (Row r : {Row{0x00, 255}, Row{0x1E, 'a'}, Row{0x37, 0xA3}, Row{0x4A, 0xA4}, Row{0x4E, 0xA5},
                  Row{0x53, 0x98}, Row{0x90, '`'}, Row{0x93, '_'}, Row{0xDD, 255}, Row{0xDE, 255},
                  Row{0x1000, 255}})
        EXPECT_EQ(InputKeyCodeOfScanCode(r.scan), r.code) << r.scan;
}

} // namespace
