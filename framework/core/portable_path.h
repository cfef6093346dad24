// Portable paths ("/dev/drive-c/dir/file", '/' separators) to and from native ones
// ("c:\dir\file"), and the directory part of a portable path.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

// The native path limit of the file functions, NUL included.
inline constexpr uint32_t OM_MAX_PATH = 260;

// Each writes at most `size` bytes with the NUL into `out`; a result that does not fit fails
// with OM_E_FAIL and leaves `out` empty.

// "C:\games\data" -> "/dev/drive-c/games/data"; a path without ':' just has '\' turned into
// '/'. OM_E_FAIL when the ':' is not followed by '\'.
OmResult OmNativeToPortablePath(const char* native, char* out, uint32_t size);
// "/dev/drive-c/games" -> "c:\games" (drive letter as written); other paths have '/' turned
// into '\'. OM_E_FAIL for a drive prefix without at least two characters after it.
OmResult OmPortableToNativePath(const char* portable, char* out, uint32_t size);
// "a/b/c.ini" -> "a/b/" (separators inside double quotes do not count). OM_E_FAIL when the
// path holds no separator; `out` is empty then.
OmResult OmPathGetDirectory(const char* portable, char* out, uint32_t size);
