// The texture chain: every texture surface the driver created, so that textures can be found
// and dropped per raster; and the texture services built on it.
#pragma once

#include "engine/driver/lg_d3d_state.h"

struct LgD3DTexChainElement {
    LgD3DTexChainElement* next;
    platform::IDirectDrawSurface4* surface;
    LgD3DRasterSlice* slice;
};

// Empties the chain (the device opens with none); 1.
int32_t LgTexChainReset();
// Appends the raster's surface and slice; without memory it tells the debugger and adds none.
void LgTexChainAdd(LgRaster* raster);
// Unlinks and frees every element of the raster.
void LgTexChainRemove(LgRaster* raster);
// The first element, for walking the chain.
const LgD3DTexChainElement* LgTexChainFirst();

platform::IDirect3DTexture2* LgD3DGetTextureInterface(const LgRaster* raster);
// Asks Direct3D to evict its managed textures; its result.
int32_t LgD3DEvictManagedTextures();
