// Video start-up over the real engine on the software device: the sub-system and mode lists,
// the start in a 640 x 480 16-bit mode, the screen size, the owner slices and the sector stages
// (and the landscape they draw).
#include "engine/core/lg_camera.h"
#include "engine/core/lg_engine.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_objects.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_stream.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_render.h"
#include "engine/world/lg_world_tie.h"
#include "frontend/video/sector_stages.h"
#include "game/tv_frontend_services.h"
#include "game/world/tv_object.h"
#include "tests/frontend/video_fixture.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

using frontendtest::find_mode;
using frontendtest::VideoTest;

class FullScreenVideo : public VideoTest {
protected:
    FullScreenVideo() { windowed_ = 0; }
};

bool software_name(const char* name) {
    const size_t n = strnlen(name, sizeof(LgSubSystemInfo::name));
    return n >= 3 && std::memcmp(name + n - 3, "S/W", 3) == 0;
}

TEST_F(FullScreenVideo, ListsTheDeviceWithoutSoftwareNamesAndStartsAt640By480) {
    ASSERT_GE(TvGetSubSystemCount(), 1);
    for (int32_t i = 0; i < TvGetSubSystemCount(); ++i)
        EXPECT_FALSE(software_name(TvGetSubSystem(i)->name)) << TvGetSubSystem(i)->name;
    EXPECT_EQ(TvGetSubSystem(TvGetSubSystemCount()), nullptr);
    EXPECT_EQ(TvGetSubSystem(-1), nullptr);
    // Full screen: only full-screen 16-bit modes of at least 640 x 480.
    ASSERT_GE(TvGetModeCount(), 1);
    for (int32_t i = 0; i < TvGetModeCount(); ++i) {
        const LgVideoMode* m = TvGetMode(i);
        EXPECT_GE(m->width, 640);
        EXPECT_GE(m->height, 480);
        EXPECT_EQ(m->depth, 16);
        EXPECT_NE(m->flags & LgVideoModeFullScreen, 0u);
    }
    EXPECT_EQ(TvGetMode(TvGetModeCount()), nullptr);
    EXPECT_EQ(TvGetCurrentMode(), start_mode());
    // The game's own entry points see the screen through the services table.
    EXPECT_EQ(TvGetScreenWidth(), 640);
    EXPECT_EQ(TvGetScreenHeight(), 480);
    EXPECT_EQ(TvStartVideo(TvGetModeCount()), OM_E_BADPROPERTY);
    EXPECT_EQ(TvStartVideo(-1), OM_E_BADPROPERTY);
}

TEST_F(VideoTest, WindowedScreenSizeIsTheClientSizeNotTheModes) {
    TvGetMainWindow()->SetClientSize(800, 600);
    TvStopVideo();
    ASSERT_EQ(TvStartVideo(start_mode()), OM_S_OK);
    EXPECT_EQ(tvfe::TvGetScreenWidth(), 800);
    EXPECT_EQ(tvfe::TvGetScreenHeight(), 600);
}

TEST_F(VideoTest, WindowedListsOnlyWindowedModes) {
    ASSERT_GE(TvGetModeCount(), 1);
    for (int32_t i = 0; i < TvGetModeCount(); ++i) {
        EXPECT_EQ(TvGetMode(i)->flags & LgVideoModeFullScreen, 0u);
        EXPECT_EQ(TvGetMode(i)->depth, 16);
        EXPECT_GE(TvGetMode(i)->width, 640);
    }
    EXPECT_EQ(tvfe::TvGetScreenWidth(), 640);
    EXPECT_EQ(tvfe::TvGetScreenHeight(), 480);
}

TEST_F(FullScreenVideo, FullScreenSizesTheWindowToTheMode) {
    const int32_t big = find_mode(800, 600);
    if (big < 0) GTEST_SKIP() << "the device offers no 800 x 600 mode";
    TvStopVideo();
    ASSERT_EQ(TvStartVideo(big), OM_S_OK);
    EXPECT_EQ(tvfe::TvGetScreenWidth(), 800);
    uint32_t w = 0, h = 0;
    TvGetMainWindow()->GetClientSize(&w, &h);
    EXPECT_EQ(w, 800u);
    EXPECT_EQ(h, 600u);
}

