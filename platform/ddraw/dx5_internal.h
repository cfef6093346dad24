// What the DirectDraw and Direct3D halves of the older-interface facade share.
#pragma once

#include "platform/ddraw/dx5.h"

namespace platform::dx5 {

// The device surface behind a facade surface (no reference added).
platform::IDirectDrawSurface4* inner_surface(IDirectDrawSurface3* surface);
// The device's Direct3D object behind a DirectDraw facade (no reference added).
platform::IDirect3D3* inner_direct3d(IDirectDraw2* draw);
// A Direct3D facade over a DirectDraw facade (referenced).
int32_t make_direct3d(IDirectDraw2* draw, IDirect3D2** out);
// A handle for the surface's texture on a facade device.
int32_t texture_handle(IDirect3DDevice2* device, platform::IDirectDrawSurface4* surface,
                       D3DTEXTUREHANDLE* handle);
// A texture surface went away: every device forgets its handle.
void forget_texture_handles(platform::IDirect3DTexture2* texture);

} // namespace platform::dx5
