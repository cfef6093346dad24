// SoundDictType: the dictionary type "sound", loading and saving sounds by name through the
// sound readers of the category "SoundObjectRW".
#pragma once

#include "framework/core/class_factory.h"
#include "sound/dict/dict_type.h"

inline constexpr GUID CLSID_SoundDictType = om_guid("DB2DF702-C84F-11D4-871E-00C04F7963BA");

OM_DECLARE_MODULE(SoundDictType);
