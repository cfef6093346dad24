// The table from SDL scancodes to virtual-key codes, message scan codes and device key numbers.
#include "platform/window/key_map.h"

#include "platform/window/messages.h"

#include <SDL.h>
#include <array>

namespace platform {
namespace {

struct Row {
    SDL_Scancode sdl;
    KeyCode code;
};

constexpr KeyCode plain(uint32_t vk, uint8_t scan) {
    return {uint8_t(vk), scan, false, scan};
}
constexpr KeyCode grey(uint32_t vk, uint8_t scan) {
    return {uint8_t(vk), scan, true, uint8_t(scan | 0x80)};
}

// Scan codes are those of the PC keyboard's first scan-code set; E0-prefixed keys are the
// extended ones.
constexpr Row rows[] = {
    {SDL_SCANCODE_ESCAPE, plain(VK_ESCAPE, 0x01)},
    {SDL_SCANCODE_1, plain('1', 0x02)},
    {SDL_SCANCODE_2, plain('2', 0x03)},
    {SDL_SCANCODE_3, plain('3', 0x04)},
    {SDL_SCANCODE_4, plain('4', 0x05)},
    {SDL_SCANCODE_5, plain('5', 0x06)},
    {SDL_SCANCODE_6, plain('6', 0x07)},
    {SDL_SCANCODE_7, plain('7', 0x08)},
    {SDL_SCANCODE_8, plain('8', 0x09)},
    {SDL_SCANCODE_9, plain('9', 0x0A)},
    {SDL_SCANCODE_0, plain('0', 0x0B)},
    {SDL_SCANCODE_MINUS, plain(VK_OEM_MINUS, 0x0C)},
    {SDL_SCANCODE_EQUALS, plain(VK_OEM_PLUS, 0x0D)},
    {SDL_SCANCODE_BACKSPACE, plain(VK_BACK, 0x0E)},
    {SDL_SCANCODE_TAB, plain(VK_TAB, 0x0F)},
    {SDL_SCANCODE_Q, plain('Q', 0x10)},
    {SDL_SCANCODE_W, plain('W', 0x11)},
    {SDL_SCANCODE_E, plain('E', 0x12)},
    {SDL_SCANCODE_R, plain('R', 0x13)},
    {SDL_SCANCODE_T, plain('T', 0x14)},
    {SDL_SCANCODE_Y, plain('Y', 0x15)},
    {SDL_SCANCODE_U, plain('U', 0x16)},
    {SDL_SCANCODE_I, plain('I', 0x17)},
    {SDL_SCANCODE_O, plain('O', 0x18)},
    {SDL_SCANCODE_P, plain('P', 0x19)},
    {SDL_SCANCODE_LEFTBRACKET, plain(VK_OEM_4, 0x1A)},
    {SDL_SCANCODE_RIGHTBRACKET, plain(VK_OEM_6, 0x1B)},
    {SDL_SCANCODE_RETURN, plain(VK_RETURN, 0x1C)},
    {SDL_SCANCODE_LCTRL, plain(VK_CONTROL, 0x1D)},
    {SDL_SCANCODE_A, plain('A', 0x1E)},
    {SDL_SCANCODE_S, plain('S', 0x1F)},
    {SDL_SCANCODE_D, plain('D', 0x20)},
    {SDL_SCANCODE_F, plain('F', 0x21)},
    {SDL_SCANCODE_G, plain('G', 0x22)},
    {SDL_SCANCODE_H, plain('H', 0x23)},
    {SDL_SCANCODE_J, plain('J', 0x24)},
    {SDL_SCANCODE_K, plain('K', 0x25)},
    {SDL_SCANCODE_L, plain('L', 0x26)},
    {SDL_SCANCODE_SEMICOLON, plain(VK_OEM_1, 0x27)},
    {SDL_SCANCODE_APOSTROPHE, plain(VK_OEM_7, 0x28)},
    {SDL_SCANCODE_GRAVE, plain(VK_OEM_3, 0x29)},
    {SDL_SCANCODE_LSHIFT, plain(VK_SHIFT, 0x2A)},
    {SDL_SCANCODE_BACKSLASH, plain(VK_OEM_5, 0x2B)},
    {SDL_SCANCODE_Z, plain('Z', 0x2C)},
    {SDL_SCANCODE_X, plain('X', 0x2D)},
    {SDL_SCANCODE_C, plain('C', 0x2E)},
    {SDL_SCANCODE_V, plain('V', 0x2F)},
    {SDL_SCANCODE_B, plain('B', 0x30)},
    {SDL_SCANCODE_N, plain('N', 0x31)},
    {SDL_SCANCODE_M, plain('M', 0x32)},
    {SDL_SCANCODE_COMMA, plain(VK_OEM_COMMA, 0x33)},
    {SDL_SCANCODE_PERIOD, plain(VK_OEM_PERIOD, 0x34)},
    {SDL_SCANCODE_SLASH, plain(VK_OEM_2, 0x35)},
    {SDL_SCANCODE_RSHIFT, plain(VK_SHIFT, 0x36)},
    {SDL_SCANCODE_KP_MULTIPLY, plain(VK_MULTIPLY, 0x37)},
    {SDL_SCANCODE_LALT, plain(VK_MENU, 0x38)},
    {SDL_SCANCODE_SPACE, plain(VK_SPACE, 0x39)},
    {SDL_SCANCODE_CAPSLOCK, plain(VK_CAPITAL, 0x3A)},
    {SDL_SCANCODE_F1, plain(VK_F1, 0x3B)},
    {SDL_SCANCODE_F2, plain(VK_F1 + 1, 0x3C)},
    {SDL_SCANCODE_F3, plain(VK_F1 + 2, 0x3D)},
    {SDL_SCANCODE_F4, plain(VK_F4, 0x3E)},
    {SDL_SCANCODE_F5, plain(VK_F1 + 4, 0x3F)},
    {SDL_SCANCODE_F6, plain(VK_F1 + 5, 0x40)},
    {SDL_SCANCODE_F7, plain(VK_F1 + 6, 0x41)},
    {SDL_SCANCODE_F8, plain(VK_F1 + 7, 0x42)},
    {SDL_SCANCODE_F9, plain(VK_F1 + 8, 0x43)},
    {SDL_SCANCODE_F10, plain(VK_F10, 0x44)},
    // Num Lock is an extended key in messages but keeps its plain device number; Pause is the
    // other way round.
    {SDL_SCANCODE_NUMLOCKCLEAR, {uint8_t(VK_NUMLOCK), 0x45, true, 0x45}},
    {SDL_SCANCODE_PAUSE, {uint8_t(VK_PAUSE), 0x45, false, 0xC5}},
    {SDL_SCANCODE_SCROLLLOCK, plain(VK_SCROLL, 0x46)},
    {SDL_SCANCODE_KP_7, plain(VK_NUMPAD0 + 7, 0x47)},
    {SDL_SCANCODE_KP_8, plain(VK_NUMPAD0 + 8, 0x48)},
    {SDL_SCANCODE_KP_9, plain(VK_NUMPAD0 + 9, 0x49)},
    {SDL_SCANCODE_KP_MINUS, plain(VK_SUBTRACT, 0x4A)},
    {SDL_SCANCODE_KP_4, plain(VK_NUMPAD0 + 4, 0x4B)},
    {SDL_SCANCODE_KP_5, plain(VK_NUMPAD0 + 5, 0x4C)},
    {SDL_SCANCODE_KP_6, plain(VK_NUMPAD0 + 6, 0x4D)},
    {SDL_SCANCODE_KP_PLUS, plain(VK_ADD, 0x4E)},
    {SDL_SCANCODE_KP_1, plain(VK_NUMPAD0 + 1, 0x4F)},
    {SDL_SCANCODE_KP_2, plain(VK_NUMPAD0 + 2, 0x50)},
    {SDL_SCANCODE_KP_3, plain(VK_NUMPAD0 + 3, 0x51)},
    {SDL_SCANCODE_KP_0, plain(VK_NUMPAD0, 0x52)},
    {SDL_SCANCODE_KP_PERIOD, plain(VK_DECIMAL, 0x53)},
    {SDL_SCANCODE_NONUSBACKSLASH, plain(VK_OEM_102, 0x56)},
    {SDL_SCANCODE_F11, plain(VK_F11, 0x57)},
    {SDL_SCANCODE_F12, plain(VK_F12, 0x58)},
    {SDL_SCANCODE_KP_ENTER, grey(VK_RETURN, 0x1C)},
    {SDL_SCANCODE_RCTRL, grey(VK_CONTROL, 0x1D)},
    {SDL_SCANCODE_KP_DIVIDE, grey(VK_DIVIDE, 0x35)},
    {SDL_SCANCODE_PRINTSCREEN, grey(VK_SNAPSHOT, 0x37)},
    {SDL_SCANCODE_RALT, grey(VK_MENU, 0x38)},
    {SDL_SCANCODE_HOME, grey(VK_HOME, 0x47)},
    {SDL_SCANCODE_UP, grey(VK_UP, 0x48)},
    {SDL_SCANCODE_PAGEUP, grey(VK_PRIOR, 0x49)},
    {SDL_SCANCODE_LEFT, grey(VK_LEFT, 0x4B)},
    {SDL_SCANCODE_RIGHT, grey(VK_RIGHT, 0x4D)},
    {SDL_SCANCODE_END, grey(VK_END, 0x4F)},
    {SDL_SCANCODE_DOWN, grey(VK_DOWN, 0x50)},
    {SDL_SCANCODE_PAGEDOWN, grey(VK_NEXT, 0x51)},
    {SDL_SCANCODE_INSERT, grey(VK_INSERT, 0x52)},
    {SDL_SCANCODE_DELETE, grey(VK_DELETE, 0x53)},
    {SDL_SCANCODE_LGUI, grey(VK_LWIN, 0x5B)},
    {SDL_SCANCODE_RGUI, grey(VK_RWIN, 0x5C)},
    {SDL_SCANCODE_APPLICATION, grey(VK_APPS, 0x5D)},
};

struct Tables {
    std::array<KeyCode, SDL_NUM_SCANCODES> by_scancode{};
    std::array<uint16_t, 256> by_device_key{};
};

constexpr Tables make_tables() {
    Tables t{};
    for (const Row& r : rows) {
        t.by_scancode[r.sdl] = r.code;
        t.by_device_key[r.code.device] = uint16_t(r.sdl);
    }
    return t;
}

constexpr Tables tables = make_tables();

} // namespace

KeyCode key_code_of_scancode(int sdl_scancode) {
    if (sdl_scancode < 0 || sdl_scancode >= SDL_NUM_SCANCODES) return {};
    return tables.by_scancode[size_t(sdl_scancode)];
}

int scancode_of_device_key(uint8_t device_key) {
    return tables.by_device_key[device_key];
}

} // namespace platform
