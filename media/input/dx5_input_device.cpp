// DX5InputDevice: opens the keyboard, mouse and first joystick of the platform's input layer,
// reads their buffered data once per poll and posts it to Input as events, with a 10 ms ticker
// from the millisecond clock.
#include "media/input/dx5_input_device.h"

#include "framework/core/object_manager.h"
#include "framework/core/static_state.h"
#include "framework/platform/os_service.h"
#include "media/input/key_codes.h"
#include "platform/clock.h"
#include "platform/input/dinput.h"
#include "platform/window/window.h"

#include <bit>
#include <cstring>

namespace {

namespace di = platform;

const GUID* const driver_categories[] = {&CATID_InputDeviceDriver, nullptr};

// value = raw x scale - offset.
struct AxisConversion {
    float offset;
    float scale;
};

int32_t open_first_joystick_callback(const di::DIDEVICEINSTANCE* device, void* context) {
    *static_cast<di::GUID*>(context) = device->guidInstance;
    return di::DIENUM_STOP;
}

class DX5InputDevice final : public OmObject<DX5InputDevice, IInputDevice> {
public:
    static DX5InputDevice* instance;

    static OmResult Create(IUnknown* outer, IUnknown** out) {
        return OmCreateSingleton(instance, outer, out);
    }

    ~DX5InputDevice() {
        if (instance == this) instance = nullptr;
        close_devices();
        if (direct_input_) direct_input_->Release();
        if (os_acquired_) OmOSServiceRelease();
        // Enabled devices hold Input; nothing else is left to release it.
        while (input_users_ > 0) drop_input();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IInputDevice, this}});
    }

    OmResult SetDeviceNumber(uint8_t number) override {
        id_base_ = uint16_t(number << 8);
        if (direct_input_) return OM_S_OK;
        if (!os_acquired_) {
            OmResult r = OmOSServiceAcquire();
            if (r < 0) return r;
            os_acquired_ = true;
        }
        void* program = OmOSServiceGetShared() ? OmOSServiceGetShared()->GetInstance() : nullptr;
        int32_t r =
            di::DirectInputCreateEx(program, di::DIRECTINPUT_VERSION_700, di::IID_IDirectInput7,
                                    reinterpret_cast<void**>(&direct_input_), nullptr);
        if (r < 0) {
            direct_input_ = nullptr;
            OmOSServiceRelease();
            os_acquired_ = false;
            return r;
        }
        return OM_S_OK;
    }

    OmResult EnumerateDevices(uint16_t* index, uint16_t* kind) override {
        if (!index || !kind) return OM_E_FAIL;
        switch (*index) {
        case 0:
            if (open_keyboard() < 0) break;
            *index = kDX5Keyboard;
            *kind = kInputKindKeyboard;
            return OM_S_OK;
        case kDX5Keyboard:
            if (open_mouse(true) < 0) break;
            *index = kDX5Mouse;
            *kind = kInputKindMouse;
            return OM_S_OK;
        case kDX5Mouse:
            *index = kDX5Ticker;
            *kind = kInputKindTicker;
            return OM_S_OK;
        default: break;
        }
        *index = 0;
        *kind = 0;
        return OM_E_FAIL;
    }

    OmResult FindDevice(uint16_t kind, uint16_t* index) override {
        if (!index) return OM_E_FAIL;
        if (*index == 0) {
            switch (kind) {
            case kInputKindKeyboard:
                if (open_keyboard() < 0) break;
                *index = kDX5Keyboard;
                return OM_S_OK;
            case kInputKindMouse:
            case kInputKindSharedMouse:
                if (open_mouse(kind == kInputKindMouse) < 0) break;
                *index = kDX5Mouse;
                return OM_S_OK;
            case kInputKindTicker: *index = kDX5Ticker; return OM_S_OK;
            case kInputKindJoystick:
                // No joystick attached is not a failure here; enabling it fails later.
                if (open_joystick() < 0) break;
                *index = kDX5Joystick;
                return OM_S_OK;
            default: break;
            }
        }
        *index = 0;
        return OM_E_FAIL;
    }

    OmResult EnableDevice(uint32_t index) override {
        switch (index) {
        case kDX5Keyboard:
            return enable_buffered(keyboard_, keyboard_enabled_, kInputNotifyKeyboard);
        case kDX5Mouse: return enable_buffered(mouse_, mouse_enabled_, kInputNotifyMouse);
        case kDX5Ticker:
            if (ticker_enabled_) return OM_S_OK;
            // The ticker posts too, so it holds Input like the devices do.
            if (take_input() < 0) return OM_E_FAIL;
            ticker_time_ = platform::timeGetTime();
            ticker_enabled_ = true;
            return OM_S_OK;
        case kDX5Joystick: return enable_joystick();
        default: return OM_E_FAIL;
        }
    }

    OmResult DisableDevice(uint32_t index) override {
        switch (index) {
        case kDX5Keyboard:
            return disable_buffered(keyboard_, keyboard_enabled_, kInputNotifyKeyboard);
        case kDX5Mouse: return disable_buffered(mouse_, mouse_enabled_, kInputNotifyMouse);
        case kDX5Ticker:
            if (!ticker_enabled_) return OM_E_FAIL;
            ticker_enabled_ = false;
            drop_input();
            return OM_S_OK;
        case kDX5Joystick:
            return disable_buffered(joystick_, joystick_enabled_, kInputNotifyJoystick);
        default: return OM_E_FAIL;
        }
    }

    OmResult Poll() override {
        if (mouse_enabled_) poll_mouse();
        if (keyboard_enabled_) poll_keyboard();
        if (ticker_enabled_) poll_ticker();
        if (joystick_enabled_) poll_joystick();
        return OM_S_OK;
    }

