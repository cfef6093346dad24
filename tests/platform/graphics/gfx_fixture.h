// A small off-screen scene for graphics tests: DirectDraw, Direct3D, a colour target with an
// optional z-buffer, a device and a full-target viewport.
#pragma once

#include "platform/graphics/d3d.h"
#include "platform/graphics/device_profile.h"
#include "platform/graphics/pixel_format.h"
#include "tests/support/png_file.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace gfxtest {

using namespace platform;

inline D3DTLVERTEX tl(float x, float y, float z, uint32_t color, float u = 0, float v = 0,
                      uint32_t fog = 255, float rhw = 1.0f) {
    return D3DTLVERTEX{x, y, z, rhw, color, fog << 24, u, v};
}

inline DDSURFACEDESC2 surface_desc(uint32_t caps, uint32_t w, uint32_t h,
                                   const DDPIXELFORMAT* format = nullptr) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (format ? DDSD_PIXELFORMAT : 0);
    d.dwWidth = w;
    d.dwHeight = h;
    d.ddsCaps.dwCaps = caps;
    if (format) d.ddpfPixelFormat = *format;
    return d;
}

inline ComPtr<IDirectDraw4> make_direct_draw(uint32_t coop = 0x808, GfxWindow window = nullptr) {
    IUnknown* unk = nullptr;
    EXPECT_EQ(DirectDrawCreate(nullptr, &unk, nullptr), DD_OK);
    ComPtr<IUnknown> first(unk);
    ComPtr<IDirectDraw4> dd;
    EXPECT_EQ(unk->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(dd.put())), S_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(window, coop), DD_OK);
    return dd;
}

inline void write_pixels(IDirectDrawSurface4* s, uint32_t w, uint32_t h, uint32_t bytes,
                         uint32_t (*fn)(uint32_t, uint32_t)) {
    DDSURFACEDESC2 lock{};
    lock.dwSize = sizeof(lock);
    ASSERT_EQ(s->Lock(nullptr, &lock, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            store_pixel(static_cast<uint8_t*>(lock.lpSurface) + y * uint32_t(lock.lPitch) +
                            x * bytes,
                        bytes, fn(x, y));
    s->Unlock(nullptr);
}

// A managed texture of the given format whose raw pixels come from fn(x, y).
inline ComPtr<IDirectDrawSurface4> make_texture(IDirectDraw4* dd, uint32_t w, uint32_t h,
                                                DDPIXELFORMAT format,
                                                uint32_t (*fn)(uint32_t, uint32_t),
                                                bool keyed = false, bool mipmapped = false) {
    DDSURFACEDESC2 d = surface_desc(DDSCAPS_TEXTURE, w, h, &format);
    d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    if (keyed) d.dwFlags |= DDSD_CKSRCBLT;
    if (mipmapped) d.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    ComPtr<IDirectDrawSurface4> s;
    EXPECT_EQ(dd->CreateSurface(&d, s.put(), nullptr), DD_OK);
    if (s) write_pixels(s.get(), w, h, format.dwRGBBitCount / 8, fn);
    return s;
}

inline ComPtr<IDirect3DTexture2> texture_of(IDirectDrawSurface4* s) {
    ComPtr<IDirect3DTexture2> t;
    EXPECT_EQ(s->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(t.put())), S_OK);
    return t;
}

struct Scene {
    ComPtr<IDirectDraw4> dd;
    ComPtr<IDirect3D3> d3d;
    ComPtr<IDirectDrawSurface4> target, zbuffer;
    ComPtr<IDirect3DDevice3> device;
    ComPtr<IDirect3DViewport3> viewport;
    uint32_t width, height;
    DDPIXELFORMAT format;

    explicit Scene(uint32_t w = 64, uint32_t h = 64, DDPIXELFORMAT fmt = format_565(),
                   uint32_t zbits = 16)
        : width(w), height(h), format(fmt) {
        dd = make_direct_draw();
        EXPECT_EQ(dd->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(d3d.put())), S_OK);
        DDSURFACEDESC2 d = surface_desc(0x2840, w, h, &fmt);
        EXPECT_EQ(dd->CreateSurface(&d, target.put(), nullptr), DD_OK);
        if (zbits) {
            DDPIXELFORMAT zf = make_z_format(zbits);
            DDSURFACEDESC2 zd = surface_desc(0x22800, w, h, &zf);
            EXPECT_EQ(dd->CreateSurface(&zd, zbuffer.put(), nullptr), DD_OK);
            EXPECT_EQ(target->AddAttachedSurface(zbuffer.get()), DD_OK);
        }
        EXPECT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target.get(), device.put(), nullptr),
                  D3D_OK);
        EXPECT_EQ(d3d->CreateViewport(viewport.put(), nullptr), D3D_OK);
        EXPECT_EQ(device->AddViewport(viewport.get()), D3D_OK);
        D3DVIEWPORT2 vp{sizeof(D3DVIEWPORT2), 0, 0, w, h, -1, 1, 2, 2, 0, 1};
        EXPECT_EQ(viewport->SetViewport2(&vp), D3D_OK);
        EXPECT_EQ(device->SetCurrentViewport(viewport.get()), D3D_OK);
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        clear(0, 1.0f);
    }

    void clear(uint32_t argb, float z) {
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = PixelCodec(format).encode(argb);
        target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        if (zbuffer) {
            DDPIXELFORMAT f{};
            zbuffer->GetPixelFormat(&f);
            fx.dwFillDepth = uint32_t(z * (f.dwZBufferBitDepth == 16 ? 65535.0 : 16777215.0));
            zbuffer->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
        }
    }

    void draw(D3DPRIMITIVETYPE type, std::initializer_list<D3DTLVERTEX> v) {
        std::vector<D3DTLVERTEX> vs(v);
        ASSERT_EQ(device->DrawPrimitive(type, D3DFVF_TLVERTEX, vs.data(), uint32_t(vs.size()),
                                        D3DDP_WAIT | D3DDP_DONOTCLIP),
                  D3D_OK);
    }

    void state(uint32_t s, uint32_t v) { ASSERT_EQ(device->SetRenderState(s, v), D3D_OK); }
    void stage(uint32_t s, uint32_t v) { ASSERT_EQ(device->SetTextureStageState(0, s, v), D3D_OK); }
    void bind(IDirectDrawSurface4* surface) {
        ComPtr<IDirect3DTexture2> t;
        if (surface) t = texture_of(surface);
        ASSERT_EQ(device->SetTexture(0, t.get()), D3D_OK);
        stage(D3DTSS_COLOROP, surface ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
        stage(D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    }

    uint32_t raw(uint32_t x, uint32_t y) { return raw_of(target.get(), x, y); }
    uint32_t argb(uint32_t x, uint32_t y) { return PixelCodec(format).decode(raw(x, y)); }
    uint32_t depth(uint32_t x, uint32_t y) { return raw_of(zbuffer.get(), x, y); }

    static uint32_t raw_of(IDirectDrawSurface4* s, uint32_t x, uint32_t y) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        EXPECT_EQ(s->Lock(nullptr, &d, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
        const uint32_t bytes = d.ddpfPixelFormat.dwRGBBitCount / 8;
        uint32_t v = load_pixel(
            static_cast<uint8_t*>(d.lpSurface) + y * uint32_t(d.lPitch) + x * bytes, bytes);
        s->Unlock(nullptr);
        return v;
    }

    testsupport::Image image() {
        testsupport::Image img{width, height, {}};
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) img.pixels.push_back(argb(x, y) | 0xFF000000u);
        return img;
    }
};

} // namespace gfxtest
