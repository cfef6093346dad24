// The displays on the software graphics device, headless: mode lists, mode changes with their
// rollback, the raster face, presents without stretching, lost surfaces, the 8-bit palette and
// the renderer registration list.
#include "media/display/displays/direct_draw_display.h"
#include "media/display/displays/display_classes.h"
#include "media/display/displays/renderer_registration.h"
#include "media/raster/raster.h"
#include "platform/ddraw/dx5.h"
#include "tests/media/display/display_fixture.h"

#include <string>
#include <vector>

namespace {

using namespace displaytest;

platform::DeviceProfile mixed_modes() {
    platform::DeviceProfile p = platform::default_profile();
    p.display_modes = {
        {800, 640, platform::format_565()},  {800, 600, platform::format_565()},
        {640, 480, platform::format_555()},  {640, 480, platform::make_palette_format(8)},
        {640, 480, platform::format_x888()}, {640, 480, platform::format_565()}};
    return p;
}

class DisplaysTest : public DisplayTest {
protected:
    platform::DeviceProfile profile() override { return mixed_modes(); }

    ComRef<IDisplay> make(const GUID& clsid) {
        ComRef<IDisplay> display;
        EXPECT_EQ(OmCreate(clsid, IID_IDisplay, display.put()), 0);
        return display;
    }
    static ComRef<IRaster> raster_of(IDisplay* display) {
        ComRef<IRaster> raster;
        EXPECT_EQ(display->QueryInterface(IID_IRaster, raster.put_void()), 0);
        return raster;
    }
    void pump() {
        ComRef<IOmOS> os;
        ASSERT_EQ(window_->QueryInterface(IID_IOmOS, os.put_void()), 0);
        os->Pump();
    }
    static uint16_t pixel16(IRaster* raster, uint32_t x, uint32_t y) {
        void* pixels = nullptr;
        int32_t stride = 0;
        EXPECT_EQ(raster->Lock(OM_LOCK_READ, &pixels, &stride), 0);
        uint16_t v = static_cast<const uint16_t*>(
            static_cast<const void*>(static_cast<const uint8_t*>(pixels) + int64_t(y) * stride))[x];
        raster->Unlock();
        return v;
    }
    static uint32_t shown(uint32_t x, uint32_t y) {
        const platform::PresentedFrame& f = platform::last_presented_frame();
        return f.pixels[size_t(y) * f.width + x] | 0xFF000000u;
    }
};

TEST_F(DisplaysTest, ModeListsAreFilteredAndSortedAndGetModeChecksTheRecord) {
    const uint32_t expected[][3] = {{640, 480, 0x10108},
                                    {640, 480, 0x40110},
                                    {640, 480, 0x40210},
                                    {800, 600, 0x40110},
                                    {800, 640, 0x40110}};
    for (const GUID* clsid :
         {&CLSID_Win32DirectDrawDisplay, &CLSID_Win32Dx5Display, &CLSID_Win32DIBDisplay}) {
        ComRef<IDisplay> display = make(*clsid);
        ASSERT_TRUE(display);
        ASSERT_EQ(display->GetModeCount(), 5u);
        for (uint32_t i = 0; i < 5; ++i) {
            OmDisplayMode m = mode(0, 0, 0, 7);
            ASSERT_EQ(display->GetMode(i, &m), 0);
            EXPECT_EQ(m.width, expected[i][0]) << i;
            EXPECT_EQ(m.height, expected[i][1]) << i;
            EXPECT_EQ(m.format, expected[i][2]) << i;
            EXPECT_EQ(m.windowed, 0u);
        }
        OmDisplayMode bad = mode(0xAB, 0xAB, 0xAB, 0xAB);
        bad.size = 16;
        EXPECT_EQ(display->GetMode(0, &bad), OM_E_FAIL);
        EXPECT_EQ(bad.width, 0xABu);
        OmDisplayMode past = mode(0, 0, 0, 0);
        EXPECT_EQ(display->GetMode(5, &past), OM_E_FAIL);
        OmDisplayMode current;
        EXPECT_EQ(display->GetCurrentMode(&current), OM_E_FAIL) << "no mode applied yet";
    }
    // The default modes: 640 x 480 at 8 bits without Direct3D, at 16 bits with it.
    EXPECT_EQ(raster_of(make(CLSID_Win32DirectDrawDisplay).get())->GetFormat(), 0x10108u);
    EXPECT_EQ(raster_of(make(CLSID_Win32Dx5Display).get())->GetFormat(), 0x40110u);
}

TEST_F(DisplaysTest, WindowedModeFillsLocksAndPresentsWithoutStretching) {
    ComRef<IDisplay> display = make(CLSID_Win32DirectDrawDisplay);
    const OmDisplayMode wanted = mode(320, 200, 0x40110, 1);
    ASSERT_EQ(display->SetMode(&wanted), 0);
    OmDisplayMode current;
    ASSERT_EQ(display->GetCurrentMode(&current), 0);
    EXPECT_EQ(current.width, 320u);
    EXPECT_EQ(current.height, 200u);
    EXPECT_EQ(current.format, 0x40110u);
    EXPECT_EQ(current.windowed, 1u);

    ComRef<IRaster> raster = raster_of(display.get());
    intptr_t value = 0;
    EXPECT_EQ(raster->GetProperty(OM_RASTER_KIND, &value), 0);
    EXPECT_EQ(value, 4);
    EXPECT_EQ(raster->GetProperty(OM_RASTER_PALETTE, &value), OM_E_FAIL) << "no palette at 16 bits";
    const uint32_t red = 0xFFFF0000u, green = 0xFF00FF00u;
    ASSERT_EQ(raster->FillRect(nullptr, &red), 0);
    const OmRect square{10, 10, 5, 5};
    ASSERT_EQ(raster->FillRect(&square, &green), 0);
    EXPECT_EQ(pixel16(raster.get(), 0, 0), 0xF800);
    EXPECT_EQ(pixel16(raster.get(), 12, 12), 0x07E0);

    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(platform::last_presented_frame().width, 320u);
    EXPECT_EQ(platform::last_presented_frame().height, 200u);
    EXPECT_EQ(shown(0, 0), red);
    EXPECT_EQ(shown(12, 12), green);

    // A smaller client area shows the top-left part at the same scale.
    window_->SetClientSize(100, 50);
    pump();
    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(platform::last_presented_frame().width, 100u);
    EXPECT_EQ(platform::last_presented_frame().height, 50u);
    EXPECT_EQ(shown(12, 12), green);
    EXPECT_EQ(shown(16, 16), red);
    // A larger one shows the whole mode, unstretched.
    window_->SetClientSize(400, 300);
    pump();
    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(platform::last_presented_frame().width, 320u);
    EXPECT_EQ(platform::last_presented_frame().height, 200u);
}

TEST_F(DisplaysTest, FullScreenModeChangesRollBackWhenTheDeviceRefuses) {
    ComRef<IDisplay> display = make(CLSID_Win32Dx5Display);
    const OmDisplayMode full = mode(640, 480, 0x40110, 0);
    ASSERT_EQ(display->SetMode(&full), 0);
    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(window_->IsWindowed(), 0u);

    platform::dx5::fail_next_display_modes(1);
    const OmDisplayMode larger = mode(800, 600, 0x40110, 0);
    EXPECT_LT(display->SetMode(&larger), 0);
    OmDisplayMode current;
    ASSERT_EQ(display->GetCurrentMode(&current), 0) << "the previous mode is back";
    EXPECT_EQ(current.width, 640u);
    EXPECT_EQ(current.windowed, 0u);
    EXPECT_EQ(display->Present(nullptr), 0);

    // When the previous mode cannot be made again either, nothing is applied and the window
    // is left windowed at 0 x 0.
    platform::dx5::fail_next_display_modes(2);
    EXPECT_LT(display->SetMode(&larger), 0);
    EXPECT_EQ(display->GetCurrentMode(&current), OM_E_FAIL);
    EXPECT_EQ(display->Present(nullptr), OM_E_FAIL);
    EXPECT_EQ(window_->IsWindowed(), 1u);
    uint32_t w = 1, h = 1;
    window_->GetClientSize(&w, &h);
    EXPECT_EQ(w, 0u);
    EXPECT_EQ(h, 0u);

    // The window switching to windowed is followed at the next present.
    ASSERT_EQ(display->SetMode(&full), 0);
    window_->SetWindowed(1);
    pump();
    ASSERT_EQ(display->Present(nullptr), 0);
    ASSERT_EQ(display->GetCurrentMode(&current), 0);
    EXPECT_EQ(current.windowed, 1u);
}

TEST_F(DisplaysTest, LostSurfacesAreRestoredByThePresent) {
    ComRef<IDisplay> display = make(CLSID_Win32DirectDrawDisplay);
    const OmDisplayMode wanted = mode(64, 32, 0x40110, 1);
    ASSERT_EQ(display->SetMode(&wanted), 0);
    ComRef<IRaster> raster = raster_of(display.get());
    const uint32_t blue = 0xFF0000FFu;
    ASSERT_EQ(raster->FillRect(nullptr, &blue), 0);
    platform::dx5::lose_all_surfaces();
    void* pixels = nullptr;
    int32_t stride = 0;
    EXPECT_EQ(raster->Lock(OM_LOCK_WRITE, &pixels, &stride), platform::DDERR_SURFACELOST);
    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(shown(5, 5), blue);
    EXPECT_EQ(raster->Lock(OM_LOCK_WRITE, &pixels, &stride), 0);
    raster->Unlock();
}

TEST_F(DisplaysTest, EightBitPaletteIsPushedAtTheNextPresent) {
    ComRef<IDisplay> display = make(CLSID_Win32DirectDrawDisplay);
    const OmDisplayMode full = mode(640, 480, 0x10108, 0);
    ASSERT_EQ(display->SetMode(&full), 0);
    ComRef<IRaster> raster = raster_of(display.get());
    intptr_t value = 0;
    ASSERT_EQ(raster->GetProperty(OM_RASTER_PALETTE, &value), 0);
    auto* palette = reinterpret_cast<IRaster*>(value);
    EXPECT_EQ(palette->GetWidth(), 256u);
    EXPECT_EQ(palette->GetFormat(), 0xC0120u);

    void* pixels = nullptr;
    int32_t stride = 0;
    ASSERT_EQ(raster->Lock(OM_LOCK_WRITE, &pixels, &stride), 0);
    static_cast<uint8_t*>(pixels)[0] = 7;
    raster->Unlock();
    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(shown(0, 0), 0xFF000000u) << "entries start black";

    ASSERT_EQ(palette->Lock(OM_LOCK_WRITE, &pixels, &stride), 0);
    EXPECT_EQ(stride, 0);
    static_cast<OmColour*>(pixels)[7] = {0x20, 0x40, 0xC0, 0xFF};
    palette->Unlock();
    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(shown(0, 0), 0xFFC04020u);
    EXPECT_EQ(raster->SetProperty(OM_RASTER_PALETTE, 0), OM_E_FAIL) << "only its own palette";
    EXPECT_EQ(raster->SetProperty(OM_RASTER_PALETTE, value), 0);
}

// A renderer stand-in that logs what the display asks of its device interface.
class LoggingRenderer final : public OmObject<LoggingRenderer, IDx5RendererDevice> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IDx5RendererDevice, this}});
    }
    OmResult ReleaseDevice() override {
        log->push_back(name + " release");
        return OM_S_OK;
    }
    OmResult SetProperty(uint32_t id, void* value) override {
        if (value) ++properties;
        return id == 256 || id == 257 ? OM_S_OK : OM_E_FAIL;
    }
    OmResult GetProperty(uint32_t, void**) override { return OM_E_FAIL; }
    OmResult CreateDevice() override {
        log->push_back(name + " create");
        return fail ? OmResult(0x80031234) : OM_S_OK;
    }

    std::string name;
    std::vector<std::string>* log;
    bool fail;
    int properties;
};

