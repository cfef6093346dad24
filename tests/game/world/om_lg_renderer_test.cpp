// The engine-backed renderer: the raster factory's properties, fixed marks and validation,
// texture sides snapped to powers of two, the device format fallbacks, the raster objects
// (locks, fills, blits, textures), the renderer's scenes, state mapping and drawing, and the
// "jpg" reader with its swap of red and blue and its halving.
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "game/tv_frontend_services.h"
#include "game/world/om_lg_renderer.h"
#include "media/raster/image_processor.h"
#include "tests/game/game_test_support.h"
#include "tests/game/world/raster_device.h"
#include "tests/media/media_classes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using gametest::RasterDevice;

namespace {

class EngineRenderer : public gametest::GameEngineTest {
protected:
    void SetUp() override {
        GameEngineTest::SetUp();
        IObjectManager* manager = OmGetObjectManager();
        testsupport::register_storage_classes(manager);
        testsupport::register_container_classes(manager);
        testsupport::register_display_classes(manager);
        ASSERT_EQ(OmLgRenderer_RegisterClasses(manager), OM_S_OK);
        rasters = std::make_unique<RasterDevice>();
        ASSERT_EQ(OmCreate(CLSID_OmLgRenderer, IID_IRenderer, renderer.put()), OM_S_OK);
        ASSERT_EQ(renderer->Init(nullptr), OM_S_OK);
        ASSERT_EQ(renderer->CreateTextureFactory(factory.put()), OM_S_OK);
    }
    void TearDown() override {
        factory.reset();
        renderer.reset();
        rasters.reset();
    }
    ComRef<IRaster> make(uint32_t kind, uint32_t width, uint32_t height, uint32_t format) {
        factory->Clear();
        factory->SetProperty(OM_RASTER_KIND, kind);
        factory->SetProperty(OM_RASTER_WIDTH, width);
        factory->SetProperty(OM_RASTER_HEIGHT, height);
        factory->SetProperty(OM_RASTER_FORMAT, format);
        ComRef<IRaster> raster;
        EXPECT_EQ(factory->CreateRaster(raster.put()), OM_S_OK);
        return raster;
    }

    std::unique_ptr<RasterDevice> rasters;
    ComRef<IRenderer> renderer;
    ComRef<IRasterCreate> factory;
};

intptr_t property(IRasterCreate* f, uint32_t id, intptr_t untouched = -7) {
    intptr_t value = untouched;
    EXPECT_EQ(f->GetProperty(id, &value), OM_S_OK) << id;
    return value;
}

} // namespace

TEST(EngineRasterFormats, MapBothWaysAndSnapSidesToPowersOfTwo) {
    struct Pair {
        uint32_t code;
        int32_t engine;
    };
    for (const Pair p :
         {Pair{0xc0210, 0x100}, Pair{0x40110, 0x200}, Pair{0xc0310, 0x300}, Pair{0x20108, 0x400},
          Pair{0xc0120, 0x500}, Pair{0x40118, 0x600}, Pair{0x10, 0x700}, Pair{0x18, 0x800},
          Pair{0x20, 0x900}, Pair{0x10108, 0x2000}, Pair{0x10104, 0x4000}}) {
        EXPECT_EQ(OmLgEngineFormat(p.code), p.engine) << std::hex << p.code;
        EXPECT_EQ(OmLgFrameworkFormat(p.engine), p.code) << std::hex << p.engine;
        EXPECT_EQ(OmLgFrameworkFormat(p.engine | LgRasterFormatMipmap), p.code);
    }
    EXPECT_EQ(OmLgFrameworkFormat(0xa00), 0x40210u);
    EXPECT_EQ(OmLgEngineFormat(0x40210), 0); // engine to framework only
    EXPECT_EQ(OmLgEngineFormat(0x12345), 0);
    EXPECT_EQ(OmLgFrameworkFormat(0xb00), 0u);

    struct Side {
        int32_t asked, made;
    };
    for (const Side s : {Side{300, 256}, Side{100, 128}, Side{96, 64}, Side{1, 1}, Side{3, 2},
                         Side{2048, 2048}, Side{3072, 2048}, Side{3073, 4096}, Side{9000, 4096}})
        EXPECT_EQ(OmLgSnapTextureSide(s.asked), s.made) << s.asked;
}

