// The game camera over a writer-made ground world: creation and ownership of its record, the
// chase views' distances, follow rate and jump, look keys and events, zoom, mouse state, the
// view-mode projections, the overhead and editor drags, the free view, the cockpit call, and
// the camera the game builds for its viewport.
#include "framework/core/memory.h"
#include "framework/core/object_manager.h"
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_camera.h"
#include "tests/engine/world/world_test_support.h"
#include "tests/game/game_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

using gametest::GameEngineTest;
using gametest::GameProbe;
using gametest::TestSettings;

namespace {

constexpr uint16_t kKeyUp = 0x93, kKeyDown = 0x94, kKeyLeft = 0x95, kKeyRight = 0x96;
constexpr uint16_t kKeyHome = 0x8f, kKeyEnd = 0x90;
constexpr float kGroundY = 16.0f; // the writer's ground world starts at (16, 16, 16)

float distance(const LgVector& a, const LgVector& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

// The object the chase views follow: its own matrix and a speed (the plane's property 515).
class Followed final : public TavrinObjectBase<ITvObject> {
public:
    Followed() {
        own.right = {1, 0, 0};
        own.up = {0, 1, 0};
        own.at = {0, 0, 1};
        matrix = &own;
    }
    OmResult GetProperty(uint32_t id, uintptr_t* out) override {
        if (id != 515) return TavrinObjectBase<ITvObject>::GetProperty(id, out);
        *out = reinterpret_cast<uintptr_t>(&speed);
        return OM_S_OK;
    }
    LgMatrix own{};
    float speed = 0.0f;
};

struct ListenerCall {
    LgVector position;
    LgVector velocity;
};
std::vector<ListenerCall>& listener_calls() {
    static std::vector<ListenerCall> calls;
    return calls;
}

std::vector<ITvObject*>& cockpit_calls() {
    static std::vector<ITvObject*> calls;
    return calls;
}

class CameraTest : public GameEngineTest {
protected:
    void SetUp() override {
        GameEngineTest::SetUp();
        world =
            worldtest::read_world(worldtest::world_bytes(worldtest::ground_world(8, 100.0f, 32)));
        ASSERT_NE(world, nullptr);
        raster = LgRasterCreate(640, 480, 0, LgRasterTypeCamera);
        depth = LgRasterCreate(640, 480, 0, LgRasterTypeZBuffer);
        ASSERT_TRUE(raster && depth);
        owned = std::make_unique<TestSettings>();
        game = new GameProbe;
        ASSERT_EQ(game->BeginSession(&owned->settings), OM_S_OK);
        TvFrontEndServices services{};
        services.set_listener_frame = [](const LgMatrix* place, const LgVector* velocity) {
            listener_calls().push_back({place->pos, *velocity});
        };
        TvInstallFrontEndServices(&services);
        listener_calls().clear();
        cockpit_calls().clear();
        blocks_before = OmLiveHeapBlocks();
        camera = new TavrinCamera;
        ASSERT_EQ(camera->Create(new_record()), OM_S_OK);
        game->frame_time_ = 0.1f;
    }
    void TearDown() override {
        if (camera) camera->Release();
        EXPECT_EQ(OmLiveHeapBlocks(), blocks_before) << "the camera left framework blocks";
        plane->Release();
        game->Destroy();
        game->Release();
        owned.reset();
        TvInstallFrontEndServices(nullptr);
        TvSetCockpitRenderer(nullptr);
        LgRasterDestroy(raster);
        LgRasterDestroy(depth);
        LgWorldDestroy(world);
    }
    TvCameraDescriptor* new_record() {
        auto* record = static_cast<TvCameraDescriptor*>(OmAllocMemory(sizeof(TvCameraDescriptor)));
        std::memset(static_cast<void*>(record), 0, sizeof(TvCameraDescriptor));
        record->game = game;
        record->world = world;
        record->raster = raster;
        record->depth_raster = depth;
        record->far_clip = 1500.0f;
        return record;
    }
    void key(uint16_t code, uint32_t value) {
        const InputEvent input{0x101, code, 0, value};
        const TvEvent event{kTvEventInput, reinterpret_cast<uintptr_t>(&input)};
        EXPECT_EQ(camera->HandleEvent(&event), OM_S_OK);
    }
    void send(uint32_t code, uintptr_t data) {
        const TvEvent event{code, data};
        EXPECT_EQ(camera->HandleEvent(&event), OM_S_OK);
    }
    LgMatrix& view() { return *camera->matrix; }
    LgCamera* engine_camera() {
        uintptr_t value = 0;
        camera->GetProperty(kTvCamPropEngineCamera, &value);
        return reinterpret_cast<LgCamera*>(value);
    }
    void set_mode(int32_t mode) { camera->SetProperty(kTvCamPropViewMode, mode); }
    void follow_at(LgVector position) {
        plane->own.pos = position;
        camera->SetProperty(kTvCamPropFollowed, reinterpret_cast<uintptr_t>(plane));
    }
    // The ground point under the cursor as the camera now sees it.
    LgVector ground_under_cursor() {
        LgCameraSyncDefault(engine_camera());
        LgLine ray{};
        const LgVector2 pixel{float(camera->cursor_x()), float(camera->cursor_y())};
        EXPECT_NE(LgCameraCalcPixelRay(engine_camera(), &ray, &pixel), nullptr);
        const float t = (kGroundY - ray.start.y) / (ray.end.y - ray.start.y);
        return {ray.start.x + (ray.end.x - ray.start.x) * t, kGroundY,
                ray.start.z + (ray.end.z - ray.start.z) * t};
    }

    LgWorld* world = nullptr;
    LgRaster* raster = nullptr;
    LgRaster* depth = nullptr;
    std::unique_ptr<TestSettings> owned;
    GameProbe* game = nullptr;
    TavrinCamera* camera = nullptr;
    Followed* plane = new Followed;
    int64_t blocks_before = 0;
};

TEST_F(CameraTest, CreateSetsUpTheViewOverTheWorld) {
    void* as_camera = nullptr;
    void* as_object = nullptr;
    ASSERT_EQ(camera->QueryInterface(IID_ITvCamera, &as_camera), OM_S_OK);
    ASSERT_EQ(camera->QueryInterface(IID_ITvObject, &as_object), OM_S_OK);
    EXPECT_EQ(as_camera, as_object);
    camera->Release();
    camera->Release();

    EXPECT_EQ(camera->view_mode(), kTvViewChase);
    EXPECT_EQ(camera->zoom(), 200.0f);
    EXPECT_EQ(camera->elapsed_time(), 10.0f);
    EXPECT_STREQ(camera->cursor_image_name(), "Ui\\cursor.bmp");
    EXPECT_STREQ(camera->cursor_mask_name(), "Ui\\cursorm.bmp");
    LgCamera* engine = engine_camera();
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(LgCameraGetWorld(engine), world);
    EXPECT_EQ(LgCameraGetFrame(engine), camera->frame);
    EXPECT_EQ(LgCameraGetRaster(engine), raster);
    EXPECT_EQ(LgCameraGetZRaster(engine), depth);
    EXPECT_EQ(LgCameraGetProjection(engine), LgCameraPerspective);
    EXPECT_EQ(LgCameraGetNearClipPlane(engine), 5.0f);
    EXPECT_EQ(LgCameraGetFarClipPlane(engine), 1500.0f);
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(engine)->x, 640.0f / 480.0f);
    EXPECT_EQ(LgCameraGetViewWindow(engine)->y, 1.0f);

    const LgBBox* box = LgWorldGetBoundingBox(world);
    uintptr_t position = 0, look_at = 0, far_bits = 0;
    camera->GetProperty(kTvCamPropPosition, &position);
    camera->GetProperty(kTvCamPropLookAt, &look_at);
    const auto* p = reinterpret_cast<const LgVector*>(position);
    EXPECT_EQ(p->x, (box->sup.x + box->inf.x) * 0.5f);
    EXPECT_EQ(p->y, (box->sup.y + box->inf.y) * 0.5f);
    EXPECT_EQ(reinterpret_cast<const LgVector*>(look_at)->z, (box->sup.z + box->inf.z) * 0.5f);
    camera->GetProperty(kTvCamPropFarClip, &far_bits);
    float far_clip = 0;
    std::memcpy(&far_clip, &far_bits, sizeof far_clip);
    EXPECT_EQ(far_clip, 1500.0f);
    uintptr_t drag = 7;
    EXPECT_EQ(camera->GetProperty(kTvCamPropDragOffset, &drag), OM_E_BADPROPERTY);
    EXPECT_EQ(drag, 0u);

    // The camera takes no damage.
    EXPECT_EQ(camera->AddDamage(100.0f, 1), OM_S_OK);
    EXPECT_EQ(camera->SetDamage(0, 100.0f, 0), OM_S_OK);
    EXPECT_EQ(camera->IsDead(), 0);
}

TEST_F(CameraTest, ARecordWithoutRasterOrWorldIsRefusedAndStaysTheCallers) {
    auto* fresh = new TavrinCamera;
    for (int missing = 0; missing < 3; ++missing) {
        TvCameraDescriptor* record = new_record();
        (missing == 0   ? record->raster
         : missing == 1 ? record->depth_raster
                        : record->raster) = nullptr;
        if (missing == 2) {
            record->raster = raster;
            record->world = nullptr;
        }
        EXPECT_EQ(fresh->Create(record), OM_E_BADPROPERTY);
        uintptr_t taken = 1;
        fresh->GetProperty(kTvPropDescriptor, &taken);
        EXPECT_EQ(taken, 0u);
        OmFreeMemory(record);
    }
    EXPECT_EQ(fresh->Create(nullptr), OM_E_BADPROPERTY);
    fresh->Release();
}

TEST_F(CameraTest, DestroyFreesTheRecordOnceAndUntiesTheEngineCamera) {
    LgCamera* engine = engine_camera();
    ASSERT_EQ(LgCameraGetWorld(engine), world);
    EXPECT_EQ(camera->Destroy(), OM_S_OK);
    uintptr_t value = 1;
    camera->GetProperty(kTvPropDescriptor, &value);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(engine_camera(), nullptr);
    // The game destroys its viewport camera and the last Release destroys it again.
    EXPECT_EQ(camera->Destroy(), OM_S_OK);
    EXPECT_EQ(OmLiveHeapBlocks(), blocks_before + 1) << "only the camera itself is left";
    camera->Release();
    camera = nullptr;
}

TEST_F(CameraTest, ChaseViewsStandAtTheirDistanceFromTheFollowedObject) {
    struct Row {
        int32_t mode;
        float height;
        float expected; // distance from the followed object
        LgVector side;  // the way the camera stands from it
    };
    const Row rows[] = {
        {kTvViewChase, 300, 30, {0, 0, -1}}, {kTvViewChase, 200, 30, {0, 0, -1}},
        {kTvViewChase, 0, 50, {0, 0, -1}},   {kTvViewChase, 100, 40, {0, 0, -1}},
        {kTvViewFront, 300, 45, {0, 0, 1}},  {kTvViewFront, 0, 75, {0, 0, 1}},
        {kTvViewHigh, 300, 60, {0, 1, 0}},   {kTvViewHigh, 0, 100, {0, 1, 0}},
        {kTvViewLeft, 300, 30, {-1, 0, 0}},  {kTvViewRight, 300, 30, {1, 0, 0}},
    };
    for (const Row& row : rows) {
        // Far from the camera, so it jumps there in one frame.
        const LgVector p{3000.0f + 1000.0f * float(&row - rows), row.height, 3000.0f};
        follow_at(p);
        camera->user_value = row.mode;
        ASSERT_EQ(camera->Update(), OM_S_OK);
        const LgVector& at = view().pos;
        EXPECT_NEAR(distance(at, p), row.expected, 1e-3f) << row.mode << " at " << row.height;
        const LgVector offset{at.x - p.x, at.y - p.y, at.z - p.z};
        EXPECT_GT(offset.x * row.side.x + offset.y * row.side.y + offset.z * row.side.z,
                  0.5f * row.expected)
            << row.mode;
        // The camera always looks up a little (the eye is lifted) or level at most.
        EXPECT_LE(view().at.y, 0.6f);
    }
}

TEST_F(CameraTest, TheChaseFollowsAtFourTimesTheFrameTimeAndJumpsFromAfar) {
    follow_at({3000, 300, 3000});
    ASSERT_EQ(camera->Update(), OM_S_OK);
    const LgVector start = view().pos;
    // The wanted place moves with the plane; the camera makes 0.4 of the way in 0.1 s.
    plane->own.pos.x += 50.0f;
    camera->Update();
    EXPECT_NEAR(view().pos.x, start.x + 20.0f, 1e-3f);
    // A half-second frame is taken as 0.25 s: the whole way.
    game->frame_time_ = 0.5f;
    plane->own.pos.x += 50.0f;
    camera->Update();
    EXPECT_NEAR(view().pos.x, start.x + 100.0f, 1e-3f);
    // 199 away: still a follow step; 200 away (a respawn): a jump.
    game->frame_time_ = 0.1f;
    plane->own.pos.z += 199.0f;
    camera->Update();
    EXPECT_NEAR(view().pos.z, start.z + 0.4f * 199.0f, 1e-2f);
    const float before = view().pos.z;
    plane->own.pos.z += 400.0f;
    camera->Update();
    EXPECT_NEAR(view().pos.z, before + (start.z + 599.0f - before), 1e-2f);
    EXPECT_NEAR(view().pos.z, start.z + 599.0f, 1e-2f);
}

TEST_F(CameraTest, TheListenerIsTheCameraWithThePlanesVelocity) {
    follow_at({3000, 300, 3000});
    plane->speed = 55.0f;
    camera->Update();
    const LgVector placed = view().pos;
    camera->Update();
    ASSERT_EQ(listener_calls().size(), 2u);
    // The listener stands where the camera stood before this frame's move.
    EXPECT_EQ(listener_calls()[1].position.x, placed.x);
    EXPECT_EQ(listener_calls()[1].velocity.z, 55.0f);
    EXPECT_EQ(listener_calls()[1].velocity.x, 0.0f);
    EXPECT_FLOAT_EQ(camera->elapsed_time(), 10.2f);
}

TEST_F(CameraTest, LookKeysAndEventsReturnOnlyFromTheirOwnView) {
    struct Step {
        char kind; // 'p' key pressed, 'r' key released, 'e' look event
        uint32_t what;
        uintptr_t data;
        int32_t mode_after;
    };
    const std::vector<Step> steps = {
        {'p', kKeyUp, 0, kTvViewHigh},
        {'r', kKeyUp, 0, kTvViewChase},
        {'p', kKeyDown, 0, kTvViewFront},
        {'r', kKeyDown, 0, kTvViewChase},
        {'p', kKeyLeft, 0, kTvViewLeft},
        {'p', kKeyUp, 0, kTvViewHigh},
        {'r', kKeyLeft, 0, kTvViewHigh},
        {'r', kKeyUp, 0, kTvViewChase},
        {'p', kKeyRight, 0, kTvViewRight},
        {'r', kKeyLeft, 0, kTvViewRight},
        {'r', kKeyRight, 0, kTvViewChase},
        {'e', kTvEventLookAbove, 1, kTvViewHigh},
        {'e', kTvEventLookLeft, 0, kTvViewHigh},
        {'e', kTvEventLookAbove, 0, kTvViewChase},
        {'e', kTvEventLookBehind, 1, kTvViewFront},
        {'e', kTvEventLookRight, 1, kTvViewRight},
        {'e', kTvEventLookBehind, 0, kTvViewRight},
        {'e', kTvEventLookRight, 0, kTvViewChase},
        {'e', kTvEventLookLeft, 1, kTvViewLeft},
        {'e', kTvEventLookLeft, 0, kTvViewChase},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        if (s.kind == 'e')
            send(s.what, s.data);
        else
            key(s.kind == 'p' ? 17 : 16, s.what);
        EXPECT_EQ(camera->view_mode(), s.mode_after) << "step " << i;
    }
    // The map, free and editor views are not left through a look key or event.
    for (int32_t mode : {kTvViewOverhead, kTvViewFree, kTvViewEditor}) {
        camera->user_value = mode;
        key(17, kKeyUp);
        send(kTvEventLookLeft, 1);
        key(16, kKeyUp);
        EXPECT_EQ(camera->view_mode(), mode);
    }
}

TEST_F(CameraTest, TheCameraChangeGoesToTheOverheadMapAndBack) {
    for (int32_t from : {kTvViewChase, kTvViewHigh, kTvViewFront, kTvViewLeft, kTvViewRight}) {
        camera->SetProperty(kTvCamPropViewMode, uintptr_t(from));
        send(kTvEventCameraChange, 1);
        EXPECT_EQ(camera->view_mode(), kTvViewOverhead) << from;
        send(kTvEventCameraChange, 0); // the binding's release changes nothing
        EXPECT_EQ(camera->view_mode(), kTvViewOverhead) << from;
        // The look events the plane sends every frame leave the map alone.
        for (uint32_t look :
             {kTvEventLookAbove, kTvEventLookLeft, kTvEventLookRight, kTvEventLookBehind})
            send(look, 0);
        EXPECT_EQ(camera->view_mode(), kTvViewOverhead) << from;
        send(kTvEventCameraChange, 1);
        EXPECT_EQ(camera->view_mode(), kTvViewChase) << from;
    }
    // The free and editor views stay.
    for (int32_t mode : {kTvViewFree, kTvViewEditor}) {
        camera->user_value = mode;
        send(kTvEventCameraChange, 1);
        EXPECT_EQ(camera->view_mode(), mode);
    }
}

TEST_F(CameraTest, HomeAndEndZoomOnRelease) {
    key(17, kKeyHome);
    EXPECT_EQ(camera->zoom(), 200.0f);
    key(16, kKeyHome);
    EXPECT_EQ(camera->zoom(), 220.0f);
    key(16, kKeyEnd);
    key(16, kKeyEnd);
    EXPECT_EQ(camera->zoom(), 180.0f);
    // End stops at one step: the view never turns inside out.
    for (int i = 0; i < 20; ++i) key(16, kKeyEnd);
    EXPECT_EQ(camera->zoom(), 20.0f);
}

TEST_F(CameraTest, TheEditorViewZoomsWithHomeAndEnd) {
    set_mode(kTvViewEditor);
    camera->Update();
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(engine_camera())->x, 1.3333f);
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(engine_camera())->y, 1.0f);
    key(16, kKeyHome);
    camera->Update();
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(engine_camera())->y, 1.1f);
    for (int i = 0; i < 4; ++i) key(16, kKeyEnd);
    camera->Update();
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(engine_camera())->x, 1.3333f * 0.7f);
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(engine_camera())->y, 0.7f);
}

