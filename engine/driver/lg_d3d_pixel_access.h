// The driver's standard functions that convert colours and move pixels: colour to device pixel
// and back, images to and from rasters, the raster format an image becomes, the drawing target
// with its clears, and the raster copies into it.
#pragma once

#include "engine/driver/lg_d3d_state.h"

// Slot 2 (out pixel, RGBA, raster format): 1, 0 for a format it does not know. In formats
// without alpha, pixel 0 stands for transparent: an opaque colour that packs to 0 becomes the
// darkest pixel the device shows.
int32_t LgD3DRGBAToPixel(void* out, void* colour, int32_t format);
// Slot 3 (out RGBA, pointer to the pixel, raster format): 1, 0 for an unknown format.
int32_t LgD3DPixelToRGBA(void* out, void* pixel, int32_t format);
// Slot 6 (image, raster): the raster's pixels into the image; 1 or 0.
int32_t LgD3DImageFromRaster(void* image, void* raster, int32_t);
// Slot 7 (raster, image): the image's pixels into the raster; 1 or 0.
int32_t LgD3DRasterFromImage(void* raster, void* image, int32_t);
// Slot 9 (out raster record, image, raster-create flags): the size, depth, type and format
// byte the image should become; 0 with {0, 0x8000000d} for an unsupported raster type.
int32_t LgD3DImageRasterFormat(void* out, void* image, int32_t flags);

// Slot 11 (raster): the drawing target; 0 (and no target) when the raster has no surface.
int32_t LgD3DSetTarget(void* raster, void*, int32_t);
// Slot 13 (rectangle as LgRect, -, pixel value) inside the drawing target.
int32_t LgD3DClearRect(void* rect, void*, int32_t value);
// Slot 14 (-, -, pixel value): the whole drawing target.
int32_t LgD3DClearTarget(void*, void*, int32_t value);

// The position of a copy into the drawing target.
struct LgD3DPoint {
    int32_t x, y;
};
// Slot 17 (raster, LgD3DPoint): the raster at the point, its colour-keyed pixels left out.
int32_t LgD3DRasterRenderTransparent(void* raster, void* point, int32_t);
// Slot 18 (raster, LgRect): the raster scaled into the rectangle, keyed pixels left out.
int32_t LgD3DRasterRenderScaled(void* raster, void* rect, int32_t);
// Slot 19 (raster, LgD3DPoint): the raster copied opaque at the point.
int32_t LgD3DRasterRenderFast(void* raster, void* point, int32_t);

// The darkest pixel the device shows in a format without alpha (raster format code), which
// stands in for opaque colours that would pack to the transparent 0: measured by the colour-key
// probe where it ran, else 1.
uint32_t LgD3DDarkestVisiblePixel(int32_t code);