TEST_F(EngineRenderer, FactoryPropertiesUnsetFixedAndValidated) {
    // Unset properties answer 0 and leave the output alone; booleans are unset at 2.
    factory->Clear();
    EXPECT_EQ(property(factory.get(), OM_RASTER_WIDTH), -7);
    EXPECT_EQ(property(factory.get(), 21), -7);
    EXPECT_EQ(property(factory.get(), OM_RASTER_FORMAT_PREFERENCE), 0);
    EXPECT_EQ(factory->SetProperty(21, 5), OM_S_OK);
    EXPECT_EQ(property(factory.get(), 21), 1);
    EXPECT_EQ(factory->SetProperty(21, 0), OM_S_OK);
    EXPECT_EQ(property(factory.get(), 21), 0);
    EXPECT_EQ(factory->SetProperty(OM_RASTER_PIXELS, 1234), OM_S_OK);
    EXPECT_EQ(factory->SetProperty(OM_RASTER_COLOUR_KEY, 1), OM_E_FAIL);
    intptr_t v = 0;
    EXPECT_EQ(factory->GetProperty(OM_RASTER_PIXELS, &v), OM_E_FAIL);
    EXPECT_EQ(factory->IsPropertySet(OM_RASTER_PIXELS), 0);
    IRasterCreate* clone = nullptr;
    EXPECT_EQ(factory->Clone(&clone), OM_E_FAIL);

    // A fixed property refuses changes and keeps its value.
    factory->SetProperty(OM_RASTER_FORMAT, 0xc0120);
    EXPECT_EQ(factory->SetPropertyFixed(OM_RASTER_FORMAT, 1), OM_S_OK);
    EXPECT_EQ(factory->IsPropertyFixed(OM_RASTER_FORMAT), 1);
    EXPECT_EQ(factory->SetProperty(OM_RASTER_FORMAT, 0x40110), OM_E_FAIL);
    EXPECT_EQ(property(factory.get(), OM_RASTER_FORMAT), 0xc0120);
    factory->SetPropertyFixed(OM_RASTER_FORMAT, 0);
    EXPECT_EQ(factory->IsPropertyFixed(OM_RASTER_FORMAT), 0);
    EXPECT_EQ(factory->SetPropertyFixed(29, 1), OM_E_FAIL);
    EXPECT_EQ(factory->IsPropertyFixed(29), OM_E_FAIL);

    // Validation: the defaults, the size clamp to the device's largest texture, the kinds.
    engine.device.answer_number(LgDeviceRequestMaxTextureSize, 1024);
    factory->Clear();
    factory->SetProperty(OM_RASTER_WIDTH, 4000);
    EXPECT_EQ(factory->Reset(), OM_S_OK);
    EXPECT_EQ(property(factory.get(), OM_RASTER_KIND), 3);
    EXPECT_EQ(property(factory.get(), OM_RASTER_FORMAT), 0xc0210);
    EXPECT_EQ(property(factory.get(), OM_RASTER_FLAG5), 2);
    EXPECT_EQ(property(factory.get(), OM_RASTER_WIDTH), 1024);
    EXPECT_EQ(property(factory.get(), OM_RASTER_HEIGHT), 128);
    EXPECT_EQ(property(factory.get(), 21), 1);
    EXPECT_EQ(property(factory.get(), 22), 0);
    EXPECT_EQ(property(factory.get(), OM_RASTER_EXACT_SIZE), 0);
    factory->Clear();
    factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PALETTE);
    EXPECT_EQ(factory->Reset(), OM_S_OK);
    EXPECT_EQ(property(factory.get(), OM_RASTER_WIDTH), 256);
    EXPECT_EQ(property(factory.get(), OM_RASTER_HEIGHT), 1);
    for (intptr_t kind : {5, 7}) {
        factory->Clear();
        factory->SetProperty(OM_RASTER_KIND, kind);
        EXPECT_EQ(factory->Reset(), OM_E_FAIL) << kind;
    }
    factory->Clear();
    factory->SetProperty(OM_RASTER_STRIDE, 64);
    EXPECT_EQ(factory->Reset(), OM_E_FAIL);
}

