// DirectDraw stand-in: enumeration, capabilities, display modes, surface kinds, locks, blits
// and presentation, as the engine's driver uses them.
#include "gfx_fixture.h"

#include "platform/graphics/presenter.h"

#include <string>

namespace gfxtest {
namespace {

struct ProfileScope {
    explicit ProfileScope(const DeviceProfile& p) { set_device_profile(p); }
    ~ProfileScope() { set_device_profile(default_profile()); }
};

TEST(DirectDrawEnumeration, OnePrimaryDriverWithAHardwareRgbPerspectiveDevice) {
    struct Seen {
        int drivers = 0;
        bool null_guid = false;
    } seen;
    ASSERT_EQ(DirectDrawEnumerateA(
                  [](GUID* g, char*, char*, void* ctx) {
                      auto* s = static_cast<Seen*>(ctx);
                      ++s->drivers;
                      s->null_guid = g == nullptr;
                      return DDENUMRET_OK;
                  },
                  &seen),
              DD_OK);
    EXPECT_EQ(seen.drivers, 1);
    EXPECT_TRUE(seen.null_guid);

    auto dd = make_direct_draw();
    ComPtr<IDirect3D3> d3d;
    ASSERT_EQ(dd->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(d3d.put())), S_OK);
    struct Devices {
        int count = 0;
        std::string name;
        D3DDEVICEDESC hal{}, hel{};
    } devices;
    d3d->EnumDevices(
        [](GUID*, char*, char* name, D3DDEVICEDESC* hal, D3DDEVICEDESC* hel, void* ctx) {
            auto* d = static_cast<Devices*>(ctx);
            ++d->count;
            d->name = name;
            d->hal = *hal;
            d->hel = *hel;
            return D3DENUMRET_OK;
        },
        &devices);
    ASSERT_EQ(devices.count, 1);
    EXPECT_NE(devices.name.substr(devices.name.size() - 3), "S/W");
    EXPECT_TRUE(devices.hal.dcmColorModel & D3DCOLOR_RGB);
    EXPECT_TRUE(devices.hal.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE);
    EXPECT_TRUE(devices.hal.dwDeviceRenderBitDepth & DDBD_16);
    EXPECT_NE(devices.hal.dpcTriCaps.dwZCmpCaps, 0u);
    EXPECT_EQ(devices.hal.dpcTriCaps.dwShadeCaps & 0x5000u, 0x5000u);
    EXPECT_EQ(devices.hal.dpcTriCaps.dwShadeCaps & 0xC0000u, 0xC0000u);
    EXPECT_EQ(devices.hal.dpcTriCaps.dwTextureFilterCaps & 0x3Cu, 0x3Cu);
    EXPECT_EQ(devices.hal.dwDevCaps & 0x1100u, 0x1100u);
    EXPECT_EQ(devices.hel.dcmColorModel, 0u) << "no software device: the pass must find none";

    std::vector<uint32_t> zdepths;
    d3d->EnumZBufferFormats(
        IID_IDirect3DHALDevice,
        [](DDPIXELFORMAT* f, void* ctx) {
            static_cast<std::vector<uint32_t>*>(ctx)->push_back(f->dwZBufferBitDepth);
            return D3DENUMRET_OK;
        },
        &zdepths);
    EXPECT_EQ(zdepths, (std::vector<uint32_t>{16, 24, 32}));
}

TEST(DirectDrawCaps, VideoMemoryQueriesAnswerTheDriversCapabilityWords) {
    auto dd = make_direct_draw();
    DDCAPS hal{}, hel{};
    ASSERT_EQ(dd->GetCaps(&hal, &hel), DD_OK);
    EXPECT_EQ(hal.dwSize, 380u);
    EXPECT_NE(hal.dwCaps & DDCAPS_BLTCOLORFILL, 0u);
    uint32_t total = 0, free = 0;
    DDSCAPS2 caps{0x10006200, 0, 0, 0};
    ASSERT_EQ(dd->GetAvailableVidMem(&caps, &total, &free), DD_OK);
    EXPECT_EQ(total, 64u << 20);
    ComPtr<IDirectDraw2> dd2;
    ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(dd2.put())), S_OK);
    for (uint32_t c : {0x5000u, 0x1800u}) {
        DDSCAPS old{c};
        ASSERT_EQ(dd2->GetAvailableVidMem(&old, &total, &free), DD_OK);
        EXPECT_GE(free, 32u << 20) << "below 30 MiB the game halves every image";
    }
}

