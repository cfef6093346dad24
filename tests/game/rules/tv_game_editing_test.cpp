// The editing state of a real game over fixture missions: F9 in and out with the editor switch,
// the frozen clock and judgement, input for the camera and editor alone with the ground point
// under the cursor, deleting the target of an armed ground object, and a scripted edit saved
// with F8 and loaded again; and the pickup crate kept for every pickup through Restart.
#include "engine/world/lg_world_tie.h"
#include "framework/containers/property_sheet.h"
#include "framework/io/stream_helpers.h"
#include "game/world/om_lg_particles.h"
#include "platform/clock.h"
#include "tests/game/rules/mission_test_support.h"
#include "tests/game/world/ground_test_support.h"
#include "tests/game/world/raster_device.h"
#include "tests/support/module_object.h"

#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>

namespace missiontest {
namespace {

constexpr uint16_t kRelease = 16, kPress = 17;
constexpr uint32_t kF8 = 0x88, kF9 = 0x89, kDelete = 0x8e;

constexpr const char* kMission =
    "[map]\nmap = flat\noffset = 0 0 0\n"
    "[archetypes]\nground = hangar\nair = camel fokker\nvehicle = aagun\n"
    "[ground0]\nname = hangar\nid = 10\npos = 400 150 400\ngroups = 4\n"
    "[vehicle0]\nname = aagun\nid = 20\npos = 500 150 500\nat = 0 0 1\n"
    "[air0]\nname = camel\nid = 1\ngroups = 258\nplayer = 1\npos = 500 200 620\nat = 0 0 1\n"
    "[air1]\nname = fokker\nid = 2\ngroups = 2\npos = 900 600 900\nat = 0 0 1\n"
    "[air1goal0]\ntype = 48\npos = 600 300 600\ntargetid = -4\nreal = 10\nint = 1\n";

// An anti-aircraft gun aiming at group 1, with an enemy plane of group 1 above it.
constexpr const char* kGunMission =
    "[map]\nmap = flat\noffset = 0 0 0\n"
    "[archetypes]\nair = camel fokker\nvehicle = aagun\n"
    "[vehicle0]\nname = aagun\nid = 20\npos = 500 150 500\nat = 0 0 1\ntargetgroup = 1\n"
    "angle = 2.5\n"
    "[air0]\nname = camel\nid = 1\ngroups = 258\nplayer = 1\npos = 300 150 300\nat = 0 0 1\n"
    "[air1]\nname = fokker\nid = 2\ngroups = 2\npos = 500 350 650\nat = 0 0 1\n";

class EditingTest : private groundtest::RandomNumbersOn, public MissionTest {
protected:
    void SetUp() override {
        MissionTest::SetUp();
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_EQ(TvRegisterCameraClass(manager), OM_S_OK);
        ASSERT_EQ(OmLgParticles_RegisterClasses(manager), OM_S_OK);
        ASSERT_EQ(TvRegisterGroundObjectClass(manager), OM_S_OK);
        ASSERT_EQ(TvRegisterAIGroundObjectClass(manager), OM_S_OK);
        dir.write_file("objects/ground/hangar/ground.ini",
                       "[appearance]\ndff=hangar.dff\n[physics]\nendurance=40\n");
        dir.write_file("objects/ground/hangar/hangar.dff", groundtest::box_file(3.0f));
        dir.write_file("objects/ground/aagun/ground.ini",
                       "[appearance]\ndff=aagun.dff\n[physics]\nendurance=50\n[armaments]\n"
                       "firerate=10\nfireon=1\nfireoff=2\n[sound]\ngunfire=Gun.Flak\n");
        dir.write_file("objects/ground/aagun/aagun.dff", groundtest::turret_file());
        rasters = std::make_unique<gametest::RasterDevice>();
        owned = std::make_unique<gametest::TestSettings>();
        settings().player_count = 1;
        settings().enemy_endurance = settings().standard_endurance = 1.0f;
        settings().effects_detail = 1000;
        sheet = testsupport::module_object<IPropertySheet>(PropertySheet_GetClassObject,
                                                           CLSID_PropertySheet, IID_IPropertySheet);
        game = new gametest::GameProbe;
    }
    void TearDown() override {
        game->Destroy();
        game->Release();
        sheet.reset();
        owned.reset();
        rasters.reset();
        MissionTest::TearDown();
    }
    TvGameSettings& settings() { return owned->settings; }
    TavrinMission* mission() const { return static_cast<TavrinMission*>(game->GetMission()); }

