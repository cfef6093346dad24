// Sw16Renderer and Sw8Renderer: initialisation, scenes, the render-state cache, the drawing
// orders of lists, strips and fans, clipping, the texture factory and texture state, the 8-bit
// palette and colour tables, and byte-exact images of the 8-bit routines.
#include "media/display/software_renderer.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "media/display/sw_rasteriser.h"
#include "tests/media/media_classes.h"
#include "tests/media/raster/raster_fixture.h"

#include <limits>
#include <string>
#include <vector>

namespace {

using namespace rastertest;

OmTLVertex vertex(float x, float y, uint32_t diffuse = 0xFFFFFFFF, float u = 0, float v = 0) {
    return OmTLVertex{x, y, 0.5f, 1, diffuse, 0, u, v};
}

class SoftwareRendererTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { testsupport::register_media_classes(OmGetObjectManager()); }

    static ComRef<IRenderer> create(const GUID& clsid) {
        ComRef<IRenderer> renderer;
        EXPECT_EQ(OmCreate(clsid, IID_IRenderer, renderer.put()), OM_S_OK);
        return renderer;
    }

    // A 16-bit renderer drawing into a fresh target of the size.
    ComRef<IRenderer> sw16(uint32_t width, uint32_t height) {
        ComRef<IRenderer> renderer = create(CLSID_Sw16Renderer);
        display_ = make_raster(4, 4, OM_FORMAT_RGB565);
        EXPECT_EQ(renderer->Init(display_.get()), OM_S_OK);
        target_ = make_raster(width, height, OM_FORMAT_RGB565);
        EXPECT_EQ(renderer->SetTarget(target_.get()), OM_S_OK);
        return renderer;
    }

    // An 8-bit display with a palette object.
    ComRef<IRaster> palettised_display() {
        ComRef<IRaster> display = make_raster(4, 4, OM_FORMAT_PALETTE8);
        palette_ = make_palette(std::vector<uint32_t>(256, 0x12345678));
        set_palette(display.get(), palette_.get());
        return display;
    }

    // Rows of '#' (non-zero) and '.', separated by '/'.
    std::string coverage() const {
        std::vector<uint32_t> pixels = pixels_of(target_.get());
        std::string out;
        for (uint32_t y = 0; y < target_->GetHeight(); ++y) {
            if (y) out += '/';
            for (uint32_t x = 0; x < target_->GetWidth(); ++x)
                out += pixels[y * target_->GetWidth() + x] ? '#' : '.';
        }
        return out;
    }

    void TearDown() override {
        display_.reset();
        target_.reset();
        palette_.reset();
        FrameworkTest::TearDown();
    }

    ComRef<IRaster> display_, target_, palette_;
};

TEST_F(SoftwareRendererTest, InitAndScenes) {
    ComRef<IRenderer> renderer = create(CLSID_Sw16Renderer);
    ComRef<IRaster> wrong = make_raster(4, 4, OM_FORMAT_ARGB8888);
    EXPECT_EQ(renderer->Init(wrong.get()), OM_E_FAIL);
    EXPECT_EQ(renderer->GetDisplay(), nullptr);
    ComRef<IRaster> display = make_raster(4, 4, OM_FORMAT_RGB565);
    ASSERT_EQ(renderer->Init(display.get()), OM_S_OK);
    EXPECT_EQ(renderer->GetDisplay(), display.get());

    EXPECT_EQ(renderer->BeginScene(), OM_E_FAIL); // no target
    EXPECT_EQ(renderer->EndScene(), OM_E_FAIL);
    ComRef<IRaster> deep = make_raster(4, 4, OM_FORMAT_ARGB8888);
    ASSERT_EQ(renderer->SetTarget(deep.get()), OM_S_OK);
    EXPECT_EQ(renderer->BeginScene(), OM_E_FAIL); // pixels of another depth
    ComRef<IRaster> target = make_raster(4, 4, OM_FORMAT_RGB565);
    ASSERT_EQ(renderer->SetTarget(target.get()), OM_S_OK);
    EXPECT_EQ(renderer->GetTarget(), target.get());
    EXPECT_EQ(renderer->BeginScene(), OM_S_OK);
    EXPECT_EQ(renderer->BeginScene(), OM_E_FAIL);
    EXPECT_EQ(renderer->SetTarget(deep.get()), OM_E_FAIL);
    EXPECT_EQ(renderer->EndScene(), OM_S_OK);
    EXPECT_EQ(renderer->EndScene(), OM_E_FAIL);

    // Only the renderer interface is answered.
    ComRef<IRaster> no;
    EXPECT_EQ(renderer->QueryInterface(IID_IRaster, no.put_void()), OM_E_NOINTERFACE);
    // Both classes belong to the renderer category.
    ComRef<IRenderer> any;
    EXPECT_EQ(
        OmCreateInstanceOfCategory(CATID_OrmicRenderer, nullptr, 0, IID_IRenderer, any.put_void()),
        OM_S_OK);
}

