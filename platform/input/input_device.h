// The device objects of the input-device layer.
#pragma once

#include "platform/input/dinput.h"
#include "platform/window/event_hub.h"

namespace platform {

// The system keyboard or mouse. DIERR_OUTOFMEMORY.
int32_t create_system_input_device(InputDevice kind, IDirectInputDevice7** out);
// The joystick at SDL's device index. DIERR_DEVICENOTREG when it cannot be opened.
int32_t create_joystick_input_device(int sdl_device_index, IDirectInputDevice7** out);

// A joystick's instance id from EnumDevices for an SDL joystick instance id, and back (false
// when `instance` is not a joystick id of this layer).
GUID joystick_instance_guid(int32_t sdl_instance_id);
bool sdl_instance_of_joystick_guid(const GUID& instance, int32_t* sdl_instance_id);
// The product id every joystick reports.
extern const GUID GUID_JoystickProduct;

// SDL hat bits as hundredths of a degree clockwise from north (DIJOY_POV_CENTERED when
// centred).
uint32_t pov_of_hat_bits(int32_t hat_bits);

} // namespace platform
