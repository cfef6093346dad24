// The value conversions mission.ini is read and written with ("%d", "%f", "%f%f%f") and the
// archetype values an entry falls back to.
#pragma once

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/platform/file_storage.h"
#include "game/world/tv_object.h"

namespace tvmission {

// Values are read into buffers of this many bytes: a longer value counts as missing.
inline constexpr uint32_t kValueSize = 64;

// Each leaves *out unchanged and answers false when the key is missing or no number.
bool read_int(IPropertySheet* sheet, const char* key, int32_t* out);
bool read_float(IPropertySheet* sheet, const char* key, float* out);
// "%f%f%f": the components read are stored (a short value leaves the rest).
bool read_vector(IPropertySheet* sheet, const char* key, LgVector* out);
// The value with its NUL; false when missing or longer than size - 1.
bool read_text(IPropertySheet* sheet, const char* key, char* out, uint32_t size);

// The kind's endurance (property 11), flags (property 9) and the second value of its flight
// table (property 514); 0 for a null kind or one without the property.
float archetype_endurance(ITvObject* kind);
uint32_t archetype_flags(ITvObject* kind);
float archetype_high_speed(ITvObject* kind);

} // namespace tvmission

// The storage mission and plane files are read through: the shared one the program registers
// (opened from the demo recordings when missing), else a plain storage object. Null when
// none can be had.
ComRef<IFileStorage> TvMissionStorage();