TEST_F(CameraTest, MouseButtonsAndTheCursorInsideTheView) {
    struct Row {
        uint16_t code;
        uint32_t value;
        uint32_t buttons;
    };
    const Row rows[] = {{65, 35, 1},  {66, 35, 3}, {68, 35, 7},  {72, 35, 15},
                        {66, 36, 13}, {65, 0, 12}, {67, 35, 12}, {72, 36, 4}};
    for (const Row& row : rows) {
        key(row.code, row.value);
        EXPECT_EQ(camera->mouse_buttons(), row.buttons) << row.code;
    }
    key(48, 100);
    key(49, 50);
    EXPECT_EQ(camera->cursor_x(), 100);
    EXPECT_EQ(camera->cursor_y(), 50);
    key(48, uint32_t(-500));
    key(49, 10000);
    EXPECT_EQ(camera->cursor_x(), 8);
    EXPECT_EQ(camera->cursor_y(), 472);
    key(48, 5000);
    EXPECT_EQ(camera->cursor_x(), 632);
    set_mode(kTvViewChase);
    EXPECT_EQ(camera->cursor_x(), 0);
}

TEST_F(CameraTest, ViewModesSetTheirProjection) {
    LgCamera* engine = engine_camera();
    set_mode(kTvViewOverhead);
    EXPECT_EQ(LgCameraGetProjection(engine), LgCameraParallel);
    EXPECT_EQ(LgCameraGetFarClipPlane(engine), 2000.0f);
    uintptr_t mode = 0;
    camera->GetProperty(kTvCamPropViewMode, &mode);
    EXPECT_EQ(mode, uintptr_t(kTvViewOverhead));
    set_mode(kTvViewEditor);
    EXPECT_EQ(LgCameraGetProjection(engine), LgCameraPerspective);
    EXPECT_EQ(LgCameraGetFarClipPlane(engine), 2000.0f);
    set_mode(kTvViewHigh);
    EXPECT_EQ(LgCameraGetProjection(engine), LgCameraPerspective);
    EXPECT_EQ(LgCameraGetFarClipPlane(engine), 1500.0f);
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(engine)->x, 1.3333f);
    EXPECT_EQ(LgCameraGetViewWindow(engine)->y, 1.0f);
    // A mode outside 1..8 places nothing.
    camera->user_value = 9;
    const LgMatrix before = view();
    follow_at({3000, 300, 3000});
    camera->Update();
    EXPECT_EQ(std::memcmp(&before, &view(), sizeof before), 0);
}

