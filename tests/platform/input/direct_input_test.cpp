// The input-device layer under SDL's dummy video driver: per-device buffers that drop the
// newest events when full, acquisition rules, focus, and joysticks with their ranges.
#include "platform/input/dinput.h"

#include "platform/input/input_focus.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <vector>

namespace {

using namespace platform;

struct DeviceRef {
    IDirectInputDevice7* p = nullptr;
    ~DeviceRef() {
        if (p) p->Release();
    }
    IDirectInputDevice7* operator->() const { return p; }
};

class DirectInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_event_hub();
        window_ = create_window({"Input Layer Test", "input", nullptr, nullptr});
        ASSERT_NE(window_, nullptr);
        ASSERT_EQ(DirectInputCreateEx(nullptr, DIRECTINPUT_VERSION_700, IID_IDirectInput7,
                                      reinterpret_cast<void**>(&di_), nullptr),
                  DI_OK);
    }
    void TearDown() override {
        if (stick_) SDL_JoystickClose(stick_);
        if (virtual_index_ >= 0) SDL_JoystickDetachVirtual(virtual_index_);
        if (joysticks_) release_sdl(SDL_INIT_JOYSTICK);
        di_->Release();
        clear_forced_input_focus();
        destroy_window(window_);
        reset_event_hub();
    }

    // A keyboard with the given buffer size at the given cooperative level.
    void open_keyboard(DeviceRef& device, uint32_t buffer,
                       uint32_t level = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND) {
        ASSERT_EQ(di_->CreateDevice(GUID_SysKeyboard, &device.p, nullptr), DI_OK);
        ASSERT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DI_OK);
        ASSERT_EQ(device->SetCooperativeLevel(window_, level), DI_OK);
        set_buffer(device, buffer);
    }
    static void set_buffer(DeviceRef& device, uint32_t size) {
        DIPROPDWORD p{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, size};
        ASSERT_EQ(device->SetProperty(DIPROP_BUFFERSIZE, &p.diph), DI_OK);
    }
    void push_key(SDL_Scancode code, bool down) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.keysym.scancode = code;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }
    static std::vector<DIDEVICEOBJECTDATA> read(DeviceRef& device, int32_t* result,
                                                uint32_t max = 64, uint32_t flags = 0) {
        std::vector<DIDEVICEOBJECTDATA> out(max);
        uint32_t n = max;
        *result = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), out.data(), &n, flags);
        out.resize(n);
        return out;
    }

    IDirectInput7* di_ = nullptr;
    Window* window_ = nullptr;
    bool joysticks_ = false;
    int virtual_index_ = -1;
    SDL_Joystick* stick_ = nullptr;
};

TEST_F(DirectInputTest, AFullBufferDropsTheNewestAndSaysSoOnce) {
    DeviceRef keyboard;
    open_keyboard(keyboard, 4);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    const SDL_Scancode keys[] = {SDL_SCANCODE_A, SDL_SCANCODE_S, SDL_SCANCODE_D};
    for (SDL_Scancode k : keys) {
        push_key(k, true);
        push_key(k, false);
    }
    int32_t r;
    auto got = read(keyboard, &r);
    EXPECT_EQ(r, DI_BUFFEROVERFLOW);
    ASSERT_EQ(got.size(), 4u);
    const uint32_t offsets[] = {0x1E, 0x1E, 0x1F, 0x1F};
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].dwOfs, offsets[i]) << i;
        EXPECT_EQ(got[i].dwData, i % 2 == 0 ? DI_PRESSED : 0u) << i;
        if (i) {
            EXPECT_GT(got[i].dwSequence, got[i - 1].dwSequence);
        }
    }
    EXPECT_TRUE(read(keyboard, &r).empty());
    EXPECT_EQ(r, DI_OK);
}

TEST_F(DirectInputTest, TwoDevicesOverTheKeyboardEachSeeEveryEvent) {
    DeviceRef first, second;
    open_keyboard(first, 16);
    open_keyboard(second, 16);
    ASSERT_EQ(first->Acquire(), DI_OK);
    push_key(SDL_SCANCODE_Q, true);
    ASSERT_EQ(second->Acquire(), DI_OK);
    push_key(SDL_SCANCODE_Q, false);
    int32_t r;
    EXPECT_EQ(read(second, &r).size(), 1u) << "only what came after it was acquired";
    EXPECT_EQ(read(first, &r).size(), 2u);
    ASSERT_EQ(first->Unacquire(), DI_OK);
    push_key(SDL_SCANCODE_W, true);
    EXPECT_EQ(read(second, &r).size(), 1u);
    EXPECT_EQ(read(first, &r).size(), 0u);
    EXPECT_EQ(r, DIERR_NOTACQUIRED);
}

TEST_F(DirectInputTest, PeekingKeepsEventsAndANullBufferDiscardsThem) {
    DeviceRef keyboard;
    open_keyboard(keyboard, 16);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    push_key(SDL_SCANCODE_Z, true);
    push_key(SDL_SCANCODE_Z, false);
    int32_t r;
    EXPECT_EQ(read(keyboard, &r, 64, DIGDD_PEEK).size(), 2u);
    uint32_t n = 1;
    EXPECT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), nullptr, &n, 0), DI_OK);
    EXPECT_EQ(n, 1u);
    auto rest = read(keyboard, &r);
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].dwData, 0u);
}

