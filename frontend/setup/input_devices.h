// The input component of the front end and the game, its keyboard, mouse and joystick, and
// the Timer that paces the game's frames.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

struct IInput;
struct ITimer;

// The event-queue size Input is initialised with.
inline constexpr uint32_t TV_INPUT_QUEUE_SIZE = 2048;

// Creates Input, initialises it and opens the devices. With a CORVEL_INPUT_PLAYBACK recording
// the events come from it in place of the devices. 0, or OM_E_FAIL with "Couldn't create
// input component." in the error log.
OmResult TvCreateInput();
// Enables the first keyboard and the first mouse, creates and starts the Timer, then enables
// the first joystick. 0, or OM_E_FAIL when the Timer cannot be created (the joystick is then
// not opened).
OmResult TvOpenInputDevices();
// Releases the Timer, the playback stream and Input.
void TvReleaseInput();
// Releases the keyboard and the mouse device (their ids become 0) and the Timer; Input stays.
void TvReleaseKeyboardAndMouse();
// Enables the first keyboard and the first mouse again and makes a new started Timer (after
// TvReleaseKeyboardAndMouse). OM_E_FAIL without Input or when the Timer cannot be made.
OmResult TvReopenKeyboardAndMouse();

// Held objects (no reference added), or null.
IInput* TvGetInput();
ITimer* TvGetTimer();
// Device ids (driver number << 8 | index); 0 when there is none.
uint16_t TvGetKeyboardDevice();
uint16_t TvGetMouseDevice();
uint16_t TvGetJoystickDevice();
