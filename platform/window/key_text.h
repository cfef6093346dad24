// What a key message's virtual-key code types, and whether Shift is held: the text-entry pages
// read typed characters from key-up messages through these.
#pragma once

#include <cstdint>

namespace platform {

// The unshifted character of the key as an 8-bit Latin-1 code (letters in upper case, digits,
// blank, full stop, the keypad's digits and point); 0 for keys that type nothing.
uint32_t character_of_virtual_key(uint32_t virtual_key);

// Whether either Shift key is down now.
bool shift_key_down();

} // namespace platform
