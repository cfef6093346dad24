// IO: the registered class of an older multi-device input front end, refused at creation.
#pragma once

#include "framework/core/class_factory.h"

// The class id is also the id of its interface.
inline constexpr GUID CLSID_IO = om_guid("FFCD08A6-5790-11D2-AD47-00600856CC1B");
inline constexpr GUID IID_IIO = CLSID_IO;

// No part of the program uses this front end and its device operations are not built: the
// class is registered so that its id is known, and creating it fails with OM_E_FAIL.
OM_DECLARE_MODULE(IO);
