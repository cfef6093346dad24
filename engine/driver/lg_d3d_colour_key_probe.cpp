// The colour-key probe: which small channel values the device mistakes for the colour key 0.
// Pixel conversion rounds channels down, so a dark colour can pack to the key and vanish.
#include "engine/driver/lg_d3d_render_state_init.h"
#include "engine/driver/lg_d3d_surface.h"
#include "engine/driver/lg_d3d_texture_formats.h"
#include "engine/driver/lg_pixel_converter.h"

#include "platform/graphics/pixel_format.h"

using namespace platform;

namespace {

constexpr uint32_t probeSide = 32;
constexpr float triangleSide = 100.0f;
constexpr int32_t lastValue = 32;
// A texel that shows lands here, well inside the test triangle.
constexpr uint32_t sampleX = 10;
constexpr uint32_t sampleY = 10;

bool fill(IDirectDrawSurface4* surface, GfxRect* rect, uint32_t value) {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = value;
    return succeeded(surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
}

void draw_test_triangle(IDirect3DDevice3* device) {
    D3DTLVERTEX v[3] = {};
    const float corners[3][2] = {{0, 0}, {triangleSide, 0}, {0, triangleSide}};
    for (int i = 0; i < 3; ++i) {
        v[i].sx = corners[i][0];
        v[i].sy = corners[i][1];
        v[i].sz = 0.5f;
        v[i].rhw = 1.0f;
        v[i].color = 0xFFFFFFFF;
        v[i].specular = 0xFF000000;
        v[i].tu = corners[i][0] / triangleSide;
        v[i].tv = corners[i][1] / triangleSide;
    }
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, 3, D3DDP_WAIT | D3DDP_DONOTCLIP);
}

bool texel_shows(IDirectDrawSurface4* target) {
    DDSURFACEDESC2 desc{};
    auto* pixels = static_cast<uint8_t*>(LgD3DSurfaceLockRead(target, &desc));
    if (pixels == nullptr) return false;
    const uint32_t bytes = (format_bits(desc.ddpfPixelFormat) + 7) / 8;
    const uint32_t value =
        desc.dwWidth > sampleX && desc.dwHeight > sampleY
            ? load_pixel(pixels + sampleY * static_cast<uint32_t>(desc.lPitch) + sampleX * bytes,
                         bytes)
            : 0;
    LgD3DSurfaceUnlock(target);
    return value != 0;
}

// The smallest value of one channel that comes through, or lastValue + 1.
int32_t smallest_visible(IDirect3DDevice3* device, IDirectDrawSurface4* texture,
                         IDirectDrawSurface4* target, int32_t channel) {
    GfxRect area = {0, 0, static_cast<int32_t>(triangleSide), static_cast<int32_t>(triangleSide)};
    int32_t value = 1;
    for (; value <= lastValue; ++value) {
        LgRGBA colour = {0, 0, 0, 255};
        uint8_t* channels[3] = {&colour.red, &colour.green, &colour.blue};
        *channels[channel] = static_cast<uint8_t>(value);
        if (!fill(texture, nullptr, LgPixelFromRGBA(&colour)) || !fill(target, &area, 0)) break;
        draw_test_triangle(device);
        if (texel_shows(target)) return value;
    }
    return lastValue + 1;
}

void probe_format(IDirect3DDevice3* device, IDirectDrawSurface4* target,
                  LgD3DTextureFormat* entry) {
    DDSURFACEDESC2 desc = entry->desc;
    desc.dwWidth = desc.dwHeight = probeSide;
    desc.dwFlags |= DDSD_CKSRCBLT;
    desc.ddckCKSrcBlt = {0, 0};
    IDirectDrawSurface4* surface = nullptr;
    if (failed(LgD3DDriver.directDraw->CreateSurface(&desc, &surface, nullptr))) return;
    IDirect3DTexture2* texture = nullptr;
    if (succeeded(
            surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture)))) {
        LgD3DSetInitialRenderStates(device);
        // Only the texel decides the pixel: no blending, no depth test, texture colour alone.
        device->SetTexture(0, texture);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
        device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_NONE);
        device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
        device->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
        LgPixelFormatSetUp(&entry->desc.ddpfPixelFormat);
        int32_t smallest[3];
        for (int32_t channel = 0; channel < 3; ++channel)
            smallest[channel] = smallest_visible(device, surface, target, channel);
        if (smallest[0] < lastValue && smallest[1] < lastValue && smallest[2] < lastValue)
            for (int32_t channel = 0; channel < 3; ++channel)
                entry->smallestChannel[channel] = static_cast<uint8_t>(smallest[channel]);
        device->SetTexture(0, nullptr);
        texture->Release();
    }
    surface->Release();
}

} // namespace

void LgD3DProbeColourKey(IDirect3DDevice3* device, IDirectDrawSurface4* target) {
    if (device == nullptr || target == nullptr) return;
    for (LgD3DTextureFormat* entry = LgD3DDriver.formats.list; entry != nullptr;
         entry = entry->next) {
        const DDPIXELFORMAT& format = entry->desc.ddpfPixelFormat;
        if (entry->paletteCaps != 0 || (format.dwFlags & (DDPF_ANY_PALETTE | DDPF_FOURCC)) != 0)
            continue;
        probe_format(device, target, entry);
    }
    LgD3DSetInitialRenderStates(device);
}
