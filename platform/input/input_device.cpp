// Keyboard, mouse and joystick devices: data format, cooperative level, acquisition, and a
// buffer of their own filled from the event hub.
#include "platform/input/input_device.h"

#include "platform/input/device_router.h"
#include "platform/input/input_focus.h"
#include "platform/window/event_hub.h"
#include "platform/window/key_map.h"

#include <SDL.h>
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace platform {

const GUID GUID_JoystickProduct = {
    0x8D82DFC8, 0x382D, 0x4248, {0x8C, 0x31, 0x82, 0x3E, 0x3F, 0x14, 0x4C, 0xF9}};

namespace {

// Joystick instance ids: this prefix, then the SDL instance id in the last four bytes.
constexpr GUID joystick_instance_base = {
    0x5C1005BD, 0x4317, 0x44AB, {0xBE, 0xE2, 0xA8, 0x0C, 0, 0, 0, 0}};

// SDL axes 0, 1, 2 are X, Y and Z; the next two are the sliders.
constexpr uint32_t joystick_axis_count = 5;
constexpr uint32_t joystick_axis_offsets[joystick_axis_count] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z,
                                                                 DIJOFS_SLIDER0, DIJOFS_SLIDER1};

int joystick_axis_of_offset(uint32_t offset) {
    for (uint32_t a = 0; a < joystick_axis_count; ++a)
        if (joystick_axis_offsets[a] == offset) return int(a);
    return -1;
}

const char* kind_name(InputDevice kind) {
    switch (kind) {
    case InputDevice::keyboard: return "Keyboard";
    case InputDevice::mouse: return "Mouse";
    default: return "Joystick";
    }
}

DIFormatKind format_kind_of(InputDevice kind) {
    switch (kind) {
    case InputDevice::keyboard: return DIFormatKind::keyboard;
    case InputDevice::mouse: return DIFormatKind::mouse;
    default: return DIFormatKind::joystick;
    }
}

void copy_name(char (&out)[260], const char* name) {
    std::strncpy(out, name, sizeof out - 1);
    out[sizeof out - 1] = '\0';
}

class InputDeviceObject final : public IDirectInputDevice7, public DeviceEventSink {
public:
    InputDeviceObject(InputDevice kind, SDL_Joystick* joystick) : kind_(kind), joystick_(joystick) {
        if (joystick_) {
            instance_id_ = SDL_JoystickInstanceID(joystick_);
            name_ = SDL_JoystickName(joystick_) ? SDL_JoystickName(joystick_) : "Joystick";
        } else {
            name_ = kind_name(kind);
        }
        for (AxisRange& r : ranges_) r = {DIJOY_AXIS_MIN, DIJOY_AXIS_MAX};
    }
    ~InputDeviceObject() {
        Unacquire();
        if (joystick_) {
            SDL_JoystickClose(joystick_);
            release_sdl(SDL_INIT_JOYSTICK);
        }
    }

    int32_t QueryInterface(const GUID& iid, void** out) override {
        return query_single<IDirectInputDevice7>(this, IID_IDirectInputDevice7, iid, out);
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }

    int32_t GetCapabilities(DIDEVCAPS* caps) override {
        if (!caps) return DIERR_INVALIDPARAM;
        *caps = DIDEVCAPS{sizeof(DIDEVCAPS), DIDC_ATTACHED, device_type(), 0, 0, 0};
        switch (kind_) {
        case InputDevice::keyboard: caps->dwButtons = 256; break;
        case InputDevice::mouse:
            caps->dwAxes = 3;
            caps->dwButtons = 4;
            break;
        case InputDevice::joystick:
            caps->dwAxes = std::min<uint32_t>(axes(), joystick_axis_count);
            caps->dwButtons = std::min<uint32_t>(buttons(), DIJOY_BUTTONS);
            caps->dwPOVs = std::min<uint32_t>(hats(), DIJOY_HATS);
            break;
        }
        return DI_OK;
    }

    int32_t EnumObjects(DIENUMDEVICEOBJECTSCALLBACK callback, void* context,
                        uint32_t flags) override {
        if (!callback) return DIERR_INVALIDPARAM;
        auto want = [flags](uint32_t type) { return flags == DIDFT_ALL || (flags & type) != 0; };
        auto report = [&](const GUID& guid, uint32_t offset, uint32_t type, uint32_t n,
                          const std::string& name) {
            DIDEVICEOBJECTINSTANCE o{};
            o.dwSize = sizeof o;
            o.guidType = guid;
            o.dwOfs = offset;
            o.dwType = type | DIDFT_MAKEINSTANCE(n);
            copy_name(o.tszName, name.c_str());
            return callback(&o, context) != DIENUM_STOP;
        };
        switch (kind_) {
        case InputDevice::keyboard:
            if (!want(DIDFT_PSHBUTTON)) return DI_OK;
            for (uint32_t key = 1; key < 256; ++key)
                if (scancode_of_device_key(uint8_t(key)) &&
                    !report(GUID_Key, key, DIDFT_PSHBUTTON, key, "Key " + std::to_string(key)))
                    return DI_OK;
            return DI_OK;
        case InputDevice::mouse: {
            const GUID* axis_guids[] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis};
            if (want(DIDFT_RELAXIS))
                for (uint32_t a = 0; a < 3; ++a)
                    if (!report(*axis_guids[a], a * 4, DIDFT_RELAXIS, a,
                                "Axis " + std::to_string(a)))
                        return DI_OK;
            if (want(DIDFT_PSHBUTTON))
                for (uint32_t b = 0; b < 4; ++b)
                    if (!report(GUID_Button, DIMOFS_BUTTON0 + b, DIDFT_PSHBUTTON, b,
                                "Button " + std::to_string(b)))
                        return DI_OK;
            return DI_OK;
        }
        case InputDevice::joystick: {
            const GUID* axis_guids[] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis, &GUID_Slider,
                                        &GUID_Slider};
            uint32_t n_axes = std::min<uint32_t>(axes(), joystick_axis_count);
            if (want(DIDFT_ABSAXIS))
                for (uint32_t a = 0; a < n_axes; ++a)
                    if (!report(*axis_guids[a], joystick_axis_offsets[a], DIDFT_ABSAXIS, a,
                                "Axis " + std::to_string(a)))
                        return DI_OK;
            if (want(DIDFT_PSHBUTTON))
                for (uint32_t b = 0; b < std::min<uint32_t>(buttons(), DIJOY_BUTTONS); ++b)
                    if (!report(GUID_Button, DIJOFS_BUTTON0 + b, DIDFT_PSHBUTTON, b,
                                "Button " + std::to_string(b)))
                        return DI_OK;
            if (want(DIDFT_POV))
                for (uint32_t h = 0; h < std::min<uint32_t>(hats(), DIJOY_HATS); ++h)
                    if (!report(GUID_POV, DIJOFS_POV0 + 4 * h, DIDFT_POV, h,
                                "Hat " + std::to_string(h)))
                        return DI_OK;
            return DI_OK;
        }
        }
        return DI_OK;
    }

    int32_t GetProperty(uint32_t property, DIPROPHEADER* header) override {
        if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
        if (property == DIPROP_BUFFERSIZE) {
            if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE)
                return DIERR_INVALIDPARAM;
            reinterpret_cast<DIPROPDWORD*>(header)->dwData = buffer_size_;
            return DI_OK;
        }
        if (property == DIPROP_RANGE) {
            int axis = range_axis(header, sizeof(DIPROPRANGE));
            if (axis < 0) return axis == -1 ? DIERR_INVALIDPARAM : DIERR_UNSUPPORTED;
            auto* range = reinterpret_cast<DIPROPRANGE*>(header);
            range->lMin = ranges_[axis].min;
            range->lMax = ranges_[axis].max;
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    int32_t SetProperty(uint32_t property, const DIPROPHEADER* header) override {
        if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        if (property == DIPROP_BUFFERSIZE) {
            if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE)
                return DIERR_INVALIDPARAM;
            uint32_t size = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            try {
                buffer_.clear();
                buffer_.shrink_to_fit();
                buffer_.reserve(size);
            } catch (const std::bad_alloc&) {
                buffer_size_ = 0;
                return DIERR_OUTOFMEMORY;
            }
            buffer_size_ = size;
            return DI_OK;
        }
        if (property == DIPROP_RANGE) {
            int axis = range_axis(header, sizeof(DIPROPRANGE));
            if (axis < 0) return axis == -1 ? DIERR_INVALIDPARAM : DIERR_UNSUPPORTED;
            const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
            if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
            ranges_[axis] = {range->lMin, range->lMax};
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

    int32_t Acquire() override {
        if (acquired_) return DI_NOEFFECT;
        if (!format_set_) return DIERR_INVALIDPARAM;
        if ((level_ & DISCL_FOREGROUND) && !window_has_input_focus(window_))
            return DIERR_OTHERAPPHASPRIO;
        if ((level_ & DISCL_EXCLUSIVE) && !claim_exclusive(kind_, this))
            return DIERR_OTHERAPPHASPRIO;
        buffer_.clear();
        overflowed_ = false;
        lost_ = false;
        acquired_ = true;
        attach_device_sink(kind_, this);
        // An exclusive mouse reports motion without the pointer ever leaving the window.
        if (kind_ == InputDevice::mouse && (level_ & DISCL_EXCLUSIVE) &&
            SDL_WasInit(SDL_INIT_VIDEO))
            SDL_SetRelativeMouseMode(SDL_TRUE);
        return DI_OK;
    }

    int32_t Unacquire() override {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        detach_device_sink(kind_, this);
        if (level_ & DISCL_EXCLUSIVE) {
            release_exclusive(kind_, this);
            if (kind_ == InputDevice::mouse && SDL_WasInit(SDL_INIT_VIDEO))
                SDL_SetRelativeMouseMode(SDL_FALSE);
        }
        buffer_.clear();
        overflowed_ = false;
        return DI_OK;
    }

    int32_t GetDeviceState(uint32_t size, void* data) override {
        if (!data) return DIERR_INVALIDPARAM;
        if (int32_t r = check_readable(); r != DI_OK) return r;
        if (size != format_size()) return DIERR_INVALIDPARAM;
        switch (kind_) {
        case InputDevice::keyboard: keyboard_state(static_cast<uint8_t*>(data)); return DI_OK;
        case InputDevice::joystick: joystick_state(static_cast<DIJOYSTATE*>(data)); return DI_OK;
        default: return DIERR_UNSUPPORTED;
        }
    }

    int32_t GetDeviceData(uint32_t object_size, DIDEVICEOBJECTDATA* data, uint32_t* count,
                          uint32_t flags) override {
        if (!count || object_size != sizeof(DIDEVICEOBJECTDATA)) return DIERR_INVALIDPARAM;
        uint32_t wanted = *count;
        *count = 0;
        if (int32_t r = check_readable(); r != DI_OK) return r;
        if (buffer_size_ == 0) return DIERR_NOTBUFFERED;
        route_device_events(kind_);
        size_t n = std::min<size_t>(wanted, buffer_.size());
        if (data) std::copy_n(buffer_.begin(), n, data);
        if (!(flags & DIGDD_PEEK)) buffer_.erase(buffer_.begin(), buffer_.begin() + n);
        *count = uint32_t(n);
        if (overflowed_) {
            if (!(flags & DIGDD_PEEK)) overflowed_ = false;
            return DI_BUFFEROVERFLOW;
        }
        return DI_OK;
    }

    int32_t SetDataFormat(const DIDATAFORMAT* format) override {
        if (!format || format->kind != format_kind_of(kind_)) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        format_set_ = true;
        return DI_OK;
    }

    int32_t SetEventNotification(void* event) override {
        event_ = event;
        return DI_OK;
    }

    int32_t SetCooperativeLevel(GfxWindow window, uint32_t flags) override {
        bool exclusive = flags & DISCL_EXCLUSIVE, shared = flags & DISCL_NONEXCLUSIVE;
        bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
        if (exclusive == shared || foreground == background) return DIERR_INVALIDPARAM;
        if (foreground && !window) return DIERR_INVALIDPARAM;
        if (acquired_) return DIERR_ACQUIRED;
        window_ = window;
        level_ = flags;
        return DI_OK;
    }

    int32_t GetDeviceInfo(DIDEVICEINSTANCE* info) override {
        if (!info) return DIERR_INVALIDPARAM;
        *info = DIDEVICEINSTANCE{};
        info->dwSize = sizeof *info;
        info->dwDevType = device_type();
        switch (kind_) {
        case InputDevice::keyboard:
            info->guidInstance = info->guidProduct = GUID_SysKeyboard;
            break;
        case InputDevice::mouse: info->guidInstance = info->guidProduct = GUID_SysMouse; break;
        case InputDevice::joystick:
            info->guidInstance = joystick_instance_guid(instance_id_);
            info->guidProduct = GUID_JoystickProduct;
            break;
        }
        copy_name(info->tszInstanceName, name_.c_str());
        copy_name(info->tszProductName, name_.c_str());
        return DI_OK;
    }

    int32_t Poll() override {
        if (int32_t r = check_readable(); r != DI_OK) return r;
        return DI_NOEFFECT;
    }

    void accept(const DeviceEvent& e) override {
        DIDEVICEOBJECTDATA d{0, uint32_t(e.value), e.time, e.sequence};
        if (!translate(e, &d)) return;
        if (buffer_.size() >= buffer_size_) {
            overflowed_ = true; // the newest are the ones lost
            return;
        }
        buffer_.push_back(d);
    }

private:
    struct AxisRange {
        int32_t min, max;
    };

    uint32_t device_type() const {
        switch (kind_) {
        case InputDevice::keyboard: return DIDEVTYPE_KEYBOARD;
        case InputDevice::mouse: return DIDEVTYPE_MOUSE;
        default: return DIDEVTYPE_JOYSTICK;
        }
    }
    uint32_t format_size() const {
        switch (kind_) {
        case InputDevice::keyboard: return c_dfDIKeyboard.dwDataSize;
        case InputDevice::mouse: return c_dfDIMouse.dwDataSize;
        default: return c_dfDIJoystick.dwDataSize;
        }
    }
    uint32_t axes() const {
        return joystick_ ? uint32_t(std::max(0, SDL_JoystickNumAxes(joystick_))) : 0;
    }
    uint32_t buttons() const {
        return joystick_ ? uint32_t(std::max(0, SDL_JoystickNumButtons(joystick_))) : 0;
    }
    uint32_t hats() const {
        return joystick_ ? uint32_t(std::max(0, SDL_JoystickNumHats(joystick_))) : 0;
    }

    // The joystick axis a range property names: its index, -1 for a bad header, -2 for an
    // object without a range.
    int range_axis(const DIPROPHEADER* header, uint32_t size) const {
        if (header->dwSize != size || header->dwHow != DIPH_BYOFFSET) return -1;
        if (kind_ != InputDevice::joystick) return -2;
        int axis = joystick_axis_of_offset(header->dwObj);
        if (axis < 0 || uint32_t(axis) >= axes()) return -2;
        return axis;
    }

    // Reading needs the device acquired and, at the foreground level, its window focused;
    // losing focus takes the acquisition away.
    int32_t check_readable() {
        if (acquired_ && (level_ & DISCL_FOREGROUND) && !window_has_input_focus(window_)) {
            Unacquire();
            lost_ = true;
        }
        if (acquired_) return DI_OK;
        if (lost_) {
            lost_ = false;
            return DIERR_INPUTLOST;
        }
        return DIERR_NOTACQUIRED;
    }

    int32_t scale_axis(int axis, int32_t raw) const {
        const AxisRange& r = ranges_[axis];
        if (r.min == DIJOY_AXIS_MIN && r.max == DIJOY_AXIS_MAX) return raw;
        int64_t span = int64_t(r.max) - r.min;
        return int32_t(r.min + (int64_t(raw) - DIJOY_AXIS_MIN) * span / 65535);
    }

    bool translate(const DeviceEvent& e, DIDEVICEOBJECTDATA* d) const {
        switch (kind_) {
        case InputDevice::keyboard: d->dwOfs = e.part; return e.part < 256;
        case InputDevice::mouse:
            if (e.part == MOUSE_X || e.part == MOUSE_Y || e.part == MOUSE_WHEEL) {
                d->dwOfs = e.part * 4;
                return true;
            }
            if (e.part >= MOUSE_BUTTON0 && e.part < MOUSE_BUTTON0 + 4) {
                d->dwOfs = DIMOFS_BUTTON0 + (e.part - MOUSE_BUTTON0);
                return true;
            }
            return false;
        case InputDevice::joystick:
            if (e.instance != instance_id_) return false;
            if (e.part < JOY_BUTTON0) {
                uint32_t axis = e.part - JOY_AXIS0;
                if (axis >= joystick_axis_count) return false;
                d->dwOfs = joystick_axis_offsets[axis];
                d->dwData = uint32_t(scale_axis(int(axis), e.value));
                return true;
            }
            if (e.part < JOY_HAT0) {
                uint32_t button = e.part - JOY_BUTTON0;
                if (button >= DIJOY_BUTTONS) return false;
                d->dwOfs = DIJOFS_BUTTON0 + button;
                return true;
            }
            if (e.part - JOY_HAT0 >= DIJOY_HATS) return false;
            d->dwOfs = DIJOFS_POV0 + 4 * (e.part - JOY_HAT0);
            d->dwData = pov_of_hat_bits(e.value);
            return true;
        }
        return false;
    }

    void joystick_state(DIJOYSTATE* s) const {
        *s = DIJOYSTATE{};
        int32_t* axis_fields[joystick_axis_count] = {&s->lX, &s->lY, &s->lZ, &s->rglSlider[0],
                                                     &s->rglSlider[1]};
        for (uint32_t a = 0; a < std::min<uint32_t>(axes(), joystick_axis_count); ++a)
            *axis_fields[a] = scale_axis(int(a), SDL_JoystickGetAxis(joystick_, int(a)));
        for (uint32_t h = 0; h < DIJOY_HATS; ++h)
            s->rgdwPOV[h] = h < hats() ? pov_of_hat_bits(SDL_JoystickGetHat(joystick_, int(h)))
                                       : DIJOY_POV_CENTERED;
        for (uint32_t b = 0; b < std::min<uint32_t>(buttons(), DIJOY_BUTTONS); ++b)
            s->rgbButtons[b] = SDL_JoystickGetButton(joystick_, int(b)) ? DI_PRESSED : 0;
    }

    RefCounted refs_;
    InputDevice kind_;
    SDL_Joystick* joystick_ = nullptr;
    int32_t instance_id_ = 0;
    std::string name_;
    bool format_set_ = false;
    uint32_t level_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    GfxWindow window_ = nullptr;
    void* event_ = nullptr;
    bool acquired_ = false;
    bool lost_ = false;
    bool overflowed_ = false;
    uint32_t buffer_size_ = 0;
    std::vector<DIDEVICEOBJECTDATA> buffer_;
    AxisRange ranges_[joystick_axis_count];
};

} // namespace

