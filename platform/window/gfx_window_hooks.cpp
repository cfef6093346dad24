// The graphics layer's view of the window service.
#include "platform/window/gfx_window_hooks.h"

#include "platform/window/window.h"

namespace platform {

GfxWindowHooks window_service_gfx_hooks() {
    GfxWindowHooks hooks;
    hooks.sdl_window = [](GfxWindow handle) { return sdl_window(static_cast<Window*>(handle)); };
    hooks.client_origin = [](GfxWindow handle, int32_t* x, int32_t* y) {
        int cx = 0, cy = 0, width = 0, height = 0;
        if (!window_client_rect(static_cast<Window*>(handle), &cx, &cy, &width, &height))
            return false;
        *x = cx;
        *y = cy;
        return true;
    };
    hooks.lost = [](GfxWindow handle) {
        return sdl_window_lost(sdl_window(static_cast<Window*>(handle)));
    };
    return hooks;
}

} // namespace platform
