// Surface locks and mip-level walks.
#include "engine/driver/lg_d3d_surface.h"

#include "engine/core/lg_error.h"

using namespace platform;

namespace {

void* lock(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc, uint32_t flags) {
    if (surface == nullptr || desc == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
        return nullptr;
    }
    *desc = DDSURFACEDESC2{};
    desc->dwSize = sizeof(DDSURFACEDESC2);
    if (failed(surface->Lock(nullptr, desc, DDLOCK_WAIT | flags, nullptr))) return nullptr;
    return desc->lpSurface;
}

} // namespace

void* LgD3DSurfaceLockRead(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc) {
    return lock(surface, desc, DDLOCK_READONLY);
}

void* LgD3DSurfaceLockWrite(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc) {
    return lock(surface, desc, DDLOCK_WRITEONLY);
}

void* LgD3DSurfaceLockReadWrite(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc) {
    return lock(surface, desc, 0);
}

int32_t LgD3DSurfaceUnlock(IDirectDrawSurface4* surface) {
    if (surface == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
        return 0;
    }
    return succeeded(surface->Unlock(nullptr)) ? 1 : 0;
}

IDirectDrawSurface4* LgD3DGetNextMipLevel(IDirectDrawSurface4* surface) {
    if (surface == nullptr) return nullptr;
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    IDirectDrawSurface4* level = nullptr;
    if (failed(surface->GetAttachedSurface(&caps, &level)) || level == nullptr) return nullptr;
    // The chain holds the level as long as its top surface lives.
    level->Release();
    return level;
}

IDirectDrawSurface4* LgD3DGetMipLevel(IDirectDrawSurface4* surface, int32_t n) {
    for (int32_t i = 0; i < n && surface != nullptr; ++i) surface = LgD3DGetNextMipLevel(surface);
    return surface;
}
