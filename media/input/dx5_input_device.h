// DX5InputDevice: the input driver over the platform's keyboard, mouse and first joystick, with
// a 10 ms ticker.
#pragma once

#include "media/input/input.h"

inline constexpr GUID CLSID_DX5InputDevice = om_guid("4D8D7C45-4CE5-44C1-AB13-6A60BB1476BE");

// Device indices of the driver (the low byte of a device id).
inline constexpr uint16_t kDX5Keyboard = 1;
inline constexpr uint16_t kDX5Mouse = 2;
inline constexpr uint16_t kDX5Ticker = 3;
inline constexpr uint16_t kDX5Joystick = 4;

// Event codes the driver posts.
inline constexpr uint16_t kInputKeyReleased = 16;
inline constexpr uint16_t kInputKeyPressed = 17;
inline constexpr uint16_t kInputMouseX = 48;
inline constexpr uint16_t kInputMouseY = 49;
inline constexpr uint16_t kInputMouseWheel = 50;
inline constexpr uint16_t kInputMouseButton1 = 65; // then 66, 68, 72 for buttons 2-4
inline constexpr uint16_t kInputMouseButton2 = 66;
inline constexpr uint16_t kInputMouseButton3 = 68;
inline constexpr uint16_t kInputMouseButton4 = 72;
inline constexpr uint32_t kInputMousePressed = 35;
inline constexpr uint32_t kInputMouseReleased = 36;
inline constexpr uint16_t kInputTick = 0x301;
inline constexpr uint32_t kInputTickMilliseconds = 10;
inline constexpr uint16_t kInputJoystickX = 0;
inline constexpr uint16_t kInputJoystickY = 1;
inline constexpr uint16_t kInputJoystickZ = 2;
inline constexpr uint16_t kInputJoystickSlider = 64;
inline constexpr uint16_t kInputJoystickHat = 128;
inline constexpr uint16_t kInputJoystickButton1 = 192; // to 223 for button 32
inline constexpr uint32_t kInputJoystickPressed = 513;
inline constexpr uint32_t kInputJoystickReleased = 514;

// Entries one device read takes at most.
inline constexpr uint32_t kDX5ReadBufferEntries = 4096;
// Events each device buffers between polls.
inline constexpr uint32_t kDX5DeviceBufferSize = 1024;

OM_DECLARE_MODULE(DX5InputDevice);