TEST_F(SoftwareRendererTest, RenderStateCache) {
    ComRef<IRenderer> renderer = create(CLSID_Sw16Renderer);
    uintptr_t value = 77;
    EXPECT_EQ(renderer->GetRenderState(OM_RS_ALPHA_REF, &value), OM_S_OK); // special: untouched
    EXPECT_EQ(value, 77u);
    EXPECT_EQ(renderer->GetRenderState(OM_RS_FILL_MODE, &value), OM_S_OK); // unknown: untouched
    EXPECT_EQ(value, 77u);
    struct Initial {
        uint32_t state;
        uintptr_t value;
    };
    for (Initial i : {Initial{2, 0}, {3, 1}, {7, 1}, {9, 2}, {14, 1}, {23, 2}, {28, 0}, {45, 1}}) {
        EXPECT_EQ(renderer->GetRenderState(i.state, &value), OM_S_OK);
        EXPECT_EQ(value, i.value) << i.state;
    }
    EXPECT_EQ(renderer->GetRenderState(47, &value), OM_E_FAIL);
    EXPECT_EQ(renderer->SetRenderState(47, 0), OM_E_FAIL);

    EXPECT_EQ(renderer->SetRenderState(OM_RS_SHADE_MODE, 1), OM_S_OK);
    EXPECT_EQ(renderer->GetRenderState(OM_RS_SHADE_MODE, &value), OM_S_OK);
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(renderer->SetRenderState(OM_RS_SHADE_MODE, 2), OM_S_OK);
    EXPECT_EQ(renderer->SetRenderState(OM_RS_ALPHA_BLEND_ENABLE, 0), OM_S_OK);
    EXPECT_EQ(renderer->SetRenderState(OM_RS_ALPHA_REF, 5), OM_S_OK); // special: ignored
    // Other states are kept but not supported.
    EXPECT_EQ(renderer->SetRenderState(OM_RS_Z_ENABLE, 0), OM_E_FAIL);
    EXPECT_EQ(renderer->GetRenderState(OM_RS_Z_ENABLE, &value), OM_S_OK);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(renderer->SetRenderState(OM_RS_Z_ENABLE, 0), OM_S_OK); // unchanged
}

