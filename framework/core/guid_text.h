// GUIDs to and from their braced text form.
#pragma once

#include "framework/core/guid.h"
#include "framework/core/result_codes.h"

// Bytes needed for the text of a GUID with its NUL.
inline constexpr uint32_t OM_GUID_TEXT_SIZE = 39;

// Writes {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} (upper case) into `out`, which holds at least
// OM_GUID_TEXT_SIZE bytes. 0.
OmResult OmGuidToText(const GUID& guid, char* out);
// Collects the hexadecimal digits of `text` in order, ignoring every other character; 32 of
// them make the GUID (the first eight the little-endian 32-bit word, and so on). OM_E_FAIL
// for any other count, with `out` unchanged.
OmResult OmTextToGuid(const char* text, GUID* out);
