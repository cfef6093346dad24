// Parsing booleans, hexadecimal and decimal numbers, and bytes as two hexadecimal digits.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

// "true", "1", "on", "yes" -> 1; "false", "0", "off", "no" -> 0 (any case). OM_E_FAIL for
// anything else, `out` unchanged.
OmResult OmParseBool(const char* text, int32_t* out);
// Hexadecimal digits only, accumulated in 32 bits (wrapping); "" gives 0. OM_E_FAIL for any
// other character, `out` unchanged.
OmResult OmParseHex(const char* text, uint32_t* out);
// "0x..." is hexadecimal. Otherwise an optional sign, then digits up to the end or the first
// blank (what follows a blank is not looked at). OM_E_FAIL otherwise, `out` unchanged. Values
// beyond 32 bits saturate.
OmResult OmParseInteger(const char* text, int32_t* out);
// Two upper-case hexadecimal digits and a NUL into `out` (3 bytes).
void OmByteToHex(uint8_t byte, char* out);
// The byte of two hexadecimal digits; a character that is no digit counts as 0.
uint8_t OmHexToByte(const char* two);
