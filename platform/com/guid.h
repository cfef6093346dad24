// 128-bit class, interface and category ids, compared as four 32-bit words.
#pragma once

#include <cstdint>
#include <cstring>

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

// The all-zero id means "none" and ends GUID lists.
inline constexpr GUID GUID_NULL{};

inline bool operator==(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, 16) == 0;
}

inline bool om_guid_is_null(const GUID& g) {
    return g == GUID_NULL;
}

namespace om_detail {
consteval uint32_t hex_digit(char c) {
    if (c >= '0' && c <= '9') return uint32_t(c - '0');
    if (c >= 'A' && c <= 'F') return uint32_t(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return uint32_t(c - 'a' + 10);
    throw "not a hexadecimal digit"; // rejected at compile time
}
consteval uint32_t hex_field(const char* text, int digits) {
    uint32_t v = 0;
    for (int i = 0; i < digits; ++i) v = (v << 4) | hex_digit(text[i]);
    return v;
}
} // namespace om_detail

// A GUID constant from its text without braces, "DED6F32C-C84F-11D4-871E-00C04F7963BA",
// checked at compile time.
consteval GUID om_guid(const char (&text)[37]) {
    if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        throw "malformed GUID text";
    GUID g{};
    g.Data1 = om_detail::hex_field(text, 8);
    g.Data2 = uint16_t(om_detail::hex_field(text + 9, 4));
    g.Data3 = uint16_t(om_detail::hex_field(text + 14, 4));
    g.Data4[0] = uint8_t(om_detail::hex_field(text + 19, 2));
    g.Data4[1] = uint8_t(om_detail::hex_field(text + 21, 2));
    for (int i = 0; i < 6; ++i)
        g.Data4[2 + i] = uint8_t(om_detail::hex_field(text + 24 + 2 * i, 2));
    return g;
}
