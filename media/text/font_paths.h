// The directory scheme of the bitmap font trees: family, size and style directories below
// the program directory.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>
#include <string>

// The family's directory name, or null for a family value that has none.
const char* om_font_family_directory(int32_t family);
// "it_bold", "bold", "italic" or "normal".
const char* om_font_style_directory(bool bold, bool italic);
// program directory + root + [family + separator] + "p_%04d" + separator + style +
// separator, e.g. "<dir>fonts/compressed/swiss/p_0012/it_bold/". The program directory comes
// from the shared OS service; OM_E_FAIL when it cannot be had.
OmResult om_font_directory(const char* root, char separator, int32_t family, int32_t size,
                           bool bold, bool italic, std::string* out);
