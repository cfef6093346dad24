// The older-interface facade over the graphics device: z-buffer depths, losable surfaces,
// texture handles and their lifetime, legacy render states and the vertex-type number.
#include "platform/ddraw/dx5.h"
#include "platform/graphics/pixel_format.h"
#include "platform/graphics/presenter.h"

#include <gtest/gtest.h>

namespace {

using namespace platform;
namespace dx5 = platform::dx5;

DDSURFACEDESC2 desc(uint32_t flags, uint32_t caps, uint32_t w, uint32_t h) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.ddsCaps.dwCaps = caps;
    d.dwWidth = w;
    d.dwHeight = h;
    return d;
}

class Dx5FacadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(dx5::DirectDrawCreate(nullptr, draw_.put()), DD_OK);
        ASSERT_EQ(draw_->SetCooperativeLevel(nullptr, DDSCL_NORMAL), DD_OK);
        ASSERT_EQ(draw_->QueryInterface(dx5::IID_IDirect3D2, reinterpret_cast<void**>(d3d_.put())),
                  S_OK);
        DDSURFACEDESC2 target = desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, 0x6040, 16, 16);
        ASSERT_EQ(draw_->CreateSurface(&target, target_.put()), DD_OK);
        DDSURFACEDESC2 z = desc(0x47, 0x26000, 16, 16);
        z.dwMipMapCount = 16;
        ASSERT_EQ(draw_->CreateSurface(&z, zbuffer_.put()), DD_OK);
        ASSERT_EQ(target_->AddAttachedSurface(zbuffer_.get()), DD_OK);
        ASSERT_EQ(d3d_->CreateDevice(IID_IDirect3DHALDevice, target_.get(), device_.put()), D3D_OK);
    }
    void TearDown() override { set_gfx_window_hooks({}); }

    ComPtr<dx5::IDirectDrawSurface3> texture(const DDPIXELFORMAT& format) {
        DDSURFACEDESC2 t = desc(0x1007, DDSCAPS_TEXTURE, 8, 8);
        t.ddpfPixelFormat = format;
        ComPtr<dx5::IDirectDrawSurface3> s;
        EXPECT_EQ(draw_->CreateSurface(&t, s.put()), DD_OK);
        return s;
    }
    dx5::D3DTEXTUREHANDLE handle_of(dx5::IDirectDrawSurface3* surface) {
        ComPtr<dx5::IDirect3DTexture2> t;
        EXPECT_EQ(
            surface->QueryInterface(dx5::IID_IDirect3DTexture2, reinterpret_cast<void**>(t.put())),
            S_OK);
        dx5::D3DTEXTUREHANDLE h = 0;
        EXPECT_EQ(t->GetHandle(device_.get(), &h), D3D_OK);
        return h;
    }

    ComPtr<dx5::IDirectDraw2> draw_;
    ComPtr<dx5::IDirect3D2> d3d_;
    ComPtr<dx5::IDirectDrawSurface3> target_, zbuffer_;
    ComPtr<dx5::IDirect3DDevice2> device_;
};

TEST_F(Dx5FacadeTest, ZBufferDepthBecomesAPixelFormat) {
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(zbuffer_->GetSurfaceDesc(&d), DD_OK);
    EXPECT_TRUE(d.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER);
    EXPECT_EQ(d.ddpfPixelFormat.dwZBufferBitDepth, 16u);
}

