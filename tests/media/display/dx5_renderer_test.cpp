// Win32Dx5Renderer on a Direct3D display of the software device, headless: initialisation and
// the device hand-over, texture-format scoring and the texture factory, the render-state cache
// across a device re-creation, the texture and viewport rasters, and a textured, blended
// triangle against a reviewed golden image.
#include "media/display/d3d/dx5_renderer.h"
#include "media/display/d3d/pixel_format_id.h"
#include "media/display/displays/display_classes.h"
#include "platform/graphics/surface.h"
#include "tests/media/display/display_fixture.h"
#include "tests/support/png_file.h"
#include "tests/support/source_dir.h"

#include <cstdlib>
#include <filesystem>

namespace {

using namespace displaytest;

class Dx5RendererTest : public DisplayTest {
protected:
    void start(uint32_t width = 160, uint32_t height = 120) {
        ASSERT_EQ(OmCreate(CLSID_Win32Dx5Display, IID_IDisplay, display_.put()), 0);
        const OmDisplayMode windowed = mode(width, height, 0x40110, 1);
        ASSERT_EQ(display_->SetMode(&windowed), 0);
        ASSERT_EQ(display_->QueryInterface(IID_IRaster, display_raster_.put_void()), 0);
        ASSERT_EQ(OmCreate(CLSID_Win32Dx5Renderer, IID_IRenderer, renderer_.put()), 0);
        ASSERT_EQ(renderer_->Init(display_raster_.get()), 0);
        ASSERT_EQ(renderer_->CreateTextureFactory(factory_.put()), 0);
    }
    void TearDown() override {
        factory_.reset();
        renderer_.reset();
        display_raster_.reset();
        display_.reset();
        DisplayTest::TearDown();
    }
    Dx5Renderer* renderer() { return static_cast<Dx5Renderer*>(renderer_.get()); }
    // The device behind the renderer's cache.
    uint32_t device_state(uint32_t state) {
        uint32_t value = 0xDEAD;
        EXPECT_EQ(renderer()->device()->GetRenderState(state, &value), 0);
        return value;
    }
    ComRef<IRaster> make_raster(std::initializer_list<std::pair<uint32_t, intptr_t>> properties,
                                OmResult expected = OM_S_OK) {
        ComRef<IRasterCreate> description;
        EXPECT_EQ(factory_->Clone(description.put()), 0);
        description->Clear();
        for (auto [id, value] : properties) EXPECT_EQ(description->SetProperty(id, value), 0);
        ComRef<IRaster> raster;
        EXPECT_EQ(description->CreateRaster(raster.put()), expected);
        return raster;
    }

