// Animated rasters: frames advancing on their delays on the virtual clock, locking, properties
// reaching every frame, blits of plain and animated sources, the description that makes them
// and the renderer wrapper whose texture factory makes animated textures.
#include "media/raster/anim_raster.h"

#include "framework/core/memory.h"
#include "media/display/anim_renderer.h"
#include "media/display/software_renderer.h"
#include "platform/clock.h"
#include "tests/media/raster/codec_fixture.h"
#include "tests/support/virtual_clock.h"

namespace {

using namespace rastertest;

class AnimRasterTest : public CodecTest {
protected:
    // An animated raster whose default frame is 1 x 1, from AnimRasterCreate.
    ComRef<IRaster> animated() {
        ComRef<IRasterCreate> inner, description;
        EXPECT_EQ(OmNewRasterDescription(inner.put()), OM_S_OK);
        inner->SetProperty(OM_RASTER_WIDTH, 1);
        inner->SetProperty(OM_RASTER_HEIGHT, 1);
        EXPECT_EQ(OmNewAnimRasterCreate(inner.get(), description.put()), OM_S_OK);
        ComRef<IRaster> raster;
        EXPECT_EQ(description->CreateRaster(raster.put()), OM_S_OK);
        return raster;
    }
    static ComRef<IAnimRaster> frames_of(IRaster* raster) {
        ComRef<IAnimRaster> frames;
        EXPECT_EQ(raster->QueryInterface(IID_IAnimRaster, frames.put_void()), OM_S_OK);
        return frames;
    }
    // Adds frame `index` (a raster `index + 1` pixels wide, so the width tells the frame).
    static void add(IAnimRaster* frames, uint32_t index, uint32_t delay, uint32_t next,
                    uint32_t fill = 0) {
        ComRef<IRaster> raster = make_raster(index + 1, 1, OM_FORMAT_ARGB8888);
        if (fill) raster->FillRect(nullptr, &fill);
        auto* frame = static_cast<AnimFrame*>(OmAllocMemory(sizeof(AnimFrame)));
        *frame = {index, raster.get(), delay, next};
        raster->AddRef(); // the record's reference
        EXPECT_EQ(frames->AddFrame(frame), OM_S_OK);
    }

    testsupport::VirtualClockScope clock_{1000};
};

TEST_F(AnimRasterTest, FramesAdvanceOnTheirDelays) {
    ComRef<IRaster> raster = animated();
    ComRef<IAnimRaster> frames = frames_of(raster.get());
    EXPECT_EQ(raster->GetWidth(), 1u); // the default frame
    add(frames.get(), 1, 100, 2);
    add(frames.get(), 2, 50, 1);
    add(frames.get(), 3, 10, 7); // its next frame does not exist

    // The default frame (next = its own index) stays.
    platform::advance_virtual_clock(5000);
    frames->Update();
    EXPECT_EQ(raster->GetWidth(), 1u);

    ASSERT_EQ(frames->SelectFrame(1), OM_S_OK);
    EXPECT_EQ(raster->GetWidth(), 2u);
    platform::advance_virtual_clock(60);
    frames->Update();
    EXPECT_EQ(raster->GetWidth(), 2u); // 60 ms of 100
    platform::advance_virtual_clock(60);
    frames->Update();
    EXPECT_EQ(raster->GetWidth(), 3u); // past 100 ms: frame 2
    platform::advance_virtual_clock(30);
    frames->Update();
    EXPECT_EQ(raster->GetWidth(), 3u);
    // Lock runs the update: past frame 2's 50 ms, back to frame 1.
    platform::advance_virtual_clock(30);
    void* pixels;
    int32_t stride;
    ASSERT_EQ(raster->Lock(OM_LOCK_READ, &pixels, &stride), OM_S_OK);
    EXPECT_EQ(raster->GetWidth(), 2u);
    // A locked raster keeps its frame until it is unlocked.
    platform::advance_virtual_clock(500);
    frames->Update();
    EXPECT_EQ(raster->GetWidth(), 2u);
    raster->Unlock();
    frames->Update();
    EXPECT_EQ(raster->GetWidth(), 3u);

    // A missing next frame keeps the current one.
    ASSERT_EQ(frames->SelectFrame(3), OM_S_OK);
    platform::advance_virtual_clock(500);
    frames->Update();
    EXPECT_EQ(raster->GetWidth(), 4u);
    // Selecting a frame that does not exist changes nothing.
    EXPECT_EQ(frames->SelectFrame(9), OM_E_FAIL);
    EXPECT_EQ(raster->GetWidth(), 4u);
}

TEST_F(AnimRasterTest, PropertiesAndBlits) {
    ComRef<IRaster> raster = animated();
    ComRef<IAnimRaster> frames = frames_of(raster.get());
    add(frames.get(), 1, 100, 0);
    EXPECT_EQ(raster->SetProperty(OM_RASTER_COLOUR_KEY, 0x123), OM_S_OK);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY), 0x123);
    ASSERT_EQ(frames->SelectFrame(1), OM_S_OK);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY), 0x123);

    // A plain source changes only the current frame.
    ComRef<IRaster> plain = make_raster(2, 1, OM_FORMAT_ARGB8888, {0xFF0000FF, 0xFF0000FF});
    ASSERT_EQ(raster->Blit(nullptr, plain.get(), nullptr), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0xFF0000FF, 0xFF0000FF}));
    ASSERT_EQ(frames->SelectFrame(0), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0}));

    // An animated source hands over every frame with its timing; missing frames are made from
    // the kept description, and the source's current frame becomes current.
    ComRef<IRaster> source = animated();
    ComRef<IAnimRaster> source_frames = frames_of(source.get());
    add(source_frames.get(), 1, 40, 2, 0xFF00FF00);
    add(source_frames.get(), 2, 40, 1, 0xFFFF0000);
    ASSERT_EQ(source_frames->SelectFrame(2), OM_S_OK);
    ASSERT_EQ(raster->Blit(nullptr, source.get(), nullptr), OM_S_OK);
    EXPECT_EQ(raster->GetWidth(), 1u); // frame 2 made 1 x 1 from the description
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0xFFFF0000}));
    platform::advance_virtual_clock(50);
    frames->Update();
    EXPECT_EQ(raster->GetWidth(), 2u); // frame 1 now runs on the source's timing
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0xFF00FF00, 0xFF00FF00}));
}