TEST_F(VideoTest, FreedModesLeaveNothingToStart) {
    TvStopVideo();
    TvFreeVideoModes();
    EXPECT_EQ(TvGetModeCount(), 0);
    EXPECT_EQ(tvfe::TvGetScreenWidth(), 0);
    EXPECT_EQ(TvStartVideo(0), OM_E_BADPROPERTY);
}

// A clone takes its original's owner; the original keeps it.
TEST_F(VideoTest, OwnerSlicesCopyFromTheOriginalToTheClone) {
    ASSERT_GE(LgClumpGetPluginOffset(kTvClumpOwnerPlugin), 0);
    ASSERT_GE(LgAtomicGetPluginOffset(kTvAtomicOwnerPlugin), 0);
    LgClump* original = LgClumpCreate();
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(TvClumpGetOwner(original), nullptr);
    auto* owner = reinterpret_cast<ITvObject*>(uintptr_t(0x1234560));
    TvClumpSetOwner(original, owner);
    LgClump* clone = LgClumpClone(original);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(TvClumpGetOwner(clone), owner);
    EXPECT_EQ(TvClumpGetOwner(original), owner);
    LgClumpDestroy(clone);
    LgClumpDestroy(original);
}

// The engine's instancing as the game's stage sees it: a work record over three vertices of
// the current vertex buffer.
struct FakeInstancing {
    LgIm3DScreenVertex vertices[5] = {};
    float accumulators[3][4] = {};
    LgWorldRenderWork work{};
    int calls = 0;
} fake;

bool fake_returns_null = false;

void* fake_engine_stage(void*) {
    ++fake.calls;
    if (fake_returns_null) return nullptr;
    fake.work.im3d.first = 1;
    fake.work.numVertices = 3;
    fake.work.accumulators = fake.accumulators;
    return &fake.work;
}

TEST_F(VideoTest, TheSectorStageFillsEveryInstancedVertexFullBright) {
    LgPipeline* pipeline = LgWorldGetDefaultSectorPipeline();
    ASSERT_NE(pipeline, nullptr);
    ASSERT_EQ(pipeline->stage0, TvSectorInstanceStage);
    // The pre-light and lighting stages do nothing to the work record.
    alignas(16) char untouched[sizeof(LgWorldRenderWork)] = {};
    pipeline->stage2(untouched);
    pipeline->stage4(untouched, nullptr);
    for (char c : untouched) ASSERT_EQ(c, 0);

    // Put a stand-in for the engine's instancing underneath the game's stage.
    const auto engine_stage = LgWorldGetDefaultSectorPipeline()->stage0;
    pipeline->stage0 = fake_engine_stage;
    TvInstallSectorStages();
    ASSERT_EQ(pipeline->stage0, TvSectorInstanceStage);
    const LgIm3DState saved = LgIm3DGlobal;
    LgIm3DContext context{};
    LgIm3DGlobal.current = &context;
    LgIm3DGlobal.screenVertices = fake.vertices;
    // The nothing-to-draw word is the transform's verdict, which comes after instancing: the
    // stage fills the sector's vertices whatever it holds.
    for (uint32_t flag : {~0u, 0u}) {
        context.nothingToDraw = flag;
        for (LgIm3DScreenVertex& v : fake.vertices) v.colour = 0x11223344;
        for (auto& a : fake.accumulators) a[0] = a[1] = a[2] = a[3] = 7.0f;
        EXPECT_EQ(TvSectorInstanceStage(nullptr), &fake.work);
        for (int i = 0; i < 5; ++i) {
            const bool sector_vertex = i >= 1 && i <= 3;
            EXPECT_EQ(fake.vertices[i].colour,
                      sector_vertex ? TV_SECTOR_VERTEX_COLOUR : 0x11223344u)
                << "flag " << flag << " vertex " << i;
        }
        for (const auto& a : fake.accumulators) {
            EXPECT_EQ(a[0], 255.0f);
            EXPECT_EQ(a[2], 255.0f);
            EXPECT_EQ(a[3], 254.0f);
        }
    }
    EXPECT_EQ(fake.calls, 2);
    // Without a work record the stage touches nothing.
    fake_returns_null = true;
    fake.vertices[1].colour = 0x11223344;
    EXPECT_EQ(TvSectorInstanceStage(nullptr), nullptr);
    EXPECT_EQ(fake.vertices[1].colour, 0x11223344u);
    fake_returns_null = false;
    LgIm3DGlobal = saved;
    // Installing again never puts the game's stage underneath itself.
    TvInstallSectorStages();
    EXPECT_EQ(TvSectorInstanceStage(nullptr), &fake.work);
    EXPECT_EQ(fake.calls, 4);
    pipeline->stage0 = engine_stage;

    // A restart makes a new pipeline, which gets the stages again.
    TvStopVideo();
    ASSERT_EQ(TvStartVideo(start_mode()), OM_S_OK);
    ASSERT_NE(LgWorldGetDefaultSectorPipeline(), nullptr);
    EXPECT_EQ(LgWorldGetDefaultSectorPipeline()->stage0, TvSectorInstanceStage);
}