    ComRef<IDisplay> display_;
    ComRef<IRaster> display_raster_;
    ComRef<IRenderer> renderer_;
    ComRef<IRasterCreate> factory_;
};

TEST_F(Dx5RendererTest, InitHandsTheDeviceOverThroughTheDisplayOnce) {
    start();
    void* draw = nullptr;
    ComRef<IDx5RendererDevice> device;
    ASSERT_EQ(renderer_->QueryInterface(IID_IDx5RendererDevice, device.put_void()), 0);
    ASSERT_EQ(device->GetProperty(OM_DX5_PROPERTY_DIRECTDRAW, &draw), 0);
    EXPECT_NE(draw, nullptr);
    EXPECT_NE(renderer()->device(), nullptr);
    EXPECT_EQ(renderer_->GetDisplay(), display_raster_.get());
    EXPECT_EQ(renderer_->Init(display_raster_.get()), OM_E_FAIL) << "Init runs once";
    EXPECT_EQ(device->SetProperty(300, nullptr), OM_E_FAIL);
    ComRef<IUnknown> none;
    EXPECT_EQ(renderer_->QueryInterface(IID_IRasterCreate, none.put_void()), OM_E_NOINTERFACE);
    EXPECT_EQ(factory_->QueryInterface(IID_IRenderer, none.put_void()), int32_t(0x80004002u));

    // The defaults the device creation sets for this device.
    const std::pair<uint32_t, uint32_t> defaults[] = {{15, 1}, {25, 5}, {19, 5}, {20, 6}, {21, 4}};
    for (auto [state, value] : defaults) {
        uintptr_t v = 0;
        ASSERT_EQ(renderer_->GetRenderState(state, &v), 0);
        EXPECT_EQ(v, value) << state;
        EXPECT_EQ(device_state(state), value) << state;
    }

    // Without a display the renderer makes its own (full screen, 640 x 480 at 16 bits).
    ComRef<IRenderer> own;
    ASSERT_EQ(OmCreate(CLSID_Win32Dx5Renderer, IID_IRenderer, own.put()), 0);
    renderer_.reset();
    factory_.reset();
    ASSERT_EQ(own->Init(nullptr), 0);
    ASSERT_NE(own->GetDisplay(), nullptr);
    EXPECT_EQ(own->GetDisplay()->GetWidth(), 640u);
    EXPECT_EQ(own->GetDisplay()->GetFormat(), 0x40110u);
    EXPECT_NE(static_cast<Dx5Renderer*>(own.get())->device(), nullptr);
}

TEST_F(Dx5RendererTest, TextureFormatsAreScoredAgainstTheDisplay) {
    start();
    // The device offers 565, 1555, 4444, 555, 8888 and 888 in that order.
    const struct {
        uint32_t format, alpha, expected;
    } cases[] = {
        {0x40110, 0, 0x40110}, // 18 against 2 for 1555
        {0x40110, 1, 0xC0210}, // 1555 and 4444 tie at 18: the earlier wins
        {0x40110, 4, 0xC0310}, // more than one alpha bit: 34
        {0, 8, 0xC0310},       // 16 bits match the display: 34 against 33 for 8888
        {0xC0120, 8, 0xC0120}, // only 32-bit records take part
        {0x40118, 0, 0x40118}, {0x10108, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(renderer()->choose_texture_format(c.format, c.alpha), c.expected)
            << std::hex << c.format << " alpha " << c.alpha;
    EXPECT_EQ(renderer()->smallest_side(), 2u);
    EXPECT_EQ(renderer()->largest_side(), 2048u);
}

TEST_F(Dx5RendererTest, TheFactoryCompletesTextureDescriptions) {
    start();
    ComRef<IRaster> texture = make_raster({{2, 200}, {3, 100}});
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->GetWidth(), 128u);
    EXPECT_EQ(texture->GetHeight(), 128u);
    EXPECT_EQ(texture->GetFormat(), 0x40110u) << "no alpha wanted, the 5-6-5 record";
    make_raster({{2, 200}, {3, 100}, {23, 1}}, OM_E_FAIL);
    make_raster({{6, 256}}, OM_E_FAIL);

    ComRef<IRasterCreate> description;
    ASSERT_EQ(factory_->Clone(description.put()), 0);
    description->SetProperty(2, 200);
    description->SetProperty(3, 100);
    ASSERT_EQ(description->Reset(), 0);
    intptr_t levels = 0;
    ASSERT_EQ(description->GetProperty(9, &levels), 0);
    EXPECT_EQ(levels, 6);
    intptr_t value = 0;
    EXPECT_EQ(description->GetProperty(7, &value), OM_E_FAIL);
    EXPECT_EQ(description->SetProperty(7, 1), OM_E_FAIL);
    EXPECT_EQ(description->SetPropertyFixed(2, 1), OM_E_FAIL);
    EXPECT_EQ(description->IsPropertySet(12), 1);

    // A viewport without a size follows the display's.
    ComRef<IRaster> viewport = make_raster({{1, 1}});
    ASSERT_TRUE(viewport);
    EXPECT_EQ(viewport->GetWidth(), 160u);
    EXPECT_EQ(viewport->GetHeight(), 120u);
    EXPECT_EQ(viewport->GetFormat(), 0x40110u);
    void* pixels = nullptr;
    int32_t stride = 0;
    EXPECT_EQ(viewport->Lock(OM_LOCK_WRITE, &pixels, &stride), OM_E_FAIL);
    EXPECT_EQ(viewport->Blit(nullptr, texture.get(), nullptr), OM_E_FAIL);
    EXPECT_EQ(viewport->Unlock(), 0);
    ComRef<IUnknown> none;
    EXPECT_EQ(viewport->QueryInterface(IID_IDx5Surface, none.put_void()), int32_t(0x80004002u));
    EXPECT_EQ(none.get(), nullptr);
}

class LimitedDeviceTest : public Dx5RendererTest {
protected:
    platform::DeviceProfile profile() override {
        platform::DeviceProfile p = platform::default_profile();
        p.device.dwMaxTextureWidth = 256;
        p.device.dwMaxTextureHeight = 128;
        p.device.dpcTriCaps.dwTextureFilterCaps = platform::D3DPTFILTERCAPS_LINEAR;
        return p;
    }
};

TEST_F(LimitedDeviceTest, SidesFollowTheDeviceAndMipLevelsItsFilters) {
    start();
    EXPECT_EQ(renderer()->smallest_side(), 2u);
    EXPECT_EQ(renderer()->largest_side(), 128u);
    ComRef<IRasterCreate> description;
    ASSERT_EQ(factory_->Clone(description.put()), 0);
    description->SetProperty(2, 512);
    description->SetProperty(3, 512);
    ASSERT_EQ(description->Reset(), 0);
    intptr_t value = 0;
    description->GetProperty(2, &value);
    EXPECT_EQ(value, 128);
    description->GetProperty(9, &value);
    EXPECT_EQ(value, 1) << "no mip-map filters";
}

TEST_F(Dx5RendererTest, RenderStatesAreCachedAndSurviveADeviceRecreation) {
    start();
    Dx5Renderer* r = renderer();
    EXPECT_EQ(renderer_->SetRenderState(47, 1), OM_E_FAIL);
    uintptr_t value = 0;
    EXPECT_EQ(renderer_->GetRenderState(47, &value), OM_E_FAIL);

    // An unchanged value makes no device call: the device keeps what was set behind the cache.
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_SHADE_MODE, 1), 0);
    ASSERT_EQ(r->device()->SetRenderState(OM_RS_SHADE_MODE, 2), 0);
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_SHADE_MODE, 1), 0);
    EXPECT_EQ(device_state(OM_RS_SHADE_MODE), 2u);
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_SHADE_MODE, 2), 0) << "the cache said 1";
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_SHADE_MODE, 1), 0);
    EXPECT_EQ(device_state(OM_RS_SHADE_MODE), 1u);

    // A state never set is asked of the device once, then answered from the cache.
    ASSERT_EQ(r->device()->SetRenderState(OM_RS_DITHER_ENABLE, 1), 0);
    ASSERT_EQ(renderer_->GetRenderState(OM_RS_DITHER_ENABLE, &value), 0);
    EXPECT_EQ(value, 1u);
    ASSERT_EQ(r->device()->SetRenderState(OM_RS_DITHER_ENABLE, 0), 0);
    ASSERT_EQ(renderer_->GetRenderState(OM_RS_DITHER_ENABLE, &value), 0);
    EXPECT_EQ(value, 1u);

    // Fog colour: blue 0x10, green 0x20, red 0x30.
    const OmColour fog{0x10, 0x20, 0x30, 0x00};
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_FOG_COLOUR, reinterpret_cast<uintptr_t>(&fog)), 0);
    EXPECT_EQ(device_state(OM_RS_FOG_COLOUR), 0xFF302010u);
    ASSERT_EQ(renderer_->GetRenderState(OM_RS_FOG_COLOUR, &value), 0);
    const OmColour back = om_colour_of(uint32_t(value));
    EXPECT_EQ(back.blue, 0x10);
    EXPECT_EQ(back.green, 0x20);
    EXPECT_EQ(back.red, 0x30);
    EXPECT_EQ(back.alpha, 0xFF);

    // Target, texture and cache come back after the display re-makes its surfaces.
    ComRef<IRaster> viewport = make_raster({{1, 1}});
    ComRef<IRaster> texture = make_raster({{2, 32}, {3, 32}, {4, 0x40110}});
    ASSERT_EQ(renderer_->SetTarget(viewport.get()), 0);
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(texture.get())),
              0);
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_FOG_ENABLE, 1), 0);
    ASSERT_NE(device_state(OM_RS_TEXTURE), 0u);
    // Behind the cache, so only a new device that got the cache again shows 1.
    ASSERT_EQ(r->device()->SetRenderState(OM_RS_FOG_ENABLE, 0), 0);
    ASSERT_EQ(display_->SetMode(nullptr), 0);
    ASSERT_NE(r->device(), nullptr);
    EXPECT_EQ(renderer_->GetTarget(), viewport.get());
    ASSERT_EQ(renderer_->GetRenderState(OM_RS_TEXTURE, &value), 0);
    EXPECT_EQ(value, reinterpret_cast<uintptr_t>(texture.get()));
    EXPECT_NE(device_state(OM_RS_TEXTURE), 0u) << "the texture's new handle is set";
    EXPECT_EQ(device_state(OM_RS_FOG_ENABLE), 1u);
    EXPECT_EQ(device_state(OM_RS_SHADE_MODE), 1u);
    ASSERT_EQ(renderer_->GetRenderState(OM_RS_DITHER_ENABLE, &value), 0);
    EXPECT_EQ(value, 1u);

    // A released texture leaves the renderer, and the device, without one.
    texture.reset();
    ASSERT_EQ(renderer_->GetRenderState(OM_RS_TEXTURE, &value), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(device_state(OM_RS_TEXTURE), 0u);
    viewport.reset();
    EXPECT_EQ(renderer_->GetTarget(), nullptr);
}

