// Class ids of the displays and their modules.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/class_ids.h"

// CLSID_Win32DIBDisplay is the framework's (the platform-neutral display redirects to it).
inline constexpr GUID CLSID_Win32DirectDrawDisplay =
    om_guid("DEF12D0A-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32Dx5Display = om_guid("DEF85418-C84F-11D4-871E-00C04F7963BA");

OM_DECLARE_MODULE(Win32DIBDisplay);
OM_DECLARE_MODULE(Win32DirectDrawDisplay);
OM_DECLARE_MODULE(Win32Dx5Display);