TEST_F(EngineRenderer, TexturesAreMadeAtPowerOfTwoSides) {
    ComRef<IRaster> t = make(OM_RASTER_KIND_TEXTURE, 300, 100, 0xc0120);
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetWidth(), 256u);
    EXPECT_EQ(t->GetHeight(), 128u);
    EXPECT_EQ(t->GetFormat(), 0xc0120u);
    ComRef<IRaster> square = make(OM_RASTER_KIND_TEXTURE, 96, 96, 0xc0120);
    EXPECT_EQ(square->GetWidth(), 64u);
    // Exact sizes and other kinds keep theirs.
    factory->Clear();
    factory->SetProperty(OM_RASTER_WIDTH, 300);
    factory->SetProperty(OM_RASTER_HEIGHT, 100);
    factory->SetProperty(OM_RASTER_EXACT_SIZE, 1);
    ComRef<IRaster> exact;
    ASSERT_EQ(factory->CreateRaster(exact.put()), OM_S_OK);
    EXPECT_EQ(exact->GetWidth(), 300u);
    ComRef<IRaster> normal = make(OM_RASTER_KIND_NORMAL, 300, 100, 0xc0120);
    EXPECT_EQ(normal->GetWidth(), 300u);
    EXPECT_EQ(rasters->creates.back().flags & 0xff, LgRasterTypeNormal);
    // Mip levels ask for the mipmap flag.
    factory->Clear();
    factory->SetProperty(OM_RASTER_MIP_LEVELS, 4);
    ComRef<IRaster> mipmapped;
    ASSERT_EQ(factory->CreateRaster(mipmapped.put()), OM_S_OK);
    EXPECT_NE(rasters->creates.back().flags & LgRasterFormatMipmap, 0);
    EXPECT_EQ(mipmapped->GetFormat(), 0xc0210u);
}

TEST_F(EngineRenderer, RefusedFormatsFallBackThroughThePreferenceList) {
    struct Case {
        uint32_t format;
        intptr_t preference;
        std::vector<int32_t> tried; // engine formats in order, the first at the asked depth
    };
    const Case cases[] = {
        {0x40110, 0, {0x200, 0x200, 0x100, 0x600, 0x500, 0x300, 0xa00}},
        {0x40110, 1, {0x200, 0x100, 0x500, 0x300, 0x200, 0x600}},
        {0xc0310, 9, {0x300, 0x300, 0x500, 0x100, 0x200, 0x600}},
        {0x40118, 0, {0x600, 0x600, 0x500}},
        {0xc0120, 1, {0x500, 0x500, 0x100, 0x300, 0x600, 0x200}},
        {0x10108, 0, {0x2000}}, // 8-bit requests get no fallback
    };
    for (const Case& c : cases) {
        rasters->creates.clear();
        rasters->refused = {0x100, 0x200, 0x300, 0x500, 0x600, 0xa00, 0x2000};
        factory->Clear();
        factory->SetProperty(OM_RASTER_FORMAT, c.format);
        factory->SetProperty(OM_RASTER_FORMAT_PREFERENCE, c.preference);
        ComRef<IRaster> none;
        EXPECT_EQ(factory->CreateRaster(none.put()), OM_E_FAIL);
        std::vector<int32_t> tried;
        for (const auto& create : rasters->creates) tried.push_back(create.flags & 0x6f00);
        EXPECT_EQ(tried, c.tried) << std::hex << c.format << " " << c.preference;
        ASSERT_FALSE(rasters->creates.empty());
        EXPECT_EQ(rasters->creates[0].depth, int32_t(c.format & 0xff));
        for (size_t i = 1; i < rasters->creates.size(); ++i)
            EXPECT_EQ(rasters->creates[i].depth, 0);
    }
    // The format the device gave is the one reported.
    rasters->creates.clear();
    rasters->refused = {0x200};
    ComRef<IRaster> fell_back = make(OM_RASTER_KIND_TEXTURE, 64, 64, 0x40110);
    EXPECT_EQ(fell_back->GetFormat(), 0xc0210u);
    // An exact-size request makes one attempt only.
    rasters->creates.clear();
    factory->Clear();
    factory->SetProperty(OM_RASTER_FORMAT, 0x40110);
    factory->SetProperty(OM_RASTER_EXACT_SIZE, 1);
    ComRef<IRaster> exact;
    EXPECT_EQ(factory->CreateRaster(exact.put()), OM_E_FAIL);
    EXPECT_EQ(rasters->creates.size(), 1u);
}

