// Bytes as hexadecimal text, two characters per byte, and back.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Two upper-case characters per byte.
std::string HexEncodeBytes(std::span<const uint8_t> bytes);
// Decodes pairs of hexadecimal characters (either case) and stops quietly at the first pair
// that is incomplete or not hexadecimal, like a reader that meets the end of its text.
std::vector<uint8_t> HexDecodeText(std::string_view text);