TEST_F(DirectInputTest, MisuseIsRefusedWithTheDeviceUnchanged) {
    DeviceRef keyboard;
    ASSERT_EQ(di_->CreateDevice(GUID_SysKeyboard, &keyboard.p, nullptr), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM) << "no data format";
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window_, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE |
                                                         DISCL_BACKGROUND),
              DIERR_INVALIDPARAM);
    ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
    uint32_t n = 8;
    DIDEVICEOBJECTDATA data[8];
    EXPECT_EQ(keyboard->GetDeviceData(sizeof data[0], data, &n, 0), DIERR_NOTBUFFERED);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->SetCooperativeLevel(window_, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND),
              DIERR_ACQUIRED);
    DIPROPDWORD p{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, 8};
    EXPECT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &p.diph), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);

    IDirectInputDevice7* none = nullptr;
    EXPECT_EQ(di_->CreateDevice(GUID_XAxis, &none, nullptr), DIERR_DEVICENOTREG);
    void* old = nullptr;
    EXPECT_EQ(DirectInputCreateEx(nullptr, 0x0300, IID_IDirectInput7, &old, nullptr),
              DIERR_OLDDIRECTINPUTVERSION);
}

TEST_F(DirectInputTest, AForegroundDeviceNeedsFocusAndLosesItsAcquisitionWithIt) {
    DeviceRef keyboard;
    open_keyboard(keyboard, 16, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    force_input_focus(false);
    EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
    force_input_focus(true);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    push_key(SDL_SCANCODE_X, true);
    force_input_focus(false);
    int32_t r;
    EXPECT_TRUE(read(keyboard, &r).empty());
    EXPECT_EQ(r, DIERR_INPUTLOST);
    read(keyboard, &r);
    EXPECT_EQ(r, DIERR_NOTACQUIRED);
    force_input_focus(true);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_TRUE(read(keyboard, &r).empty()) << "what came while lost is gone";
    uint8_t state[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof state, state), DI_OK);
    EXPECT_EQ(state[0x2D], DI_PRESSED) << "the state still knows the key is down";
    EXPECT_EQ(keyboard->GetDeviceState(16, state), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, JoysticksReportTheirAxesRangesAndState) {
    ASSERT_TRUE(joysticks_ = acquire_sdl(SDL_INIT_JOYSTICK));
    virtual_index_ = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 6, 2, 1);
    ASSERT_GE(virtual_index_, 0) << SDL_GetError();
    stick_ = SDL_JoystickOpen(virtual_index_);
    ASSERT_NE(stick_, nullptr);

    std::vector<DIDEVICEINSTANCE> found;
    di_->EnumDevices(
        DIDEVTYPE_JOYSTICK,
        [](const DIDEVICEINSTANCE* d, void* context) {
            static_cast<std::vector<DIDEVICEINSTANCE>*>(context)->push_back(*d);
            return DIENUM_CONTINUE;
        },
        &found, DIEDFL_ATTACHEDONLY);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].dwDevType, DIDEVTYPE_JOYSTICK);
    EXPECT_EQ(di_->GetDeviceStatus(found[0].guidInstance), DI_OK);

    DeviceRef joystick;
    ASSERT_EQ(di_->CreateDevice(found[0].guidInstance, &joystick.p, nullptr), DI_OK);
    std::vector<uint32_t> axes;
    joystick->EnumObjects(
        [](const DIDEVICEOBJECTINSTANCE* o, void* context) {
            static_cast<std::vector<uint32_t>*>(context)->push_back(o->dwOfs);
            return DIENUM_CONTINUE;
        },
        &axes, DIDFT_AXIS);
    EXPECT_EQ(axes,
              (std::vector<uint32_t>{DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_SLIDER0, DIJOFS_SLIDER1}))
        << "a sixth axis has no place";

    DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_Y, DIPH_BYOFFSET}, 0, 0};
    ASSERT_EQ(joystick->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    EXPECT_EQ(range.lMin, -32768);
    EXPECT_EQ(range.lMax, 32767);
    range.lMin = 0;
    range.lMax = 1000;
    ASSERT_EQ(joystick->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    range.diph.dwObj = DIJOFS_POV0;
    EXPECT_EQ(joystick->GetProperty(DIPROP_RANGE, &range.diph), DIERR_UNSUPPORTED);

    ASSERT_EQ(joystick->SetDataFormat(&c_dfDIJoystick), DI_OK);
    set_buffer(joystick, 16);
    ASSERT_EQ(joystick->Acquire(), DI_OK);
    SDL_JoystickSetVirtualAxis(stick_, 1, 32767);
    SDL_JoystickSetVirtualHat(stick_, 0, SDL_HAT_LEFTUP);
    int32_t r;
    auto got = read(joystick, &r);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].dwOfs, DIJOFS_Y);
    EXPECT_EQ(got[0].dwData, 1000u) << "scaled to the range set";
    EXPECT_EQ(got[1].dwOfs, DIJOFS_POV0);
    EXPECT_EQ(got[1].dwData, 31500u);

    DIJOYSTATE state{};
    ASSERT_EQ(joystick->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lY, 1000);
    EXPECT_EQ(state.lX, 0) << "an axis at rest is in the middle of its range";
    EXPECT_EQ(state.rgdwPOV[0], 31500u);
    EXPECT_EQ(state.rgdwPOV[1], DIJOY_POV_CENTERED);
}

} // namespace
