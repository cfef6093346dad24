// OmLgRenderer: the renderer interface drawing through the 3-D engine into an engine camera,
// with the engine raster factory it hands out and the raster objects that wrap engine
// rasters; and the engine's "jpg" reader that decodes through the framework's image service.
#pragma once

#include "engine/core/lg_engine.h"
#include "framework/core/class_factory.h"
#include "media/display/renderer.h"

inline constexpr GUID CLSID_OmLgRenderer = om_guid("8A59DBC4-75CB-4077-99C4-8494528A333F");

// The engine raster format of a framework pixel-format code, and back (0 when none).
int32_t OmLgEngineFormat(uint32_t code);
uint32_t OmLgFrameworkFormat(int32_t engine_format);
// A texture side snapped to the nearer power of two (ties go down), at most 4096.
int32_t OmLgSnapTextureSide(int32_t side);

// A new engine raster factory (one reference), as the renderer's CreateTextureFactory.
OmResult OmLgNewRasterFactory(IRasterCreate** out);
// The engine raster of a raster object made by the factory, null for any other raster.
LgRaster* OmLgRasterOf(IRaster* raster);

// The engine's reader for "jpg" files: the file decoded by the image service as 32-bit
// colour, red and blue swapped into the engine's byte order, halved when the program's
// texture reduction is above 1. Null on any failure.
LgImage* TvLoadImageRaster(const char* path);

OM_DECLARE_MODULE(OmLgRenderer);
