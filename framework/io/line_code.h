// The printable line code: three bytes as four characters, and binary lines of up to 45
// bytes with a length and a checksum character.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

// Most bytes one binary line carries.
inline constexpr uint32_t OM_LINE_MAX_BYTES = 45;
// Characters of the longest line: length, 15 groups of four, checksum (no newline).
inline constexpr uint32_t OM_LINE_MAX_CHARS = 1 + 4 * (OM_LINE_MAX_BYTES / 3) + 1;

// v = b0 + 256 b1 + 65536 b2 becomes four characters of its 6-bit values, lowest first, each
// value + 32 except that 0 is the grave accent (so no character is a blank). The four values
// are added to *checksum.
void OmEncodeTriplet(const uint8_t* three, char* four, uint32_t* checksum);
// The reverse: a character stands for its code - 32, the grave accent for 0 (only the low six
// bits count). The four values are added to *checksum.
void OmDecodeQuad(const char* four, uint8_t* three, uint32_t* checksum);

// Writes the line of `n` bytes (n at most OM_LINE_MAX_BYTES) into `out`: the length character
// n + 32, ceil(n / 3) groups, the checksum character (sum of the 6-bit values AND 63, + 32).
// Bytes of the last group beyond n are encoded as zero; nothing beyond `data + n` is read.
// Returns the characters written; 0 for a longer n.
uint32_t OmEncodeLine(const uint8_t* data, uint32_t n, char* out);
// The count a length character announces.
inline uint32_t OmLineLength(char length_character) {
    return uint32_t(uint8_t(length_character) - 32) & 63;
}
// Decodes the groups of a line whose length character announced `n` bytes (`groups` holds
// 4 * ceil(n / 3) characters) into `out`; exactly n bytes are stored. OM_E_FAIL when n is
// above `capacity` or above OM_LINE_MAX_BYTES. The 6-bit sum goes to *checksum when given.
OmResult OmDecodeLine(const char* groups, uint32_t n, uint8_t* out, uint32_t capacity,
                      uint32_t* checksum);
