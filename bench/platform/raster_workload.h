// The rasteriser benchmarks' workloads: a 565 target with a 16-bit z-buffer on our device, the
// six drawing modes, the textures they bind and the screen-space triangles they draw. Shared by
// the throughput benchmark and the side-by-side comparison with a peer rasteriser, so both
// measure exactly the same pixels.
#pragma once

#include "platform/graphics/d3d.h"
#include "platform/graphics/device_profile.h"
#include "platform/graphics/pixel_format.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace rasterbench {

using namespace platform;

enum Mode { Flat, PointTextured, BilinearMip, AlphaBlended, ColourKeyed, Fogged, ModeCount };
inline const char* const kModeNames[] = {"flat",          "gouraud_point_tex", "bilinear_mip",
                                         "alpha_blended", "colour_keyed",      "fogged"};

constexpr uint32_t kTextureSize = 64;
constexpr uint32_t kFogColour = 0x8090A0;

// Raw 565 texel (x, y) of every mip level: stripes of black (the colour key) and colour.
inline uint16_t texel_565(uint32_t x, uint32_t y) {
    return uint16_t(((x ^ y) & 4) ? 0 : 0xF800 | (x * 977 + y * 131));
}

// Our device drawing into a w x h 565 target with a 16-bit z-buffer.
struct DeviceBench {
    ComPtr<IDirectDraw4> dd;
    ComPtr<IDirect3D3> d3d;
    ComPtr<IDirectDrawSurface4> target, z, texture, keyed;
    ComPtr<IDirect3DDevice3> device;
    ComPtr<IDirect3DViewport3> viewport;
    uint32_t w, h;

    // threads: rasteriser threads of the device, 0 for its default.
    DeviceBench(uint32_t width, uint32_t height, uint32_t threads = 0) : w(width), h(height) {
        const DeviceProfile saved = device_profile();
        DeviceProfile profile = saved;
        profile.raster_threads = threads;
        set_device_profile(profile);
        IUnknown* unk = nullptr;
        DirectDrawCreate(nullptr, &unk, nullptr);
        set_device_profile(saved); // the DirectDraw object keeps its copy
        unk->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(dd.put()));
        unk->Release();
        dd->SetCooperativeLevel(nullptr, 0x808);
        dd->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(d3d.put()));
        DDPIXELFORMAT f = format_565(), zf = make_z_format(16);
        target = surface(0x2840, w, h, f);
        z = surface(0x22800, w, h, zf);
        target->AddAttachedSurface(z.get());
        d3d->CreateDevice(IID_IDirect3DHALDevice, target.get(), device.put(), nullptr);
        d3d->CreateViewport(viewport.put(), nullptr);
        device->AddViewport(viewport.get());
        D3DVIEWPORT2 vp{sizeof(D3DVIEWPORT2), 0, 0, w, h, -1, 1, 2, 2, 0, 1};
        viewport->SetViewport2(&vp);
        device->SetCurrentViewport(viewport.get());
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        texture = make_texture(false);
        keyed = make_texture(true);
        clear(); // new surfaces hold zeros: a z of 0 would reject every pixel
    }

    ComPtr<IDirectDrawSurface4> surface(uint32_t caps, uint32_t sw, uint32_t sh, DDPIXELFORMAT f) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        d.dwWidth = sw;
        d.dwHeight = sh;
        d.ddpfPixelFormat = f;
        d.ddsCaps.dwCaps = caps;
        ComPtr<IDirectDrawSurface4> s;
        dd->CreateSurface(&d, s.put(), nullptr);
        return s;
    }

    ComPtr<IDirectDrawSurface4> make_texture(bool key) {
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof(d);
        d.dwFlags =
            DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT | (key ? DDSD_CKSRCBLT : 0);
        d.dwWidth = d.dwHeight = kTextureSize;
        d.ddpfPixelFormat = format_565();
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
        d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
        ComPtr<IDirectDrawSurface4> s;
        dd->CreateSurface(&d, s.put(), nullptr);
        ComPtr<IDirectDrawSurface4> level = s;
        while (level) {
            DDSURFACEDESC2 l{};
            l.dwSize = sizeof(l);
            level->Lock(nullptr, &l, DDLOCK_WAIT, nullptr);
            for (uint32_t y = 0; y < l.dwHeight; ++y)
                for (uint32_t x = 0; x < l.dwWidth; ++x)
                    reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(l.lpSurface) +
                                                y * uint32_t(l.lPitch))[x] = texel_565(x, y);
            level->Unlock(nullptr);
            DDSCAPS2 caps{0x401008, 0, 0, 0};
            ComPtr<IDirectDrawSurface4> next;
            if (failed(level->GetAttachedSurface(&caps, next.put()))) break;
            level = next;
        }
        return s;
    }

    void bind(IDirectDrawSurface4* s) {
        ComPtr<IDirect3DTexture2> t;
        if (s) s->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(t.put()));
        device->SetTexture(0, t.get());
        device->SetTextureStageState(0, D3DTSS_COLOROP, s ? D3DTOP_MODULATE : D3DTOP_SELECTARG2);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    }

    void set_mode(Mode m) {
        device->SetRenderState(D3DRENDERSTATE_SHADEMODE,
                               m == Flat ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);
        bind(m == Flat ? nullptr : (m == ColourKeyed ? keyed.get() : texture.get()));
        const bool linear = m == BilinearMip;
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, linear ? D3DTFG_LINEAR : D3DTFG_POINT);
        device->SetTextureStageState(0, D3DTSS_MINFILTER, linear ? D3DTFN_LINEAR : D3DTFN_POINT);
        device->SetTextureStageState(0, D3DTSS_MIPFILTER, linear ? D3DTFP_POINT : D3DTFP_NONE);
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, m == AlphaBlended);
        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, m == ColourKeyed);
        device->SetRenderState(D3DRENDERSTATE_FOGENABLE, m == Fogged);
        device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, kFogColour);
    }

    // Draws a triangle list of any length: one DrawPrimitive takes at most 65535 vertices.
    void draw(const std::vector<D3DTLVERTEX>& v) {
        constexpr size_t kBatch = 65535 / 3 * 3;
        for (size_t i = 0; i < v.size(); i += kBatch) {
            const size_t n = std::min(kBatch, v.size() - i);
            device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX,
                                  const_cast<D3DTLVERTEX*>(v.data() + i), uint32_t(n), 5);
        }
    }

    // One scene of draws: it ends when the pixels are in place.
    void scene(const std::vector<D3DTLVERTEX>& v) {
        device->BeginScene();
        draw(v);
        device->EndScene();
    }

    void clear_depth() {
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillDepth = 0xFFFF;
        z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
    }

    // Colour 0 and depth 1.
    void clear() {
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
        clear_depth();
    }

    // Copies of the colour and depth pixels, rows top to bottom.
    void read(std::vector<uint16_t>& colour, std::vector<uint16_t>& depth) {
        auto copy = [this](IDirectDrawSurface4* s, std::vector<uint16_t>& out) {
            out.resize(size_t(w) * h);
            DDSURFACEDESC2 l{};
            l.dwSize = sizeof(l);
            if (failed(s->Lock(nullptr, &l, DDLOCK_WAIT | DDLOCK_READONLY, nullptr))) return;
            for (uint32_t y = 0; y < h; ++y)
                std::memcpy(&out[size_t(y) * w],
                            static_cast<uint8_t*>(l.lpSurface) + size_t(y) * uint32_t(l.lPitch),
                            w * sizeof(uint16_t));
            s->Unlock(nullptr);
        };
        copy(target.get(), colour);
        copy(z.get(), depth);
    }
};