TEST_F(DisplaysTest, RegistrationListKeepsOneEntryAndItsOrder) {
    ComRef<IDisplay> display = make(CLSID_Win32DirectDrawDisplay);
    ComRef<IOmRendererRegistration> registration;
    ASSERT_EQ(display->QueryInterface(IID_IOmRendererRegistration, registration.put_void()), 0);
    ComRef<IOmRendererRegistration> old_id;
    ASSERT_EQ(display->QueryInterface(IID_IOmRendererRegistrationOld, old_id.put_void()), 0);

    std::vector<std::string> log;
    std::vector<ComRef<LoggingRenderer>> renderers;
    for (const char* name : {"a", "b", "c", "bad"}) {
        LoggingRenderer* r;
        ASSERT_EQ(om_new_component(&r), 0);
        r->name = name;
        r->log = &log;
        r->fail = std::string(name) == "bad";
        renderers.push_back(ComRef<LoggingRenderer>::adopt(r));
    }
    auto* a = renderers[0].get();
    auto* b = renderers[1].get();
    auto* c = renderers[2].get();
    auto* bad = renderers[3].get();

    // Before a mode is applied the renderers are only listed.
    EXPECT_EQ(registration->RegisterRenderer(a), 0);
    EXPECT_EQ(registration->RegisterRenderer(b), 0);
    EXPECT_EQ(registration->RegisterRenderer(a), 0);
    EXPECT_TRUE(log.empty());
    const OmDisplayMode wanted = mode(64, 64, 0x40110, 1);
    ASSERT_EQ(display->SetMode(&wanted), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"a create", "b create"}));
    EXPECT_EQ(a->properties, 2) << "DirectDraw object and drawing surface handed over";

    log.clear();
    EXPECT_EQ(registration->RegisterRenderer(c), 0);
    EXPECT_EQ(registration->RegisterRenderer(bad), int32_t(0x80031234));
    EXPECT_EQ(registration->UnregisterRenderer(bad), OM_E_FAIL) << "a failed attach unlists";
    EXPECT_EQ(registration->UnregisterRenderer(b), 0);
    EXPECT_EQ(registration->UnregisterRenderer(b), OM_E_FAIL);
    EXPECT_EQ(log, (std::vector<std::string>{"c create", "bad create", "b release"}));

    log.clear();
    ASSERT_EQ(display->SetMode(nullptr), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"a release", "c release", "a create", "c create"}));
    EXPECT_EQ(registration->UnregisterRenderer(a), 0);
    EXPECT_EQ(registration->UnregisterRenderer(c), 0);
}