TEST_F(EngineRenderer, RasterObjectsLockFillBlitAndHandOutTheirTextures) {
    ComRef<IRaster> r = make(OM_RASTER_KIND_NORMAL, 8, 4, 0xc0120);
    void* pixels = nullptr;
    int32_t stride = 0;
    EXPECT_EQ(r->Lock(OM_LOCK_READ, &pixels, &stride), OM_S_OK);
    EXPECT_NE(pixels, nullptr);
    EXPECT_EQ(stride, 32);
    EXPECT_EQ(r->Unlock(), OM_S_OK);
    EXPECT_EQ(r->Lock(4, &pixels, &stride), int32_t(0x80020002u));

    const OmRect rect = {1, 2, 3, 1};
    const uint32_t colour = 0x80ff4020;
    EXPECT_EQ(r->FillRect(&rect, &colour), OM_S_OK);
    ASSERT_EQ(rasters->clears.size(), 1u);
    EXPECT_EQ(rasters->clears[0].first.x, 1);
    EXPECT_EQ(rasters->clears[0].first.w, 3);
    EXPECT_EQ(rasters->clears[0].second, 0x80ff4020u);
    ASSERT_GE(rasters->targets.size(), 1u);
    EXPECT_EQ(rasters->targets[0], OmLgRasterOf(r.get()));

    // A blit goes through a framework raster over the locked pixels.
    ComRef<IRaster> source;
    ASSERT_EQ(OmNewMemoryRaster(2, 2, 0xc0120, source.put()), OM_S_OK);
    const uint32_t red = 0xffff0000;
    source->FillRect(nullptr, &red);
    const OmRect to = {4, 1, 2, 2};
    EXPECT_EQ(r->Blit(&to, source.get(), nullptr), OM_S_OK);
    const std::vector<uint8_t>& memory = rasters->memory[OmLgRasterOf(r.get())];
    uint32_t pixel = 0;
    std::memcpy(&pixel, memory.data() + 1 * 32 + 4 * 4, 4);
    EXPECT_EQ(pixel, red);
    std::memcpy(&pixel, memory.data() + 0 * 32 + 4 * 4, 4);
    EXPECT_EQ(pixel, 0u);

    intptr_t value = 0;
    ASSERT_EQ(r->GetProperty(OM_RASTER_COLOUR_TEXTURE, &value), OM_S_OK);
    auto* texture = reinterpret_cast<LgTexture*>(value);
    EXPECT_EQ(LgTextureGetRaster(texture), OmLgRasterOf(r.get()));
    EXPECT_EQ(texture->refCount, 2);
    LgTextureDestroy(texture);
    ASSERT_EQ(r->GetProperty(OM_RASTER_DEPTH_TEXTURE, &value), OM_S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(r->GetProperty(OM_RASTER_KIND, &value), OM_S_OK);
    EXPECT_EQ(value, OM_RASTER_KIND_NORMAL);
    EXPECT_EQ(r->GetProperty(OM_RASTER_PIXELS, &value), OM_E_FAIL);
    EXPECT_EQ(r->SetProperty(OM_RASTER_WIDTH, 3), OM_E_FAIL);
    EXPECT_EQ(OmLgRasterOf(source.get()), nullptr);

    // The last release frees the rasters with their textures.
    const size_t live = rasters->memory.size();
    r.reset();
    EXPECT_EQ(rasters->memory.size(), live - 1);
}

TEST_F(EngineRenderer, TheTargetGivesTheCameraItsRastersAndScenesDoNotNest) {
    factory->Clear();
    factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_CAMERA);
    factory->SetProperty(OM_RASTER_WIDTH, 320);
    factory->SetProperty(OM_RASTER_HEIGHT, 200);
    factory->SetProperty(OM_RASTER_Z_BUFFER, 1);
    ComRef<IRaster> target;
    ASSERT_EQ(factory->CreateRaster(target.put()), OM_S_OK);
    EXPECT_EQ(rasters->creates.back().flags & 0xff, LgRasterTypeZBuffer);
    ASSERT_EQ(renderer->SetTarget(target.get()), OM_S_OK);
    EXPECT_EQ(renderer->GetTarget(), target.get());
    intptr_t value = 0;
    target->GetProperty(OM_RASTER_COLOUR_TEXTURE, &value);
    auto* texture = reinterpret_cast<LgTexture*>(value);
    EXPECT_EQ(texture->refCount, 2); // the renderer kept no reference
    LgTextureDestroy(texture);

    const size_t begun = device.count(LgStdCameraBeginUpdate);
    ASSERT_EQ(renderer->BeginScene(), OM_S_OK);
    ASSERT_NE(LgCameraGetCurrent(), nullptr);
    EXPECT_EQ(LgCameraGetRaster(LgCameraGetCurrent()), OmLgRasterOf(target.get()));
    EXPECT_EQ(renderer->EndScene(), OM_S_OK);
    EXPECT_EQ(LgCameraGetCurrent(), nullptr);
    EXPECT_EQ(device.count(LgStdCameraBeginUpdate), int(begun) + 1);

    // Inside another camera's frame the renderer draws there and ends nothing.
    ComRef<IRenderer> other;
    ASSERT_EQ(OmCreate(CLSID_OmLgRenderer, IID_IRenderer, other.put()), OM_S_OK);
    ASSERT_EQ(other->Init(target.get()), OM_S_OK);
    ASSERT_EQ(other->BeginScene(), OM_S_OK);
    LgCamera* outer = LgCameraGetCurrent();
    EXPECT_EQ(renderer->BeginScene(), OM_S_OK);
    EXPECT_EQ(renderer->EndScene(), OM_S_OK);
    EXPECT_EQ(LgCameraGetCurrent(), outer);
    other->EndScene();
    EXPECT_EQ(LgCameraGetCurrent(), nullptr);

    EXPECT_EQ(renderer->SetTarget(nullptr), OM_S_OK);
    EXPECT_EQ(renderer->GetDisplay(), nullptr);
}

