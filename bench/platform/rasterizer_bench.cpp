// Software rasteriser throughput: Mpixels/s and triangles/s at 640x480 and 1024x768 in 565 with
// a 16-bit z-buffer, for triangle areas 8 to 4096 pixels, per drawing mode; and a 3x overdraw.
#include "platform/graphics/d3d.h"
#include "platform/graphics/pixel_format.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

using namespace platform;

namespace {

enum Mode { Flat, PointTextured, BilinearMip, AlphaBlended, ColourKeyed, Fogged, ModeCount };
const char* const kModeNames[] = {"flat",          "gouraud_point_tex", "bilinear_mip",
                                  "alpha_blended", "colour_keyed",      "fogged"};

struct Bench {
    ComPtr<IDirectDraw4> dd;
    ComPtr<IDirect3D3> d3d;
    ComPtr<IDirectDrawSurface4> target, z, texture, keyed;
    ComPtr<IDirect3DDevice3> device;
    ComPtr<IDirect3DViewport3> viewport;
    uint32_t w, h;

    Bench(uint32_t width, uint32_t height) : w(width), h(height) {
        IUnknown* unk = nullptr;
        DirectDrawCreate(nullptr, &unk, nullptr);
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
        d.dwWidth = d.dwHeight = 64;
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
                                                y * uint32_t(l.lPitch))[x] =
                        uint16_t(((x ^ y) & 4) ? 0 : 0xF800 | (x * 977 + y * 131));
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
        device->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x8090A0);
    }
};

// Right triangles of the given area scattered over the screen (deterministic), equal depth so
// every pixel passes LESSEQUAL and writes.
std::vector<D3DTLVERTEX> scatter(uint32_t w, uint32_t h, double area, uint32_t count) {
    std::vector<D3DTLVERTEX> v;
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
        v.push_back({x + leg, y, 0.5f, 0.8f, c ^ 0xFF00, 0x40000000u, 2.0f * 0.8f, 0});
        v.push_back({x, y + leg, 0.5f, 0.6f, c ^ 0xFF, 0xFF000000u, 0, 2.0f * 0.6f});
    }
    // The vertex format carries u/w and v/w only implicitly: texture coordinates are plain
    // u, v; rhw varies so perspective correction is exercised.
    for (auto& vx : v) {
        vx.tu = vx.tu / vx.rhw;
        vx.tv = vx.tv / vx.rhw;
    }
    return v;
}

void BM_Triangles(benchmark::State& state) {
    const uint32_t w = state.range(0) == 0 ? 640 : 1024, h = state.range(0) == 0 ? 480 : 768;
    const double area = double(state.range(1));
    const Mode mode = Mode(state.range(2));
    Bench b(w, h);
    b.set_mode(mode);
    const uint32_t count = area >= 4096 ? 200 : 2000;
    auto v = scatter(w, h, area, count);
    for (auto _ : state) {
        b.device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v.data(), uint32_t(v.size()),
                                5);
    }
    const double tris = double(state.iterations()) * count;
    state.counters["Mpixels/s"] =
        benchmark::Counter(tris * area / 1e6, benchmark::Counter::kIsRate);
    state.counters["triangles/s"] = benchmark::Counter(tris, benchmark::Counter::kIsRate);
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + " " + kModeNames[mode]);
}

void triangle_args(benchmark::internal::Benchmark* b) {
    for (int res : {0, 1})
        for (int area : {8, 64, 512, 4096})
            for (int mode = 0; mode < ModeCount; ++mode) b->Args({res, area, mode});
}
BENCHMARK(BM_Triangles)->Apply(triangle_args)->Unit(benchmark::kMicrosecond);

// Three full-screen Gouraud point-textured layers, each nearer than the last.
void BM_Overdraw3x(benchmark::State& state) {
    const uint32_t w = state.range(0) == 0 ? 640 : 1024, h = state.range(0) == 0 ? 480 : 768;
    Bench b(w, h);
    b.set_mode(PointTextured);
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
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillDepth = 0xFFFF;
    for (auto _ : state) {
        b.z->Blt(nullptr, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
        b.device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v.data(), uint32_t(v.size()),
                                5);
    }
    state.counters["Mpixels/s"] = benchmark::Counter(double(state.iterations()) * 3.0 * w * h / 1e6,
                                                     benchmark::Counter::kIsRate);
    state.counters["frames/s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Overdraw3x)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