TEST(DirectDrawModes, DesktopIs16BitAndFullScreenModesIncludeThe16BitOnes) {
    auto dd = make_direct_draw();
    DDSURFACEDESC2 desk{};
    ASSERT_EQ(dd->GetDisplayMode(&desk), DD_OK);
    EXPECT_EQ(desk.ddpfPixelFormat.dwRGBBitCount, 16u);
    std::vector<std::string> modes;
    dd->EnumDisplayModes(0, nullptr, &modes, [](DDSURFACEDESC2* d, void* ctx) {
        static_cast<std::vector<std::string>*>(ctx)->push_back(
            std::to_string(d->dwWidth) + "x" + std::to_string(d->dwHeight) + "x" +
            std::to_string(d->ddpfPixelFormat.dwRGBBitCount));
        return DDENUMRET_OK;
    });
    for (const char* m : {"640x480x16", "800x600x16", "1024x768x16"})
        EXPECT_NE(std::find(modes.begin(), modes.end(), m), modes.end()) << m;

    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
    int window = 0;
    ASSERT_EQ(dd->SetCooperativeLevel(&window, 0x813), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    EXPECT_EQ(dd->SetDisplayMode(123, 45, 16, 0, 0), DDERR_INVALIDMODE);
    ASSERT_EQ(dd->GetDisplayMode(&desk), DD_OK);
    EXPECT_EQ(desk.dwWidth, 640u);
}

TEST(DirectDrawSurfaces, FullScreenFlipChainWithZBufferAndHeadlessPresent) {
    int window = 0;
    auto dd = make_direct_draw(0x813, &window);
    ASSERT_EQ(dd->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    DDSURFACEDESC2 d = surface_desc(0x2218, 0, 0);
    d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    d.dwBackBufferCount = 1;
    ComPtr<IDirectDrawSurface4> primary, back, z;
    ASSERT_EQ(dd->CreateSurface(&d, primary.put(), nullptr), DD_OK);
    DDSCAPS2 bb{DDSCAPS_BACKBUFFER, 0, 0, 0};
    ASSERT_EQ(primary->GetAttachedSurface(&bb, back.put()), DD_OK);
    DDSURFACEDESC2 pd{};
    ASSERT_EQ(primary->GetSurfaceDesc(&pd), DD_OK);
    EXPECT_EQ(pd.dwWidth, 640u);
    EXPECT_EQ(pd.lPitch, 1280);
    EXPECT_EQ(pd.ddpfPixelFormat.dwRBitMask, 0xF800u);

    DDPIXELFORMAT zf = make_z_format(16);
    DDSURFACEDESC2 zd = surface_desc(0x26000, 640, 480, &zf);
    ASSERT_EQ(dd->CreateSurface(&zd, z.put(), nullptr), DD_OK);
    EXPECT_EQ(back->AddAttachedSurface(z.get()), DD_OK);
    EXPECT_EQ(back->AddAttachedSurface(z.get()), DDERR_SURFACEALREADYATTACHED);

    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0xF800; // red in 565
    ASSERT_EQ(back->Blt(nullptr, nullptr, nullptr, 0x1000400, &fx), DD_OK);
    const uint64_t serial = last_presented_frame().serial;
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT | DDFLIP_NOVSYNC), DD_OK);
    EXPECT_EQ(primary->GetFlipStatus(DDGFS_ISFLIPDONE), DD_OK);
    const PresentedFrame& f = last_presented_frame();
    // The flip presented a new frame. The count may run ahead of the frame captured before it
    // when a windowed present (not captured) ran earlier in this process.
    EXPECT_GT(f.serial, serial);
    ASSERT_EQ(f.width, 640u);
    EXPECT_EQ(f.pixels[0], 0xFFFF0000u);
    EXPECT_EQ(Scene::raw_of(primary.get(), 5, 5), 0xF800u);
}

TEST(DirectDrawSurfaces, MipChainCountsAndLevelsAreReachedByCaps) {
    auto dd = make_direct_draw();
    DDPIXELFORMAT f = format_565();
    DDSURFACEDESC2 d = surface_desc(DDSCAPS_TEXTURE | 0x400008, 256, 64, &f);
    d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    ComPtr<IDirectDrawSurface4> tex;
    ASSERT_EQ(dd->CreateSurface(&d, tex.put(), nullptr), DD_OK);
    DDSURFACEDESC2 got{};
    tex->GetSurfaceDesc(&got);
    EXPECT_EQ(got.dwMipMapCount, 7u);
    int levels = 1;
    ComPtr<IDirectDrawSurface4> level = tex;
    for (;;) {
        DDSCAPS2 caps{0x401008, 0, 0, 0};
        ComPtr<IDirectDrawSurface4> next;
        if (failed(level->GetAttachedSurface(&caps, next.put()))) break;
        level = next;
        ++levels;
    }
    EXPECT_EQ(levels, 7);
    level->GetSurfaceDesc(&got);
    EXPECT_EQ(got.dwWidth, 4u);
    EXPECT_EQ(got.dwHeight, 1u);
    EXPECT_TRUE(texture_of(tex.get()));

    DDSURFACEDESC2 plain = surface_desc(DDSCAPS_SYSTEMMEMORY, 8, 8);
    ComPtr<IDirectDrawSurface4> p;
    ASSERT_EQ(dd->CreateSurface(&plain, p.put(), nullptr), DD_OK);
    ComPtr<IDirect3DTexture2> none;
    EXPECT_EQ(p->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(none.put())),
              E_NOINTERFACE);
}