TEST_F(SoftwareRendererTest, ListStripAndFanOrders) {
    // Each shape covers the 8 x 8 target only when both of its triangles are drawn in the
    // renderer's order (the other winding is culled).
    const OmTLVertex strip[4] = {vertex(0, 0), vertex(8, 0), vertex(0, 8), vertex(8, 8)};
    const OmTLVertex fan[4] = {vertex(0, 0), vertex(8, 0), vertex(8, 8), vertex(0, 8)};
    const OmTLVertex list[7] = {vertex(0, 0), vertex(8, 0), vertex(0, 8), vertex(8, 0),
                                vertex(8, 8), vertex(0, 8), vertex(0, 0)};
    const std::string full =
        "########/########/########/########/########/########/########/########";
    struct Case {
        const char* what;
        uint32_t type;
        const OmTLVertex* vertices;
        uint32_t count;
        std::vector<uint16_t> indices;
    };
    const Case cases[] = {
        {"strip", OM_PRIMITIVE_TRIANGLE_STRIP, strip, 4, {}},
        {"fan", OM_PRIMITIVE_TRIANGLE_FAN, fan, 4, {}},
        {"list of 7", OM_PRIMITIVE_TRIANGLE_LIST, list, 7, {}},
        {"indexed strip", OM_PRIMITIVE_TRIANGLE_STRIP, fan, 4, {0, 1, 3, 2}},
        {"indexed fan", OM_PRIMITIVE_TRIANGLE_FAN, strip, 4, {0, 1, 3, 2}},
    };
    for (const Case& c : cases) {
        for (uint32_t flags : {0u, OM_DRAW_DONOTCLIP}) {
            ComRef<IRenderer> renderer = sw16(8, 8);
            ASSERT_EQ(renderer->BeginScene(), OM_S_OK);
            if (c.indices.empty())
                EXPECT_EQ(renderer->DrawPrimitive(c.type, c.vertices, c.count, flags), OM_S_OK);
            else
                EXPECT_EQ(renderer->DrawIndexedPrimitive(c.type, c.vertices, c.count,
                                                         c.indices.data(),
                                                         uint32_t(c.indices.size()), flags),
                          OM_S_OK);
            renderer->EndScene();
            EXPECT_EQ(coverage(), full) << c.what << " flags " << flags;
        }
    }

    // The strip's first triangle alone covers the upper-left half: (V0, V2, V1).
    ComRef<IRenderer> renderer = sw16(4, 4);
    renderer->BeginScene();
    const OmTLVertex three[3] = {vertex(0, 0), vertex(4, 0), vertex(0, 4)};
    EXPECT_EQ(renderer->DrawPrimitive(OM_PRIMITIVE_TRIANGLE_STRIP, three, 3, 0), OM_S_OK);
    // Other primitive types draw nothing; indices past the vertices are refused.
    EXPECT_EQ(renderer->DrawPrimitive(OM_PRIMITIVE_LINE_LIST, fan, 4, 0), OM_S_OK);
    const uint16_t bad[3] = {0, 1, 9};
    EXPECT_EQ(renderer->DrawIndexedPrimitive(OM_PRIMITIVE_TRIANGLE_LIST, fan, 4, bad, 3, 0),
              OM_E_FAIL);
    renderer->EndScene();
    EXPECT_EQ(coverage(), "###./##../#.../....");
}

TEST_F(SoftwareRendererTest, ClippingAgainstTheTarget) {
    struct Case {
        const char* what;
        OmTLVertex a, b, c;
        const char* expected;
    };
    const Case cases[] = {
        {"wholly right", vertex(10, 0), vertex(10, 6), vertex(16, 6),
         "....../....../....../....../....../......"},
        {"crossing the corner", vertex(-4, -4), vertex(-4, 20), vertex(20, 20),
         "#...../##..../###.../####../#####./######"},
        {"crossing the right edge", vertex(2, 0), vertex(2, 6), vertex(30, 6),
         "..####/..####/..####/..####/..####/..####"},
    };
    for (const Case& c : cases) {
        ComRef<IRenderer> renderer = sw16(6, 6);
        ASSERT_EQ(renderer->BeginScene(), OM_S_OK);
        const OmTLVertex list[3] = {c.a, c.c, c.b}; // drawn as (a, b, c)
        EXPECT_EQ(renderer->DrawPrimitive(OM_PRIMITIVE_TRIANGLE_LIST, list, 3, 0), OM_S_OK);
        renderer->EndScene();
        EXPECT_EQ(coverage(), c.expected) << c.what;
    }
}

