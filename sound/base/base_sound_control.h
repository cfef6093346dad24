// BaseSoundControl: the plain sound control, the control base as a registered class.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/base/sound_control_base.h"

inline constexpr GUID CLSID_BaseSoundControl = om_guid("2CE14B93-F471-11D4-A499-00010239331A");

OM_DECLARE_MODULE(BaseSoundControl);