TEST(DirectDrawSurfaces, RefusedRequestsFailCleanly) {
    auto dd = make_direct_draw();
    DDPIXELFORMAT dxt{};
    dxt.dwSize = sizeof(dxt);
    dxt.dwFlags = DDPF_FOURCC;
    dxt.dwFourCC = 0x31545844; // "DXT1"
    struct Case {
        const char* what;
        DDSURFACEDESC2 desc;
    } cases[] = {
        {"no caps",
         [] {
             DDSURFACEDESC2 d{};
             d.dwSize = sizeof(d);
             return d;
         }()},
        {"fourcc texture", surface_desc(DDSCAPS_TEXTURE, 64, 64, &dxt)},
        {"non power of two texture", surface_desc(DDSCAPS_TEXTURE, 100, 64)},
        {"flip chain while windowed", surface_desc(0x2218, 0, 0)},
        {"zero-sized plain surface", surface_desc(DDSCAPS_SYSTEMMEMORY, 0, 8)},
    };
    for (auto& c : cases) {
        ComPtr<IDirectDrawSurface4> s;
        EXPECT_TRUE(failed(dd->CreateSurface(&c.desc, s.put(), nullptr))) << c.what;
        EXPECT_FALSE(s) << c.what;
    }
    ProfileScope minimal(minimal_profile());
    auto dd2 = make_direct_draw();
    DDSURFACEDESC2 nonlocal = surface_desc(0x20005000, 128, 128);
    ComPtr<IDirectDrawSurface4> s;
    EXPECT_TRUE(failed(dd2->CreateSurface(&nonlocal, s.put(), nullptr)));
}

uint32_t checker(uint32_t x, uint32_t y) {
    return ((x ^ y) & 1) ? 0x001F : 0x0000;
}

