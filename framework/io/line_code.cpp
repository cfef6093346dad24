// The printable line code: six bits per character, none of them a blank.
#include "framework/io/line_code.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char grave_accent = 96;

char encode_six_bits(uint32_t value) {
    return value == 0 ? grave_accent : char(value + 32);
}
uint32_t decode_six_bits(char character) {
    return (uint32_t(uint8_t(character)) - 32) & 63;
}

} // namespace

void OmEncodeTriplet(const uint8_t* three, char* four, uint32_t* checksum) {
    const uint32_t v = uint32_t(three[0]) | uint32_t(three[1]) << 8 | uint32_t(three[2]) << 16;
    for (int k = 0; k < 4; ++k) {
        const uint32_t six = (v >> (6 * k)) & 63;
        four[k] = encode_six_bits(six);
        if (checksum) *checksum += six;
    }
}

void OmDecodeQuad(const char* four, uint8_t* three, uint32_t* checksum) {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
        const uint32_t six = decode_six_bits(four[k]);
        v |= six << (6 * k);
        if (checksum) *checksum += six;
    }
    three[0] = uint8_t(v);
    three[1] = uint8_t(v >> 8);
    three[2] = uint8_t(v >> 16);
}

uint32_t OmEncodeLine(const uint8_t* data, uint32_t n, char* out) {
    if (n > OM_LINE_MAX_BYTES) return 0;
    uint32_t written = 0, checksum = 0;
    out[written++] = char(n + 32);
    for (uint32_t at = 0; at < n; at += 3) {
        // The last group is completed with zeros here rather than read past the caller's data.
        uint8_t group[3] = {};
        std::memcpy(group, data + at, std::min<uint32_t>(3, n - at));
        OmEncodeTriplet(group, out + written, &checksum);
        written += 4;
    }
    out[written++] = char((checksum & 63) + 32);
    return written;
}

OmResult OmDecodeLine(const char* groups, uint32_t n, uint8_t* out, uint32_t capacity,
                      uint32_t* checksum) {
    if (n > capacity || n > OM_LINE_MAX_BYTES) return OM_E_FAIL;
    for (uint32_t at = 0; at < n; at += 3) {
        // Decoded apart so the bytes beyond n never reach the caller's buffer.
        uint8_t group[3];
        OmDecodeQuad(groups + 4 * (at / 3), group, checksum);
        std::memcpy(out + at, group, std::min<uint32_t>(3, n - at));
    }
    return OM_S_OK;
}