TEST_F(SoftwareRendererTest, UnreasonableVerticesNeverWriteOutsideTheTarget) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const OmTLVertex wild[6] = {vertex(-1e30f, -1e30f), vertex(3e9f, 5), vertex(2, 1e20f),
                                vertex(nan, 2),         vertex(1, nan),  vertex(3, 3)};
    for (uint32_t flags : {0u, OM_DRAW_DONOTCLIP}) {
        ComRef<IRenderer> renderer = sw16(6, 6);
        ASSERT_EQ(renderer->BeginScene(), OM_S_OK);
        for (uint32_t type :
             {OM_PRIMITIVE_TRIANGLE_LIST, OM_PRIMITIVE_TRIANGLE_STRIP, OM_PRIMITIVE_TRIANGLE_FAN})
            renderer->DrawPrimitive(type, wild, 6, flags);
        renderer->EndScene();
        EXPECT_EQ(pixels_of(target_.get()).size(), 36u);
    }
}

TEST_F(SoftwareRendererTest, TextureFactoryAndTextureState) {
    ComRef<IRenderer> renderer = sw16(8, 8);
    ComRef<IRasterCreate> factory;
    ASSERT_EQ(renderer->CreateTextureFactory(factory.put()), OM_S_OK);

    factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE);
    factory->SetProperty(OM_RASTER_WIDTH, 64);
    factory->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_ARGB8888);
    ComRef<IRaster> texture;
    ASSERT_EQ(factory->CreateRaster(texture.put()), OM_S_OK);
    EXPECT_EQ(texture->GetWidth(), 128u);
    EXPECT_EQ(texture->GetHeight(), 128u);
    EXPECT_EQ(texture->GetFormat(), OM_FORMAT_RGB565);

    ComRef<IRaster> refused;
    factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_NORMAL);
    EXPECT_EQ(factory->CreateRaster(refused.put()), OM_E_FAIL);
    factory->Clear();
    factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE);
    factory->SetPropertyFixed(OM_RASTER_WIDTH, 1);
    factory->SetProperty(OM_RASTER_WIDTH, 64);
    EXPECT_EQ(factory->CreateRaster(refused.put()), OM_E_FAIL); // a fixed size of 64
    factory->Clear();
    factory->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_ARGB8888);
    factory->SetPropertyFixed(OM_RASTER_FORMAT, 1);
    EXPECT_EQ(factory->CreateRaster(refused.put()), OM_E_FAIL); // a fixed other format
    EXPECT_EQ(refused.get(), nullptr);

    // State 1 takes only what the textured routines can address.
    ComRef<IRaster> small = make_raster(64, 64, OM_FORMAT_RGB565);
    ComRef<IRaster> deep = make_raster(128, 128, OM_FORMAT_ARGB8888);
    uintptr_t value = 1;
    EXPECT_EQ(renderer->SetRenderState(OM_RS_TEXTURE, uintptr_t(small.get())), OM_E_FAIL);
    EXPECT_EQ(renderer->SetRenderState(OM_RS_TEXTURE, uintptr_t(deep.get())), OM_E_FAIL);
    EXPECT_EQ(renderer->GetRenderState(OM_RS_TEXTURE, &value), OM_S_OK);
    EXPECT_EQ(value, 0u);
    uint32_t red = 0xFFFF0000;
    texture->FillRect(nullptr, &red);
    ASSERT_EQ(renderer->SetRenderState(OM_RS_TEXTURE, uintptr_t(texture.get())), OM_S_OK);
    EXPECT_EQ(renderer->GetRenderState(OM_RS_TEXTURE, &value), OM_S_OK);
    EXPECT_EQ(value, uintptr_t(texture.get()));

    // Textured drawing through the renderer, clipped at the right edge.
    renderer->BeginScene();
    const OmTLVertex list[3] = {vertex(0, 0), vertex(20, 8), vertex(0, 8)};
    EXPECT_EQ(renderer->DrawPrimitive(OM_PRIMITIVE_TRIANGLE_LIST, list, 3, 0), OM_S_OK);
    renderer->EndScene();
    EXPECT_EQ(pixels_of(target_.get())[7 * 8 + 7], 0xF800u);
    EXPECT_EQ(pixels_of(target_.get())[0 * 8 + 7], 0u);
    EXPECT_EQ(renderer->SetRenderState(OM_RS_TEXTURE, 0), OM_S_OK);
}