TEST_F(Dx5RendererTest, TextureCopiesAndBudgets) {
    start();
    ComRef<IRaster> texture =
        make_raster({{2, 64}, {3, 64}, {4, 0x40110}, {23, 1}, {9, 1}, {10, 1}});
    ASSERT_TRUE(texture);
    intptr_t value = -1;
    ASSERT_EQ(texture->GetProperty(10, &value), 0);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(texture->GetProperty(14, &value), 0);
    EXPECT_EQ(value, 0) << "a device texture exists";
    ASSERT_EQ(texture->SetProperty(14, 0), 0);
    ASSERT_EQ(texture->GetProperty(14, &value), 0);
    EXPECT_EQ(value, 8192);

    const struct {
        uint32_t budget;
        uint64_t bytes;
    } budgets[] = {{2048, 32 * 32 * 2}, {100, 8 * 8 * 2}, {1u << 20, 64 * 64 * 2}};
    for (const auto& b : budgets) {
        const uint64_t before = platform::gfx_video_memory_in_use();
        ASSERT_EQ(texture->SetProperty(14, reinterpret_cast<intptr_t>(&b.budget)), 0);
        EXPECT_EQ(platform::gfx_video_memory_in_use() - before, b.bytes) << b.budget;
        EXPECT_EQ(texture->SetProperty(14, reinterpret_cast<intptr_t>(&b.budget)), OM_E_FAIL)
            << "a device texture exists already";
        ASSERT_EQ(texture->SetProperty(14, 0), 0);
    }

    // Blits from memory rasters fill the whole texture or nothing.
    ComRef<IRaster> picture;
    ASSERT_EQ(OmNewMemoryRaster(64, 64, 0xC0120, picture.put()), 0);
    const OmRect part{0, 0, 8, 8};
    EXPECT_EQ(texture->Blit(&part, picture.get(), nullptr), OM_E_FAIL);
    ComRef<IRaster> other;
    ASSERT_EQ(OmNewMemoryRaster(32, 64, 0xC0120, other.put()), 0);
    EXPECT_EQ(texture->Blit(nullptr, other.get(), nullptr), OM_E_FAIL);
    const uint32_t green = 0xFF00FF00u;
    ASSERT_EQ(picture->FillRect(nullptr, &green), 0);
    ASSERT_EQ(texture->Blit(nullptr, picture.get(), nullptr), 0);
    void* pixels = nullptr;
    int32_t stride = 0;
    ASSERT_EQ(texture->Lock(OM_LOCK_READ, &pixels, &stride), 0);
    EXPECT_EQ(static_cast<uint16_t*>(pixels)[5], 0x07E0);
    texture->Unlock();

    ASSERT_EQ(texture->SetProperty(10, 0), 0);
    EXPECT_EQ(texture->GetProperty(14, &value), OM_E_FAIL) << "no copy any more";
}

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}

