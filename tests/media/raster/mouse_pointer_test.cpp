// MousePointer: frames read from the pointer INI file, animation, blit drawing clipped to the
// target, and the textured fan drawn through a renderer.
#include "media/raster/mouse_pointer.h"

#include "media/display/software_renderer.h"
#include "tests/media/raster/codec_fixture.h"
#include "tests/support/temp_dir.h"

#include <string>
#include <vector>

namespace {

using namespace rastertest;

constexpr uint32_t argb = 0xC0120;
constexpr uint32_t key = 0xFF00FF00; // green: the picture's top-left pixel

// A 24-bit Sun raster (rows of blue, green, red bytes) from A8 R8 G8 B8 pixels.
std::string sun_picture(uint32_t width, const std::vector<uint32_t>& pixels) {
    const uint32_t height = uint32_t(pixels.size() / width);
    const uint32_t row = (width * 3 + 1) & ~1u;
    Bytes b;
    b.be32(0x59A66A95).be32(width).be32(height).be32(24).be32(row * height).be32(1);
    b.be32(0).be32(0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t p = pixels[y * width + x];
            b.u8(p).u8(p >> 8).u8(p >> 16);
        }
        if (width * 3 % 2) b.u8(0);
    }
    return std::string(b.data.begin(), b.data.end());
}

struct Draw {
    uint32_t type;
    std::vector<OmTLVertex> vertices;
    uintptr_t texture, z_write, z_enable;
};

// A renderer that records its fans and the states they were drawn with.
class FanRecorder final : public OmObject<FanRecorder, IRenderer> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRenderer, this}});
    }
    OmResult Init(IRaster*) override { return OM_S_OK; }
    IRaster* GetDisplay() override { return nullptr; }
    OmResult CreateTextureFactory(IRasterCreate**) override { return OM_E_FAIL; }
    OmResult SetTarget(IRaster*) override { return OM_S_OK; }
    IRaster* GetTarget() override { return nullptr; }
    OmResult BeginScene() override {
        ++scenes;
        return OM_S_OK;
    }
    OmResult EndScene() override { return OM_S_OK; }
    OmResult SetRenderState(uint32_t state, uintptr_t value) override {
        if (state >= OM_RENDER_STATE_COUNT) return OM_E_FAIL;
        states[state] = value;
        return OM_S_OK;
    }
    OmResult GetRenderState(uint32_t state, uintptr_t* value) override {
        if (state >= OM_RENDER_STATE_COUNT) return OM_E_FAIL;
        *value = states[state];
        return OM_S_OK;
    }
    OmResult DrawIndexedPrimitive(uint32_t, const OmTLVertex*, uint32_t, const uint16_t*, uint32_t,
                                  uint32_t) override {
        return OM_E_FAIL;
    }
    OmResult DrawPrimitive(uint32_t type, const OmTLVertex* v, uint32_t count, uint32_t) override {
        draws.push_back({type, std::vector<OmTLVertex>(v, v + count), states[OM_RS_TEXTURE],
                         states[OM_RS_Z_WRITE_ENABLE], states[OM_RS_Z_ENABLE]});
        return OM_S_OK;
    }

    int scenes = 0;
    std::vector<Draw> draws;
    uintptr_t states[OM_RENDER_STATE_COUNT] = {};
};

class MousePointerTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        // 6 x 2: frame 0 is the left 2 x 2 (key, red / blue, white), frame 1 the middle,
        // frame 2 the right.
        const uint32_t R = 0xFFFF0000, B = 0xFF0000FF, W = 0xFFFFFFFF, K = key;
        dir_.write_file("pointer.ras", sun_picture(6, {K, R, R, R, B, B, //
                                                       B, W, W, W, R, R}));
        dir_.write_file("mouse.ini", "[Raster]\nImage=" + (dir_ / "pointer.ras") +
                                         "\n[0]\nOffsetX=0\nOffsetY=0\nWidth=2\nHeight=2\n"
                                         "HotspotX=1\nHotspotY=1\nNextImage=1\nNextTime=10\n"
                                         "[1]\nOffsetX=2\nOffsetY=0\nWidth=2\nHeight=2\n"
                                         "NextImage=2\nNextTime=0\n"
                                         "[2]\nOffsetX=4\nOffsetY=0\nWidth=2\nHeight=2\n"
                                         "NextImage=7\nNextTime=5\n"
                                         "[4]\nOffsetX=9\n");
        ASSERT_EQ(OmCreate(CLSID_MousePointer, IID_IMousePointer, pointer_.put()), OM_S_OK);
        ASSERT_EQ(OmNewRasterDescription(description_.put()), OM_S_OK);
        description_->SetProperty(OM_RASTER_FORMAT, argb);
    }
    void TearDown() override {
        pointer_.reset();
        description_.reset();
        CodecTest::TearDown();
    }
    OmResult load() { return pointer_->Load((dir_ / "mouse.ini").c_str(), description_.get()); }

    testsupport::TempDir dir_;
    ComRef<IMousePointer> pointer_;
    ComRef<IRasterCreate> description_;
};