TEST_F(CameraTest, TheOverheadMapLooksDownFromAboveTheGroundAndDragsWithTheMouse) {
    set_mode(kTvViewOverhead);
    const float start_x = view().pos.x;
    camera->Update();
    EXPECT_EQ(view().at.y, -1.0f);
    EXPECT_EQ(view().up.z, 1.0f);
    EXPECT_EQ(view().right.x, 1.0f);
    EXPECT_FLOAT_EQ(view().pos.y, kGroundY + 600.0f);
    EXPECT_EQ(view().pos.x, start_x);
    EXPECT_FLOAT_EQ(LgCameraGetViewWindow(engine_camera())->x, 200.0f * 1.3333f);
    key(16, kKeyHome);
    camera->Update();
    EXPECT_EQ(LgCameraGetViewWindow(engine_camera())->y, 220.0f);

    key(48, 320);
    key(49, 240);
    key(65, 35);
    camera->Update(); // the ground point under the cursor is taken
    const LgVector anchor = ground_under_cursor();
    key(48, 40);
    key(49, uint32_t(-30));
    camera->Update();
    EXPECT_NE(view().pos.x, start_x);
    const LgVector now = ground_under_cursor();
    EXPECT_NEAR(now.x, anchor.x, 0.01f);
    EXPECT_NEAR(now.z, anchor.z, 0.01f);
    EXPECT_FLOAT_EQ(view().pos.y, kGroundY + 600.0f);
    // Let go: the cursor moves over the ground without moving the camera.
    key(65, 36);
    const float released_x = view().pos.x;
    key(48, 40);
    camera->Update();
    EXPECT_EQ(view().pos.x, released_x);
}

