// Reading the game's INI files: a file opened through the storage service and loaded into a
// property sheet, and the fixed-size value reads the kind files use.
#pragma once

#include "framework/containers/property_sheet.h"

#include <cstdint>

// Values are read into buffers of this many bytes: a longer value counts as missing.
inline constexpr uint32_t kTvIniValueSize = 32;

// The sheet loaded from the file (its load result is not judged), or the failure of the
// storage, the open or the sheet creation with *out null.
OmResult TvLoadIniSheet(const char* path, IPropertySheet** out);
// The same, telling whether it was the file that did not open (true) or the storage or the
// sheet that could not be made (false).
OmResult TvLoadIniSheet(const char* path, IPropertySheet** out, bool* open_failed);
// The key's value of the current section; false when missing or longer than 31 characters.
bool TvIniString(IPropertySheet* sheet, const char* key, char (&value)[kTvIniValueSize]);
// "%f" of the key's value into *out; unchanged when missing or not a finite number.
bool TvIniFloat(IPropertySheet* sheet, const char* key, float* out);