TEST_F(EngineRenderer, RenderStatesMapToTheEngines) {
    ComRef<IRaster> texture = make(OM_RASTER_KIND_TEXTURE, 64, 64, 0xc0120);
    ComRef<IRaster> target = make(OM_RASTER_KIND_CAMERA, 64, 64, 0xc0120);
    renderer->SetTarget(target.get());
    ASSERT_EQ(renderer->BeginScene(), OM_S_OK);
    struct Case {
        uint32_t state;
        uintptr_t value;
        int32_t engine_state; // 0: refused
        uintptr_t engine_value;
    };
    const Case cases[] = {
        {OM_RS_Z_ENABLE, 1, 4, 1},    {OM_RS_Z_WRITE_ENABLE, 0, 6, 0}, {OM_RS_SHADE_MODE, 2, 5, 2},
        {OM_RS_SHADE_MODE, 3, 5, 2},  {OM_RS_SHADE_MODE, 1, 5, 1},     {OM_RS_SHADE_MODE, 7, 5, 1},
        {OM_RS_TEXTURE_MAG, 4, 7, 4}, {OM_RS_SRC_BLEND, 5, 0, 0},      {OM_RS_FOG_ENABLE, 1, 0, 0},
    };
    for (const Case& c : cases) {
        device.stateSets.clear();
        const OmResult r = renderer->SetRenderState(c.state, c.value);
        if (c.engine_state == 0) {
            EXPECT_EQ(r, OM_E_FAIL) << c.state;
            EXPECT_TRUE(device.stateSets.empty()) << c.state;
            continue;
        }
        EXPECT_EQ(r, OM_S_OK) << c.state;
        ASSERT_EQ(device.stateSets.size(), 1u) << c.state;
        EXPECT_EQ(device.stateSets[0], std::make_pair(c.engine_state, c.engine_value)) << c.state;
    }
    // A filter outside 1..6 changes nothing.
    device.stateSets.clear();
    EXPECT_EQ(renderer->SetRenderState(OM_RS_TEXTURE_MAG, 9), OM_S_OK);
    EXPECT_TRUE(device.stateSets.empty());
    uintptr_t value = 0;
    EXPECT_EQ(renderer->GetRenderState(OM_RS_TEXTURE_MAG, &value), OM_S_OK);
    EXPECT_EQ(value, 4u);
    EXPECT_EQ(renderer->GetRenderState(OM_RS_Z_WRITE_ENABLE, &value), OM_S_OK);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(renderer->GetRenderState(OM_RS_SRC_BLEND, &value), OM_E_FAIL);

    // Textures: an engine raster object, anything else clears the texture.
    EXPECT_EQ(renderer->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(texture.get())),
              OM_S_OK);
    EXPECT_EQ(device.states[1], reinterpret_cast<uintptr_t>(OmLgRasterOf(texture.get())));
    ComRef<IRaster> memory;
    ASSERT_EQ(OmNewMemoryRaster(2, 2, 0xc0120, memory.put()), OM_S_OK);
    renderer->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(memory.get()));
    EXPECT_EQ(device.states[1], 0u);
    renderer->SetRenderState(OM_RS_TEXTURE, 0);
    EXPECT_EQ(device.states[1], 0u);

    // Drawing: list, strip and fan become the engine's 3, 4 and 5.
    OmTLVertex v[3] = {};
    const uint16_t indices[3] = {0, 1, 2};
    device.draws.clear();
    for (uint32_t type :
         {OM_PRIMITIVE_TRIANGLE_LIST, OM_PRIMITIVE_TRIANGLE_STRIP, OM_PRIMITIVE_TRIANGLE_FAN}) {
        EXPECT_EQ(renderer->DrawPrimitive(type, v, 3, 0), OM_S_OK);
        EXPECT_EQ(renderer->DrawIndexedPrimitive(type, v, 3, indices, 3, 0), OM_S_OK);
    }
    EXPECT_EQ(renderer->DrawPrimitive(OM_PRIMITIVE_LINE_LIST, v, 2, 0), OM_E_FAIL);
    std::vector<int32_t> types;
    for (const auto& d : device.draws) types.push_back(d.type);
    EXPECT_EQ(types, (std::vector<int32_t>{3, 3, 4, 4, 5, 5}));
    renderer->EndScene();

    // Outside a frame the engine refuses the texture.
    EXPECT_EQ(renderer->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(texture.get())),
              OM_E_FAIL);
}