TEST_F(MousePointerTest, StartsCentredAndKeepsItsSettings) {
    int32_t x = 0, y = 0;
    pointer_->GetPosition(&x, &y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 240);
    EXPECT_EQ(pointer_->GetParameter(), 100);
    pointer_->SetParameter(16);
    EXPECT_EQ(pointer_->GetParameter(), 16);
    pointer_->MovePosition(-5, 7);
    pointer_->GetPosition(&x, nullptr);
    pointer_->GetPosition(nullptr, &y);
    EXPECT_EQ(x, 315);
    EXPECT_EQ(y, 247);
    // Without frames there is nothing to draw.
    EXPECT_EQ(pointer_->Draw(), OM_E_FAIL);
}

TEST_F(MousePointerTest, LoadsConsecutiveFramesAndAnimates) {
    ASSERT_EQ(load(), OM_S_OK);
    // Sections 0..2 exist, 4 is past the gap: three frames.
    EXPECT_EQ(pointer_->GetFrame(), 0);
    pointer_->SetFrame(2);
    EXPECT_EQ(pointer_->GetFrame(), 2);
    pointer_->SetFrame(3); // invalid: frame 0
    EXPECT_EQ(pointer_->GetFrame(), 0);
    pointer_->SetFrame(-1);
    EXPECT_EQ(pointer_->GetFrame(), 0);

    // Frame 0 is shown for more than 10 units, frame 1 (NextTime 0) for any positive time,
    // frame 2 names frame 7, which does not exist: back to 0.
    pointer_->Update(10);
    EXPECT_EQ(pointer_->GetFrame(), 0);
    pointer_->Update(1);
    EXPECT_EQ(pointer_->GetFrame(), 1);
    pointer_->Update(1);
    EXPECT_EQ(pointer_->GetFrame(), 2);
    pointer_->Update(6);
    EXPECT_EQ(pointer_->GetFrame(), 0);

    // The requested frame again changes nothing, even when the animation moved on.
    pointer_->SetFrame(1);
    pointer_->Update(1);
    EXPECT_EQ(pointer_->GetFrame(), 2);
    pointer_->SetFrame(1);
    EXPECT_EQ(pointer_->GetFrame(), 2);
}

TEST_F(MousePointerTest, BlitsTheFrameClippedAtTheLeftWithTheTopLeftColourTransparent) {
    ASSERT_EQ(load(), OM_S_OK);
    auto target = make_raster(4, 3, argb, std::vector<uint32_t>(12, 0xFF101010));
    pointer_->SetTarget(target.get());
    const uint32_t G = 0xFF101010, R = 0xFFFF0000, B = 0xFF0000FF, W = 0xFFFFFFFF;

    // Hotspot (1, 1) at (1, 1): the frame's top-left at (0, 0); its key pixel stays unpainted.
    pointer_->SetPosition(1, 1);
    ASSERT_EQ(pointer_->Draw(), OM_S_OK);
    EXPECT_EQ(pixels_of(target.get()), (std::vector<uint32_t>{G, R, G, G, B, W, G, G, G, G, G, G}));

    // Half outside on the left: only the right column is drawn, at x = 0.
    auto fresh = make_raster(4, 3, argb, std::vector<uint32_t>(12, G));
    pointer_->SetTarget(fresh.get());
    pointer_->SetPosition(0, 2);
    ASSERT_EQ(pointer_->Draw(), OM_S_OK);
    EXPECT_EQ(pixels_of(fresh.get()), (std::vector<uint32_t>{G, G, G, G, R, G, G, G, W, G, G, G}));

    // Wholly outside: nothing.
    pointer_->SetPosition(-5, 1);
    ASSERT_EQ(pointer_->Draw(), OM_S_OK);
    pointer_->SetPosition(6, 1);
    ASSERT_EQ(pointer_->Draw(), OM_S_OK);
    EXPECT_EQ(pixels_of(fresh.get()), (std::vector<uint32_t>{G, G, G, G, R, G, G, G, W, G, G, G}));
}