TEST(DirectDrawBlt, FillsCopiesKeysStretchesAndConverts) {
    auto dd = make_direct_draw();
    DDPIXELFORMAT f565 = format_565(), f8888 = format_8888();
    DDSURFACEDESC2 d = surface_desc(DDSCAPS_SYSTEMMEMORY, 8, 8, &f565);
    ComPtr<IDirectDrawSurface4> src, dst, wide;
    ASSERT_EQ(dd->CreateSurface(&d, src.put(), nullptr), DD_OK);
    ASSERT_EQ(dd->CreateSurface(&d, dst.put(), nullptr), DD_OK);
    write_pixels(src.get(), 8, 8, 2, checker);
    DDCOLORKEY key{0, 0};
    src->SetColorKey(DDCKEY_SRCBLT, &key);

    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0x07E0;
    GfxRect r{2, 2, 4, 4};
    ASSERT_EQ(dst->Blt(&r, nullptr, nullptr, 0x1000400, &fx), DD_OK);
    EXPECT_EQ(Scene::raw_of(dst.get(), 2, 3), 0x07E0u);
    EXPECT_EQ(Scene::raw_of(dst.get(), 4, 3), 0u);

    // Keyed copy: the key (raw 0) leaves the green fill visible.
    ASSERT_EQ(dst->Blt(nullptr, src.get(), nullptr, 0x1008000, nullptr), DD_OK);
    EXPECT_EQ(Scene::raw_of(dst.get(), 2, 2), 0x07E0u);
    EXPECT_EQ(Scene::raw_of(dst.get(), 3, 2), 0x001Fu);
    // Plain copy overwrites.
    ASSERT_EQ(dst->Blt(nullptr, src.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Scene::raw_of(dst.get(), 2, 2), 0u);

    // Stretch 2x2 -> 8x8 and convert 565 -> 8888.
    DDSURFACEDESC2 wd = surface_desc(DDSCAPS_SYSTEMMEMORY, 8, 8, &f8888);
    ASSERT_EQ(dd->CreateSurface(&wd, wide.put(), nullptr), DD_OK);
    GfxRect s2{0, 0, 2, 2};
    ASSERT_EQ(wide->Blt(nullptr, src.get(), &s2, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Scene::raw_of(wide.get(), 0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(Scene::raw_of(wide.get(), 5, 0), 0xFF0000FFu);
    EXPECT_EQ(Scene::raw_of(wide.get(), 7, 7), 0xFF000000u);

    // Depth fill only on z-buffers; a locked destination refuses blits.
    fx.dwFillDepth = 0xFFFF;
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, 0x3000000, &fx), DDERR_INVALIDPARAMS);
    DDSURFACEDESC2 lock{};
    ASSERT_EQ(dst->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(lock.lPitch, 16);
    EXPECT_EQ(dst->Blt(nullptr, src.get(), nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(dst->Unlock(nullptr), DD_OK);
    EXPECT_EQ(dst->Unlock(nullptr), DDERR_NOTLOCKED);
}

TEST(DirectDrawBlt, WindowedPresentCopiesTheRasterIntoTheClientAreaAndShowsIt) {
    int window = 0;
    auto dd = make_direct_draw(0x808, &window);
    DDSURFACEDESC2 pd = surface_desc(DDSCAPS_PRIMARYSURFACE, 0, 0);
    pd.dwFlags = DDSD_CAPS;
    ComPtr<IDirectDrawSurface4> primary, raster;
    ASSERT_EQ(dd->CreateSurface(&pd, primary.put(), nullptr), DD_OK);
    ComPtr<IDirectDrawClipper> clipper;
    ASSERT_EQ(dd->CreateClipper(0, clipper.put(), nullptr), DD_OK);
    ASSERT_EQ(clipper->SetHWnd(0, &window), DD_OK);
    ASSERT_EQ(primary->SetClipper(clipper.get()), DD_OK);
    DDSURFACEDESC2 rd = surface_desc(0x2840, 32, 16);
    ASSERT_EQ(dd->CreateSurface(&rd, raster.put(), nullptr), DD_OK);
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0x001F;
    raster->Blt(nullptr, nullptr, nullptr, 0x1000400, &fx);
    GfxRect dst{10, 20, 42, 36};
    ASSERT_EQ(primary->Blt(&dst, raster.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    const PresentedFrame& f = last_presented_frame();
    EXPECT_EQ(f.width, 32u);
    EXPECT_EQ(f.height, 16u);
    EXPECT_EQ(f.pixels[0], 0xFF0000FFu);
    EXPECT_EQ(Scene::raw_of(primary.get(), 10, 20), 0x001Fu);
    EXPECT_EQ(Scene::raw_of(primary.get(), 9, 20), 0u);
}

TEST(DirectDrawPalette, EntriesCarryAlphaOnlyWithTheAlphaCap) {
    auto dd = make_direct_draw();
    PALETTEENTRY e[256] = {};
    e[1] = {10, 20, 30, 40};
    for (uint32_t caps : {0x44u, 0x444u}) {
        ComPtr<IDirectDrawPalette> p;
        ASSERT_EQ(dd->CreatePalette(caps, e, p.put(), nullptr), DD_OK);
        PALETTEENTRY back[256];
        ASSERT_EQ(p->GetEntries(0, 0, 256, back), DD_OK);
        EXPECT_EQ(back[1].peFlags, 40);
        uint32_t got = 0;
        p->GetCaps(&got);
        EXPECT_EQ(got, caps);
        EXPECT_EQ(p->SetEntries(0, 250, 10, e), DDERR_INVALIDPARAMS);
    }
    ComPtr<IDirectDrawPalette> p;
    EXPECT_EQ(dd->CreatePalette(0, e, p.put(), nullptr), DDERR_INVALIDPARAMS);
}

TEST(DirectDrawWire, SurfaceDescriptionRoundTripsThrough124Bytes) {
    DDSURFACEDESC2 d = surface_desc(DDSCAPS_TEXTURE | 0x400008, 64, 32);
    d.ddpfPixelFormat = format_4444();
    d.dwMipMapCount = 6;
    d.ddckCKSrcBlt = {5, 5};
    uint8_t wire[kSurfaceDescWireSize];
    surface_desc_to_wire(d, 1, wire);
    EXPECT_EQ(wire[0], 124);
    EXPECT_EQ(wire[36], 1); // the surface word
    DDSURFACEDESC2 back{};
    EXPECT_EQ(surface_desc_from_wire(wire, &back), 1u);
    EXPECT_EQ(back.dwWidth, 64u);
    EXPECT_EQ(back.dwMipMapCount, 6u);
    EXPECT_EQ(back.ddpfPixelFormat.dwRGBAlphaBitMask, 0xF000u);
    EXPECT_EQ(back.ddsCaps.dwCaps, d.ddsCaps.dwCaps);
    EXPECT_EQ(back.ddckCKSrcBlt.dwColorSpaceLowValue, 5u);
}

} // namespace
} // namespace gfxtest