// --- The "jpg" reader ---------------------------------------------------------------------

class ImageReader : public EngineRenderer {
protected:
    void SetUp() override {
        EngineRenderer::SetUp();
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.path());
    }
    void TearDown() override {
        TvTextureReductionLevel = 0;
        std::filesystem::current_path(previous);
        EngineRenderer::TearDown();
    }
    // A picture of w x h pixels, each (x, y) -> 0xff000000 | 16x << 16 | 16y << 8 | 0x40, or
    // all of the one colour when given.
    void save(const char* path, uint32_t w, uint32_t h, uint32_t uniform = 0) {
        ComRef<IRaster> picture;
        ASSERT_EQ(OmNewMemoryRaster(w, h, 0xc0120, picture.put()), OM_S_OK);
        void* pixels = nullptr;
        int32_t stride = 0;
        ASSERT_EQ(picture->Lock(OM_LOCK_WRITE, &pixels, &stride), OM_S_OK);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + y * stride)[x] =
                    uniform != 0 ? uniform : 0xff000000u | (x * 16) << 16 | (y * 16) << 8 | 0x40;
        picture->Unlock();
        ComRef<IFileStorage> storage;
        ASSERT_EQ(OmCreate(CLSID_Storage, IID_IFileStorage, storage.put()), OM_S_OK);
        ComRef<IImageProc> images;
        ASSERT_EQ(OmCreate(CLSID_ImageProc, IID_IImageProc, images.put()), OM_S_OK);
        ASSERT_EQ(images->SaveRaster(storage.get(), path, picture.get()), OM_S_OK);
    }
    testsupport::TempDir dir;
    std::filesystem::path previous;
};

