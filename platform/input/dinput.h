// The input-device layer: keyboard, mouse and joysticks as buffered, acquirable devices in
// the shape the input drivers expect, fed by the window's event hub.
#pragma once

#include "platform/graphics/com_base.h"

#include <cstdint>

namespace platform {

// --- Results ------------------------------------------------------------------------------

inline constexpr int32_t DI_OK = 0;
// GetDeviceData: events were lost because the device's buffer was full (the newest are
// dropped). Acquire/Unacquire: nothing to do.
inline constexpr int32_t DI_BUFFEROVERFLOW = 1;
inline constexpr int32_t DI_NOEFFECT = 1;
// GetDeviceStatus: the device is not attached.
inline constexpr int32_t DI_NOTATTACHED = 1;
inline constexpr int32_t DIERR_INVALIDPARAM = E_INVALIDARG;
inline constexpr int32_t DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr int32_t DIERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr int32_t DIERR_GENERIC = E_FAIL;
// The device was acquired and lost that state (its window went to the background).
inline constexpr int32_t DIERR_INPUTLOST = static_cast<int32_t>(0x8007001Eu);
inline constexpr int32_t DIERR_NOTACQUIRED = static_cast<int32_t>(0x8007000Cu);
// Acquire of a foreground device without window focus, or of a second exclusive device.
inline constexpr int32_t DIERR_OTHERAPPHASPRIO = static_cast<int32_t>(0x80070005u);
// The operation is not allowed while the device is acquired.
inline constexpr int32_t DIERR_ACQUIRED = static_cast<int32_t>(0x800700AAu);
inline constexpr int32_t DIERR_DEVICENOTREG = static_cast<int32_t>(0x80040154u);
inline constexpr int32_t DIERR_NOTINITIALIZED = static_cast<int32_t>(0x80070015u);
// GetDeviceData on a device whose buffer size is 0.
inline constexpr int32_t DIERR_NOTBUFFERED = static_cast<int32_t>(0x80040207u);
inline constexpr int32_t DIERR_OLDDIRECTINPUTVERSION = static_cast<int32_t>(0x8007047Eu);

// The interface versions this layer serves.
inline constexpr uint32_t DIRECTINPUT_VERSION_500 = 0x0500;
inline constexpr uint32_t DIRECTINPUT_VERSION_700 = 0x0700;

// --- Ids ----------------------------------------------------------------------------------

extern const GUID IID_IDirectInput7;
extern const GUID IID_IDirectInputDevice7;
// The system keyboard and mouse (device instance ids for CreateDevice).
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_SysMouse;
// Object kinds reported by EnumObjects.
extern const GUID GUID_XAxis;
extern const GUID GUID_YAxis;
extern const GUID GUID_ZAxis;
extern const GUID GUID_Slider;
extern const GUID GUID_Button;
extern const GUID GUID_POV;
extern const GUID GUID_Key;

// Device types (EnumDevices filter and DIDEVICEINSTANCE::dwDevType low byte).
inline constexpr uint32_t DIDEVTYPE_ALL = 0;
inline constexpr uint32_t DIDEVTYPE_MOUSE = 2;
inline constexpr uint32_t DIDEVTYPE_KEYBOARD = 3;
inline constexpr uint32_t DIDEVTYPE_JOYSTICK = 4;
inline constexpr uint32_t DIEDFL_ALLDEVICES = 0;
inline constexpr uint32_t DIEDFL_ATTACHEDONLY = 1;

inline constexpr int32_t DIENUM_STOP = 0;
inline constexpr int32_t DIENUM_CONTINUE = 1;

// Cooperative levels.
inline constexpr uint32_t DISCL_EXCLUSIVE = 0x01;
inline constexpr uint32_t DISCL_NONEXCLUSIVE = 0x02;
inline constexpr uint32_t DISCL_FOREGROUND = 0x04;
inline constexpr uint32_t DISCL_BACKGROUND = 0x08;

// --- Data formats and object offsets ------------------------------------------------------

enum class DIFormatKind : uint32_t { keyboard = 1, mouse = 2, joystick = 3 };

struct DIDATAFORMAT {
    uint32_t dwSize;
    DIFormatKind kind;
    uint32_t dwDataSize; // bytes of the device state record
};

// The standard formats: a 256-byte key state, the 16-byte mouse state, the 80-byte joystick
// state.
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse;
extern const DIDATAFORMAT c_dfDIJoystick;

// Mouse objects.
inline constexpr uint32_t DIMOFS_X = 0;
inline constexpr uint32_t DIMOFS_Y = 4;
inline constexpr uint32_t DIMOFS_Z = 8;        // the wheel, WHEEL_DELTA (120) per notch
inline constexpr uint32_t DIMOFS_BUTTON0 = 12; // + button 0..3

// Joystick objects.
inline constexpr uint32_t DIJOFS_X = 0;
inline constexpr uint32_t DIJOFS_Y = 4;
inline constexpr uint32_t DIJOFS_Z = 8;
inline constexpr uint32_t DIJOFS_SLIDER0 = 24;
inline constexpr uint32_t DIJOFS_SLIDER1 = 28;
inline constexpr uint32_t DIJOFS_POV0 = 32;    // + 4 per hat, 4 hats
inline constexpr uint32_t DIJOFS_BUTTON0 = 48; // + button 0..31
inline constexpr uint32_t DIJOY_BUTTONS = 32;
inline constexpr uint32_t DIJOY_HATS = 4;
// A centred hat; other positions are hundredths of a degree clockwise from north.
inline constexpr uint32_t DIJOY_POV_CENTERED = 0xFFFFFFFFu;
// Axis range before SetProperty changes it.
inline constexpr int32_t DIJOY_AXIS_MIN = -32768;
inline constexpr int32_t DIJOY_AXIS_MAX = 32767;

struct DIJOYSTATE {
    int32_t lX, lY, lZ, lRx, lRy, lRz;
    int32_t rglSlider[2];
    uint32_t rgdwPOV[4];
    uint8_t rgbButtons[32];
};
static_assert(sizeof(DIJOYSTATE) == 80);

// Keyboard objects are the keys' scan codes (0x01 Escape ... 0xDD Apps; 0x80 is added to the
// E0-prefixed keys).

// Key and button data: pressed when bit 7 is set.
inline constexpr uint32_t DI_PRESSED = 0x80;

// One buffered event.
struct DIDEVICEOBJECTDATA {
    uint32_t dwOfs;       // object offset
    uint32_t dwData;      // key/button state, relative motion or absolute position
    uint32_t dwTimeStamp; // timeGetTime() when the event arrived
    uint32_t dwSequence;  // increasing across all devices
};
static_assert(sizeof(DIDEVICEOBJECTDATA) == 16);

// GetDeviceData flags.
inline constexpr uint32_t DIGDD_PEEK = 1;
// A count meaning "as many as there are" (with a null buffer: flush).
inline constexpr uint32_t DI_INFINITE = 0xFFFFFFFFu;

// --- Properties ---------------------------------------------------------------------------

inline constexpr uint32_t DIPROP_BUFFERSIZE = 1;
inline constexpr uint32_t DIPROP_RANGE = 4;
inline constexpr uint32_t DIPH_DEVICE = 0;
inline constexpr uint32_t DIPH_BYOFFSET = 1;

struct DIPROPHEADER {
    uint32_t dwSize;
    uint32_t dwHeaderSize;
    uint32_t dwObj; // object offset for DIPH_BYOFFSET
    uint32_t dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    uint32_t dwData;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    int32_t lMin;
    int32_t lMax;
};

// --- Enumeration records ------------------------------------------------------------------

struct DIDEVICEINSTANCE {
    uint32_t dwSize;
    GUID guidInstance;
    GUID guidProduct;
    uint32_t dwDevType;
    char tszInstanceName[260];
    char tszProductName[260];
};

// Object type flags (EnumObjects filter and DIDEVICEOBJECTINSTANCE::dwType).
inline constexpr uint32_t DIDFT_ALL = 0;
inline constexpr uint32_t DIDFT_RELAXIS = 0x01;
inline constexpr uint32_t DIDFT_ABSAXIS = 0x02;
inline constexpr uint32_t DIDFT_AXIS = 0x03;
inline constexpr uint32_t DIDFT_PSHBUTTON = 0x04;
inline constexpr uint32_t DIDFT_BUTTON = 0x0C;
inline constexpr uint32_t DIDFT_POV = 0x10;
inline constexpr uint32_t DIDFT_MAKEINSTANCE(uint32_t n) {
    return (n & 0xFFFF) << 8;
}

struct DIDEVICEOBJECTINSTANCE {
    uint32_t dwSize;
    GUID guidType;
    uint32_t dwOfs;
    uint32_t dwType;
    char tszName[260];
};

struct DIDEVCAPS {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwDevType;
    uint32_t dwAxes;
    uint32_t dwButtons;
    uint32_t dwPOVs;
};
inline constexpr uint32_t DIDC_ATTACHED = 1;

using DIENUMDEVICESCALLBACK = int32_t (*)(const DIDEVICEINSTANCE* device, void* context);
using DIENUMDEVICEOBJECTSCALLBACK = int32_t (*)(const DIDEVICEOBJECTINSTANCE* object,
                                                void* context);

// --- Interfaces ---------------------------------------------------------------------------

struct IDirectInputDevice7 : IUnknown {
    // Axes, buttons and hats of the device. DIERR_INVALIDPARAM for a null record.
    virtual int32_t GetCapabilities(DIDEVCAPS* caps) = 0;
    // Calls back once per object matching the DIDFT_ filter until the callback stops.
    virtual int32_t EnumObjects(DIENUMDEVICEOBJECTSCALLBACK callback, void* context,
                                uint32_t flags) = 0;
    // DIPROP_BUFFERSIZE (device) or DIPROP_RANGE (a joystick axis by offset).
    // DIERR_UNSUPPORTED for other properties or objects, DIERR_INVALIDPARAM for a bad header.
    virtual int32_t GetProperty(uint32_t property, DIPROPHEADER* header) = 0;
    // As GetProperty; DIERR_ACQUIRED while acquired.
    virtual int32_t SetProperty(uint32_t property, const DIPROPHEADER* header) = 0;
    // Starts buffering the device's events. DI_NOEFFECT when acquired already;
    // DIERR_INVALIDPARAM without a data format; DIERR_OTHERAPPHASPRIO for a foreground level
    // without window focus, or an exclusive level while another device holds it.
    virtual int32_t Acquire() = 0;
    // Stops buffering and forgets the buffered events; DI_NOEFFECT when not acquired.
    virtual int32_t Unacquire() = 0;
    // The current state record of the data format (keyboard: 256 key bytes; joystick:
    // DIJOYSTATE). DIERR_NOTACQUIRED, DIERR_INPUTLOST, DIERR_INVALIDPARAM for a size that
    // is not the format's, DIERR_UNSUPPORTED for the mouse.
    virtual int32_t GetDeviceState(uint32_t size, void* data) = 0;
    // Moves up to *count buffered events, oldest first, into `data` (null discards them) and
    // stores how many in *count; DIGDD_PEEK leaves them buffered. DI_BUFFEROVERFLOW once
    // after events were lost; DIERR_NOTACQUIRED; DIERR_INPUTLOST when a foreground device's
    // window lost focus (the device is then no longer acquired).
    virtual int32_t GetDeviceData(uint32_t object_size, DIDEVICEOBJECTDATA* data, uint32_t* count,
                                  uint32_t flags) = 0;
    // DIERR_ACQUIRED while acquired; DIERR_INVALIDPARAM for a format of another device kind.
    virtual int32_t SetDataFormat(const DIDATAFORMAT* format) = 0;
    // Remembers an event handle for data notification. Readers of this layer poll, so the
    // handle is only kept; any value is accepted.
    virtual int32_t SetEventNotification(void* event) = 0;
    // DISCL_EXCLUSIVE or NONEXCLUSIVE, with FOREGROUND or BACKGROUND; a foreground level needs
    // a window. DIERR_INVALIDPARAM, DIERR_ACQUIRED.
    virtual int32_t SetCooperativeLevel(GfxWindow window, uint32_t flags) = 0;
    virtual int32_t GetDeviceInfo(DIDEVICEINSTANCE* info) = 0;
    // Lets a polled device take in new data; DI_NOEFFECT (the hub delivers every device's
    // data as it comes). DIERR_NOTACQUIRED.
    virtual int32_t Poll() = 0;
};

struct IDirectInput7 : IUnknown {
    // Calls back once per device of the DIDEVTYPE_ filter (all: keyboard, mouse, then the
    // joysticks) until the callback stops.
    virtual int32_t EnumDevices(uint32_t device_type, DIENUMDEVICESCALLBACK callback, void* context,
                                uint32_t flags) = 0;
    // A device for an instance id from EnumDevices or GUID_SysKeyboard / GUID_SysMouse.
    // DIERR_DEVICENOTREG for an unknown or detached device; no aggregation.
    virtual int32_t CreateDevice(const GUID& instance, IDirectInputDevice7** out,
                                 IUnknown* outer) = 0;
    // DI_OK when attached, DI_NOTATTACHED otherwise.
    virtual int32_t GetDeviceStatus(const GUID& instance) = 0;
};

// Creates the input object for a program instance. DIERR_OLDDIRECTINPUTVERSION for a version
// other than 0x0500 or 0x0700, E_NOINTERFACE for another interface id.
int32_t DirectInputCreateEx(void* program_instance, uint32_t version, const GUID& iid, void** out,
                            IUnknown* outer);

} // namespace platform
