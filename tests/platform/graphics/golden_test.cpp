// 64x64 golden images of textured, blended, fogged and keyed scenes. A missing golden (or
// CORVEL_UPDATE_GOLDEN=1) writes the image and fails, so a new one is looked at before it is
// committed; the fill-rule facts live in rasterizer_test.cpp, not here.
#include "gfx_fixture.h"
#include "tests/support/source_dir.h"

#include <cstdlib>
#include <filesystem>

namespace gfxtest {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;

std::string golden_path(const std::string& name) {
    return (std::filesystem::path(testsupport::source_dir()) / "tests/platform/graphics" /
            "golden" / (name + ".png"))
        .string();
}

void expect_golden(Scene& s, const std::string& name) {
    const testsupport::Image got = s.image();
    const std::string path = golden_path(name);
    const char* update = std::getenv("CORVEL_UPDATE_GOLDEN");
    testsupport::Image want;
    if ((update && *update == '1') || !testsupport::read_png(path, &want)) {
        ASSERT_TRUE(testsupport::write_png(path, got));
        FAIL() << "wrote " << path << ": review it, then commit it";
    }
    ASSERT_EQ(want.width, got.width);
    ASSERT_EQ(want.height, got.height);
    int differing = 0;
    for (size_t i = 0; i < got.pixels.size(); ++i) differing += want.pixels[i] != got.pixels[i];
    EXPECT_EQ(differing, 0) << name;
}

// An 8x8 checker of red and yellow, with a blue 4x4 corner.
uint32_t checker_565(uint32_t x, uint32_t y) {
    if (x < 4 && y < 4) return 0x001F;
    return ((x / 2 + y / 2) & 1) ? 0xF800 : 0xFFE0;
}
uint32_t ring_4444(uint32_t x, uint32_t y) {
    int dx = int(x) - 8, dy = int(y) - 8;
    uint32_t a = uint32_t(std::min(15, (dx * dx + dy * dy) / 4));
    return (15 - a) << 12 | 0x0F80;
}
uint32_t keyed_565(uint32_t x, uint32_t y) {
    return ((x + y) % 6 < 3) ? 0x0000 : 0x07E0; // diagonal stripes, half of them the key
}

// A floor plane in perspective: far vertices have small rhw.
void perspective_floor(Scene& s, uint32_t fog_far = 255) {
    s.draw(D3DPT_TRIANGLEFAN,
           {tl(-32, 63, 0.1f, kWhite, 0, 0, 255, 1.0f), tl(96, 63, 0.1f, kWhite, 8, 0, 255, 1.0f),
            tl(40, 8, 0.9f, kWhite, 8, 16, fog_far, 0.125f),
            tl(24, 8, 0.9f, kWhite, 0, 16, fog_far, 0.125f)});
}

TEST(Golden, PerspectiveBilinearMipMappedFloor) {
    Scene s;
    s.clear(0xFF203040, 1.0f);
    auto tex = make_texture(s.dd.get(), 16, 16, format_565(), checker_565, false, true);
    // Fill the smaller levels with flat colours so the mip choice shows.
    const uint16_t level_colours[] = {0x07FF, 0xF81F, 0xFFFF, 0x8410};
    ComPtr<IDirectDrawSurface4> level = tex;
    for (uint16_t c : level_colours) {
        DDSCAPS2 caps{0x401008, 0, 0, 0};
        ComPtr<IDirectDrawSurface4> next;
        if (failed(level->GetAttachedSurface(&caps, next.put()))) break;
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        fx.dwFillColor = c;
        next->Blt(nullptr, nullptr, nullptr, 0x1000400, &fx);
        level = next;
    }
    s.bind(tex.get());
    s.stage(D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    s.stage(D3DTSS_MINFILTER, D3DTFN_LINEAR);
    s.stage(D3DTSS_MIPFILTER, D3DTFP_POINT);
    perspective_floor(s);
    expect_golden(s, "perspective_mip_floor");
}

TEST(Golden, AlphaBlendedTextureOverGouraud) {
    Scene s;
    s.draw(D3DPT_TRIANGLEFAN, {tl(0, 0, 0.5f, 0xFFFF0000), tl(64, 0, 0.5f, 0xFF00FF00),
                               tl(64, 64, 0.5f, 0xFF0000FF), tl(0, 64, 0.5f, 0xFFFFFF00)});
    auto tex = make_texture(s.dd.get(), 16, 16, format_4444(), ring_4444);
    s.bind(tex.get());
    s.stage(D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    s.stage(D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    s.stage(D3DTSS_MINFILTER, D3DTFN_LINEAR);
    s.state(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    s.state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    s.state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    s.draw(D3DPT_TRIANGLEFAN,
           {tl(8, 8, 0.2f, 0xC0FFFFFF, 0, 0), tl(56, 8, 0.2f, 0xC0FFFFFF, 1, 0),
            tl(56, 56, 0.2f, 0x40FFFFFF, 1, 1), tl(8, 56, 0.2f, 0x40FFFFFF, 0, 1)});
    expect_golden(s, "alpha_blended");
}

TEST(Golden, FoggedFloorFadesToTheFogColour) {
    Scene s;
    s.clear(0xFF8090A0, 1.0f);
    auto tex = make_texture(s.dd.get(), 16, 16, format_565(), checker_565);
    s.bind(tex.get());
    s.state(D3DRENDERSTATE_FOGENABLE, 1);
    s.state(D3DRENDERSTATE_FOGCOLOR, 0x8090A0);
    perspective_floor(s, 0);
    expect_golden(s, "fogged_floor");
}

TEST(Golden, ColourKeyedStripesOverAFlatTriangle) {
    Scene s;
    s.state(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    s.draw(D3DPT_TRIANGLELIST,
           {tl(0, 0, 0.8f, 0xFFFF8000), tl(64, 32, 0.8f, 0xFF0000FF), tl(0, 64, 0.8f, 0xFF00FF00)});
    auto tex = make_texture(s.dd.get(), 16, 16, format_565(), keyed_565, true);
    s.bind(tex.get());
    s.state(D3DRENDERSTATE_COLORKEYENABLE, 1);
    s.state(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    s.stage(D3DTSS_ADDRESS, D3DTADDRESS_MIRROR);
    s.draw(D3DPT_TRIANGLEFAN, {tl(16, 4, 0.3f, kWhite, 0, 0), tl(60, 4, 0.3f, kWhite, 2, 0),
                               tl(60, 60, 0.3f, kWhite, 2, 2), tl(16, 60, 0.3f, kWhite, 0, 2)});
    expect_golden(s, "colour_keyed");
}

} // namespace
} // namespace gfxtest
