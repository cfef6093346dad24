// The language strings: language/<language>/strings.ini, section [strings], read through the
// data storage into a table of key to text. Lookups of a missing key give
// STRING "<key>" NOT IN FILE.
#pragma once

#include "framework/core/result_codes.h"

#include <string>

struct IPropertySheet;

inline constexpr char TV_STRINGS_PATH_FORMAT[] = "language/%s/strings.ini";
inline constexpr char TV_STRINGS_SECTION[] = "strings";
inline constexpr char TV_MISSING_STRING_FORMAT[] = "STRING \"%s\" NOT IN FILE";
// Values are kept to 255 characters.
inline constexpr unsigned TV_STRING_VALUE_LIMIT = 255;

// Opens the data storage, takes the language and the server address from the settings sheet
// and reads the string table. A strings file that cannot be read leaves the table empty. 0.
OmResult TvLoadLanguageStrings(IPropertySheet* sheet);
// Releases the string table.
void TvReleaseLanguageStrings();

// The text of a key, or the missing-string text.
std::string TvGetLanguageString(const char* key);
// The number of strings in the table (0 before the load).
unsigned TvLanguageStringCount();
