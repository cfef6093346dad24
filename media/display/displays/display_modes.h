// What the displays share: the sorted mode list read from DirectDraw, the windowed copy
// rectangles, and the raster face's lock flags.
#pragma once

#include "framework/platform/display_interface.h"
#include "platform/ddraw/dx5.h"

#include <vector>

struct OmListedMode {
    uint32_t width;
    uint32_t height;
    uint32_t format;
};

// The modes DirectDraw reports whose pixel format identifies to a known code, sorted by bits
// per pixel, width, height, then the whole code.
OmResult om_read_display_modes(platform::dx5::IDirectDraw2* draw, std::vector<OmListedMode>* out);

// Where a windowed present copies: source 0, 0, min(client, mode); destination the same size at
// the client area's screen origin (no stretching). false when the window cannot be placed.
bool om_windowed_copy_rects(platform::GfxWindow window, uint32_t client_width,
                            uint32_t client_height, uint32_t mode_width, uint32_t mode_height,
                            platform::GfxRect* source, platform::GfxRect* dest);

// DirectDraw lock flags of a raster lock mode (bit 0 write, bit 1 read).
uint32_t om_surface_lock_flags(uint32_t mode);
