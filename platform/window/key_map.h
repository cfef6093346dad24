// The keyboard's physical keys as the program's window messages and input devices number them.
#pragma once

#include <cstdint>

namespace platform {

// How one physical key (an SDL scancode) appears to the program.
struct KeyCode {
    uint8_t vk;     // virtual-key code of key messages (0 = key unknown to the program)
    uint8_t scan;   // scan code of the key message's lParam bits 16-23
    bool extended;  // lParam bit 24 (the grey cursor block, right Ctrl/Alt, keypad Enter and /)
    uint8_t device; // key number of the keyboard device (scan code, + 0x80 for E0-prefixed keys)
};

// The codes of an SDL scancode; all zero for keys the program does not know.
KeyCode key_code_of_scancode(int sdl_scancode);

// The SDL scancode of a keyboard-device key number, or 0 (SDL_SCANCODE_UNKNOWN).
int scancode_of_device_key(uint8_t device_key);

} // namespace platform
