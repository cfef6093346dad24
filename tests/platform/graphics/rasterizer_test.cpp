// Software rasteriser facts, checked on hand-computed micro cases: the top-left fill rule,
// flat shading, scissoring, depth test, colour key, fog, blending and lines.
#include "gfx_fixture.h"

#include <cmath>
#include <vector>

namespace gfxtest {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;

// An 8888 target where every draw adds 1 to blue: the blue channel counts hits per pixel.
struct CoverageScene : Scene {
    CoverageScene() : Scene(64, 64, format_8888(), 0) {
        state(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
        state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    }
    void tri(float x0, float y0, float x1, float y1, float x2, float y2) {
        draw(D3DPT_TRIANGLELIST, {tl(x0, y0, 0, 1), tl(x1, y1, 0, 1), tl(x2, y2, 0, 1)});
    }
    std::vector<uint32_t> counts() {
        std::vector<uint32_t> c;
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) c.push_back(raw(x, y) & 0xFF);
        return c;
    }
};

uint32_t total(const std::vector<uint32_t>& c) {
    uint32_t n = 0;
    for (uint32_t v : c) n += v;
    return n;
}
uint32_t most(const std::vector<uint32_t>& c) {
    uint32_t m = 0;
    for (uint32_t v : c) m = std::max(m, v);
    return m;
}

TEST(FillRule, RightTrianglesSplitASquareExactly) {
    // (0,0),(4,0),(0,4): the hypotenuse is a right edge, so centres on it (x + y = 3) are out:
    // 6 pixels. Its mirror has the hypotenuse as a left edge: those centres are in, 10 pixels.
    CoverageScene a;
    a.tri(0, 0, 4, 0, 0, 4);
    auto ca = a.counts();
    EXPECT_EQ(total(ca), 6u);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(ca[y * 64 + x], x + y <= 2 ? 1u : 0u);
    a.tri(4, 0, 4, 4, 0, 4);
    auto both = a.counts();
    EXPECT_EQ(total(both), 16u);
    EXPECT_EQ(most(both), 1u);
}

TEST(FillRule, QuadSplitEitherWayCoversTheSamePixelsOnce) {
    const float q[4][2] = {{4.3f, 3.7f}, {40.2f, 5.1f}, {37.8f, 41.6f}, {2.5f, 38.2f}};
    CoverageScene d02, d13;
    d02.tri(q[0][0], q[0][1], q[1][0], q[1][1], q[2][0], q[2][1]);
    d02.tri(q[0][0], q[0][1], q[2][0], q[2][1], q[3][0], q[3][1]);
    d13.tri(q[0][0], q[0][1], q[1][0], q[1][1], q[3][0], q[3][1]);
    d13.tri(q[1][0], q[1][1], q[2][0], q[2][1], q[3][0], q[3][1]);
    auto a = d02.counts(), b = d13.counts();
    EXPECT_EQ(most(a), 1u);
    EXPECT_EQ(most(b), 1u);
    EXPECT_EQ(a, b);
    // A whole-pixel square: exactly its 8 x 8 pixels.
    CoverageScene sq;
    sq.tri(10, 10, 18, 10, 18, 18);
    sq.tri(10, 10, 18, 18, 10, 18);
    EXPECT_EQ(total(sq.counts()), 64u);
    EXPECT_EQ(most(sq.counts()), 1u);
}

TEST(FillRule, FanAroundAPointLeavesNoCrackAndNoOverlap) {
    float ring[9][2];
    for (int i = 0; i < 9; ++i) {
        double a = i * 2 * M_PI / 9 + 0.3;
        ring[i][0] = float(31.3 + 25 * std::cos(a));
        ring[i][1] = float(30.7 + 25 * std::sin(a));
    }
    CoverageScene hub, edge;
    for (int i = 0; i < 9; ++i) {
        const int j = (i + 1) % 9;
        hub.tri(31.4f, 30.6f, ring[i][0], ring[i][1], ring[j][0], ring[j][1]);
    }
    for (int i = 1; i + 1 < 9; ++i)
        edge.tri(ring[0][0], ring[0][1], ring[i][0], ring[i][1], ring[i + 1][0], ring[i + 1][1]);
    auto a = hub.counts(), b = edge.counts();
    EXPECT_EQ(most(a), 1u);
    EXPECT_EQ(a, b) << "the same polygon cut two ways must cover the same pixels";
}

TEST(Shading, FlatTakesTheFirstVertexColourEvenInStrips) {
    Scene s(64, 64, format_8888(), 0);
    s.state(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    s.draw(D3DPT_TRIANGLESTRIP, {tl(0, 0, 0, 0xFFFF0000), tl(32, 0, 0, 0xFF00FF00),
                                 tl(0, 32, 0, 0xFF0000FF), tl(32, 32, 0, 0xFFFFFFFF)});
    EXPECT_EQ(s.argb(2, 2), 0xFFFF0000u);
    EXPECT_EQ(s.argb(29, 29), 0xFF00FF00u) << "second triangle starts at vertex 1";
    s.state(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    s.draw(D3DPT_TRIANGLELIST,
           {tl(40, 0, 0, 0xFFFF0000), tl(64, 0, 0, 0xFF0000FF), tl(40, 24, 0, 0xFF0000FF)});
    const uint32_t mid = s.argb(44, 2);
    EXPECT_GT((mid >> 16) & 255, 100u);
    EXPECT_GT(mid & 255, 10u);
}

TEST(Scissor, OffScreenVerticesAreCutToTheViewport) {
    Scene s(64, 64, format_565(), 0);
    D3DVIEWPORT2 vp{sizeof(D3DVIEWPORT2), 16, 16, 32, 32, -1, 1, 2, 2, 0, 1};
    ASSERT_EQ(s.viewport->SetViewport2(&vp), D3D_OK);
    s.draw(D3DPT_TRIANGLELIST,
           {tl(-5000, -5000, 0, kWhite), tl(9000, -5000, 0, kWhite), tl(0, 9000, 0, kWhite)});
    EXPECT_EQ(s.raw(16, 16), 0xFFFFu);
    EXPECT_EQ(s.raw(47, 47), 0xFFFFu);
    EXPECT_EQ(s.raw(15, 20), 0u);
    EXPECT_EQ(s.raw(48, 20), 0u);
    EXPECT_EQ(s.raw(20, 48), 0u);
    // Garbage vertices draw nothing and do not crash.
    const float nan = std::nanf("");
    s.draw(D3DPT_TRIANGLELIST,
           {tl(nan, 0, 0, 0xFF00FF00), tl(1e30f, 1e30f, 0, 0xFF00FF00), tl(0, -1e30f, 0, 0)});
    s.draw(D3DPT_TRIANGLELIST,
           {tl(1e30f, 20, 0, 0xFF00FF00), tl(-1e30f, 20, 0, 0xFF00FF00), tl(20, 40, 0, 0)});
}

TEST(Depth, LessEqualWithWriteEnableAndClearToOne) {
    Scene s;
    D3DRECT all{0, 0, 64, 64};
    ComPtr<IDirect3DMaterial3> m;
    ASSERT_EQ(s.d3d->CreateMaterial(m.put(), nullptr), D3D_OK);
    D3DMATERIAL mat{};
    mat.dwSize = sizeof(mat);
    mat.diffuse = {0, 0, 1, 0};
    mat.dwRampSize = 1;
    ASSERT_EQ(m->SetMaterial(&mat), D3D_OK);
    D3DMATERIALHANDLE h = 0;
    ASSERT_EQ(m->GetHandle(s.device.get(), &h), D3D_OK);
    ASSERT_EQ(s.viewport->SetBackground(h), D3D_OK);
    ASSERT_EQ(s.viewport->Clear(1, &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER), D3D_OK);
    EXPECT_EQ(s.depth(3, 3), 0xFFFFu);
    EXPECT_EQ(s.raw(3, 3), 0x001Fu);

    auto quad = [&](float z, uint32_t c) {
        s.draw(D3DPT_TRIANGLEFAN,
               {tl(0, 0, z, c), tl(64, 0, z, c), tl(64, 64, z, c), tl(0, 64, z, c)});
    };
    quad(0.9999f, 0xFFFF0000); // the engine's far plane passes after a clear
    EXPECT_EQ(s.raw(3, 3), 0xF800u);
    quad(0.5f, 0xFF00FF00);
    quad(0.5f, 0xFFFFFFFF); // equal passes
    EXPECT_EQ(s.raw(3, 3), 0xFFFFu);
    quad(0.6f, 0xFF0000FF); // farther fails
    EXPECT_EQ(s.raw(3, 3), 0xFFFFu);
    EXPECT_EQ(s.depth(3, 3), uint32_t(std::lround(0.5 * 65535)));
    s.state(D3DRENDERSTATE_ZWRITEENABLE, 0);
    quad(0.25f, 0xFFFF0000);
    EXPECT_EQ(s.raw(3, 3), 0xF800u);
    EXPECT_EQ(s.depth(3, 3), uint32_t(std::lround(0.5 * 65535)));
    s.state(D3DRENDERSTATE_ZENABLE, 0);
    quad(0.9f, 0xFF00FF00);
    EXPECT_EQ(s.raw(3, 3), 0x07E0u);
}

uint32_t keyed_texels(uint32_t x, uint32_t) {
    return x < 4 ? 0x0000 : (x < 8 ? 0x0001 : 0xF800);
}

TEST(ColourKey, DiscardsTexelsWhoseRawValueEqualsTheKey) {
    Scene s(64, 64, format_8888(), 0);
    auto tex = make_texture(s.dd.get(), 16, 16, format_565(), keyed_texels, true);
    s.clear(0xFF00FF00, 1.0f);
    s.bind(tex.get());
    auto quad = [&] {
        s.draw(D3DPT_TRIANGLEFAN, {tl(0, 0, 0, kWhite, 0, 0), tl(16, 0, 0, kWhite, 1, 0),
                                   tl(16, 16, 0, kWhite, 1, 1), tl(0, 16, 0, kWhite, 0, 1)});
    };
    s.state(D3DRENDERSTATE_COLORKEYENABLE, 1);
    quad();
    EXPECT_EQ(s.argb(1, 1), 0xFF00FF00u) << "raw 0 is the key";
    EXPECT_EQ(s.argb(5, 1), 0xFF000008u) << "raw 1 is nearly black but not the key";
    EXPECT_EQ(s.argb(12, 1), 0xFFFF0000u);
    s.state(D3DRENDERSTATE_COLORKEYENABLE, 0);
    quad();
    EXPECT_EQ(s.argb(1, 1), 0xFF000000u);
}

TEST(Fog, LerpsFromFogColourByTheSpecularAlpha) {
    Scene s(64, 64, format_8888(), 0);
    s.state(D3DRENDERSTATE_FOGENABLE, 1);
    s.state(D3DRENDERSTATE_FOGCOLOR, 0x00FFFFFF);
    struct Case {
        uint32_t fog, expected;
    } cases[] = {{255, 0xFFFF0000}, {0, 0xFFFFFFFF}, {128, 0xFFFF7F7F}};
    for (const Case& c : cases) {
        s.draw(D3DPT_TRIANGLEFAN,
               {tl(0, 0, 0, 0xFFFF0000, 0, 0, c.fog), tl(8, 0, 0, 0xFFFF0000, 0, 0, c.fog),
                tl(8, 8, 0, 0xFFFF0000, 0, 0, c.fog), tl(0, 8, 0, 0xFFFF0000, 0, 0, c.fog)});
        EXPECT_EQ(s.argb(4, 4), c.expected) << c.fog;
    }
}

TEST(Blending, SourceAlphaOverInverseSourceAlphaAndAlphaTest) {
    Scene s(64, 64, format_8888(), 0);
    s.clear(0xFF0000FF, 1.0f);
    s.state(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    s.state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    s.state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    auto quad = [&](uint32_t c) {
        s.draw(D3DPT_TRIANGLEFAN, {tl(0, 0, 0, c), tl(8, 0, 0, c), tl(8, 8, 0, c), tl(0, 8, 0, c)});
    };
    quad(0x80FF0000);
    EXPECT_EQ(s.argb(4, 4) & 0xFFFFFF, 0x80007Fu);
    s.state(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    s.state(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
    s.state(D3DRENDERSTATE_ALPHAREF, 0);
    quad(0x0000FF00); // alpha 0 fails GREATER 0: nothing changes
    EXPECT_EQ(s.argb(4, 4) & 0xFFFFFF, 0x80007Fu);
}

TEST(Lines, LeaveOutTheLastPixelAndStayInTheViewport) {
    Scene s(64, 64, format_565(), 0);
    s.draw(D3DPT_LINELIST, {tl(2.5f, 5.5f, 0, kWhite), tl(10.5f, 5.5f, 0, kWhite)});
    for (uint32_t x = 0; x < 12; ++x)
        EXPECT_EQ(s.raw(x, 5), (x >= 2 && x < 10) ? 0xFFFFu : 0u) << x;
    s.draw(D3DPT_LINESTRIP,
           {tl(-100, 30.5f, 0, kWhite), tl(500, 30.5f, 0, kWhite), tl(500, 90, 0, kWhite)});
    EXPECT_EQ(s.raw(0, 30), 0xFFFFu);
    EXPECT_EQ(s.raw(63, 30), 0xFFFFu);
}

TEST(DrawCalls, RejectOtherVertexFormatsPointListsAndBadIndices) {
    Scene s;
    D3DTLVERTEX v[3] = {tl(0, 0, 0, kWhite), tl(8, 0, 0, kWhite), tl(0, 8, 0, kWhite)};
    EXPECT_EQ(s.device->DrawPrimitive(D3DPT_TRIANGLELIST, 0x112, v, 3, 5),
              D3DERR_INVALIDVERTEXTYPE);
    EXPECT_EQ(s.device->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_TLVERTEX, v, 3, 5),
              D3DERR_INVALIDPRIMITIVETYPE);
    uint16_t bad[3] = {0, 1, 3};
    EXPECT_EQ(s.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, 3, bad, 3, 5),
              DDERR_INVALIDPARAMS);
    uint16_t good[3] = {2, 1, 0};
    EXPECT_EQ(s.device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, 3, good, 3, 5),
              D3D_OK);
    EXPECT_EQ(s.raw(1, 1), 0xFFFFu);
    EXPECT_EQ(s.device->BeginScene(), D3D_OK);
    EXPECT_EQ(s.device->BeginScene(), D3DERR_SCENE_IN_SCENE);
    EXPECT_EQ(s.device->EndScene(), D3D_OK);
    EXPECT_EQ(s.device->EndScene(), D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_EQ(s.device->SetRenderState(D3DRENDERSTATE_STENCILENABLE, 1), D3DERR_UNSUPPORTEDSTATE);
}

} // namespace
} // namespace gfxtest
