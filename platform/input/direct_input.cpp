// The input object: enumerates the keyboard, the mouse and the attached joysticks and makes
// their devices.
#include "platform/input/dinput.h"

#include "platform/input/input_device.h"
#include "platform/window/event_hub.h"

#include <SDL.h>
#include <cstring>
#include <new>

namespace platform {
namespace {

constexpr GUID input_guid(uint32_t n) {
    return GUID{0xF5EE7600u + n, 0x061F, 0x4996, {0xAC, 0xC9, 0x55, 0xE1, 0x90, 0x19, 0x75, 0xC7}};
}

} // namespace

const GUID IID_IDirectInput7 = input_guid(1);
const GUID IID_IDirectInputDevice7 = input_guid(2);
const GUID GUID_SysKeyboard = input_guid(3);
const GUID GUID_SysMouse = input_guid(4);
const GUID GUID_XAxis = input_guid(5);
const GUID GUID_YAxis = input_guid(6);
const GUID GUID_ZAxis = input_guid(7);
const GUID GUID_Slider = input_guid(8);
const GUID GUID_Button = input_guid(9);
const GUID GUID_POV = input_guid(10);
const GUID GUID_Key = input_guid(11);

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), DIFormatKind::keyboard, 256};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), DIFormatKind::mouse, 16};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), DIFormatKind::joystick,
                                     sizeof(DIJOYSTATE)};

namespace {

void fill_instance(DIDEVICEINSTANCE* d, const GUID& instance, const GUID& product, uint32_t type,
                   const char* name) {
    *d = DIDEVICEINSTANCE{};
    d->dwSize = sizeof *d;
    d->guidInstance = instance;
    d->guidProduct = product;
    d->dwDevType = type;
    std::strncpy(d->tszInstanceName, name, sizeof d->tszInstanceName - 1);
    std::strncpy(d->tszProductName, name, sizeof d->tszProductName - 1);
}

// SDL's device index of an attached joystick, or -1.
int joystick_device_index(int32_t sdl_instance_id) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == sdl_instance_id) return i;
    return -1;
}

class DirectInput final : public IDirectInput7 {
public:
    DirectInput() {
        // Foreground rules are this layer's own (they follow the cooperative window), so SDL
        // must not drop joystick events while no SDL window has the keyboard focus.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        joysticks_ = acquire_sdl(SDL_INIT_JOYSTICK);
    }
    ~DirectInput() {
        if (joysticks_) release_sdl(SDL_INIT_JOYSTICK);
    }

    int32_t QueryInterface(const GUID& iid, void** out) override {
        return query_single<IDirectInput7>(this, IID_IDirectInput7, iid, out);
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }

    int32_t EnumDevices(uint32_t device_type, DIENUMDEVICESCALLBACK callback, void* context,
                        uint32_t) override {
        if (!callback) return DIERR_INVALIDPARAM;
        DIDEVICEINSTANCE d;
        if (device_type == DIDEVTYPE_ALL || device_type == DIDEVTYPE_KEYBOARD) {
            fill_instance(&d, GUID_SysKeyboard, GUID_SysKeyboard, DIDEVTYPE_KEYBOARD, "Keyboard");
            if (callback(&d, context) == DIENUM_STOP) return DI_OK;
        }
        if (device_type == DIDEVTYPE_ALL || device_type == DIDEVTYPE_MOUSE) {
            fill_instance(&d, GUID_SysMouse, GUID_SysMouse, DIDEVTYPE_MOUSE, "Mouse");
            if (callback(&d, context) == DIENUM_STOP) return DI_OK;
        }
        if (!joysticks_ || (device_type != DIDEVTYPE_ALL && device_type != DIDEVTYPE_JOYSTICK))
            return DI_OK;
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            const char* name = SDL_JoystickNameForIndex(i);
            fill_instance(&d, joystick_instance_guid(SDL_JoystickGetDeviceInstanceID(i)),
                          GUID_JoystickProduct, DIDEVTYPE_JOYSTICK, name ? name : "Joystick");
            if (callback(&d, context) == DIENUM_STOP) return DI_OK;
        }
        return DI_OK;
    }

    int32_t CreateDevice(const GUID& instance, IDirectInputDevice7** out,
                         IUnknown* outer) override {
        if (!out) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer) return DIERR_INVALIDPARAM;
        if (instance == GUID_SysKeyboard)
            return create_system_input_device(InputDevice::keyboard, out);
        if (instance == GUID_SysMouse) return create_system_input_device(InputDevice::mouse, out);
        int32_t id;
        if (!joysticks_ || !sdl_instance_of_joystick_guid(instance, &id)) return DIERR_DEVICENOTREG;
        int index = joystick_device_index(id);
        if (index < 0) return DIERR_DEVICENOTREG;
        return create_joystick_input_device(index, out);
    }

    int32_t GetDeviceStatus(const GUID& instance) override {
        if (instance == GUID_SysKeyboard || instance == GUID_SysMouse) return DI_OK;
        int32_t id;
        if (joysticks_ && sdl_instance_of_joystick_guid(instance, &id) &&
            joystick_device_index(id) >= 0)
            return DI_OK;
        return DI_NOTATTACHED;
    }

private:
    RefCounted refs_;
    bool joysticks_ = false;
};

} // namespace

int32_t DirectInputCreateEx(void*, uint32_t version, const GUID& iid, void** out, IUnknown* outer) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_INVALIDPARAM;
    if (version != DIRECTINPUT_VERSION_500 && version != DIRECTINPUT_VERSION_700)
        return DIERR_OLDDIRECTINPUTVERSION;
    if (!(iid == IID_IDirectInput7)) return E_NOINTERFACE;
    auto* object = new (std::nothrow) DirectInput;
    if (!object) return DIERR_OUTOFMEMORY;
    *out = static_cast<IDirectInput7*>(object);
    return DI_OK;
}

} // namespace platform