TEST_F(CameraTest, TheEditorViewDragsWithButtonTwoAndKeepsItsHeight) {
    set_mode(kTvViewEditor);
    const LgVector place{400, 300, 400};
    camera->SetProperty(kTvCamPropPosition, reinterpret_cast<uintptr_t>(&place));
    camera->Update();
    EXPECT_EQ(view().pos.y, 300.0f);
    EXPECT_EQ(view().at.y, -1.0f);
    key(48, 320);
    key(49, 240);
    // Button 1 belongs to the editor's tools.
    key(65, 35);
    camera->Update();
    key(48, 50);
    camera->Update();
    EXPECT_EQ(view().pos.x, 400.0f);
    key(65, 36);
    key(66, 35);
    camera->Update();
    const LgVector anchor = ground_under_cursor();
    key(48, uint32_t(-50));
    key(49, 20);
    camera->Update();
    EXPECT_NE(view().pos.x, 400.0f);
    EXPECT_EQ(view().pos.y, 300.0f);
    const LgVector now = ground_under_cursor();
    EXPECT_NEAR(now.x, anchor.x, 0.01f);
    EXPECT_NEAR(now.z, anchor.z, 0.01f);
    // The drag offset moves the editor's camera once.
    const LgVector offset{10, 0, -5};
    camera->SetProperty(kTvCamPropDragOffset, reinterpret_cast<uintptr_t>(&offset));
    key(66, 36);
    const LgVector before = view().pos;
    camera->Update();
    camera->Update();
    EXPECT_FLOAT_EQ(view().pos.x, before.x + 10.0f);
    EXPECT_FLOAT_EQ(view().pos.z, before.z - 5.0f);
}

