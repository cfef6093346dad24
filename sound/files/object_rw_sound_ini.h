// ObjectRWSoundIni: the "ini" reader of the category "SoundObjectRW": an INI sound description
// that names a sample file and sets sound keys on it.
#pragma once

#include "framework/io/object_rw.h"

inline constexpr GUID CLSID_ObjectRWSoundIni = om_guid("3A612421-F28C-11D4-A498-00010239331A");

// Descriptions naming further descriptions are followed this deep at most.
inline constexpr int32_t SOUND_INI_MAX_NESTING = 8;

OM_DECLARE_MODULE(ObjectRWSoundIni);
