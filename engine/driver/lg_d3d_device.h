// Opening and releasing the DirectDraw/Direct3D device in the chosen sub-system and video mode,
// exclusive mode, free texture memory, and the viewport and material set-up they share.
#pragma once

#include "engine/driver/lg_d3d_state.h"

// Request 2: opens the device; 1, or 0 with the failure recorded and nothing held.
int32_t LgD3DOpenDevice();
// Releases every DirectX object of the open device and restores the display.
void LgD3DReleaseDevice();
// Request 8 (1 on, 0 off).
int32_t LgD3DSetExclusiveMode(int32_t on);
// Request 0xc: the free texture memory in bytes.
int32_t LgD3DGetFreeTextureMemory(uint32_t* out);

// Sets a viewport to width x height with the engine's clip volume (x from -1 over 2, y scaled
// by height / width) and depth 0..1.
int32_t LgD3DSetViewport(platform::IDirect3DViewport3* viewport, uint32_t width, uint32_t height);
// Sets a material to a plain diffuse colour (ramp size 1; everything else zero).
int32_t LgD3DSetBackgroundMaterial(platform::IDirect3DMaterial3* material, uint8_t red,
                                   uint8_t green, uint8_t blue);
// Creates a viewport for the device, adds it, sets it and makes it current.
platform::IDirect3DViewport3* LgD3DCreateViewport(platform::IDirect3DDevice3* device,
                                                  uint32_t width, uint32_t height,
                                                  const char** failure);

// The immediate-mode renderer's state (deferred-call buffer, fog tables) for a started device.
int32_t LgD3DImmediateOpen();
void LgD3DImmediateClose();