// The landscape as the game draws it, through the real engine and software device: a white,
// untextured ground with dark pre-lit colours and the landscape's world flags (pre-lit,
// textured, not lit) comes out at full brightness, not in its pre-lit colours and not in
// whatever the colour accumulators held before.
TEST_F(VideoTest, LandscapeSectorsDrawFullBrightOnTheSoftwareDevice) {
    namespace mw = modelwriter;
    mw::Material white;
    white.colour = {255, 255, 255, 255};
    mw::TriangleSoup soup = mw::soup_of(mw::make_grid(4, 10.0f, white));
    soup.prelit.assign(soup.positions.size(), {10, 20, 30, 255});
    mw::BuildOptions options;
    options.flags = mw::worldTextured | mw::worldPrelit;
    options.maxSectorTriangles = 8;
    const std::optional<mw::World> built = mw::build_world(soup, options);
    ASSERT_TRUE(built.has_value());
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(mw::write_world(*built, bytes));
    LgStreamMemory memory = {bytes.data(), static_cast<uint32_t>(bytes.size())};
    LgStream* stream = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &memory);
    ASSERT_NE(stream, nullptr);
    LgWorld* world = LgStreamFindChunk(stream, LgChunkWorld, nullptr, nullptr)
                         ? LgWorldStreamRead(stream)
                         : nullptr;
    LgStreamClose(stream, nullptr);
    ASSERT_NE(world, nullptr);
    LgObjectSetFlags(world, 13); // as the landscape sets them

    LgRaster* raster = LgRasterCreate(32, 32, 0, LgRasterTypeCamera);
    LgRaster* depth = LgRasterCreate(32, 32, 0, LgRasterTypeZBuffer);
    LgCamera* camera = LgCameraCreate();
    LgFrame* frame = LgFrameCreate();
    ASSERT_TRUE(raster && depth && camera && frame);
    LgCameraSetFrame(camera, frame);
    LgCameraSetRaster(camera, raster);
    LgCameraSetZRaster(camera, depth);
    LgCameraSetNearClipPlane(camera, 1.0f);
    LgCameraSetFarClipPlane(camera, 200.0f);
    // Above the middle of the ground (which the builder places from (16, 16, 16)), looking
    // straight down.
    LgMatrix* m = LgFrameGetMatrix(frame);
    m->right = {1, 0, 0};
    m->up = {0, 0, 1};
    m->at = {0, -1, 0};
    m->pos = {36, 26, 36};
    LgMatrixMarkChanged(m);
    LgFrameMarkDirty(frame);
    LgWorldAddCamera(world, camera);

    const LgRGBA black = {0, 0, 0, 255};
    ASSERT_NE(LgCameraClear(camera, &black, LgCameraClearImage | LgCameraClearZ), nullptr);
    ASSERT_EQ(LgCameraBeginUpdate(camera), camera);
    LgWorldRenderAtomicsInView(world);
    LgCameraEndUpdate(camera);

    ASSERT_EQ(LgRasterGetDepth(raster), 16);
    const uint8_t* pixels = LgRasterLock(raster, 0, LgRasterLockRead);
    ASSERT_NE(pixels, nullptr);
    int white_pixels = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint16_t p;
            std::memcpy(&p, pixels + y * LgRasterGetStride(raster) + x * 2, 2);
            white_pixels += p == 0xFFFF;
            if (x == 16 && y == 16) EXPECT_EQ(p, 0xFFFF) << "the middle of the ground";
        }
    LgRasterUnlock(raster);
    EXPECT_EQ(white_pixels, 32 * 32) << "the ground fills the view";

    LgWorldRemoveCamera(world, camera);
    LgWorldDestroy(world);
    LgCameraDestroy(camera);
    LgFrameDestroy(frame);
    LgRasterDestroy(depth);
    LgRasterDestroy(raster);
}

} // namespace
