// Windows-1252 to Unicode: Latin-1 except the range 0x80-0x9F.
#include "platform/text/cp1252.h"

namespace platform {

namespace {

// 0x80-0x9F; 0 marks the undefined bytes.
constexpr char16_t high_controls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      //
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

char32_t cp1252_to_unicode(uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0) return byte;
    char16_t mapped = high_controls[byte - 0x80];
    return mapped ? mapped : byte;
}

} // namespace platform
