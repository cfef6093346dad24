// What the event hub tells the window list when the system changed a window behind its back.
#pragma once

#include "platform/window/messages.h"

#include <cstdint>

namespace platform {

// The window manager moved, resized, minimised, maximised or restored a window.
void note_window_geometry(Window* window);
void note_window_show_state(Window* window, int show_command);
// Another client destroyed the window's system window: nothing is drawn into it any more. The
// window itself lives on until the program destroys it.
void note_window_lost(Window* window);
// The window whose system window has this X id, or null.
Window* window_from_x_window(uint64_t x_window);

} // namespace platform
