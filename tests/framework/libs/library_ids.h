// Ids shared by the test component libraries and the tests that load them.
#pragma once

#include "framework/core/guid.h"
#include "framework/core/unknown.h"

inline constexpr GUID CLSID_LibraryWidget = om_guid("5E1A0100-0000-4000-8000-00000000A001");
inline constexpr GUID IID_ILibraryWidget = om_guid("5E1A0101-0000-4000-8000-00000000A001");

struct ILibraryWidget : IUnknown {
    // The number of the library's DllRegisterServer calls so far.
    virtual int32_t RegistrationCount() = 0;
};