    void create(bool editing, int32_t number = 60, const std::string& text = kMission) {
        ComRef<IByteStream> stream;
        const std::string ini = editing ? "[editing]\nenabled=1\n" : "[editing]\nenabled=0\n";
        ASSERT_EQ(OmCreateTextStream(ini.c_str(), stream.put()), 0);
        ASSERT_EQ(sheet->Load(stream.get()), 0);
        settings().settings_sheet = sheet.get();
        write_mission(number, text);
        settings().mission_number = number;
        ASSERT_EQ(game->Create(&settings()), OM_S_OK);
    }
    void input(uint16_t kind, uint32_t value, uint16_t source = 0x101) {
        const InputEvent event{source, kind, 0, value};
        game->HandleInput(&event);
    }
    void tap(uint32_t key) {
        input(kPress, key);
        input(kRelease, key);
    }
    // Selects what lies under the point, as the editor does for a cursor there.
    void select(const LgVector& at) {
        const TvEvent cursor{1, reinterpret_cast<uintptr_t>(&at)};
        mission()->HandleEditorInput(&cursor);
        const InputEvent motion{0x102, 48, 0, 0};
        const TvEvent wrapped{kTvEventInput, reinterpret_cast<uintptr_t>(&motion)};
        mission()->HandleEditorInput(&wrapped);
    }
    void run_frames(int count) {
        for (int i = 0; i < count; ++i) {
            owned->timer->total_ms += 16;
            const InputEvent tick{kTvTimerDeviceId, kTvInputTimerEvent, 16, 0};
            game->HandleInput(&tick);
            game->Update();
            game->Render(nullptr, nullptr);
        }
    }
    int32_t view_mode() const {
        uintptr_t mode = 0;
        game->viewport_camera(0)->GetProperty(kTvCamPropViewMode, &mode);
        return int32_t(mode);
    }