TEST_F(MousePointerTest, DrawsOneTexturedFanThroughTheRendererAndNeverBlitsAsWell) {
    ASSERT_EQ(load(), OM_S_OK);
    ComRef<FanRecorder> renderer;
    ASSERT_EQ(om_new_component(renderer.put()), OM_S_OK);
    renderer->states[OM_RS_Z_WRITE_ENABLE] = 1;
    renderer->states[OM_RS_Z_ENABLE] = 2;
    // Both set, as the menus do: the target (1280 x 960) only gives the scale 2 x 2.
    auto target = make_raster(1280, 960, argb);
    const auto before = pixels_of(target.get());
    pointer_->SetTarget(target.get());
    pointer_->SetRenderer(renderer.get());
    pointer_->SetFrame(1);
    pointer_->SetPosition(100, 50); // hotspot (0, 0) in frame 1
    ASSERT_EQ(pointer_->Draw(), OM_S_OK);

    ASSERT_EQ(renderer->draws.size(), 1u);
    const Draw& d = renderer->draws[0];
    EXPECT_EQ(d.type, OM_PRIMITIVE_TRIANGLE_FAN);
    ASSERT_EQ(d.vertices.size(), 4u);
    ASSERT_NE(d.texture, 0u);
    // The key colour's pixels are 0 in the picture (transparent to a renderer drawing by
    // alpha); the others keep their colours.
    const auto picture = pixels_of(reinterpret_cast<IRaster*>(d.texture));
    EXPECT_EQ(picture[0], 0u);
    EXPECT_EQ(picture[1], 0xFFFF0000u);
    EXPECT_EQ(picture[6], 0xFF0000FFu);
    EXPECT_EQ(d.z_write, 0u);
    EXPECT_EQ(d.z_enable, 0u);
    struct Corner {
        float x, y, u, v;
    };
    const Corner corners[] = {
        {100, 50, 2 / 6.f, 0}, {104, 50, 4 / 6.f, 0}, {104, 54, 4 / 6.f, 1}, {100, 54, 2 / 6.f, 1}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(d.vertices[i].sx, corners[i].x);
        EXPECT_FLOAT_EQ(d.vertices[i].sy, corners[i].y);
        EXPECT_FLOAT_EQ(d.vertices[i].tu, corners[i].u);
        EXPECT_FLOAT_EQ(d.vertices[i].tv, corners[i].v);
        EXPECT_FLOAT_EQ(d.vertices[i].sz, 1.0f);
        EXPECT_FLOAT_EQ(d.vertices[i].rhw, 1.0f);
        EXPECT_EQ(d.vertices[i].diffuse, 0xFFFFFFFFu);
    }
    EXPECT_EQ(renderer->scenes, 1);
    // The renderer's states come back, and the target was not painted.
    EXPECT_EQ(renderer->states[OM_RS_Z_WRITE_ENABLE], 1u);
    EXPECT_EQ(renderer->states[OM_RS_Z_ENABLE], 2u);
    EXPECT_EQ(pixels_of(target.get()), before);

    // Without a target the quad is drawn at scale 1.
    pointer_->SetTarget(nullptr);
    ASSERT_EQ(pointer_->Draw(), OM_S_OK);
    EXPECT_FLOAT_EQ(renderer->draws.back().vertices[2].sx, 102.0f);
    pointer_->SetRenderer(nullptr);
}