TEST_F(SoftwareRendererTest, Sw8PaletteAndTables) {
    ComRef<IRenderer> renderer = create(CLSID_Sw8Renderer);
    // Displays without a palette object, or not of 8 bits, are refused and not kept.
    ComRef<IRaster> plain = make_raster(4, 4, OM_FORMAT_PALETTE8);
    EXPECT_EQ(renderer->Init(plain.get()), OM_E_FAIL);
    EXPECT_EQ(renderer->GetDisplay(), nullptr);
    ComRef<IRaster> deep = make_raster(4, 4, OM_FORMAT_RGB565);
    EXPECT_NE(renderer->Init(deep.get()), OM_S_OK);
    EXPECT_EQ(renderer->GetDisplay(), nullptr);

    ComRef<IRaster> display = palettised_display();
    ASSERT_EQ(renderer->Init(display.get()), OM_S_OK);
    std::vector<uint32_t> palette = pixels_of(palette_.get());
    EXPECT_EQ(palette[10], 0xFF000000u);
    EXPECT_EQ(palette[11], 0xFFB88A00u); // blue 0, green 138, red 184
    for (uint32_t i : {0u, 9u, 245u, 255u}) EXPECT_EQ(palette[i], 0u) << i;

    uint32_t colours[256];
    sw8_build_palette(colours);
    EXPECT_EQ(std::vector<uint32_t>(colours, colours + 256), palette);
    auto tables = std::make_unique<Sw8ColourTables>();
    sw8_build_tables(colours, tables.get());
    auto nearest = [&](uint32_t c) {
        return om_palette_matcher_nearest(&tables->matcher, uint8_t(c >> 16), uint8_t(c >> 8),
                                          uint8_t(c));
    };
    // Black is entry 10: the transparent black entries 0..9 are never chosen.
    EXPECT_EQ(nearest(0), 10);
    for (uint32_t p = 10; p < 245; ++p) {
        EXPECT_EQ(tables->shade[15 * 256 + p], nearest(colours[p])) << p;
        EXPECT_EQ(tables->shade[p], 10) << p;
        EXPECT_EQ(tables->modulation[p * 256 + 10], 10) << p;
    }
    for (uint32_t i = 0; i < 256; i += 7)
        for (uint32_t j = 0; j < 256; j += 5)
            EXPECT_EQ(tables->modulation[i * 256 + j], tables->modulation[j * 256 + i]);
    // Entry 244 (q = 2088227: red 70, green 116, blue 254) at shade row 7: x 7/15, rounded.
    EXPECT_EQ(colours[244], 0xFF4674FEu);
    EXPECT_EQ(tables->shade[7 * 256 + 244], nearest(0x00213677));
}

