// Native textures in the engine's chunked streams: the device's surface description ("DDS "),
// every mip level's raw pixels and the palette (standard functions 25-27).
#pragma once

#include "engine/driver/lg_d3d_state.h"

struct LgStream;

// Slot 25 (out u32 size, texture): the bytes slot 27 writes; 1, 0 without a surface.
int32_t LgD3DNativeTextureSize(void* out, void* texture, int32_t);
// Slot 26 (stream, out texture): reads a native texture and creates it; 1, or 0 with the
// out texture null and nothing left behind.
int32_t LgD3DNativeTextureRead(void* stream, void* outTexture, int32_t);
// Slot 27 (stream, texture): writes the texture; 1, 0 on the first failed write or lock.
int32_t LgD3DNativeTextureWrite(void* stream, void* texture, int32_t);

// Reads the surface body of a struct chunk of `length` bytes into a new texture raster; null
// when it cannot be read or the device cannot make it.
LgRaster* LgD3DReadNativeRaster(LgStream* stream, uint32_t length);