TEST_F(MousePointerTest, DrawsThroughTheSoftwareRenderer) {
    // A black key: the software renderers leave texels of value 0 out.
    const uint32_t R = 0xFFFF0000, B = 0xFF0000FF, W = 0xFFFFFFFF, K = 0xFF000000;
    dir_.write_file("pointer.ras", sun_picture(6, {K, R, R, R, B, B, //
                                                   B, W, W, W, R, R}));
    ComRef<IRenderer> renderer;
    ASSERT_EQ(OmCreate(CLSID_Sw16Renderer, IID_IRenderer, renderer.put()), OM_S_OK);
    auto display = make_raster(4, 4, OM_FORMAT_RGB565);
    ASSERT_EQ(renderer->Init(display.get()), OM_S_OK);
    auto drawn = make_raster(16, 16, OM_FORMAT_RGB565, std::vector<uint32_t>(256, 0x1111));
    ASSERT_EQ(renderer->SetTarget(drawn.get()), OM_S_OK);
    // The renderer's texture factory makes the picture a 128 x 128 texture (frames top-left).
    description_.reset();
    ASSERT_EQ(renderer->CreateTextureFactory(description_.put()), OM_S_OK);
    description_->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE);
    ASSERT_EQ(load(), OM_S_OK);
    auto scale = make_raster(1280, 960, argb); // scale 2
    pointer_->SetTarget(scale.get());
    pointer_->SetRenderer(renderer.get());
    pointer_->SetPosition(6, 6); // hotspot (1, 1) of frame 0: the quad covers 5..8 x 5..8
    ASSERT_EQ(pointer_->Draw(), OM_S_OK);
    pointer_->SetRenderer(nullptr);
    uintptr_t texture = 0;
    renderer->GetRenderState(OM_RS_TEXTURE, &texture);
    ASSERT_NE(texture, 0u);
    EXPECT_EQ(reinterpret_cast<IRaster*>(texture)->GetWidth(), 128u);

    // Each row samples where its edges stand after advancing: rows 5..8 show texel rows 0, 1,
    // 1 and 2 (past the frame: 0, nothing drawn); the key's texel is 0 and never drawn.
    const auto pixels = pixels_of(drawn.get());
    const uint32_t r = 0xF800, b = 0x001F, w = 0xFFFF, _ = 0x1111;
    const uint32_t expected[4][6] = {
        {_, _, _, r, r, _}, {_, b, b, w, w, _}, {_, b, b, w, w, _}, {_, _, _, _, _, _}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(pixels[(5 + y) * 16 + 4 + x], expected[y][x]) << 4 + x << "," << 5 + y;
    renderer->SetRenderState(OM_RS_TEXTURE, 0);
}

TEST_F(MousePointerTest, WithoutAlphaOnlyTheKeyColourIsLeftOut) {
    // 5-6-5: black is a colour like any other; the key's pixels (and so the key) become 0.
    description_->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB565);
    const uint32_t K = key, R = 0xFFFF0000, B = 0xFF000000, W = 0xFFFFFFFF;
    dir_.write_file("pointer.ras", sun_picture(6, {K, R, R, R, B, B, //
                                                   B, W, W, W, R, R}));
    ASSERT_EQ(load(), OM_S_OK);
    auto target = make_raster(2, 2, OM_FORMAT_RGB565, std::vector<uint32_t>(4, 0x1234));
    pointer_->SetTarget(target.get());
    pointer_->SetPosition(1, 1);
    ASSERT_EQ(pointer_->Draw(), OM_S_OK);
    // Black is drawn (the converter writes it as 1, clear of the value 0).
    EXPECT_EQ(pixels_of(target.get()), (std::vector<uint32_t>{0x1234, 0xF800, 0x0001, 0xFFFF}));
}

TEST_F(MousePointerTest, LoadFailuresKeepWhatThePointerHad) {
    ASSERT_EQ(load(), OM_S_OK);
    EXPECT_LT(pointer_->Load((dir_ / "missing.ini").c_str(), description_.get()), 0);
    dir_.write_file("nopicture.ini", "[Raster]\nImage=" + (dir_ / "none.ras") + "\n[0]\nWidth=1\n");
    EXPECT_LT(pointer_->Load((dir_ / "nopicture.ini").c_str(), description_.get()), 0);
    pointer_->SetFrame(2);
    EXPECT_EQ(pointer_->GetFrame(), 2); // still three frames

    // A file without numbered sections loads with no frames.
    dir_.write_file("empty.ini", "[Raster]\nImage=x.ras\n");
    EXPECT_EQ(pointer_->Load((dir_ / "empty.ini").c_str(), description_.get()), OM_S_OK);
    EXPECT_EQ(pointer_->Draw(), OM_E_FAIL);
}

} // namespace