TEST_F(CameraTest, TheFreeViewTurnsAndMovesWithTheMouse) {
    set_mode(kTvViewFree);
    LgMatrixSetIdentity(&view());
    view().pos = {100, 200, 300};
    key(48, 90); // a quarter turn about the vertical
    camera->Update();
    EXPECT_NEAR(view().at.y, 0.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(view().at.x), 1.0f, 1e-5f);
    EXPECT_EQ(view().right.y, 0.0f);
    EXPECT_NEAR(LgMatrixOrthogonalError(&view()), 0.0f, 1e-4f);
    key(49, 20); // pitch
    camera->Update();
    EXPECT_NEAR(std::fabs(view().at.y), std::sin(20.0f * 3.14159265f / 180.0f), 1e-4f);
    EXPECT_NEAR(view().right.y, 0.0f, 1e-5f);
    // With button 1 the camera slides along its right row by minus the x motion.
    const LgMatrix before = view();
    key(65, 35);
    key(48, 10);
    camera->Update();
    EXPECT_NEAR(view().pos.x, before.pos.x - 10.0f * before.right.x, 1e-3f);
    EXPECT_NEAR(view().pos.z, before.pos.z - 10.0f * before.right.z, 1e-3f);
    EXPECT_NEAR(view().at.x, before.at.x, 1e-5f);
    EXPECT_FALSE(listener_calls().empty());
}