TEST_F(DisplaysTest, DIBDisplayIsBottomUp565AndKeepsItsModeOnFailure) {
    ComRef<IDisplay> display = make(CLSID_Win32DIBDisplay);
    const OmDisplayMode other = mode(640, 480, 0x40210, 1);
    EXPECT_EQ(display->SetMode(&other), OM_E_FAIL);
    ASSERT_EQ(display->SetMode(nullptr), 0) << "no mode yet: the default";
    OmDisplayMode current;
    ASSERT_EQ(display->GetCurrentMode(&current), 0);
    EXPECT_EQ(current.width, 640u);
    EXPECT_EQ(current.windowed, 1u);

    const OmDisplayMode small = mode(40, 30, 0x40110, 1);
    ASSERT_EQ(display->SetMode(&small), 0);
    ComRef<IRaster> raster = raster_of(display.get());
    void* pixels = nullptr;
    int32_t stride = 0;
    ASSERT_EQ(raster->Lock(OM_LOCK_WRITE, &pixels, &stride), 0);
    EXPECT_EQ(stride, -80);
    static_cast<uint16_t*>(pixels)[0] = 0xF800;
    reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(pixels) + 29 * stride)[39] = 0x001F;
    raster->Unlock();
    const uint32_t green = 0xFF00FF00u;
    const OmRect cell{5, 5, 2, 2};
    ASSERT_EQ(raster->FillRect(&cell, &green), 0);
    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(platform::last_presented_frame().width, 40u);
    EXPECT_EQ(shown(0, 0), 0xFFFF0000u);
    EXPECT_EQ(shown(39, 29), 0xFF0000FFu);
    EXPECT_EQ(shown(6, 6), green);

    platform::dx5::fail_next_display_modes(1);
    const OmDisplayMode full = mode(800, 600, 0x40110, 0);
    EXPECT_LT(display->SetMode(&full), 0);
    ASSERT_EQ(display->GetCurrentMode(&current), 0);
    EXPECT_EQ(current.width, 40u);
    EXPECT_EQ(current.windowed, 1u);
    ASSERT_EQ(display->SetMode(&full), 0);
    ASSERT_EQ(display->Present(nullptr), 0);
    EXPECT_EQ(platform::last_presented_frame().width, 800u);
}

