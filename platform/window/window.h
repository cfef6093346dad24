// Top-level windows over SDL (a virtual window without a display), with the show states,
// placement, cursor and capture the program's window service relies on.
#pragma once

#include "platform/window/messages.h"

#include <string>
#include <string_view>

struct SDL_Window;

namespace platform {

// The window procedure: called with the context given at creation.
using WindowProc = intptr_t (*)(void* context, Window* window, uint32_t message, uintptr_t wparam,
                                intptr_t lparam);

struct WindowDesc {
    std::string_view class_name;
    std::string_view title;
    WindowProc proc = nullptr;
    void* context = nullptr;
    // Client size of the window until it is moved.
    int width = 640;
    int height = 480;
};

// Creates a hidden window. Headless (or when SDL cannot make a window) the window is virtual:
// it keeps its state without showing anything. Null only when memory runs out.
Window* create_window(const WindowDesc& desc);
// Sends WM_DESTROY to the procedure, forgets the window's queued messages and frees it.
// Does nothing for a window that is not alive.
void destroy_window(Window* window);
// Replaces the window's procedure and its context (a null procedure leaves every message to
// def_window_proc).
void set_window_proc(Window* window, WindowProc proc, void* context);
// True while the window is alive (safe to call with any pointer).
bool is_window(Window* window);
// The first live window of a class (the class name compares exactly), or null.
Window* find_window(std::string_view class_name);

// Calls the window's procedure at once; 0 when the window is not alive.
intptr_t send_message(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// What a window does with a message its procedure leaves alone.
intptr_t def_window_proc(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);

// Show state: SW_HIDE, SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED. Showing in the
// state the window already has does nothing.
void show_window(Window* window, int show_command);
int window_show_state(Window* window);
bool is_minimized(Window* window);

// Places the window's client area at (x, y) on the desktop with the given size.
void move_window(Window* window, int x, int y, int width, int height);
// The client area's position and size; false for a dead window.
bool window_client_rect(Window* window, int* x, int* y, int* width, int* height);
// The desktop's size in pixels (1024 x 768 without a display).
Point desktop_size();

void set_window_title(Window* window, std::string_view title);
// The window's icon: width x height pixels, 0xAARRGGBB, row by row. The window keeps a copy
// (a virtual window too); false for a dead window or an empty picture.
bool set_window_icon(Window* window, const uint32_t* pixels, int width, int height);
// The icon's size, (0, 0) when the window has none.
Point window_icon_size(Window* window);
std::string window_title(Window* window);
std::string window_class_name(Window* window);

// Queues one WM_PAINT for the window unless one is already waiting.
void invalidate_window(Window* window);
// Headless windows are always in the foreground and focused, unless a test has taken them out
// of it with set_headless_foreground(false).
bool is_foreground(Window* window);
void set_headless_foreground(bool foreground);

// Whether the system window behind an SDL window was destroyed by someone else (nothing may be
// drawn into it).
bool sdl_window_lost(SDL_Window* window);

// The SDL window behind a window, or null for a virtual one.
SDL_Window* sdl_window(Window* window);
// The window that SDL knows by this window id, or null.
Window* window_from_sdl_id(uint32_t sdl_window_id);
// The window that keyboard input goes to: the focused one, else the oldest live window.
Window* input_window(uint32_t sdl_window_id);

// The cursor's display count: the cursor shows while it is 0 or more. Returns the new count.
int show_cursor(bool show);
// Puts the pointer at a desktop position (remembered without a display).
void set_cursor_pos(int x, int y);
// The position last put with set_cursor_pos, (0, 0) before any.
Point cursor_pos();
// Whether the cursor, when shown, is the arrow (true) or none.
void set_arrow_cursor(bool arrow);
// Mouse capture: the window keeps the mouse (confined to it) until released.
void set_capture(Window* window);
void release_capture();
Window* capture_window();

} // namespace platform
