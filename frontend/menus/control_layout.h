// The control layout files ("controldefault:" links): a file of default bindings for one kind
// of controller ("keyboard.ini", "mousekeys.ini", "joystick.ini", "joystickkeys.ini") read
// through the data storage into a settings sheet, replacing the player's ten control sections.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

struct IPropertySheet;

// The sections a layout replaces: removed from the sheet before the file is loaded.
inline constexpr const char* TV_CONTROL_LAYOUT_SECTIONS[] = {
    "Player1Roll",     "Player1Pitch",     "Player1Throttle", "Player1Special",
    "Player1Fire",     "Player1Secondary", "Player1CamAbove", "Player1CamLeft",
    "Player1CamRight", "Player1CamBehind"};

// The control type a layout file's name stands for, or -1 for other names.
int32_t TvControlLayoutType(const char* file);

// Loads the layout file into `sheet` (the settings sheet): the control type set from the file's
// name (other names keep it), [globalcontrol] "type" written with it, the ten control sections
// removed and the file's sections merged in (keys before the file's first header go to the
// unnamed section, as they do when the file is loaded alone). The data storage is opened first
// when it is not yet. OM_E_FAIL (sheet and control type unchanged) without a sheet or when the
// file cannot be opened or read.
OmResult TvLoadControlLayout(IPropertySheet* sheet, const char* file);
