// Whether a window has the input focus, as foreground input devices ask it; tests can stand
// in for the window manager.
#pragma once

#include "platform/graphics/com_base.h"

namespace platform {

// True while `window` has focus: the window service's answer, unless a test forced one.
bool window_has_input_focus(GfxWindow window);

// Forces every window's focus to `focused` until cleared (tests: focus loss and recovery
// without a window manager).
void force_input_focus(bool focused);
void clear_forced_input_focus();

} // namespace platform
