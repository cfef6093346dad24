// Virtual-key characters and the Shift state, from the event hub's keyboard state.
#include "platform/window/key_text.h"

#include "platform/window/event_hub.h"
#include "platform/window/messages.h"

namespace platform {

namespace {

// Device key numbers of the two Shift keys.
constexpr uint8_t left_shift_key = 0x2A;
constexpr uint8_t right_shift_key = 0x36;

} // namespace

uint32_t character_of_virtual_key(uint32_t vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return vk;
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return '0' + (vk - VK_NUMPAD0);
    switch (vk) {
    case VK_SPACE: return ' ';
    case VK_OEM_PERIOD:
    case VK_DECIMAL: return '.';
    case VK_OEM_COMMA: return ',';
    case VK_OEM_MINUS:
    case VK_SUBTRACT: return '-';
    case VK_OEM_PLUS: return '=';
    case VK_OEM_1: return ';';
    case VK_OEM_2:
    case VK_DIVIDE: return '/';
    case VK_OEM_3: return '`';
    case VK_OEM_4: return '[';
    case VK_OEM_5: return '\\';
    case VK_OEM_6: return ']';
    case VK_OEM_7: return '\'';
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    default: return 0;
    }
}

bool shift_key_down() {
    uint8_t state[256];
    keyboard_state(state);
    return (state[left_shift_key] & DEVICE_PRESSED) || (state[right_shift_key] & DEVICE_PRESSED);
}

} // namespace platform