// Right triangles of the given area scattered over the screen (deterministic), equal depth so
// every pixel passes LESSEQUAL and writes. rhw varies over each triangle so perspective
// correction is exercised; the texture repeats twice along each leg.
inline std::vector<D3DTLVERTEX> scatter(uint32_t w, uint32_t h, double area, uint32_t count) {
    std::vector<D3DTLVERTEX> v;
    v.reserve(size_t(count) * 3);
    const float leg = float(std::sqrt(2.0 * area));
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return float((seed >> 8) % range);
    };
    for (uint32_t i = 0; i < count; ++i) {
        const float x = next(uint32_t(float(w) - leg - 1)) + 0.3f;
        const float y = next(uint32_t(float(h) - leg - 1)) + 0.6f;
        const uint32_t c = 0xA0000000u | (seed & 0xFFFFFF);
        v.push_back({x, y, 0.5f, 1.0f, c, 0x80000000u, 0, 0});
        v.push_back({x + leg, y, 0.5f, 0.8f, c ^ 0xFF00, 0x40000000u, 2.0f, 0});
        v.push_back({x, y + leg, 0.5f, 0.6f, c ^ 0xFF, 0xFF000000u, 0, 2.0f});
    }
    return v;
}

// Three full-screen Gouraud-textured layers, each nearer than the last.
inline std::vector<D3DTLVERTEX> overdraw_layers(uint32_t w, uint32_t h) {
    std::vector<D3DTLVERTEX> v;
    for (int layer = 0; layer < 3; ++layer) {
        const float z = 0.9f - 0.3f * float(layer);
        const float fw = float(w), fh = float(h);
        const D3DTLVERTEX q[4] = {{0, 0, z, 1, 0xFFFFFFFF, 0xFF000000, 0, 0},
                                  {fw, 0, z, 1, 0xFFFF8080, 0xFF000000, 8, 0},
                                  {fw, fh, z, 1, 0xFF80FF80, 0xFF000000, 8, 6},
                                  {0, fh, z, 1, 0xFF8080FF, 0xFF000000, 0, 6}};
        for (int i : {0, 1, 2, 0, 2, 3}) v.push_back(q[i]);
    }
    return v;
}

} // namespace rasterbench