TEST_F(CameraTest, ThePlayersPlaneDrawsItsCockpitOutsideTheMapFreeAndEditorViews) {
    TvSetCockpitRenderer([](ITvObject* followed, LgCamera*) {
        cockpit_calls().push_back(followed);
        return OM_S_OK;
    });
    follow_at({0, 0, 0});
    camera->Render();
    EXPECT_TRUE(cockpit_calls().empty()); // not a player's plane
    plane->flags = kTvFlagPlayerPlane;
    for (int32_t mode : {1, 2, 3, 4, 5, 6, 7, 8}) {
        camera->user_value = mode;
        camera->Render();
    }
    EXPECT_EQ(cockpit_calls().size(), 5u);
    EXPECT_EQ(cockpit_calls()[0], plane);
}

TEST_F(CameraTest, BeginAndEndBracketTheEngineCamera) {
    device.stateSets.clear();
    ASSERT_EQ(camera->BeginUpdate(), OM_S_OK);
    EXPECT_EQ(LgCameraGetCurrent(), engine_camera());
    const std::vector<std::pair<int32_t, uintptr_t>> states = {{18, 0}, {7, 4}, {4, 1}, {6, 1}};
    // The camera's own states follow those the engine sets as the camera begins.
    ASSERT_GE(device.stateSets.size(), states.size());
    EXPECT_TRUE(std::equal(states.begin(), states.end(), device.stateSets.end() - 4));
    EXPECT_EQ(camera->RenderWorld(), OM_S_OK);
    ASSERT_EQ(camera->EndUpdate(), OM_S_OK);
    EXPECT_EQ(LgCameraGetCurrent(), nullptr);
}

