// Path classification shared by the engine's file lookups.
#pragma once

#include <cstdint>

// 1 when the path begins with a backslash, or with a letter and a colon (a drive); else 0.
int32_t LgPathIsAbsolute(const char* path);
