// The graphics layer's view of the window service: a window handle is a platform::Window*.
#pragma once

#include "platform/graphics/presenter.h"

namespace platform {

// Hooks that let the presenter draw into the window service's SDL windows and place windowed
// blits at their client area.
GfxWindowHooks window_service_gfx_hooks();

} // namespace platform
