// A menu page drawn by HTMLBrowser through the engine-backed renderer on the software device,
// with the TrueType font, compared with its reviewed reference image. A missing reference
// (or CORVEL_UPDATE_GOLDEN=1) writes the frame and fails, so a new image is looked at before
// it is committed.
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "game/world/om_lg_renderer.h"
#include "media/raster/image_codecs.h"
#include "platform/window/window.h"
#include "program/module_groups.h"
#include "tests/frontend/html/html_browser_test_support.h"
#include "tests/support/png_file.h"
#include "tests/support/source_dir.h"
#include "tools/demoscene/engine_session.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace htmltest {
namespace {

constexpr int32_t screen_width = 640;
constexpr int32_t screen_height = 480;
// Channel differences forgiven (rounding of blends may move between compilers), and how many
// pixels may exceed them (glyph edges may move with the FreeType version).
constexpr int channel_slack = 8;
constexpr size_t pixels_allowed_off = screen_width * screen_height / 200;

// Windows-1252 letters in the pilot's name (no entities exist for them).
const std::string menu_page = std::string(R"(<html><head><title>Main</title></head>
<body background=tile.png text=#E0E0C0 link=#FFD080 alink=#FFFFFF>
<center><font size=6>Aerovant</font></center>
<p>
<table width=600>
<tr><td bgcolor=#203040 width=200 height=180>
<a href="command:single">Single mission</a><br>
<a href="command:campaign">Campaign</a><br>
<a href="command:multi">Multiplayer</a><br>
<a href="command:quit">Quit</a>
</td>
<td bgcolor=#402020 width=400 height=180 align=center valign=middle>
<img src=plane.png><br>
<font size=2 color=#C0C0C0>Pilot: J)") +
                              "\xFC" + "rgen M\xF6" + R"(ller, Stra)" + "\xDF" +
                              R"(e 1918</font>
</td></tr>
</table>
<p><font size=1>Version 1.0</font>
</body></html>)";

// An RGB picture file made from a pixel function.
std::string png_of(uint32_t width, uint32_t height, const std::function<uint32_t(int, int)>& f) {
    ComRef<IRaster> raster;
    EXPECT_EQ(OmNewMemoryRaster(width, height, OM_FORMAT_ARGB8888, raster.put()), OM_S_OK);
    void* pixels = nullptr;
    int32_t stride = 0;
    raster->Lock(OM_LOCK_WRITE, &pixels, &stride);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + y * stride)[x] =
                f(int(x), int(y));
    raster->Unlock();
    ComRef<IClassFactory> factory;
    EXPECT_EQ(Png_GetClassObject(CLSID_Png, IID_IClassFactory, factory.put_void()), OM_S_OK);
    ComRef<IObjectRW> writer;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IObjectRW, writer.put_void()), OM_S_OK);
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    EXPECT_EQ(writer->WriteStream(stream.get(), "png", raster.get()), OM_S_OK);
    uint32_t size = 0;
    stream->Seek(0, OM_SEEK_END, &size);
    stream->Seek(0, OM_SEEK_START, nullptr);
    std::string bytes(size, '\0');
    uint32_t done = 0;
    stream->Read(bytes.data(), size, &done);
    return bytes;
}

// The camera raster read back as 0xAARRGGBB.
testsupport::Image read_back(IRaster* raster) {
    testsupport::Image image;
    image.width = raster->GetWidth();
    image.height = raster->GetHeight();
    ComRef<IRaster> copy;
    EXPECT_EQ(OmNewMemoryRaster(image.width, image.height, OM_FORMAT_ARGB8888, copy.put()),
              OM_S_OK);
    EXPECT_EQ(copy->BlitConvert(nullptr, raster, nullptr, OM_BLIT_CONVERT), OM_S_OK);
    void* pixels = nullptr;
    int32_t stride = 0;
    EXPECT_EQ(copy->Lock(OM_LOCK_READ, &pixels, &stride), OM_S_OK);
    for (uint32_t y = 0; y < image.height; ++y)
        for (uint32_t x = 0; x < image.width; ++x)
            image.pixels.push_back(0xFF000000u |
                                   reinterpret_cast<const uint32_t*>(
                                       static_cast<const uint8_t*>(pixels) + y * stride)[x]);
    copy->Unlock();
    return image;
}

class ReferenceImage : public HtmlTest {
protected:
    void TearDown() override {
        session.end();
        if (window) platform::destroy_window(window);
        HtmlTest::TearDown();
    }
    platform::Window* window = nullptr;
    demoscene::EngineSession session;
};