class DriverListTest : public DisplayTest {
protected:
    platform::DeviceProfile profile() override {
        platform::DeviceProfile p = platform::default_profile();
        p.offer_secondary_driver = true;
        p.secondary_description = std::string(90, 'x');
        if (no_perspective_) {
            p.device.dpcTriCaps.dwTextureCaps &= ~platform::D3DPTEXTURECAPS_PERSPECTIVE;
        }
        return p;
    }
    bool no_perspective_ = false;
};

TEST_F(DriverListTest, DriversWithASuitableDirect3DDeviceAreListed) {
    ComRef<IDisplay> dx5;
    ASSERT_EQ(OmCreate(CLSID_Win32Dx5Display, IID_IDisplay, dx5.put()), 0);
    const auto& drivers = static_cast<DirectDrawDisplay*>(dx5.get())->drivers();
    ASSERT_EQ(drivers.size(), 2u);
    EXPECT_EQ(drivers[0].description, "Corvel Display (display)");
    EXPECT_TRUE(drivers[0].is_default);
    EXPECT_EQ(drivers[0].hal.dwSize, sizeof(platform::DDCAPS));
    EXPECT_EQ(drivers[1].description, std::string(79, 'x')) << "cut to 79 characters";
    EXPECT_FALSE(drivers[1].is_default);

    ComRef<IDisplay> plain;
    ASSERT_EQ(OmCreate(CLSID_Win32DirectDrawDisplay, IID_IDisplay, plain.put()), 0);
    const auto& one = static_cast<DirectDrawDisplay*>(plain.get())->drivers();
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].description, "DirectDrawSurface");

    // Without perspective-correct texturing no driver suits the Direct3D display.
    no_perspective_ = true;
    platform::set_device_profile(profile());
    ComRef<IDisplay> refused;
    EXPECT_EQ(OmCreate(CLSID_Win32Dx5Display, IID_IDisplay, refused.put()), OM_E_FAIL);
    EXPECT_EQ(OmCreate(CLSID_Win32DirectDrawDisplay, IID_IDisplay, refused.put()), 0);
}

} // namespace