TEST_F(ImageReader, SwapsRedAndBlueIntoTheEnginesByteOrder) {
    save("picture.png", 4, 2);
    LgImage* image = TvLoadImageRaster("PICTURE.PNG");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 4);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(image->depth, 32);
    const uint8_t* p = image->pixels + 1 * image->stride + 3 * 4; // (3, 1)
    EXPECT_EQ(p[0], 48);                                          // red
    EXPECT_EQ(p[1], 16);                                          // green
    EXPECT_EQ(p[2], 0x40);                                        // blue
    EXPECT_EQ(p[3], 255);
    LgImageDestroy(image);
}

TEST_F(ImageReader, ReadsJpegAndHalvesUnderTextureReduction) {
    save("picture.jpg", 16, 8, 0xff2080e0);
    LgImage* image = TvLoadImageRaster("picture.jpg");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 16);
    // Red, green, blue of (0, 0) within the codec's loss, far from swapped.
    EXPECT_NEAR(image->pixels[0], 0x20, 32);
    EXPECT_NEAR(image->pixels[1], 0x80, 32);
    EXPECT_NEAR(image->pixels[2], 0xe0, 32);
    LgImageDestroy(image);

    TvTextureReductionLevel = 2;
    image = TvLoadImageRaster("picture.jpg");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 8);
    EXPECT_EQ(image->height, 4);
    LgImageDestroy(image);

    // As the engine's reader of the extension.
    ASSERT_EQ(LgImageRegisterFileFormat("jpg", TvLoadImageRaster, nullptr), 1);
    image = LgImageRead("picture.jpg");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 8);
    LgImageDestroy(image);
    // Found along a backslashed image path whatever the case of its names.
    std::filesystem::create_directories("maps/flat");
    std::filesystem::copy_file("picture.jpg", "maps/flat/Detail.JPG");
    LgImageSetPath(".\\MAPS\\Flat\\");
    image = LgImageRead("detail.jpg");
    EXPECT_NE(image, nullptr);
    if (image != nullptr) LgImageDestroy(image);
    LgImageSetPath("");

    EXPECT_EQ(TvLoadImageRaster("absent.jpg"), nullptr);
    std::ofstream("broken.jpg") << "not a picture";
    EXPECT_EQ(TvLoadImageRaster("broken.jpg"), nullptr);
}
