// The device's texture formats: classification into raster format codes, the surface
// templates, the choice table by image alpha and palette, and the colour-key probe.
#pragma once

#include "engine/driver/lg_d3d_state.h"

// The raster format code of a DirectDraw pixel format (its FourCC when it has one).
int32_t LgD3DPixelFormatCode(const platform::DDPIXELFORMAT* format);

// Builds the templates and format entries for the device drawing into `target`; 1, or 0 with
// driver error 2 and its message.
int32_t LgD3DEnumTextureFormats(platform::IDirect3DDevice3* device,
                                platform::IDirectDrawSurface4* target);
// Returns every entry and destroys their free list (device stop).
void LgD3DFreeTextureFormats();

// The listed entry with that code (first found), or null.
LgD3DTextureFormat* LgD3DFindTextureFormat(int32_t code);

// Measures, for each listed non-palette format, the smallest red, green and blue values that
// the device does not take for the colour key.
void LgD3DProbeColourKey(platform::IDirect3DDevice3* device, platform::IDirectDrawSurface4* target);
