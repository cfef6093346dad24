// What the event hub tells the window list when the system changed a window behind its back.
#pragma once

#include "platform/window/messages.h"

namespace platform {

// The window manager moved, resized, minimised, maximised or restored a window.
void note_window_geometry(Window* window);
void note_window_show_state(Window* window, int show_command);

} // namespace platform