TEST_F(AnimRasterTest, DescriptionAndRendererWrapper) {
    ComRef<IAnimRasterCreate> made;
    ASSERT_EQ(OmCreate(CLSID_AnimRasterCreate, IID_IAnimRasterCreate, made.put()), OM_S_OK);
    ComRef<IRasterCreate> description;
    ASSERT_EQ(made->QueryInterface(IID_IRasterCreate, description.put_void()), OM_S_OK);
    ComRef<IRaster> none;
    EXPECT_EQ(description->CreateRaster(none.put()), OM_E_FAIL); // no inner description yet
    ComRef<IRasterCreate> inner;
    ASSERT_EQ(OmNewRasterDescription(inner.put()), OM_S_OK);
    ASSERT_EQ(made->SetDescription(inner.get()), OM_S_OK);
    description->SetProperty(OM_RASTER_WIDTH, 3);
    intptr_t width = 0;
    EXPECT_EQ(inner->GetProperty(OM_RASTER_WIDTH, &width), OM_S_OK); // forwarded
    EXPECT_EQ(width, 3);

    // The wrapper forwards to a software renderer; its textures are animated rasters the
    // renderer takes as textures.
    ComRef<IRenderer> renderer;
    ASSERT_EQ(OmCreate(CLSID_AnimRenderer, IID_IRenderer, renderer.put()), OM_S_OK);
    ComRef<IRasterCreate> refused;
    EXPECT_EQ(renderer->CreateTextureFactory(refused.put()), OM_E_FAIL); // nothing wrapped
    ComRef<IAnimRenderer> wrapper;
    ASSERT_EQ(renderer->QueryInterface(IID_IAnimRenderer, wrapper.put_void()), OM_S_OK);
    ComRef<IRenderer> software;
    ASSERT_EQ(OmCreate(CLSID_Sw16Renderer, IID_IRenderer, software.put()), OM_S_OK);
    ASSERT_EQ(wrapper->SetRenderer(software.get()), OM_S_OK);
    ComRef<IRaster> display = make_raster(4, 4, OM_FORMAT_RGB565);
    ASSERT_EQ(renderer->Init(display.get()), OM_S_OK);
    EXPECT_EQ(software->GetDisplay(), display.get());

    ComRef<IRasterCreate> factory;
    ASSERT_EQ(renderer->CreateTextureFactory(factory.put()), OM_S_OK);
    factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE);
    ComRef<IRaster> texture;
    ASSERT_EQ(factory->CreateRaster(texture.put()), OM_S_OK);
    ComRef<IAnimRaster> frames = frames_of(texture.get());
    EXPECT_EQ(texture->GetWidth(), 128u);
    EXPECT_EQ(texture->GetFormat(), OM_FORMAT_RGB565);
    EXPECT_EQ(renderer->SetRenderState(OM_RS_TEXTURE, uintptr_t(texture.get())), OM_S_OK);
    EXPECT_EQ(renderer->SetRenderState(OM_RS_TEXTURE, 0), OM_S_OK);
}

} // namespace