TEST_F(Dx5RendererTest, TexturedBlendedTriangleMatchesTheGoldenImage) {
    start();
    ComRef<IRaster> viewport = make_raster({{1, 1}});
    ASSERT_EQ(renderer_->SetTarget(viewport.get()), 0);
    // A 16 x 16 picture: a checker of opaque white and half-transparent orange, mip-mapped.
    ComRef<IRaster> picture;
    ASSERT_EQ(OmNewMemoryRaster(16, 16, 0xC0120, picture.put()), 0);
    const uint32_t white = argb(255, 255, 255, 255), orange = argb(128, 255, 128, 0);
    for (int32_t y = 0; y < 16; y += 4)
        for (int32_t x = 0; x < 16; x += 4) {
            const OmRect cell{x, y, 4, 4};
            ASSERT_EQ(picture->FillRect(&cell, ((x + y) / 4) % 2 ? &orange : &white), 0);
        }
    ComRef<IRaster> texture = make_raster({{2, 16}, {3, 16}, {20, 4}});
    ASSERT_TRUE(texture);
    EXPECT_EQ(texture->GetFormat(), 0xC0310u);
    ASSERT_EQ(texture->Blit(nullptr, picture.get(), nullptr), 0);

    const uint32_t navy = argb(255, 0, 0, 96);
    ASSERT_EQ(viewport->FillRect(nullptr, &navy), 0);
    ASSERT_EQ(renderer_->BeginScene(), 0);
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(texture.get())),
              0);
    ASSERT_EQ(renderer_->SetRenderState(OM_RS_CULL_MODE, 1), 0);
    const OmTLVertex triangle[] = {
        {20, 10, 0.5f, 1, argb(255, 255, 255, 255), 0xFF000000u, 0, 0},
        {150, 40, 0.5f, 1, argb(255, 255, 255, 0), 0xFF000000u, 2, 0},
        {50, 110, 0.5f, 1, argb(160, 0, 255, 255), 0xFF000000u, 0, 2},
    };
    ASSERT_EQ(renderer_->DrawPrimitive(OM_PRIMITIVE_TRIANGLE_LIST, triangle, 3, 0), 0);
    ASSERT_EQ(renderer_->EndScene(), 0);
    ASSERT_EQ(display_->Present(nullptr), 0);

    const platform::PresentedFrame& frame = platform::last_presented_frame();
    ASSERT_EQ(frame.width, 160u);
    ASSERT_EQ(frame.height, 120u);
    testsupport::Image got{frame.width, frame.height, frame.pixels};
    for (uint32_t& p : got.pixels) p |= 0xFF000000u;
    EXPECT_EQ(got.pixels[5], 0xFF000063u) << "outside the triangle: the clear colour in 5-6-5";

    const std::string path = (std::filesystem::path(testsupport::source_dir()) /
                              "tests/media/display/golden/dx5_triangle.png")
                                 .string();
    const char* update = std::getenv("CORVEL_UPDATE_GOLDEN");
    testsupport::Image want;
    if ((update && *update == '1') || !testsupport::read_png(path, &want)) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_TRUE(testsupport::write_png(path, got));
        FAIL() << "wrote " << path << ": review it, then commit it";
    }
    ASSERT_EQ(want.width, got.width);
    ASSERT_EQ(want.height, got.height);
    int differing = 0;
    for (size_t i = 0; i < got.pixels.size(); ++i) differing += want.pixels[i] != got.pixels[i];
    EXPECT_EQ(differing, 0);
}

