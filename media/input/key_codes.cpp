// Scan code to key code table. Printable keys give their lower-case character, the others
// codes from 0x80 up; the keypad keys give the codes Control.ini names for them (keypad 0 is
// 0x97, apart from keypad 4), so every keypad binding can fire.
#include "media/input/key_codes.h"

#include <array>

namespace {

constexpr uint32_t highest_scan_code = 0xDD;
constexpr uint8_t no_key = 255;

struct Row {
    uint8_t scan;
    uint8_t code;
};

constexpr Row rows[] = {
    {0x01, 0x80}, // Escape
    {0x02, '1'},
    {0x03, '2'},
    {0x04, '3'},
    {0x05, '4'},
    {0x06, '5'},
    {0x07, '6'},
    {0x08, '7'},
    {0x09, '8'},
    {0x0A, '9'},
    {0x0B, '0'},
    {0x0C, '-'},
    {0x0D, '='},
    {0x0E, 0xA8}, // Backspace
    {0x0F, 0xA9}, // Tab
    {0x10, 'q'},
    {0x11, 'w'},
    {0x12, 'e'},
    {0x13, 'r'},
    {0x14, 't'},
    {0x15, 'y'},
    {0x16, 'u'},
    {0x17, 'i'},
    {0x18, 'o'},
    {0x19, 'p'},
    {0x1A, '['},
    {0x1B, ']'},
    {0x1C, 0xAB}, // Return
    {0x1D, 0xAE}, // left Control
    {0x1E, 'a'},
    {0x1F, 's'},
    {0x20, 'd'},
    {0x21, 'f'},
    {0x22, 'g'},
    {0x23, 'h'},
    {0x24, 'j'},
    {0x25, 'k'},
    {0x26, 'l'},
    {0x27, ';'},
    {0x28, '\''},
    {0x29, '`'},
    {0x2A, 0xAC}, // left Shift
    {0x2B, '\\'},
    {0x2C, 'z'},
    {0x2D, 'x'},
    {0x2E, 'c'},
    {0x2F, 'v'},
    {0x30, 'b'},
    {0x31, 'n'},
    {0x32, 'm'},
    {0x33, ','},
    {0x34, '.'},
    {0x35, '/'},
    {0x36, 0xAD}, // right Shift
    {0x37, 0xA3}, // keypad *
    {0x38, 0xB0}, // left Alt
    {0x39, ' '},
    {0x3A, 0xAA}, // Caps Lock
    {0x3B, 0x81},
    {0x3C, 0x82},
    {0x3D, 0x83},
    {0x3E, 0x84},
    {0x3F, 0x85}, // F1-F5
    {0x40, 0x86},
    {0x41, 0x87},
    {0x42, 0x88},
    {0x43, 0x89},
    {0x44, 0x8A}, // F6-F10
    {0x45, 0xA1}, // Num Lock
    {0x47, 0x99},
    {0x48, 0x9D},
    {0x49, 0x9B}, // keypad 7 8 9
    {0x4A, 0xA4}, // keypad -
    {0x4B, 0x9F},
    {0x4C, 0xA7},
    {0x4D, 0xA0}, // keypad 4 5 6
    {0x4E, 0xA5}, // keypad +
    {0x4F, 0x9A},
    {0x50, 0x9E},
    {0x51, 0x9C}, // keypad 1 2 3
    {0x52, 0x97}, // keypad 0
    {0x53, 0x98}, // keypad point (delete)
    {0x57, 0x8B},
    {0x58, 0x8C}, // F11 F12
    // The Japanese keyboard's circumflex, at, colon and underline keys.
    {0x90, '`'},
    {0x91, '@'},
    {0x92, ':'},
    {0x93, '_'},
    {0x9C, 0xA6}, // keypad Enter
    {0x9D, 0xAF}, // right Control
    {0xB5, 0xA2}, // keypad /
    {0xB8, 0xB1}, // right Alt
    {0xC7, 0x8F}, // Home
    {0xC8, 0x93}, // Up
    {0xC9, 0x91}, // Page Up
    {0xCB, 0x95}, // Left
    {0xCD, 0x96}, // Right
    {0xCF, 0x90}, // End
    {0xD0, 0x94}, // Down
    {0xD1, 0x92}, // Page Down
    {0xD2, 0x8D}, // Insert
    {0xD3, 0x8E}, // Delete
};

constexpr std::array<uint8_t, highest_scan_code + 1> make_table() {
    std::array<uint8_t, highest_scan_code + 1> t{};
    for (uint8_t& c : t) c = no_key;
    for (const Row& r : rows) t[r.scan] = r.code;
    return t;
}

constexpr auto table = make_table();

} // namespace

uint8_t InputKeyCodeOfScanCode(uint32_t scan_code) {
    return scan_code <= highest_scan_code ? table[scan_code] : no_key;
}