private:
    platform::Window* game_window() const {
        IOmWindow* service = OmOSServiceGetShared();
        return service ? service->GetHandle() : nullptr;
    }

    // Sets a device up for buffered reading; any failed step releases it.
    OmResult configure(di::IDirectInputDevice7*& device, const di::DIDATAFORMAT& format,
                       uint32_t level) {
        di::DIPROPDWORD buffer{
            {sizeof(di::DIPROPDWORD), sizeof(di::DIPROPHEADER), 0, di::DIPH_DEVICE},
            kDX5DeviceBufferSize};
        if (device->SetDataFormat(&format) < 0 ||
            device->SetCooperativeLevel(game_window(), level) < 0 ||
            device->SetProperty(di::DIPROP_BUFFERSIZE, &buffer.diph) < 0) {
            device->Release();
            device = nullptr;
            return OM_E_FAIL;
        }
        return OM_S_OK;
    }

    OmResult open_keyboard() {
        if (keyboard_) return OM_S_OK;
        if (!direct_input_ ||
            direct_input_->CreateDevice(di::GUID_SysKeyboard, &keyboard_, nullptr) < 0) {
            keyboard_ = nullptr;
            return OM_E_FAIL;
        }
        return configure(keyboard_, di::c_dfDIKeyboard,
                         di::DISCL_NONEXCLUSIVE | di::DISCL_FOREGROUND);
    }

    // The first opening decides the mouse's mode; it stays open in it.
    OmResult open_mouse(bool exclusive) {
        if (mouse_) return OM_S_OK;
        if (!direct_input_ ||
            direct_input_->CreateDevice(di::GUID_SysMouse, &mouse_, nullptr) < 0) {
            mouse_ = nullptr;
            return OM_E_FAIL;
        }
        uint32_t level =
            (exclusive ? di::DISCL_EXCLUSIVE : di::DISCL_NONEXCLUSIVE) | di::DISCL_FOREGROUND;
        if (configure(mouse_, di::c_dfDIMouse, level) < 0) return OM_E_FAIL;
        platform::show_cursor(false);
        cursor_hidden_ = true;
        return OM_S_OK;
    }

    OmResult open_joystick() {
        if (joystick_) return OM_S_OK;
        if (!direct_input_) return OM_E_FAIL;
        di::GUID first{};
        direct_input_->EnumDevices(di::DIDEVTYPE_JOYSTICK, open_first_joystick_callback, &first,
                                   di::DIEDFL_ATTACHEDONLY);
        if (first == di::GUID{}) return OM_S_OK;
        if (direct_input_->CreateDevice(first, &joystick_, nullptr) < 0) {
            joystick_ = nullptr;
            return OM_E_FAIL;
        }
        return OM_S_OK;
    }

    void close_devices() {
        for (di::IDirectInputDevice7** device : {&keyboard_, &mouse_, &joystick_}) {
            if (!*device) continue;
            (*device)->Unacquire();
            (*device)->Release();
            *device = nullptr;
        }
        if (cursor_hidden_) platform::show_cursor(true);
        cursor_hidden_ = false;
        keyboard_enabled_ = mouse_enabled_ = joystick_enabled_ = ticker_enabled_ = false;
    }

    OmResult take_input() {
        if (input_users_ == 0 && OmCreateInstance(CLSID_Input, nullptr, 0, IID_IInput,
                                                  reinterpret_cast<void**>(&input_)) < 0) {
            input_ = nullptr;
            return OM_E_FAIL;
        }
        ++input_users_;
        return OM_S_OK;
    }

    void drop_input() {
        if (input_users_ == 0 || --input_users_ > 0) return;
        IInput* input = input_;
        input_ = nullptr;
        input->Release();
    }

    void post(uint16_t source, uint16_t code, uint32_t value) {
        if (!input_) return;
        InputEvent e{source, code, 0, value};
        input_->PostEvent(&e);
    }

    // Acquiring fails while the window is in the background; the device is enabled all the
    // same and the polls acquire it once the window has focus again.
    static bool acquire_or_wait(di::IDirectInputDevice7* device) {
        int32_t r = device->Acquire();
        return r >= 0 || r == di::DIERR_OTHERAPPHASPRIO;
    }

    OmResult enable_buffered(di::IDirectInputDevice7* device, bool& enabled, uint32_t notify) {
        if (!device) return OM_E_FAIL;
        if (enabled) return OM_S_OK;
        if (!acquire_or_wait(device)) return OM_E_FAIL;
        if (take_input() < 0) {
            device->Unacquire();
            return OM_E_FAIL;
        }
        post(kInputSourceEnabled, uint16_t(id_base_ | device_index(device)), notify);
        enabled = true;
        return OM_S_OK;
    }

    OmResult disable_buffered(di::IDirectInputDevice7* device, bool& enabled, uint32_t notify) {
        if (!device || !enabled) return OM_E_FAIL;
        device->Unacquire();
        post(kInputSourceDisabled, uint16_t(id_base_ | device_index(device)), notify);
        enabled = false;
        drop_input();
        return OM_S_OK;
    }

    uint16_t device_index(di::IDirectInputDevice7* device) const {
        if (device == keyboard_) return kDX5Keyboard;
        if (device == mouse_) return kDX5Mouse;
        return kDX5Joystick;
    }

    struct AxisSetup {
        DX5InputDevice* self;
        di::IDirectInputDevice7* device;
    };

    static int32_t axis_callback(const di::DIDEVICEOBJECTINSTANCE* object, void* context) {
        auto* setup = static_cast<AxisSetup*>(context);
        di::DIPROPRANGE range{
            {sizeof(di::DIPROPRANGE), sizeof(di::DIPROPHEADER), object->dwOfs, di::DIPH_BYOFFSET},
            0,
            0};
        if (setup->device->GetProperty(di::DIPROP_RANGE, &range.diph) < 0 ||
            range.lMax <= range.lMin)
            return di::DIENUM_CONTINUE;
        float span = float(range.lMax) - float(range.lMin);
        if (object->guidType == di::GUID_Slider) {
            float scale = 1.0f / span;
            setup->self->slider_ = {float(range.lMin) * scale, scale};
            return di::DIENUM_CONTINUE;
        }
        AxisConversion* axis = nullptr;
        if (object->guidType == di::GUID_XAxis) axis = &setup->self->x_;
        if (object->guidType == di::GUID_YAxis) axis = &setup->self->y_;
        if (object->guidType == di::GUID_ZAxis) axis = &setup->self->z_;
        if (axis) {
            float scale = 2.0f / span;
            *axis = {(float(range.lMin) + float(range.lMax)) * scale / 2.0f, scale};
        }
        return di::DIENUM_CONTINUE;
    }

    OmResult enable_joystick() {
        if (!joystick_) return OM_E_FAIL;
        if (joystick_enabled_) return OM_S_OK;
        if (configure(joystick_, di::c_dfDIJoystick,
                      di::DISCL_NONEXCLUSIVE | di::DISCL_FOREGROUND) < 0)
            return OM_E_FAIL;
        x_ = y_ = z_ = slider_ = AxisConversion{};
        AxisSetup setup{this, joystick_};
        joystick_->EnumObjects(axis_callback, &setup, di::DIDFT_AXIS);
        return enable_buffered(joystick_, joystick_enabled_, kInputNotifyJoystick);
    }

    // Reads what the device buffered. When its acquisition was lost it is acquired again and
    // yields nothing this poll; other failures yield nothing.
    uint32_t read(di::IDirectInputDevice7* device) {
        uint32_t count = kDX5ReadBufferEntries;
        int32_t r = device->GetDeviceData(sizeof(di::DIDEVICEOBJECTDATA), read_buffer_, &count, 0);
        if (r == di::DIERR_INPUTLOST || r == di::DIERR_NOTACQUIRED) {
            device->Acquire();
            return 0;
        }
        return r < 0 ? 0 : count;
    }

    void poll_mouse() {
        uint32_t n = read(mouse_);
        uint16_t source = uint16_t(id_base_ + kDX5Mouse);
        for (uint32_t i = 0; i < n; ++i) {
            const di::DIDEVICEOBJECTDATA& d = read_buffer_[i];
            uint32_t state = (d.dwData & 0xFF) ? kInputMousePressed : kInputMouseReleased;
            switch (d.dwOfs) {
            case di::DIMOFS_X: post(source, kInputMouseX, d.dwData); break;
            case di::DIMOFS_Y: post(source, kInputMouseY, d.dwData); break;
            case di::DIMOFS_Z: post(source, kInputMouseWheel, d.dwData); break;
            case di::DIMOFS_BUTTON0: post(source, kInputMouseButton1, state); break;
            case di::DIMOFS_BUTTON0 + 1: post(source, kInputMouseButton2, state); break;
            case di::DIMOFS_BUTTON0 + 2: post(source, kInputMouseButton3, state); break;
            case di::DIMOFS_BUTTON0 + 3: post(source, kInputMouseButton4, state); break;
            default: break;
            }
        }
    }

    void poll_keyboard() {
        uint32_t n = read(keyboard_);
        uint16_t source = uint16_t(id_base_ + kDX5Keyboard);
        for (uint32_t i = 0; i < n; ++i) {
            const di::DIDEVICEOBJECTDATA& d = read_buffer_[i];
            post(source, (d.dwData & di::DI_PRESSED) ? kInputKeyPressed : kInputKeyReleased,
                 InputKeyCodeOfScanCode(d.dwOfs));
        }
    }

    // One tick per 10 ms elapsed; the remainder carries over to the next poll.
    void poll_ticker() {
        uint32_t now = platform::timeGetTime();
        while (int32_t(now - (ticker_time_ + kInputTickMilliseconds)) >= 0) {
            post(uint16_t(id_base_ + kDX5Ticker), kInputTick, kInputTickMilliseconds);
            ticker_time_ += kInputTickMilliseconds;
        }
    }

    static uint32_t float_bits(float value) { return std::bit_cast<uint32_t>(value); }

    void poll_joystick() {
        joystick_->Poll();
        uint32_t n = read(joystick_);
        uint16_t source = uint16_t(id_base_ + kDX5Joystick);
        for (uint32_t i = 0; i < n; ++i) {
            const di::DIDEVICEOBJECTDATA& d = read_buffer_[i];
            float raw = float(int32_t(d.dwData));
            if (d.dwOfs == di::DIJOFS_X) {
                post(source, kInputJoystickX, float_bits(raw * x_.scale - x_.offset));
            } else if (d.dwOfs == di::DIJOFS_Y) {
                post(source, kInputJoystickY, float_bits(raw * y_.scale - y_.offset));
            } else if (d.dwOfs == di::DIJOFS_Z) {
                post(source, kInputJoystickZ, float_bits(raw * z_.scale - z_.offset));
            } else if (d.dwOfs == di::DIJOFS_SLIDER0 || d.dwOfs == di::DIJOFS_SLIDER1) {
                post(source, kInputJoystickSlider,
                     float_bits(raw * slider_.scale - slider_.offset));
            } else if (d.dwOfs == di::DIJOFS_POV0) {
                post(source, kInputJoystickHat, d.dwData);
            } else if (d.dwOfs >= di::DIJOFS_BUTTON0 &&
                       d.dwOfs < di::DIJOFS_BUTTON0 + di::DIJOY_BUTTONS) {
                post(source, uint16_t(kInputJoystickButton1 + (d.dwOfs - di::DIJOFS_BUTTON0)),
                     (d.dwData & 0xFF) ? kInputJoystickPressed : kInputJoystickReleased);
            }
        }
    }

    uint16_t id_base_ = 0;
    IInput* input_ = nullptr;
    uint32_t input_users_ = 0;
    bool os_acquired_ = false;
    di::IDirectInput7* direct_input_ = nullptr;
    di::IDirectInputDevice7* keyboard_ = nullptr;
    di::IDirectInputDevice7* mouse_ = nullptr;
    di::IDirectInputDevice7* joystick_ = nullptr;
    bool cursor_hidden_ = false;
    uint32_t ticker_time_ = 0;
    bool keyboard_enabled_ = false;
    bool mouse_enabled_ = false;
    bool ticker_enabled_ = false;
    bool joystick_enabled_ = false;
    AxisConversion x_{}, y_{}, z_{}, slider_{};
    di::DIDEVICEOBJECTDATA read_buffer_[kDX5ReadBufferEntries];
};

DX5InputDevice* DX5InputDevice::instance = nullptr;

const OmStaticStateReset reset_instance([] { DX5InputDevice::instance = nullptr; });

const OmClassRecord classes[] = {
    {&CLSID_DX5InputDevice, driver_categories, nullptr, DX5InputDevice::Create, "DX5InputDevice"},
};

} // namespace

OM_DEFINE_MODULE(DX5InputDevice, classes)