TEST(PixelFormatIdentification, CodesAndColourConversions) {
    using platform::make_rgb_format;
    const struct {
        platform::DDPIXELFORMAT format;
        uint32_t code;
    } formats[] = {
        {platform::format_565(), 0x40110},
        {platform::format_555(), 0x40210},
        {platform::format_1555(), 0xC0210},
        {make_rgb_format(16, 0x8000, 0x7C00, 0x03E0, 0x001F), 0xC0210},
        {platform::format_4444(), 0xC0310},
        {make_rgb_format(16, 0, 0x0F00, 0x00F0, 0x000F), 0x40310},
        {platform::format_888(), 0x40118},
        {platform::format_8888(), 0xC0120},
        {platform::format_x888(), 0},
        {make_rgb_format(16, 0, 0x001F, 0x07E0, 0xF800), 0},
        {platform::make_palette_format(8), 0x10108},
        {platform::make_palette_format(4), 0x100104},
        {platform::make_z_format(16), 0},
    };
    for (const auto& f : formats) EXPECT_EQ(om_identify_pixel_format(f.format), f.code) << f.code;
    platform::DDSURFACEDESC2 desc{};
    desc.ddpfPixelFormat = platform::format_565();
    EXPECT_EQ(om_identify_surface_format(desc), 0u) << "no pixel-format flag";

    const OmColour c{0x37, 0xA5, 0xF3, 0x91}; // blue, green, red, alpha
    const struct {
        uint32_t format, value;
    } conversions[] = {
        {0x40110, 0xF000 | 0x0520 | 0x06},
        {0x40210, 0x7800 | 0x0280 | 0x06},
        {0xC0210, 0x8000 | 0x7800 | 0x0280 | 0x06},
        {0x40310, 0x0F00 | 0x00A0 | 0x03},
        {0xC0310, 0x9000 | 0x0F00 | 0x00A0 | 0x03},
        {0x40118, 0xF3A537},
        {0xC0120, 0x91F3A537},
    };
    for (const auto& v : conversions) {
        uint32_t out = 0;
        ASSERT_EQ(om_convert_colour(v.format, c, &out), 0) << std::hex << v.format;
        EXPECT_EQ(out, v.value) << std::hex << v.format;
    }
    uint32_t out = 0;
    EXPECT_EQ(om_convert_colour(0x10108, c, &out), OM_E_FAIL);
    EXPECT_EQ(om_convert_colour(0x200410, c, &out), OM_E_FAIL);
}

} // namespace
