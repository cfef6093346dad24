// Text to number conversions.
#include "framework/core/text_parse.h"

#include <climits>
#include <cstdlib>
#include <strings.h>

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

OmResult OmParseBool(const char* text, int32_t* out) {
    if (!text || !out) return OM_E_FAIL;
    struct Word {
        const char* text;
        int32_t value;
    };
    static constexpr Word words[] = {{"true", 1},  {"1", 1}, {"on", 1},  {"yes", 1},
                                     {"false", 0}, {"0", 0}, {"off", 0}, {"no", 0}};
    for (const Word& w : words) {
        if (strcasecmp(text, w.text) == 0) {
            *out = w.value;
            return OM_S_OK;
        }
    }
    return OM_E_FAIL;
}

OmResult OmParseHex(const char* text, uint32_t* out) {
    if (!text || !out) return OM_E_FAIL;
    uint32_t value = 0;
    for (const char* p = text; *p; ++p) {
        int d = hex_digit(*p);
        if (d < 0) return OM_E_FAIL;
        value = value * 16 + uint32_t(d);
    }
    *out = value;
    return OM_S_OK;
}

OmResult OmParseInteger(const char* text, int32_t* out) {
    if (!text || !out) return OM_E_FAIL;
    if (text[0] == '0' && text[1] == 'x') {
        uint32_t value;
        OmResult r = OmParseHex(text + 2, &value);
        if (r == OM_S_OK) *out = int32_t(value);
        return r;
    }
    const char* p = text;
    if (*p == '-' || *p == '+') ++p;
    if (!is_digit(*p)) return OM_E_FAIL;
    for (++p; *p && !is_blank(*p); ++p)
        if (!is_digit(*p)) return OM_E_FAIL;
    long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    *out = int32_t(value);
    return OM_S_OK;
}

void OmByteToHex(uint8_t byte, char* out) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out[0] = digits[byte >> 4];
    out[1] = digits[byte & 15];
    out[2] = '\0';
}

uint8_t OmHexToByte(const char* two) {
    if (!two || !two[0]) return 0;
    int high = hex_digit(two[0]), low = hex_digit(two[1]);
    return uint8_t((high < 0 ? 0 : high) << 4 | (low < 0 ? 0 : low));
}
