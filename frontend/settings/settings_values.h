// Reading and writing single settings values in the current section of a property sheet, the
// way every reader of aerovant.ini converts them: decimal integers as "%d" reads them, reals
// as "%f" reads and writes them (C locale), texts cut to their buffer.
#pragma once

#include <cstdint>
#include <string>

struct IPropertySheet;

// False (the value unchanged) when the key is missing or does not begin with a number; for a
// real also when the number is not finite ("nan", "inf", or beyond a float's range).
bool TvSettingsGetInt(IPropertySheet* sheet, const char* key, int32_t* value);
bool TvSettingsGetReal(IPropertySheet* sheet, const char* key, float* value);
// The value cut to `limit` characters; false (unchanged) when the key is missing.
bool TvSettingsGetText(IPropertySheet* sheet, const char* key, uint32_t limit, std::string* value);

void TvSettingsSetInt(IPropertySheet* sheet, const char* key, int32_t value);
// "%f": six decimals.
void TvSettingsSetReal(IPropertySheet* sheet, const char* key, float value);
// A switch that is on is written as 1. One that is off is removed, unless it reads as on when
// missing: then it is written as 0, or switching it off would not survive a restart.
void TvSettingsSetSwitch(IPropertySheet* sheet, const char* key, bool on, bool on_when_missing);
