// Pixel-format identification (a DirectDraw surface description to a raster format code) and
// colour conversion (a colour record to a device pixel value), shared by the displays and the
// Direct3D-backed renderer.
#pragma once

#include "framework/core/unknown.h"
#include "media/raster/pixel_format.h"
#include "platform/graphics/ddraw_types.h"

#include <cstdint>

// The raster format code of a pixel format; 0 when it is not one the system knows.
uint32_t om_identify_pixel_format(const platform::DDPIXELFORMAT& format);
// The same for a surface description; 0 when it carries no pixel format.
uint32_t om_identify_surface_format(const platform::DDSURFACEDESC2& desc);

// The device pixel value of a colour record in a format. OM_E_FAIL for formats without a
// conversion.
OmResult om_convert_colour(uint32_t format, OmColour colour, uint32_t* value);
