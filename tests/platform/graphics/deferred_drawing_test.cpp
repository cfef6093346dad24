// What the device's queued drawing must look like from outside: a lock or a blit sees
// every pixel drawn before it, a texture changed or released after a draw does not change what
// that draw drew, and nothing is lost when the device goes away with work queued.
#include "gfx_fixture.h"

namespace gfxtest {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;

uint32_t red_texels(uint32_t, uint32_t) {
    return 0xF800; // 565 red
}

void textured_quad(Scene& s, float x0, float x1) {
    s.draw(D3DPT_TRIANGLEFAN, {tl(x0, 0, 0, kWhite, 0, 0), tl(x1, 0, 0, kWhite, 1, 0),
                               tl(x1, 16, 0, kWhite, 1, 1), tl(x0, 16, 0, kWhite, 0, 1)});
}

TEST(DeferredDrawing, ATextureRewrittenAfterADrawLeavesThatDrawAsItWas) {
    Scene s(64, 16, format_8888(), 0);
    auto tex = make_texture(s.dd.get(), 8, 8, format_565(), red_texels);
    s.clear(0xFF000000, 1.0f);
    ASSERT_EQ(s.device->BeginScene(), D3D_OK);
    s.bind(tex.get());
    textured_quad(s, 0, 16);
    write_pixels(tex.get(), 8, 8, 2, [](uint32_t, uint32_t) -> uint32_t { return 0x001F; });
    textured_quad(s, 16, 32);
    ASSERT_EQ(s.device->EndScene(), D3D_OK);
    EXPECT_EQ(s.argb(4, 4), 0xFFFF0000u) << "drawn before the texture changed";
    EXPECT_EQ(s.argb(20, 4), 0xFF0000FFu) << "drawn after";
}

TEST(DeferredDrawing, ATextureReleasedWithDrawsQueuedStaysUntilTheyAreDrawn) {
    Scene s(32, 16, format_8888(), 0);
    s.clear(0xFF000000, 1.0f);
    ASSERT_EQ(s.device->BeginScene(), D3D_OK);
    {
        auto tex = make_texture(s.dd.get(), 8, 8, format_565(), red_texels);
        s.bind(tex.get());
        textured_quad(s, 0, 16);
        s.bind(nullptr);
    } // the last reference the caller held is gone
    ASSERT_EQ(s.device->EndScene(), D3D_OK);
    EXPECT_EQ(s.argb(4, 4), 0xFFFF0000u);
}

TEST(DeferredDrawing, LocksAndBlitsSeeEveryPixelDrawnBefore) {
    Scene s(32, 32, format_565(), 16);
    s.clear(0xFF000000, 1.0f);
    ASSERT_EQ(s.device->BeginScene(), D3D_OK);
    s.draw(D3DPT_TRIANGLELIST,
           {tl(0, 0, 0.5f, kWhite), tl(32, 0, 0.5f, kWhite), tl(0, 32, 0.5f, kWhite)});
    // Inside the scene: a read lock of the target and of the z-buffer.
    EXPECT_EQ(s.raw(1, 1), 0xFFFFu);
    EXPECT_EQ(s.depth(1, 1), 32768u);
    s.draw(D3DPT_TRIANGLELIST, {tl(32, 0, 0.25f, 0xFFFF0000), tl(32, 32, 0.25f, 0xFFFF0000),
                                tl(0, 32, 0.25f, 0xFFFF0000)});
    // A blit from the target copies the second triangle too.
    DDSURFACEDESC2 d = surface_desc(DDSCAPS_OFFSCREENPLAIN, 32, 32);
    d.dwFlags |= DDSD_PIXELFORMAT;
    d.ddpfPixelFormat = format_565();
    ComPtr<IDirectDrawSurface4> copy;
    ASSERT_EQ(s.dd->CreateSurface(&d, copy.put(), nullptr), DD_OK);
    ASSERT_EQ(copy->Blt(nullptr, s.target.get(), nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Scene::raw_of(copy.get(), 30, 30), 0xF800u);
    ASSERT_EQ(s.device->EndScene(), D3D_OK);
}

TEST(DeferredDrawing, ADeviceReleasedWithDrawsQueuedDrawsThemFirst) {
    Scene s(16, 16, format_565(), 0);
    s.clear(0xFF000000, 1.0f);
    ASSERT_EQ(s.device->BeginScene(), D3D_OK);
    s.draw(D3DPT_TRIANGLELIST, {tl(0, 0, 0, kWhite), tl(16, 0, 0, kWhite), tl(0, 16, 0, kWhite)});
    s.viewport.reset();
    s.device.reset();
    EXPECT_EQ(s.raw(1, 1), 0xFFFFu);
}

} // namespace
} // namespace gfxtest