    std::unique_ptr<gametest::RasterDevice> rasters;
    std::unique_ptr<gametest::TestSettings> owned;
    ComRef<IPropertySheet> sheet;
    gametest::GameProbe* game = nullptr;
};

TEST_F(EditingTest, F9EntersAndLeavesEditingWithTheSwitchOn) {
    create(true);
    auto* listener = new gametest::TestObject(3000, 0);
    ASSERT_EQ(game->AddObject(listener, 0, kTvTakesInput), OM_S_OK);
    run_frames(2);
    ASSERT_EQ(game->run_state(), kTvRunStateRunning);
    ASSERT_EQ(view_mode(), kTvViewChase);

    tap(kF9);
    EXPECT_EQ(game->run_state(), kTvRunStateEditing);
    EXPECT_EQ(view_mode(), kTvViewEditor);
    EXPECT_TRUE(listener->inputs.empty()) << "the game keeps F9";
    // Editor keys reach no object, and the clock stands still.
    tap('q');
    EXPECT_TRUE(listener->inputs.empty());
    const float elapsed = mission()->elapsed;
    const float seconds = game->GetTimeSeconds();
    run_frames(30);
    EXPECT_EQ(mission()->elapsed, elapsed);
    EXPECT_EQ(game->GetTimeSeconds(), seconds);

    // Deleting the player's entry does not end the mission while editing.
    select({500, 200, 620});
    ASSERT_EQ(mission()->editor.selected_id, 1);
    uintptr_t model_value = 0;
    game->GetObjectById(1)->GetProperty(kTvPropModel, &model_value);
    auto* model = reinterpret_cast<LgClump*>(model_value);
    ASSERT_EQ(LgClumpGetWorld(model), game->world());
    tap(kDelete);
    EXPECT_EQ(game->GetObjectById(1), nullptr);
    EXPECT_EQ(LgClumpGetWorld(model), nullptr) << "out of the world, alive for the mission";
    run_frames(5);
    EXPECT_EQ(game->GetOutcome(), 0);

    tap(kF9);
    EXPECT_EQ(game->run_state(), kTvRunStateRunning);
    EXPECT_EQ(view_mode(), kTvViewChase);
    tap('q');
    EXPECT_EQ(listener->inputs.size(), 2u);
    run_frames(2);
    EXPECT_EQ(game->GetOutcome(), kTvOutcomeNoPlayer);
    listener->Release();
}

TEST_F(EditingTest, WithTheSwitchOffF9ReachesTheObjects) {
    create(false);
    auto* listener = new gametest::TestObject(3000, 0);
    ASSERT_EQ(game->AddObject(listener, 0, kTvTakesInput), OM_S_OK);
    tap(kF9);
    tap(kF8);
    EXPECT_EQ(game->run_state(), kTvRunStateRunning);
    EXPECT_EQ(listener->inputs.size(), 4u);
    listener->Release();
}

TEST_F(EditingTest, WhileEditingTheCursorIsTheGroundUnderTheCamerasCursor) {
    create(true);
    run_frames(1);
    tap(kF9);
    run_frames(1); // the editor view places itself
    uintptr_t value = 0;
    ITvCamera* camera = game->viewport_camera(0);
    camera->GetProperty(kTvCamPropPosition, &value);
    const LgVector eye = *reinterpret_cast<const LgVector*>(value);
    EXPECT_GE(eye.y, 150.0f + 100.0f) << "the eye stays well above the ground";
    input(48, 320, 0x102);
    input(49, 240, 0x102);
    const LgVector& cursor = mission()->editor_cursor;
    EXPECT_FLOAT_EQ(cursor.y, 150.0f);
    EXPECT_NEAR(cursor.x, eye.x, 1.0f);
    EXPECT_NEAR(cursor.z, eye.z, 1.0f);
    ASSERT_EQ(camera->GetProperty(kTvCamPropCursorGround, &value), OM_S_OK);
    EXPECT_FLOAT_EQ(reinterpret_cast<const LgVector*>(value)->y, 150.0f);
    EXPECT_EQ(camera->SetProperty(kTvCamPropCursorGround, value), OM_E_BADPROPERTY);
    // Off the map the ray meets nothing: no cursor for the editor.
    const LgVector far_away{20000, 0, 20000};
    camera->SetProperty(kTvCamPropDragOffset, reinterpret_cast<uintptr_t>(&far_away));
    run_frames(1);
    const LgVector kept = cursor;
    EXPECT_EQ(camera->GetProperty(kTvCamPropCursorGround, &value), OM_E_FAIL);
    EXPECT_EQ(value, 0u);
    input(48, 1, 0x102);
    EXPECT_EQ(std::memcmp(&cursor, &kept, sizeof kept), 0);
    camera->SetProperty(kTvCamPropPosition, reinterpret_cast<uintptr_t>(&eye));
    run_frames(1);
    // Button 1 is the editor's: the body under the cursor is picked and moved.
    select({400, 150, 400});
    ASSERT_EQ(mission()->editor.selected_id, 10);
    input(65, 0x23, 0x102);
    input(48, 40, 0x102);
    input(65, 0x24, 0x102);
    const LgVector& moved = mission()->ground_entries[0].matrix.pos;
    EXPECT_FLOAT_EQ(moved.x, mission()->editor_cursor.x);
    EXPECT_NE(moved.x, 400.0f);
    uintptr_t live = 0;
    game->GetObjectById(10)->GetProperty(kTvPropPosition, &live);
    EXPECT_FLOAT_EQ(reinterpret_cast<const LgVector*>(live)->x, moved.x);
}

int& gun_shots() {
    static int shots = 0;
    return shots;
}

TEST_F(EditingTest, DeletingTheTargetOfAnArmedObjectLeavesNothingDangling) {
    gun_shots() = 0;
    TvSetGroundGunLauncher([](ITvObject*, int32_t, const LgMatrix*, const LgVector*, ITvObject*) {
        ++gun_shots();
        return OM_S_OK;
    });
    create(true, 62, kGunMission);
    auto* weapons = new gametest::FakeWeapons;
    weapons->game_ref = game;
    game->SetWeapons(weapons);
    weapons->Release();
    // The fokker's id is taken over by an object that holds its height (the test's planes
    // settle on the ground), so the gun keeps firing at it.
    game->RemoveObject(game->GetObjectById(2));
    auto* flyer = new gametest::TestObject(2, 1u << 1, {500, 350, 650});
    ASSERT_EQ(game->AddObject(flyer, kTvEventMaskWorldObject, kTvUpdateEveryFrame), OM_S_OK);
    run_frames(60);
    auto* gun = static_cast<TavrinAIGroundObject*>(game->GetObjectById(20));
    ASSERT_NE(gun, nullptr);
    EXPECT_EQ(gun->target, flyer);
    EXPECT_GT(gun_shots(), 0);

    tap(kF9);
    select({500, 350, 650});
    tap(kDelete);
    TvMissionAirEntry& entry = mission()->air_entries[1];
    EXPECT_EQ(entry.archetype, nullptr);
    EXPECT_EQ(entry.live_object, nullptr);
    EXPECT_EQ(mission()->editor.selection, kTvEditorNone);
    EXPECT_EQ(game->GetObjectById(2), nullptr);
    EXPECT_EQ(mission()->removed_count, 1);
    EXPECT_EQ(flyer->ref_count(), 2u) << "the test's and the mission's";
    tap(kF9);
    run_frames(300); // the gun may still hold it: it is alive until the restart

    platform::use_virtual_clock(true);
    EXPECT_EQ(game->Restart(), OM_S_OK);
    platform::use_virtual_clock(false);
    EXPECT_EQ(mission()->removed_count, 0);
    EXPECT_EQ(flyer->ref_count(), 1u);
    EXPECT_EQ(game->GetObjectById(2), nullptr) << "a deleted entry is not spawned again";
    EXPECT_NE(game->GetObjectById(20), nullptr);
    run_frames(10);
    TvSetGroundGunLauncher(nullptr);
    flyer->Release();
}

// Two crates of one pickup kind beside a hangar.
constexpr const char* kCrateMission =
    "[map]\nmap = flat\noffset = 0 0 0\n"
    "[archetypes]\nground = hangar crate\nair = camel\n"
    "[ground0]\nname = crate\nid = 10\npos = 400 150 400\n"
    "[ground1]\nname = crate\nid = 11\npos = 450 150 400\n"
    "[ground2]\nname = hangar\nid = 12\npos = 600 150 600\n"
    "[air0]\nname = camel\nid = 1\ngroups = 258\nplayer = 1\npos = 500 200 620\nat = 0 0 1\n";

TEST_F(EditingTest, EveryPickupKeepsItsCrateWhenOthersGoAndAfterRestart) {
    dir.write_file("objects/ground/crate/ground.ini",
                   "[appearance]\ndff=crate.dff\n[behaviour]\npickup=health\n");
    dir.write_file("objects/ground/crate/crate.dff", groundtest::box_file(1.0f));
    dir.write_file("objects/ground/ammodump/ammodump.dff", groundtest::box_file(1.0f));
    create(false, 61, kCrateMission);
    landscapetest::ViewCamera view({400, 300, 200}, {0, -0.5f, 1});
    // Whether the object draws the crate: the crate is there and is put 10 along its at row.
    auto draws_crate = [&](int32_t id) {
        ITvObject* pickup = game->GetObjectById(id);
        if (!pickup || !TvGroundPickupCrate()) return false;
        LgMatrix* crate = LgFrameGetMatrix(LgClumpGetFrame(TvGroundPickupCrate()));
        crate->pos = {0.0f, -1000.0f, 0.0f};
        EXPECT_TRUE(view.begin());
        pickup->Render();
        view.end();
        const TavrinGroundObject* ground = TavrinGroundObject::from(pickup);
        const LgVector lifted = {ground->matrix->pos.x + 10.0f * ground->matrix->at.x,
                                 ground->matrix->pos.y + 10.0f * ground->matrix->at.y,
                                 ground->matrix->pos.z + 10.0f * ground->matrix->at.z};
        return std::fabs(crate->pos.x - lifted.x) < 1e-3f &&
               std::fabs(crate->pos.y - lifted.y) < 1e-3f &&
               std::fabs(crate->pos.z - lifted.z) < 1e-3f;
    };
    EXPECT_TRUE(draws_crate(10));
    EXPECT_TRUE(draws_crate(11));

    game->GetObjectById(10)->Destroy();
    game->GetObjectById(12)->Destroy();
    EXPECT_TRUE(draws_crate(11)) << "another object going takes nobody's crate";

    ASSERT_EQ(game->Restart(), OM_S_OK);
    run_frames(2);
    EXPECT_TRUE(draws_crate(10));
    EXPECT_TRUE(draws_crate(11));
}

constexpr const char* kSavedMission = R"(
[]

[map]
map=flat
offset=0 0 0

[mission]

[archetypes]
ground=hangar 
air=camel fokker 
vehicle=aagun 

[ground0]
name=hangar
id=21
groups=0
pos=700.000000 150.000000 300.000000
up=0.000000 1.000000 0.000000
at=0.000000 0.000000 1.000000
right=1.000000 0.000000 0.000000

[vehicle0]
name=aagun
id=20
groups=0
angle=1.570000
range=300.000000
targetgroup=7
pos=520.000000 150.000000 505.000000
up=0.000000 0.000000 0.000000
at=0.000000 0.000000 1.000000
right=0.000000 0.000000 0.000000

[vehicle1]
name=aagun
id=22
groups=0
angle=1.570000
range=300.000000
targetgroup=8
pos=710.000000 150.000000 310.000000
up=0.000000 1.000000 0.000000
at=0.000000 0.000000 1.000000
right=1.000000 0.000000 0.000000

[air0]
name=camel
id=1
groups=258
ordinancetype=0
numordinance=0
player=1
pos=500.000000 200.000000 620.000000
up=0.000000 0.000000 0.000000
at=0.000000 0.000000 1.000000
right=0.000000 0.000000 0.000000

[air1]
name=fokker
id=2
groups=2
ordinancetype=0
numordinance=0
pos=900.000000 600.000000 900.000000
up=0.000000 1.000000 0.000000
at=1.000000 0.000000 0.000000
right=0.000000 0.000000 -1.000000

[air1goal0]
type=48
targetid=-4
pos=600.000000 300.000000 600.000000
real=10.000000
int=1

[air1goal1]
type=48
targetid=-3
pos=650.000000 320.000000 660.000000
real=55.000000
int=1

[air2]
name=fokker
id=23
groups=0
ordinancetype=0
numordinance=0
pos=720.000000 450.000000 320.000000
up=0.000000 1.000000 0.000000
at=0.000000 0.000000 1.000000
right=1.000000 0.000000 0.000000
)";

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(EditingTest, AScriptedEditIsSavedWithF8AndLoadsTheSame) {
    create(true, 61);
    tap(kF9);
    TavrinMission* m = mission();
    const auto at = [&](LgVector p) {
        const TvEvent cursor{1, reinterpret_cast<uintptr_t>(&p)};
        m->HandleEditorInput(&cursor);
    };
    // One entry of each kind.
    at({700, 150, 300});
    tap('g');
    at({710, 150, 310});
    tap('v');
    at({720, 450, 320});
    tap('[');
    tap('p');
    // A goal of the fokker: a new one after it, its type and values.
    select({600, 0, 600});
    at({650, 320, 660});
    tap('m');
    select({650, 0, 660});
    ASSERT_EQ(m->editor.selected_goal, 1);
    tap(',');
    tap('3');
    tap('/');
    tap('\'');
    // Delete the hangar, move the gun, turn the fokker.
    select({400, 150, 400});
    tap(kDelete);
    select({500, 150, 500});
    tap('7');
    input(65, 0x23, 0x102);
    select({520, 150, 505});
    input(65, 0x24, 0x102);
    select({900, 600, 930});
    ASSERT_EQ(m->editor.selected_goal, 1);
    input(65, 0x23, 0x102);
    select({950, 600, 900});
    input(65, 0x24, 0x102);
    tap(kF8);
    EXPECT_STREQ(game->editor_note(), "Mission 61 saved");

    const std::string saved = read_file("missions/61/mission.ini");
    // Reviewed once: the hangar is gone, the placed entries follow with new ids, the gun
    // moved and aims at group 7, the fokker turned to +x and has its new goal.
    EXPECT_EQ(saved, kSavedMission);

    // The file loads into the same tables. The landscape is shared: the game ends first.
    const TvMissionGroundEntry ground = m->ground_entries[1];
    const std::vector<TvMissionVehicleEntry> vehicles(m->vehicle_entries, m->vehicle_entries + 2);
    const std::vector<TvMissionAirEntry> planes(m->air_entries, m->air_entries + 3);
    game->Destroy();
    char plane[kTvPlayerPlaneNameSize] = "camel";
    ComRef<ITvMission> again = load(61, plane);
    TavrinMission* r = fields(again);
    const auto same_placement = [](const TvCreateDescriptor& a, const TvCreateDescriptor& b) {
        EXPECT_EQ(a.id, b.id);
        EXPECT_EQ(a.archetype_index, b.archetype_index);
        EXPECT_EQ(a.group_mask, b.group_mask);
        EXPECT_NEAR(a.endurance, b.endurance, 1e-3);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR((&a.matrix.pos.x)[k], (&b.matrix.pos.x)[k], 1e-3) << a.id;
            EXPECT_NEAR((&a.matrix.at.x)[k], (&b.matrix.at.x)[k], 1e-3) << a.id;
        }
    };
    ASSERT_EQ(r->ground_entry_count, 1);
    same_placement(r->ground_entries[0], ground);
    ASSERT_EQ(r->vehicle_entry_count, 2);
    for (int i = 0; i < 2; ++i) {
        same_placement(r->vehicle_entries[i], vehicles[i]);
        EXPECT_EQ(r->vehicle_entries[i].target_group, vehicles[i].target_group);
    }
    ASSERT_EQ(r->air_entry_count, 3);
    for (int i = 0; i < 3; ++i) {
        same_placement(r->air_entries[i], planes[i]);
        ASSERT_EQ(r->air_entries[i].goal_count, planes[i].goal_count);
        for (int g = 0; g < r->air_entries[i].goal_count; ++g) {
            const TvMissionGoal &a = r->air_entries[i].goals[g], &b = planes[i].goals[g];
            EXPECT_EQ(a.type, b.type);
            EXPECT_EQ(a.target_id, b.target_id);
            EXPECT_EQ(a.integer, b.integer);
            EXPECT_NEAR(a.real, b.real, 1e-3);
        }
    }
}

TEST_F(EditingTest, TheShippedMissionsAreNotSaved) {
    create(true, 102);
    tap(kF9);
    tap(kF8);
    EXPECT_STREQ(game->editor_note(), "Mission 102 is a shipped mission and is not saved");
    EXPECT_NE(std::find(record.log.begin(), record.log.end(),
                        "tvopgame: Mission 102 is a shipped mission and is not saved"),
              record.log.end());
    // The note shows in the overlay for three seconds of the platform clock.
    platform::use_virtual_clock(true);
    platform::set_virtual_time(0);
    tap(kF8);
    platform::advance_virtual_clock(2900);
    run_frames(1);
    EXPECT_STRNE(game->editor_note(), "");
    platform::advance_virtual_clock(200);
    run_frames(1);
    EXPECT_STREQ(game->editor_note(), "");
    platform::use_virtual_clock(false);
}

} // namespace
} // namespace missiontest
