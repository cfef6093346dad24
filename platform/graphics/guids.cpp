// The interface and device ids of the graphics stand-in (our own values).
#include "platform/graphics/d3d.h"

namespace platform {
namespace {

constexpr GUID gfx_guid(uint32_t n) {
    return GUID{0x6C766300u + n, 0x7267, 0x7866, {0x63, 0x6F, 0x72, 0x76, 0x65, 0x6C, 0x67, 0x66}};
}

} // namespace

const GUID IID_IDirectDraw = gfx_guid(1);
const GUID IID_IDirectDraw2 = gfx_guid(2);
const GUID IID_IDirectDraw4 = gfx_guid(3);
const GUID IID_IDirectDrawSurface4 = gfx_guid(4);
const GUID IID_IDirectDrawPalette = gfx_guid(5);
const GUID IID_IDirectDrawClipper = gfx_guid(6);
const GUID IID_IDirect3D3 = gfx_guid(7);
const GUID IID_IDirect3DDevice3 = gfx_guid(8);
const GUID IID_IDirect3DViewport3 = gfx_guid(9);
const GUID IID_IDirect3DMaterial3 = gfx_guid(10);
const GUID IID_IDirect3DTexture2 = gfx_guid(11);
const GUID IID_IDirect3DHALDevice = gfx_guid(12);
const GUID IID_IDirect3DRGBDevice = gfx_guid(13);
const GUID IID_IDirect3DRefDevice = gfx_guid(14);
const GUID GUID_SecondaryDisplayDriver = gfx_guid(15);

} // namespace platform
