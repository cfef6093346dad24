// The device's draw recorder: what it is told matches what was drawn, closely enough that
// replaying the record on the rasteriser alone gives the device's very pixels.
#include "gfx_fixture.h"
#include "platform/graphics/draw_recorder.h"
#include "platform/graphics/rasterizer.h"

#include <cstring>
#include <vector>

namespace gfxtest {
namespace {

struct Recorded {
    uint32_t type, cull;
    RenderTarget target;
    PixelState state;
    bool textured;
    std::vector<std::vector<uint32_t>> levels;
    TextureView view;
    std::vector<D3DTLVERTEX> vertices;
};

struct Recorder final : DrawRecorder {
    std::vector<Recorded> draws;
    std::vector<RecordedClear> clears;
    void on_draw(const RecordedDraw& d) override {
        Recorded r{d.type, d.cull, *d.target, *d.state, d.texture != nullptr, {}, {}, *d.vertices};
        if (d.texture) {
            r.view = *d.texture;
            for (int i = 0; i < d.texture->levels; ++i) {
                const TexLevel& l = d.texture->level[i];
                r.levels.emplace_back(l.texels, l.texels + l.w * l.h);
            }
        }
        draws.push_back(std::move(r));
    }
    void on_clear(const RecordedClear& c) override { clears.push_back(c); }
};

// Installs a recorder for the length of a test.
struct RecorderScope {
    Recorder recorder;
    RecorderScope() { set_draw_recorder(&recorder); }
    ~RecorderScope() { set_draw_recorder(nullptr); }
};

uint32_t checker(uint32_t x, uint32_t y) {
    return ((x ^ y) & 1) ? 0xF800 : 0x07E0 | (x * 3 + y);
}

TEST(DrawRecorder, ReportsDrawsAndClearsAsResolvedAndReplaysToTheSamePixels) {
    Scene s(32, 32);
    auto tex = make_texture(s.dd.get(), 8, 8, format_565(), checker);
    RecorderScope scope;
    D3DRECT all{0, 0, 32, 32};
    ASSERT_EQ(s.viewport->Clear2(1, &all, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 0.5f, 0),
              D3D_OK);
    // Untextured, indexed strip: the indices are resolved for the recorder.
    std::vector<D3DTLVERTEX> v = {tl(2, 2, 0.2f, 0xFFFF0000), tl(30, 3, 0.3f, 0xFF00FF00),
                                  tl(3, 29, 0.4f, 0xFF0000FF), tl(28, 28, 0.1f, 0xFFFFFFFF)};
    uint16_t indices[] = {3, 1, 2, 0};
    ASSERT_EQ(s.device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, D3DFVF_TLVERTEX, v.data(), 4,
                                             indices, 4, 0),
              D3D_OK);
    // Textured, fogged and blended over it.
    s.bind(tex.get());
    s.state(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    s.state(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
    s.state(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
    s.state(D3DRENDERSTATE_FOGENABLE, 1);
    s.state(D3DRENDERSTATE_FOGCOLOR, 0x00ABCDEF);
    s.draw(D3DPT_TRIANGLEFAN,
           {tl(0, 0, 0.05f, 0x80FFFFFF, 0, 0), tl(20, 0, 0.05f, 0x80FFFFFF, 1, 0),
            tl(20, 20, 0.05f, 0x80FFFFFF, 1, 1)});

    Recorder& r = scope.recorder;
    ASSERT_EQ(r.clears.size(), 1u);
    EXPECT_EQ(r.clears[0].x1, 32);
    EXPECT_TRUE(r.clears[0].colour && r.clears[0].depth);
    EXPECT_EQ(r.clears[0].colour_value, PixelCodec(format_565()).encode(0xFF102030));
    EXPECT_EQ(r.clears[0].depth_value, 32768u);
    ASSERT_EQ(r.draws.size(), 2u);
    EXPECT_EQ(r.draws[0].type, uint32_t(D3DPT_TRIANGLESTRIP));
    ASSERT_EQ(r.draws[0].vertices.size(), 4u);
    EXPECT_EQ(r.draws[0].vertices[0].sx, 28.0f);
    EXPECT_EQ(r.draws[0].vertices[3].sx, 2.0f);
    EXPECT_FALSE(r.draws[0].textured);
    EXPECT_TRUE(r.draws[1].textured);
    EXPECT_TRUE(r.draws[1].state.blend && r.draws[1].state.fog);
    EXPECT_EQ(r.draws[1].state.fog_color, 0xABCDEFu);

    // The same frame on the rasteriser alone, from the same starting pixels.
    std::vector<uint16_t> colour(32 * 32, 0), depth(32 * 32, 0xFFFF);
    for (const RecordedClear& c : r.clears)
        for (int32_t y = c.y0; y < c.y1; ++y)
            for (int32_t x = c.x0; x < c.x1; ++x) {
                colour[size_t(y) * 32 + x] = uint16_t(c.colour_value);
                depth[size_t(y) * 32 + x] = uint16_t(c.depth_value);
            }
    Rasterizer raster;
    for (Recorded& d : r.draws) {
        RenderTarget t = d.target;
        t.color = reinterpret_cast<uint8_t*>(colour.data());
        t.depth = reinterpret_cast<uint8_t*>(depth.data());
        for (int i = 0; i < d.view.levels; ++i) d.view.level[i].texels = d.levels[i].data();
        raster.prepare(t, d.state, d.textured ? &d.view : nullptr, d.cull);
        const auto& w = d.vertices;
        for (size_t i = 0; i + 2 < w.size(); ++i) {
            if (d.type == D3DPT_TRIANGLEFAN)
                raster.triangle(w[0], w[i + 1], w[i + 2]);
            else if (i & 1)
                raster.triangle(w[i], w[i + 2], w[i + 1]);
            else
                raster.triangle(w[i], w[i + 1], w[i + 2]);
        }
    }
    for (uint32_t y = 0; y < 32; ++y)
        for (uint32_t x = 0; x < 32; ++x) {
            ASSERT_EQ(colour[y * 32 + x], s.raw(x, y)) << x << "," << y;
            ASSERT_EQ(depth[y * 32 + x], s.depth(x, y)) << x << "," << y;
        }
}

TEST(DrawRecorder, UninstalledHearsNothing) {
    Scene s(16, 16);
    Recorder r;
    EXPECT_EQ(set_draw_recorder(&r), nullptr);
    EXPECT_EQ(set_draw_recorder(nullptr), &r);
    s.draw(D3DPT_TRIANGLELIST,
           {tl(0, 0, 0, 0xFFFFFFFF), tl(9, 0, 0, 0xFFFFFFFF), tl(0, 9, 0, 0xFFFFFFFF)});
    EXPECT_TRUE(r.draws.empty());
}

} // namespace
} // namespace gfxtest