TEST_F(ReferenceImage, MenuPageThroughTheSoftwareDevice) {
    IObjectManager* manager = OmGetObjectManager();
    ASSERT_EQ(OmRegisterAllModuleGroups(manager), OM_S_OK);
    ASSERT_EQ(OmLgRenderer_RegisterClasses(manager), OM_S_OK);
    platform::WindowDesc desc;
    desc.class_name = "corvel";
    desc.title = "corvel menu page";
    window = platform::create_window(desc);
    ASSERT_NE(window, nullptr);
    demoscene::SessionConfig config;
    config.window = window;
    ASSERT_TRUE(session.begin(config)) << session.error();

    testsupport::Image got;
    {
        ComRef<MemoryStorage> storage = MemoryStorage::make();
        storage->files["menus/tile.png"] = png_of(
            16, 16, [](int x, int y) { return ((x / 8 + y / 8) % 2) ? 0xFF304858u : 0xFF283C4Cu; });
        storage->files["menus/plane.png"] = png_of(96, 48, [](int x, int y) {
            const bool wing = y >= 18 && y < 26;
            const bool body = x >= 40 && x < 56;
            return wing || body ? 0xFFB09060u : 0xFF402020u;
        });
        storage->files["menus/main.html"] = menu_page;

        ComRef<IRenderer> renderer;
        ASSERT_EQ(OmCreate(CLSID_OmLgRenderer, IID_IRenderer, renderer.put()), OM_S_OK);
        ComRef<IRasterCreate> factory;
        ASSERT_EQ(renderer->CreateTextureFactory(factory.put()), OM_S_OK);
        factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_CAMERA);
        factory->SetProperty(OM_RASTER_WIDTH, screen_width);
        factory->SetProperty(OM_RASTER_HEIGHT, screen_height);
        factory->SetProperty(OM_RASTER_Z_BUFFER, 1);
        ComRef<IRaster> camera;
        ASSERT_EQ(factory->CreateRaster(camera.put()), OM_S_OK);
        ASSERT_EQ(renderer->Init(camera.get()), OM_S_OK);

        // Set up as the menus do it.
        ComRef<IHTMLBrowser> browser;
        ASSERT_EQ(OmCreate(CLSID_HTMLBrowser, IID_IHTMLBrowser, browser.put()), OM_S_OK);
        ASSERT_EQ(browser->Init(storage.get(), renderer.get()), OM_S_OK);
        IObjHash* settings = browser->GetSettings();
        settings->SetInt("texturemode", 4);
        settings->SetInt("brspacing", 0);
        settings->SetInt("wrapspacing", 0);
        settings->SetInt("paragraphspacing", 3);
        settings->SetInt("alignmentspacing", 2);
        settings->SetInt("tablespacing", 0);
        browser->SetScale(1.0f, 1.0f);

        ComRef<IHTMLPage> page;
        ASSERT_EQ(browser->LoadPage("menus/main.html", page.put()), OM_S_OK);
        ASSERT_EQ(page->GetLinkCount(), 4);
        ASSERT_EQ(page->SelectLink(1), OM_S_OK); // the pointer rests on "Campaign"
        ASSERT_EQ(renderer->BeginScene(), OM_S_OK);
        // Flat 2-D drawing: no depth test or depth writes.
        renderer->SetRenderState(OM_RS_Z_ENABLE, 0);
        renderer->SetRenderState(OM_RS_Z_WRITE_ENABLE, 0);
        ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
        ASSERT_EQ(renderer->EndScene(), OM_S_OK);
        got = read_back(camera.get());
    }
    ASSERT_EQ(got.width, uint32_t(screen_width));
    ASSERT_EQ(got.height, uint32_t(screen_height));

    const std::string path = (std::filesystem::path(testsupport::source_dir()) /
                              "tests/frontend/html/golden/menu_page.png")
                                 .string();
    const char* update = std::getenv("CORVEL_UPDATE_GOLDEN");
    testsupport::Image want;
    if ((update != nullptr && *update == '1') || !testsupport::read_png(path, &want)) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_TRUE(testsupport::write_png(path, got));
        FAIL() << "wrote " << path << ": review it, then commit it";
    }
    ASSERT_EQ(want.width, got.width);
    ASSERT_EQ(want.height, got.height);
    size_t differing = 0;
    int largest = 0;
    for (size_t i = 0; i < got.pixels.size(); ++i) {
        int worst = 0;
        for (int shift : {0, 8, 16}) {
            const int a = int(want.pixels[i] >> shift & 0xFF),
                      b = int(got.pixels[i] >> shift & 0xFF);
            worst = std::max(worst, std::abs(a - b));
        }
        largest = std::max(largest, worst);
        differing += worst > channel_slack;
    }
    if (differing > pixels_allowed_off) {
        const std::string shot =
            (std::filesystem::temp_directory_path() / "corvel_menu_page.png").string();
        testsupport::write_png(shot, got);
        ADD_FAILURE() << differing << " pixels differ (largest channel difference " << largest
                      << "); the frame is in " << shot;
    }
}

} // namespace
} // namespace htmltest
