// The driver's standard functions for rasters and cameras (slots of the engine's
// standard-function table), each called as (out, in, number) -> 1 or 0.
#pragma once

#include "engine/driver/lg_d3d_state.h"

// Slot 4 (raster, -, create flags).
int32_t LgD3DRasterCreate(void* raster, void*, int32_t flags);
// Slot 5 (raster).
int32_t LgD3DRasterDestroy(void* raster, void*, int32_t);
// Slot 8 (out word, -, value).
int32_t LgD3DStoreValue(void* out, void*, int32_t value);
// Slot 12 (raster, parent).
int32_t LgD3DSubRaster(void* raster, void* parent, int32_t);
// Slot 15 (out pixels, raster, (level << 8) + lock mode).
int32_t LgD3DRasterLock(void* out, void* raster, int32_t levelAndMode);
// Slot 16 (raster).
int32_t LgD3DRasterUnlock(void* raster, void*, int32_t);
// Slot 20 (raster, window, flags).
int32_t LgD3DRasterShow(void* raster, void* window, int32_t flags);
// Slot 22 (-, -, flag): non-zero replays the translucent triangles last queued first.
int32_t LgD3DSetTranslucentReplayOrder(void*, void*, int32_t flag);
// Slot 23 (out palette, raster, lock mode).
int32_t LgD3DPaletteLock(void* out, void* raster, int32_t mode);
// Slot 24 (raster).
int32_t LgD3DPaletteUnlock(void* raster, void*, int32_t);
// Slot 28 (out count, raster).
int32_t LgD3DRasterNumLevels(void* out, void* raster, int32_t);

// Slot 1 (camera).
int32_t LgD3DCameraBeginUpdate(void* camera, void*, int32_t);
// Slot 10 (camera).
int32_t LgD3DCameraEndUpdate(void* camera, void*, int32_t);
// Slot 21 (camera, RGBA colour, clear flags).
int32_t LgD3DCameraClear(void* camera, void* colour, int32_t flags);

// Detaches every camera drawing into the raster slice (the raster goes away or changes).
void LgD3DDetachCameras(LgD3DRasterSlice* slice);
