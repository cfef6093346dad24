// The Windows-1252 ("ANSI") code page: the character a byte stands for in the program's texts.
#pragma once

#include <cstdint>

namespace platform {

// The Unicode code point of a Windows-1252 byte. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to themselves, as Windows does.
char32_t cp1252_to_unicode(uint8_t byte);

} // namespace platform
