// Window messages, virtual-key codes and the message record of the window stand-in, numbered as
// the program's window code expects them.
#pragma once

#include <cstdint>

namespace platform {

struct Window;

// One queued window message. `window` is null for messages addressed to no window (quit).
struct Msg {
    Window* window;
    uint32_t message;
    uintptr_t wparam;
    intptr_t lparam;
    uint32_t time; // timeGetTime() when the message was queued
};

// Message numbers.
inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_MOVE = 0x0003;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_ACTIVATE = 0x0006;
inline constexpr uint32_t WM_SETFOCUS = 0x0007;
inline constexpr uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr uint32_t WM_ACTIVATEAPP = 0x001C;
inline constexpr uint32_t WM_MOUSEACTIVATE = 0x0021;
inline constexpr uint32_t WM_GETMINMAXINFO = 0x0024;
inline constexpr uint32_t WM_NCACTIVATE = 0x0086;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_SYSCHAR = 0x0106;
inline constexpr uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr uint32_t WM_USER = 0x0400;

// WM_ACTIVATE low word.
inline constexpr uint32_t WA_INACTIVE = 0;
inline constexpr uint32_t WA_ACTIVE = 1;
inline constexpr uint32_t WA_CLICKACTIVE = 2;

// WM_SIZE kinds.
inline constexpr uint32_t SIZE_RESTORED = 0;
inline constexpr uint32_t SIZE_MINIMIZED = 1;
inline constexpr uint32_t SIZE_MAXIMIZED = 2;

// WM_MOUSEACTIVATE results.
inline constexpr intptr_t MA_ACTIVATE = 1;
inline constexpr intptr_t MA_ACTIVATEANDEAT = 2;

// WM_SYSCOMMAND commands (the low four bits are used by the system).
inline constexpr uint32_t SC_CLOSE = 0xF060;
inline constexpr uint32_t SC_KEYMENU = 0xF100;
inline constexpr uint32_t SC_SCREENSAVE = 0xF140;
inline constexpr uint32_t SC_MONITORPOWER = 0xF170;

// Mouse-message key state (wParam).
inline constexpr uint32_t MK_LBUTTON = 0x0001;
inline constexpr uint32_t MK_RBUTTON = 0x0002;
inline constexpr uint32_t MK_SHIFT = 0x0004;
inline constexpr uint32_t MK_CONTROL = 0x0008;
inline constexpr uint32_t MK_MBUTTON = 0x0010;
inline constexpr int WHEEL_DELTA = 120;

// Show commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;

// Key-message lParam: bits 0-15 repeat count, 16-23 scan code, 24 extended key, 29 Alt held,
// 30 key was down before, 31 key is being released.
inline constexpr intptr_t KF_EXTENDED_BIT = intptr_t(1) << 24;
inline constexpr intptr_t KF_ALTDOWN_BIT = intptr_t(1) << 29;
inline constexpr intptr_t KF_REPEAT_BIT = intptr_t(1) << 30;
inline constexpr intptr_t KF_UP_BIT = intptr_t(1) << 31;

inline constexpr intptr_t make_key_lparam(uint32_t repeat, uint32_t scan, bool extended, bool alt,
                                          bool was_down, bool releasing) {
    return intptr_t((repeat & 0xFFFFu) | ((scan & 0xFFu) << 16) | (extended ? 1u << 24 : 0) |
                    (alt ? 1u << 29 : 0) | (was_down ? 1u << 30 : 0) | (releasing ? 1u << 31 : 0));
}
inline constexpr uint32_t key_repeat_count(intptr_t lparam) {
    return uint32_t(lparam) & 0xFFFFu;
}
inline constexpr bool key_is_extended(intptr_t lparam) {
    return (uint32_t(lparam) >> 24) & 1u;
}

// Point messages pack x in the low and y in the high signed 16-bit half of lParam.
inline constexpr intptr_t make_point_lparam(int x, int y) {
    return intptr_t((uint32_t(uint16_t(int16_t(x)))) | (uint32_t(uint16_t(int16_t(y))) << 16));
}
inline constexpr int point_x(intptr_t lparam) {
    return int16_t(uint16_t(uint32_t(lparam) & 0xFFFFu));
}
inline constexpr int point_y(intptr_t lparam) {
    return int16_t(uint16_t(uint32_t(lparam) >> 16));
}

struct Point {
    int32_t x, y;
};

// What WM_GETMINMAXINFO's lParam points to.
struct MinMaxInfo {
    Point reserved;
    Point max_size;
    Point max_position;
    Point min_track_size;
    Point max_track_size;
};

// Virtual-key codes.
inline constexpr uint32_t VK_LBUTTON = 0x01;
inline constexpr uint32_t VK_RBUTTON = 0x02;
inline constexpr uint32_t VK_CANCEL = 0x03;
inline constexpr uint32_t VK_MBUTTON = 0x04;
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_TAB = 0x09;
inline constexpr uint32_t VK_CLEAR = 0x0C;
inline constexpr uint32_t VK_RETURN = 0x0D;
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_CONTROL = 0x11;
inline constexpr uint32_t VK_MENU = 0x12; // Alt
inline constexpr uint32_t VK_PAUSE = 0x13;
inline constexpr uint32_t VK_CAPITAL = 0x14;
inline constexpr uint32_t VK_ESCAPE = 0x1B;
inline constexpr uint32_t VK_SPACE = 0x20;
inline constexpr uint32_t VK_PRIOR = 0x21;
inline constexpr uint32_t VK_NEXT = 0x22;
inline constexpr uint32_t VK_END = 0x23;
inline constexpr uint32_t VK_HOME = 0x24;
inline constexpr uint32_t VK_LEFT = 0x25;
inline constexpr uint32_t VK_UP = 0x26;
inline constexpr uint32_t VK_RIGHT = 0x27;
inline constexpr uint32_t VK_DOWN = 0x28;
inline constexpr uint32_t VK_SNAPSHOT = 0x2C;
inline constexpr uint32_t VK_INSERT = 0x2D;
inline constexpr uint32_t VK_DELETE = 0x2E;
// '0'-'9' are 0x30-0x39 and 'A'-'Z' 0x41-0x5A.
inline constexpr uint32_t VK_LWIN = 0x5B;
inline constexpr uint32_t VK_RWIN = 0x5C;
inline constexpr uint32_t VK_APPS = 0x5D;
inline constexpr uint32_t VK_NUMPAD0 = 0x60;
inline constexpr uint32_t VK_MULTIPLY = 0x6A;
inline constexpr uint32_t VK_ADD = 0x6B;
inline constexpr uint32_t VK_SUBTRACT = 0x6D;
inline constexpr uint32_t VK_DECIMAL = 0x6E;
inline constexpr uint32_t VK_DIVIDE = 0x6F;
inline constexpr uint32_t VK_F1 = 0x70;
inline constexpr uint32_t VK_F4 = 0x73;
inline constexpr uint32_t VK_F10 = 0x79;
inline constexpr uint32_t VK_F11 = 0x7A;
inline constexpr uint32_t VK_F12 = 0x7B;
inline constexpr uint32_t VK_NUMLOCK = 0x90;
inline constexpr uint32_t VK_SCROLL = 0x91;
inline constexpr uint32_t VK_OEM_1 = 0xBA;      // ;:
inline constexpr uint32_t VK_OEM_PLUS = 0xBB;   // =+
inline constexpr uint32_t VK_OEM_COMMA = 0xBC;  // ,<
inline constexpr uint32_t VK_OEM_MINUS = 0xBD;  // -_
inline constexpr uint32_t VK_OEM_PERIOD = 0xBE; // .>
inline constexpr uint32_t VK_OEM_2 = 0xBF;      // /?
inline constexpr uint32_t VK_OEM_3 = 0xC0;      // `~
inline constexpr uint32_t VK_OEM_4 = 0xDB;      // [{
inline constexpr uint32_t VK_OEM_5 = 0xDC;      // backslash |
inline constexpr uint32_t VK_OEM_6 = 0xDD;      // ]}
inline constexpr uint32_t VK_OEM_7 = 0xDE;      // '"
inline constexpr uint32_t VK_OEM_102 = 0xE2;    // the extra key left of Z

} // namespace platform