TEST_F(Dx5FacadeTest, LostSurfacesRefuseUntilRestored) {
    dx5::lose_all_surfaces();
    EXPECT_EQ(target_->IsLost(), DDERR_SURFACELOST);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    EXPECT_EQ(target_->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    EXPECT_EQ(target_->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fx), DDERR_SURFACELOST);
    EXPECT_EQ(target_->Restore(), DD_OK);
    EXPECT_EQ(target_->IsLost(), DD_OK);
    EXPECT_EQ(target_->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    target_->Unlock(nullptr);
    EXPECT_EQ(target_->PageUnlock(0), DDERR_NOTLOCKED);
    EXPECT_EQ(target_->PageLock(0), DD_OK);
    EXPECT_EQ(target_->PageUnlock(0), DD_OK);
}

TEST_F(Dx5FacadeTest, TextureHandlesAreStableAndForgottenWithTheirTexture) {
    ComPtr<dx5::IDirectDrawSurface3> a = texture(format_565());
    ComPtr<dx5::IDirectDrawSurface3> b = texture(format_4444());
    const dx5::D3DTEXTUREHANDLE ha = handle_of(a.get()), hb = handle_of(b.get());
    EXPECT_NE(ha, 0u);
    EXPECT_NE(ha, hb);
    EXPECT_EQ(handle_of(a.get()), ha);
    ComPtr<dx5::IDirect3DTexture2> none;
    EXPECT_EQ(
        target_->QueryInterface(dx5::IID_IDirect3DTexture2, reinterpret_cast<void**>(none.put())),
        E_NOINTERFACE);

    ASSERT_EQ(device_->SetRenderState(dx5::D3DRENDERSTATE_TEXTUREHANDLE, hb), D3D_OK);
    uint32_t value = 0;
    ASSERT_EQ(device_->GetRenderState(dx5::D3DRENDERSTATE_TEXTUREHANDLE, &value), D3D_OK);
    EXPECT_EQ(value, hb);
    b.reset();
    ASSERT_EQ(device_->GetRenderState(dx5::D3DRENDERSTATE_TEXTUREHANDLE, &value), D3D_OK);
    EXPECT_EQ(value, 0u) << "the bound texture went away";
    EXPECT_EQ(device_->SetRenderState(dx5::D3DRENDERSTATE_TEXTUREHANDLE, hb), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device_->SetRenderState(dx5::D3DRENDERSTATE_TEXTUREHANDLE, 99), DDERR_INVALIDPARAMS);
    EXPECT_EQ(device_->SetRenderState(dx5::D3DRENDERSTATE_TEXTUREHANDLE, ha), D3D_OK);
}

TEST_F(Dx5FacadeTest, LegacyStatesAreKeptAndOtherStatesReachTheDevice) {
    const std::pair<uint32_t, uint32_t> legacy[] = {
        {dx5::D3DRENDERSTATE_TEXTUREADDRESSU, D3DTADDRESS_CLAMP},
        {dx5::D3DRENDERSTATE_TEXTUREMAG, 2},
        {dx5::D3DRENDERSTATE_TEXTUREMIN, 6},
        {dx5::D3DRENDERSTATE_TEXTUREMAPBLEND, dx5::D3DTBLEND_MODULATEALPHA}};
    for (auto [state, v] : legacy) {
        ASSERT_EQ(device_->SetRenderState(state, v), D3D_OK);
        uint32_t back = 0;
        ASSERT_EQ(device_->GetRenderState(state, &back), D3D_OK);
        EXPECT_EQ(back, v) << state;
    }
    uint32_t back = 0;
    ASSERT_EQ(device_->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device_->GetRenderState(D3DRENDERSTATE_CULLMODE, &back), D3D_OK);
    EXPECT_EQ(back, uint32_t(D3DCULL_NONE));
    EXPECT_EQ(device_->SetRenderState(D3DRENDERSTATE_CULLMODE, 9), DDERR_INVALIDPARAMS);

    D3DTLVERTEX v[3] = {};
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 1, v, 3, 0), D3DERR_INVALIDVERTEXTYPE);
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, dx5::D3DVT_TLVERTEX, v, 3, 0), D3D_OK);
    uint16_t indices[3] = {0, 1, 2};
    EXPECT_EQ(
        device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, dx5::D3DVT_TLVERTEX, v, 3, indices, 3, 0),
        D3D_OK);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
}

} // namespace
