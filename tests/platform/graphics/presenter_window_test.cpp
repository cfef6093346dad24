// Presentation into a real SDL window on an X server of the test's own, checked by reading the
// screen back from the server.
#include "platform/graphics/presenter.h"
#include "platform/headless.h"
#include "platform/os/spawn.h"
#include "tests/platform/graphics/gfx_fixture.h"
#include "tests/support/xvfb_server.h"

#include <SDL.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace {

using namespace gfxtest;
using testsupport::Screenshot;
using testsupport::XvfbServer;

// Counts the pixels of one colour and their bounding box.
struct Region {
    uint32_t count = 0, left = ~0u, top = ~0u, right = 0, bottom = 0;
};
Region find_colour(const Screenshot& shot, uint32_t argb) {
    Region r;
    for (uint32_t y = 0; y < shot.height; ++y)
        for (uint32_t x = 0; x < shot.width; ++x)
            if (shot.at(x, y) == argb) {
                ++r.count;
                r.left = std::min(r.left, x);
                r.top = std::min(r.top, y);
                r.right = std::max(r.right, x + 1);
                r.bottom = std::max(r.bottom, y + 1);
            }
    return r;
}

TEST(PresenterWindow, AWindowedPresentReachesTheScreen) {
    std::string binary = find_in_path("Xvfb");
    if (binary.empty()) GTEST_SKIP() << "Xvfb is not installed";
    XvfbServer server(binary);
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    testsupport::DisplayScope scope(server.display(), false);
    testsupport::SystemLibraryLeakScope system_libraries;

    int window = 0;
    auto dd = make_direct_draw(0x808, &window);
    DDSURFACEDESC2 pd = surface_desc(DDSCAPS_PRIMARYSURFACE, 0, 0);
    pd.dwFlags = DDSD_CAPS;
    ComPtr<IDirectDrawSurface4> primary, raster;
    ASSERT_EQ(dd->CreateSurface(&pd, primary.put(), nullptr), DD_OK);
    DDSURFACEDESC2 rd = surface_desc(0x2840, 640, 480);
    ASSERT_EQ(dd->CreateSurface(&rd, raster.put(), nullptr), DD_OK);
    // Left half pure red, right half pure blue (565).
    write_pixels(raster.get(), 640, 480, 2,
                 [](uint32_t x, uint32_t) -> uint32_t { return x < 320 ? 0xF800 : 0x001F; });

    Screenshot shot;
    Region red, blue;
    // The server maps the window asynchronously: present until the frame shows up.
    GfxRect client{0, 0, 640, 480};
    for (int attempt = 0; attempt < 20; ++attempt) {
        ASSERT_EQ(primary->Blt(&client, raster.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
        SDL_PumpEvents();
        SDL_Delay(50);
        ASSERT_TRUE(testsupport::capture_root_window(server.display(), &shot))
            << "xwd could not read the screen";
        red = find_colour(shot, 0xFFFF0000u);
        blue = find_colour(shot, 0xFF0000FFu);
        if (red.count == 320u * 480 && blue.count == 320u * 480) break;
    }
    EXPECT_EQ(red.count, 320u * 480);
    EXPECT_EQ(blue.count, 320u * 480);
    EXPECT_EQ(red.right - red.left, 320u);
    EXPECT_EQ(red.bottom - red.top, 480u);
    EXPECT_EQ(blue.left, red.right) << "the halves sit side by side";
    EXPECT_EQ(blue.top, red.top);
}

} // namespace
