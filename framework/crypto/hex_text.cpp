// Hexadecimal text forms of binary keys and ciphertext.
#include "framework/crypto/hex_text.h"

namespace {

int nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

std::string HexEncodeBytes(std::span<const uint8_t> bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(2 * bytes.size());
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::vector<uint8_t> HexDecodeText(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        const int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) break;
        out.push_back(uint8_t(hi << 4 | lo));
    }
    return out;
}