uint32_t pov_of_hat_bits(int32_t hat_bits) {
    switch (hat_bits) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return DIJOY_POV_CENTERED;
    }
}

GUID joystick_instance_guid(int32_t sdl_instance_id) {
    GUID g = joystick_instance_base;
    uint32_t id = uint32_t(sdl_instance_id);
    for (int i = 0; i < 4; ++i) g.Data4[4 + i] = uint8_t(id >> (8 * i));
    return g;
}

bool sdl_instance_of_joystick_guid(const GUID& instance, int32_t* sdl_instance_id) {
    GUID prefix = instance;
    for (int i = 4; i < 8; ++i) prefix.Data4[i] = 0;
    if (!(prefix == joystick_instance_base)) return false;
    uint32_t id = 0;
    for (int i = 0; i < 4; ++i) id |= uint32_t(instance.Data4[4 + i]) << (8 * i);
    *sdl_instance_id = int32_t(id);
    return true;
}

int32_t create_system_input_device(InputDevice kind, IDirectInputDevice7** out) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = new (std::nothrow) InputDeviceObject(kind, nullptr);
    return *out ? DI_OK : DIERR_OUTOFMEMORY;
}

int32_t create_joystick_input_device(int sdl_device_index, IDirectInputDevice7** out) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (!acquire_sdl(SDL_INIT_JOYSTICK)) return DIERR_DEVICENOTREG;
    SDL_Joystick* joystick = SDL_JoystickOpen(sdl_device_index);
    if (!joystick) {
        release_sdl(SDL_INIT_JOYSTICK);
        return DIERR_DEVICENOTREG;
    }
    *out = new (std::nothrow) InputDeviceObject(InputDevice::joystick, joystick);
    if (!*out) {
        SDL_JoystickClose(joystick);
        release_sdl(SDL_INIT_JOYSTICK);
        return DIERR_OUTOFMEMORY;
    }
    return DI_OK;
}

} // namespace platform