TEST_F(CameraTest, TheGameBuildsItsViewportCameraAndTearsItDown) {
    const int64_t at_start = OmLiveHeapBlocks();
    ASSERT_EQ(TvRegisterCameraClass(OmGetObjectManager()), OM_S_OK);
    // Rasters remember how they were made, as a real device records it.
    LgEngineInstancePtr->standardFunctions.slot[LgStdRasterCreate] = [](void* out, void*,
                                                                        int32_t flags) {
        static_cast<LgRaster*>(out)->creationFlags = flags;
        return int32_t{1};
    };
    auto* landscape = new gametest::CountedLandscape;
    landscape->world = world;
    game->SetLandscape(landscape);
    landscape->Release();
    ASSERT_EQ(game->SetUpRasters(), OM_S_OK);
    const int64_t before_viewport = OmLiveHeapBlocks();
    ASSERT_EQ(game->SetPlayerPlane(plane, 1, 0), OM_S_OK);
    ITvCamera* viewport = game->viewport_camera(0);
    ASSERT_NE(viewport, nullptr);
    uintptr_t followed = 0;
    viewport->GetProperty(kTvCamPropFollowed, &followed);
    EXPECT_EQ(followed, reinterpret_cast<uintptr_t>(plane));
    uintptr_t engine = 0;
    viewport->GetProperty(kTvCamPropEngineCamera, &engine);
    EXPECT_EQ(LgCameraGetWorld(reinterpret_cast<LgCamera*>(engine)), world);
    // Destroy runs twice for it: the game's Destroy, then its last Release. Its record goes
    // once, with the camera.
    game->Destroy();
    EXPECT_EQ(game->viewport_camera(0), nullptr);
    // The camera, its record and the viewport's blocks are gone; so are the game's landscape
    // and its player-slot table.
    EXPECT_EQ(OmLiveHeapBlocks(), before_viewport - 2);
    // What the test itself registered and made stays out of the fixture's count.
    blocks_before += OmLiveHeapBlocks() - at_start;
}

} // namespace
