// Class ids that more than one module names: the platform-neutral ids that start-up redirects,
// and the implementations they stand for. Each id is defined here once; modules include this.
#pragma once

#include "framework/core/guid.h"

inline constexpr GUID CLSID_Storage = om_guid("DE18370C-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_FileStorage = om_guid("B3A02323-4555-459C-BC8D-40C5F2B61530");
inline constexpr GUID CLSID_Win32Storage = om_guid("DFCEE7BC-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Maths = om_guid("DD46681C-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_StdCMaths = om_guid("0959C3D9-CAD3-11D4-871F-00C04F7963BA");
inline constexpr GUID CLSID_OSExtension = om_guid("DDBD9DB0-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32OSExt = om_guid("DFC2FBFA-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Registry = om_guid("DDC26264-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32Registry = om_guid("DFB71038-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_TrueTypeFont = om_guid("DEA9A67E-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32TrueTypeFont = om_guid("DFD60ECA-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Display = om_guid("583E0257-2C18-11D5-A4AF-00010239331A");
inline constexpr GUID CLSID_Win32DIBDisplay = om_guid("DEEA05FC-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_SoundDevice = om_guid("583E0258-2C18-11D5-A4AF-00010239331A");
inline constexpr GUID CLSID_Win32Dx6SoundControl2 = om_guid("9F3B30C5-8E66-11D5-A4D1-00010239331A");
