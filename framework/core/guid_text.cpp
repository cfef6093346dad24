// GUID text conversion.
#include "framework/core/guid_text.h"

#include <cstdio>
#include <cstring>

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Where the n-th byte of the text lands in the GUID's memory: the words are little-endian.
constexpr uint8_t text_byte_position[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

} // namespace

OmResult OmGuidToText(const GUID& g, char* out) {
    if (!out) return OM_E_FAIL;
    std::snprintf(out, OM_GUID_TEXT_SIZE, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
                  g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return OM_S_OK;
}

OmResult OmTextToGuid(const char* text, GUID* out) {
    if (!text || !out) return OM_E_FAIL;
    uint8_t bytes[16];
    int digits = 0;
    for (const char* p = text; *p; ++p) {
        int v = hex_value(*p);
        if (v < 0) continue;
        if (digits == 32) return OM_E_FAIL;
        uint8_t& b = bytes[text_byte_position[digits / 2]];
        b = digits % 2 ? uint8_t(b << 4 | v) : uint8_t(v);
        ++digits;
    }
    if (digits != 32) return OM_E_FAIL;
    static_assert(sizeof(GUID) == sizeof bytes);
    std::memcpy(out, bytes, sizeof bytes);
    return OM_S_OK;
}
