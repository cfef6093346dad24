// Thin operations on DirectDraw surfaces that the driver shares: whole-surface locks, unlock
// and the walk down a texture's mip chain.
#pragma once

#include "platform/graphics/ddraw.h"

// Lock the whole surface and return its pixels (desc gets pitch and format); null with
// {0, 0x80000016} for a null surface or description, null when the lock fails.
void* LgD3DSurfaceLockRead(platform::IDirectDrawSurface4* surface, platform::DDSURFACEDESC2* desc);
void* LgD3DSurfaceLockWrite(platform::IDirectDrawSurface4* surface, platform::DDSURFACEDESC2* desc);
void* LgD3DSurfaceLockReadWrite(platform::IDirectDrawSurface4* surface,
                                platform::DDSURFACEDESC2* desc);
// 1 when the unlock succeeds; a null surface records {0, 0x80000016}.
int32_t LgD3DSurfaceUnlock(platform::IDirectDrawSurface4* surface);

// The next smaller mip level, or null. The level stays owned by the chain: no reference is
// handed out.
platform::IDirectDrawSurface4* LgD3DGetNextMipLevel(platform::IDirectDrawSurface4* surface);
// Level n below the surface (0: the surface itself), or null when the chain is shorter.
platform::IDirectDrawSurface4* LgD3DGetMipLevel(platform::IDirectDrawSurface4* surface, int32_t n);