TEST_F(SoftwareRendererTest, Sw8GoldenImages) {
    ComRef<IRenderer> renderer = create(CLSID_Sw8Renderer);
    ComRef<IRaster> display = palettised_display();
    ASSERT_EQ(renderer->Init(display.get()), OM_S_OK);
    target_ = make_raster(6, 4, OM_FORMAT_PALETTE8);
    ASSERT_EQ(renderer->SetTarget(target_.get()), OM_S_OK);

    // A texture: texel (column c, row r) = 10 + 29 x ((c + 3 r) % 8), columns 0..3 (mod 32) 0.
    ComRef<IRasterCreate> factory;
    ASSERT_EQ(renderer->CreateTextureFactory(factory.put()), OM_S_OK);
    factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE);
    ComRef<IRaster> texture;
    ASSERT_EQ(factory->CreateRaster(texture.put()), OM_S_OK);
    void* base;
    int32_t stride;
    ASSERT_EQ(texture->Lock(OM_LOCK_WRITE, &base, &stride), OM_S_OK);
    for (uint32_t r = 0; r < 128; ++r)
        for (uint32_t c = 0; c < 128; ++c)
            static_cast<uint8_t*>(base)[r * stride + c] =
                uint8_t(c % 32 < 4 ? 0 : 10 + (c + 3 * r) % 8 * 29);
    texture->Unlock();

    // A quad of two triangles: red 255 on the left vertices, 0x40 on the right.
    const OmTLVertex quad[4] = {vertex(0, 0, 0xFFFFFFFF, 0, 0), vertex(6, 0, 0xFF4080C0, 0.25f, 0),
                                vertex(6, 4, 0xFF4080C0, 0.25f, 0.25f),
                                vertex(0, 4, 0xFFFFFFFF, 0, 0.25f)};
    struct Case {
        const char* what;
        bool textured, keyed, flat;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        // Shade rows fall from 15 (red 255) on the left towards 4 (red 0x40) on the right.
        {"untextured", false, false, false, {199, 171, 136, 136, 108, 73, //
                                             199, 164, 136, 136, 108, 73, //
                                             199, 164, 136, 136, 73,  73, //
                                             199, 164, 136, 136, 108, 73}},
        // Column 0 samples texel 0: shaded like any other texel (to black, entry 10).
        {"textured smooth", true, false, false, {10, 10,  91, 33,  106, 45, //
                                                 10, 109, 51, 10,  88,  27, //
                                                 10, 138, 91, 51,  10,  45, //
                                                 10, 109, 51, 108, 88,  27}},
        // The keyed variant leaves texel 0's pixels as they were (77).
        {"textured keyed", true, true, false, {77, 10,  91, 33,  106, 45, //
                                               77, 109, 51, 10,  88,  27, //
                                               77, 138, 91, 51,  10,  45, //
                                               77, 109, 51, 108, 88,  27}},
        // Flat: the texel modulated by the first vertex's colour (white), texel 0 transparent.
        {"textured flat", true, false, true, {77, 10,  80, 50,  138, 51, //
                                              77, 109, 68, 10,  109, 68, //
                                              77, 138, 80, 68,  10,  80, //
                                              77, 109, 68, 167, 109, 68}},
    };
    for (const Case& c : cases) {
        target_ = make_raster(6, 4, OM_FORMAT_PALETTE8, std::vector<uint32_t>(24, 77));
        ASSERT_EQ(renderer->SetTarget(target_.get()), OM_S_OK);
        texture->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, c.keyed);
        renderer->SetRenderState(OM_RS_TEXTURE, c.textured ? uintptr_t(texture.get()) : 0);
        renderer->SetRenderState(OM_RS_SHADE_MODE, c.flat ? 1 : 2);
        ASSERT_EQ(renderer->BeginScene(), OM_S_OK);
        EXPECT_EQ(renderer->DrawPrimitive(OM_PRIMITIVE_TRIANGLE_FAN, quad, 4, 0), OM_S_OK);
        renderer->EndScene();
        renderer->SetRenderState(OM_RS_TEXTURE, 0);
        EXPECT_EQ(pixels_of(target_.get()), c.expected) << c.what;
    }
    // The untextured corner pixel is row 15 of the white vertex's nearest colour.
    uint32_t colours[256];
    sw8_build_palette(colours);
    auto tables = std::make_unique<Sw8ColourTables>();
    sw8_build_tables(colours, tables.get());
    EXPECT_EQ(
        cases[0].expected[0],
        tables->shade[15 * 256 + om_palette_matcher_nearest(&tables->matcher, 255, 255, 255)]);
}

} // namespace
