// The software renderers' texture factory: a raster description that only makes rasters the
// software triangle routines can use (camera, texture, palette and picture kinds in the
// renderer's own format; textures 128 x 128).
#pragma once

#include "media/raster/raster.h"

// A new factory for rasters of `format`. OM_E_OUTOFMEMORY.
OmResult sw_create_texture_factory(uint32_t format, IRasterCreate** out);
