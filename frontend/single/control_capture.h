// Control capture: the control options page waits for the key, mouse or joystick input that
// is to drive a control and writes the binding into the control's section of the settings.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>
#include <string>

inline constexpr int32_t TV_CAPTURE_SINGLE = 1; // a button-like control
inline constexpr int32_t TV_CAPTURE_AXIS = 2;   // an axis, or a pair of keys or buttons

// Runs the current page until a binding is written into `section` (an existing section of the
// settings sheet) or Escape cancels. 0.
OmResult TvRunControlCapture(const char* section, int32_t up, int32_t kind);

// The name a key code is written with: its key-name table name, else its character (letters
// in upper case).
std::string TvCapturedKeyName(uint32_t code);
