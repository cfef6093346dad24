// The keyboard device's key codes: one byte per key, as the Control.ini key names spell them.
#pragma once

#include <cstdint>

// The key code of a keyboard scan code (E0-prefixed keys + 0x80); 255 for a key without one
// and for every scan code above 0xDD.
uint8_t InputKeyCodeOfScanCode(uint32_t scan_code);
