// Where shown frames go: an SDL2 window (a streaming texture in the surface's own format), or,
// headless, a copy of the last frame kept in memory.
#pragma once

#include "platform/graphics/com_base.h"
#include "platform/graphics/ddraw_types.h"

#include <SDL.h>

#include <cstdint>
#include <vector>

namespace platform {

// How the graphics layer finds the window service's SDL window for a window handle, and the
// client area's origin in screen coordinates (windowed blits to the primary arrive in screen
// coordinates). Without hooks the presenter opens its own window and takes the origin as 0,0.
struct GfxWindowHooks {
    SDL_Window* (*sdl_window)(GfxWindow window) = nullptr;
    bool (*client_origin)(GfxWindow window, int32_t* x, int32_t* y) = nullptr;
    // True when the window's system window was destroyed by someone else: nothing is drawn.
    bool (*lost)(GfxWindow window) = nullptr;
};
void set_gfx_window_hooks(const GfxWindowHooks& hooks);
const GfxWindowHooks& gfx_window_hooks();

// A presented frame as 0xFFRRGGBB pixels, rows top to bottom.
struct PresentedFrame {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels;
    uint64_t serial = 0; // counts presents since start
};

// Shows a w x h block of pixels in format `format` (pitch in bytes). palette: 256 ARGB entries
// for palettised formats, else null. vsync follows the flip flags.
void present_frame(GfxWindow window, const uint8_t* pixels, int32_t pitch, uint32_t w, uint32_t h,
                   const DDPIXELFORMAT& format, const uint32_t* palette, bool vsync);

// The last frame shown (kept when headless, converted from the shown format on the first call
// after a present; windowed, kept while an observer is set; empty before the first present).
const PresentedFrame& last_presented_frame();

// Called with every frame shown, headless or windowed (null: none). Test runs use it to keep
// the frames the program shows; it costs a conversion per frame only while set.
using PresentObserver = void (*)(const PresentedFrame& frame);
void set_present_observer(PresentObserver observer);

// Frees the texture and the renderer the presenter made for `window`, if it shows there: the
// window service calls it before destroying an SDL window.
void release_presentation_of(SDL_Window* window);

// Frees the texture and the renderer the presenter made and closes its own window, if any.
void shut_down_presenter();

} // namespace platform
