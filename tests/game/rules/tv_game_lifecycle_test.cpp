// The game's Create, Restart and Destroy over fixture missions of planes: spawning, the
// player's plane or the default one, headless frames, the outcomes, the abort, plane changes.
#include "engine/world/lg_world_tie.h"
#include "framework/core/class_ids.h"
#include "framework/platform/file_storage.h"
#include "game/world/om_lg_particles.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "tests/game/rules/mission_test_support.h"
#include "tests/game/world/raster_device.h"

#include <algorithm>
#include <memory>
#include <set>

namespace missiontest {
namespace {

// The game with the registry's flags in reach.
class LifecycleProbe : public gametest::GameProbe {
public:
    using TavrinGame::master_update_flags_;
    using TavrinGame::outcome_forced_;
};

constexpr const char* kMap = "[map]\nmap = flat\noffset = 0 0 0\n";

class LifecycleTest : public MissionTest {
protected:
    void SetUp() override {
        MissionTest::SetUp();
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_EQ(TvRegisterCameraClass(manager), OM_S_OK);
        ASSERT_EQ(OmLgParticles_RegisterClasses(manager), OM_S_OK);
        rasters = std::make_unique<gametest::RasterDevice>();
        owned = std::make_unique<gametest::TestSettings>();
        settings().player_count = 1;
        settings().enemy_endurance = settings().standard_endurance = 1.0f;
        settings().effects_detail = 1000;
        game = new LifecycleProbe;
    }
    void TearDown() override {
        game->Destroy();
        game->Release();
        owned.reset();
        rasters.reset();
        MissionTest::TearDown();
    }
    TvGameSettings& settings() { return owned->settings; }
    TavrinMission* mission() const { return static_cast<TavrinMission*>(game->GetMission()); }

    OmResult create(int32_t number, const std::string& text, const char* plane = "") {
        write_mission(number, text);
        settings().mission_number = number;
        std::strcpy(settings().plane_id, plane);
        return game->Create(&settings());
    }
    // Frames of 16 ms through the timer event, the update and the render.
    void run_frames(int count) {
        for (int i = 0; i < count; ++i) {
            owned->timer->total_ms += 16;
            const InputEvent tick{kTvTimerDeviceId, kTvInputTimerEvent, 16, 0};
            game->HandleInput(&tick);
            game->Update();
            game->Render(nullptr, nullptr);
        }
    }
    int32_t planes_registered() const {
        int32_t planes = 0;
        for (int32_t i = 0; i < game->master_count(); ++i) {
            uintptr_t flags = 0;
            if (ITvObject* o = game->master_object(i);
                o && o->GetProperty(kTvPropFlags, &flags) >= 0)
                planes += (flags & kTvFlagPlane) != 0;
        }
        return planes;
    }
    bool logged(const std::string& line) const {
        return std::find(record.log.begin(), record.log.end(), line) != record.log.end();
    }

    std::unique_ptr<gametest::RasterDevice> rasters;
    std::unique_ptr<gametest::TestSettings> owned;
    LifecycleProbe* game = nullptr;
};

const std::string kPlanesMission =
    std::string(kMap) + "[archetypes]\nair = camel fokker\n"
                        "[air0]\nname = camel\nid = 1\ngroups = 258\npos = 300 400 300\n"
                        "at = 0 0 1\nup = 0 1 0\nright = 1 0 0\n"
                        "[air1]\nname = fokker\nid = 2\ngroups = 512\npos = 500 400 500\n"
                        "at = 0 0 1\nup = 0 1 0\nright = 1 0 0\n"
                        "[air1goal0]\ntype = 112\ntargetid = -8\n"
                        "[air2]\nname = camel\nid = 3\ngroups = 2\npos = 320 400 300\n"
                        "at = 0 0 1\nup = 0 1 0\nright = 1 0 0\n";

TEST_F(LifecycleTest, AMissionOfPlanesSpawnsPlacesThePlayerAndFlies) {
    ASSERT_EQ(create(20, kPlanesMission), OM_S_OK);
    // The weapons are not in this build: the mission flies unarmed.
    EXPECT_TRUE(logged("tvopgame: The weapons component is not available"));
    EXPECT_EQ(planes_registered(), 3);
    EXPECT_STREQ(settings().plane_id, "camel");
    EXPECT_EQ(settings().placed_player_count, 1);
    ITvObject* player = game->player_plane(0);
    ASSERT_NE(player, nullptr);
    uintptr_t value = 0;
    player->GetProperty(kTvPropId, &value);
    EXPECT_EQ(value, 1u);
    player->GetProperty(kTvPropFlags, &value);
    EXPECT_EQ(value & 0xc00u, 0xc00u);
    ASSERT_NE(game->viewport_camera(0), nullptr);
    game->viewport_camera(0)->GetProperty(kTvCamPropFollowed, &value);
    EXPECT_EQ(value, reinterpret_cast<uintptr_t>(player));
    player->GetProperty(kTvPlanePropCamera, &value);
    EXPECT_EQ(*reinterpret_cast<ITvObject**>(value), game->viewport_camera(0));
    EXPECT_NE(game->landscape(), nullptr);
    EXPECT_NE(game->particles(), nullptr);
    EXPECT_EQ(game->run_state(), kTvRunStateRunning);

    // Planes of the players' group take input, the others do not.
    std::vector<uint32_t> input;
    for (int32_t i = 0; i < game->master_count(); ++i)
        if (ITvObject* o = game->master_object(i);
            o && o->GetProperty(kTvPropId, &value) >= 0 && value >= 1 && value <= 3)
            input.push_back(game->master_update_flags_[i]);
    EXPECT_EQ(input, (std::vector<uint32_t>{7, 5, 7}));

    run_frames(600);
    EXPECT_EQ(game->GetOutcome(), 0);
    EXPECT_NEAR(mission()->elapsed, 599 * 0.016f, 0.05f);
    EXPECT_EQ(game->Destroy(), OM_S_OK);
    EXPECT_EQ(game->GetMission(), nullptr);
    EXPECT_EQ(game->landscape(), nullptr);
}

TEST_F(LifecycleTest, WithoutAPlayerEntryTheDefaultPlaneStartsAtTheQuarterBox) {
    ASSERT_EQ(create(21,
                     std::string(kMap) + "[archetypes]\nair = camel fokker\n"
                                         "[air0]\nname = camel\ngroups = 256\npos = 1 400 1\n",
                     "fokker"),
              OM_S_OK);
    ITvObject* player = game->player_plane(0);
    ASSERT_NE(player, nullptr);
    uintptr_t value = 0;
    player->GetProperty(kTvPropDescriptor, &value);
    const auto* entry = reinterpret_cast<const TvMissionAirEntry*>(value);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->id, 2500);
    EXPECT_EQ(entry->archetype, mission()->plane_kinds[1]);
    EXPECT_EQ(entry->flags & 0xc00u, 0xc00u);
    EXPECT_EQ(entry->group_mask & 2u, 2u);
    EXPECT_EQ(entry->matrix.flags, 0x20003u);
    EXPECT_FLOAT_EQ(entry->matrix.right.x, 1.0f);
    EXPECT_FLOAT_EQ(entry->matrix.at.z, 1.0f);
    const LgBBox* box = LgWorldGetBoundingBox(game->world());
    const LgVector size{box->sup.x - box->inf.x, box->sup.y - box->inf.y, box->sup.z - box->inf.z};
    EXPECT_FLOAT_EQ(entry->matrix.pos.x, box->inf.x + size.x * 0.25f);
    EXPECT_FLOAT_EQ(entry->matrix.pos.y, box->inf.y + size.y * 0.25f);
    const float quarter = box->inf.z + size.z * 0.25f, three = box->inf.z + size.z * 0.75f;
    EXPECT_TRUE(entry->matrix.pos.z == quarter || entry->matrix.pos.z == three);
    ASSERT_EQ(entry->goal_count, 1);
    EXPECT_EQ(entry->goals[0].type, 256);
    EXPECT_FLOAT_EQ(entry->goals[0].position.z, entry->matrix.pos.z);
    EXPECT_EQ(planes_registered(), 2);
    run_frames(5);
    EXPECT_EQ(game->GetOutcome(), 0);
}

TEST_F(LifecycleTest, OutcomesOfFixtureMissions) {
    const std::string planes = std::string(kMap) +
                               "[archetypes]\nair = camel\n"
                               "[air0]\nname = camel\nid = 1\ngroups = 258\npos = 300 400 300\n"
                               "at = 0 0 1\nup = 0 1 0\nright = 1 0 0\n";
    struct Case {
        const char* what;
        const char* mission_section;
        bool kill_player;
        int frames;
        int32_t expected;
    } cases[] = {
        {"kept group alive", "[mission]\nGroup1 = 50\n", false, 3, 16},
        {"kept group below its goal", "[mission]\nGroup1 = 150\n", false, 3, 34},
        {"time up", "[mission]\ntimelimit = 1\n", false, 80, 36},
        {"no goals, the player shot down", "", true, 3, 33},
        {"no goals and time to spare", "[mission]\ntimelimit = 100\n", false, 80, 0},
    };
    int32_t number = 30;
    for (const Case& c : cases) {
        ASSERT_EQ(create(number++, planes + c.mission_section), OM_S_OK) << c.what;
        if (c.kill_player) game->player_plane(0)->SetProperty(kTvPlanePropState, kTvPlaneCrashing);
        run_frames(c.frames);
        EXPECT_EQ(game->GetOutcome(), c.expected) << c.what;
        game->Destroy();
    }
}

TEST_F(LifecycleTest, AnAbortedMissionKeepsItsOutcomeUntilRestart) {
    ASSERT_EQ(create(40, kPlanesMission + "[mission]\nGroup1 = 50\n"), OM_S_OK);
    EXPECT_EQ(game->ForceOutcome(kTvOutcomeAborted), OM_S_OK);
    run_frames(3);
    EXPECT_EQ(game->GetOutcome(), 48);

    // Restart rebuilds the same objects from the mission with a clean outcome, after its
    // pause of a second on the platform clock.
    const int32_t objects = game->master_count();
    platform::use_virtual_clock(true);
    const uint32_t before = platform::timeGetTime();
    EXPECT_EQ(game->Restart(), OM_S_OK);
    EXPECT_GE(platform::timeGetTime() - before, 1000u);
    platform::use_virtual_clock(false);
    EXPECT_FALSE(game->outcome_forced_);
    EXPECT_EQ(game->GetOutcome(), 0);
    EXPECT_EQ(game->master_count(), objects);
    EXPECT_EQ(planes_registered(), 3);
    ITvObject* player = game->player_plane(0);
    ASSERT_NE(player, nullptr);
    uintptr_t value = 0;
    player->GetProperty(kTvPlanePropCamera, &value);
    EXPECT_EQ(*reinterpret_cast<ITvObject**>(value), game->viewport_camera(0));
    // The viewport camera is still updated every frame.
    bool camera_listed = false;
    for (int32_t i = 0; i < game->master_count(); ++i)
        camera_listed |= game->master_object(i) == game->viewport_camera(0);
    EXPECT_TRUE(camera_listed);
    run_frames(3);
    EXPECT_EQ(game->GetOutcome(), 16);
}

TEST_F(LifecycleTest, GroundEntriesSpawnAndTheirKindsServeTheGamesSpawning) {
    register_ground_stand_in();
    ASSERT_EQ(create(45, std::string(kMap) +
                             "[archetypes]\nground = hangar\nair = camel\nvehicle = lorry\n"
                             "[ground3]\nname = hangar\nid = 30\ngroups = 256\n"
                             "[vehicle0]\nname = lorry\nid = 31\npos = 5 6 7\n"
                             "[air0]\nname = camel\nid = 1\ngroups = 258\n"),
              OM_S_OK);
    for (int32_t id : {30, 31}) {
        ITvObject* object = game->GetObjectById(id);
        ASSERT_NE(object, nullptr) << id;
        for (int32_t i = 0; i < game->master_count(); ++i)
            if (game->master_object(i) == object) EXPECT_EQ(game->master_update_flags_[i], 5u);
    }
    EXPECT_EQ(mission()->ground_entries[0].live_object, game->GetObjectById(30));
    uintptr_t position = 0;
    game->GetObjectById(31)->GetProperty(kTvPropPosition, &position);
    EXPECT_FLOAT_EQ(reinterpret_cast<const LgVector*>(position)->z, 7.0f);
    EXPECT_EQ(game->group(8).count, 2);
    for (int pass = 0; pass < 2; ++pass) {
        ITvObject* spawned = nullptr;
        EXPECT_EQ(game->SpawnGroundObject("hangar", 0x40, &spawned), OM_S_OK) << pass;
        ASSERT_NE(spawned, nullptr);
        spawned->Release(); // the game holds its own
        EXPECT_EQ(game->SpawnGroundObject("tent", 0x40, &spawned), OM_E_FAIL);
        platform::use_virtual_clock(true);
        game->Restart();
        platform::use_virtual_clock(false);
    }
}

TEST_F(LifecycleTest, CreateFailsCleanlyWithoutItsMission) {
    settings().mission_number = 99;
    EXPECT_EQ(game->Create(&settings()), OM_E_FAIL);
    EXPECT_TRUE(logged("tvopgame: Could not load the mission"));
    EXPECT_EQ(game->Create(nullptr), OM_E_FAIL);
    EXPECT_EQ(game->Destroy(), OM_S_OK);
}

// The files a signed data set reports as failing its check, by the path the game opens.
std::set<std::string>& damaged_files() {
    static std::set<std::string> paths;
    return paths;
}

constexpr GUID CLSID_DamagingStorage = om_guid("6C0E1D52-93A1-4F0B-8E7A-2B5D4C3A1F90");

// The game's storage over the test's files, answering the integrity failure (with the stream,
// as the signed data set does) for the damaged files.
class DamagingStorage final : public OmObject<DamagingStorage, IFileStorage> {
public:
    OmResult init() { return OmCreate(CLSID_FileStorage, IID_IFileStorage, files_.put()); }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFileStorage, this}});
    }
    OmResult Open(const char* path, uint32_t mode, uint32_t kind, IByteStream** out) override {
        const OmResult r = files_->Open(path, mode, kind, out);
        return r >= 0 && damaged_files().count(path) != 0 ? OM_S_INTEGRITY_FAILED : r;
    }
    OmResult Rename(const char* a, const char* b) override { return files_->Rename(a, b); }
    OmResult Delete(const char* path) override { return files_->Delete(path); }
    OmResult MakeDirectory(const char* path) override { return files_->MakeDirectory(path); }
    OmResult Reserved1(void* a, void* b) override { return files_->Reserved1(a, b); }
    OmResult Reserved2(void* a, void* b) override { return files_->Reserved2(a, b); }
    OmResult Enumerate(const char* pattern, OmEnumerateCallback callback, void* context) override {
        return files_->Enumerate(pattern, callback, context);
    }
    OmResult GetInfo(const char* path, OmFileInfo* out) override {
        return files_->GetInfo(path, out);
    }

private:
    ComRef<IFileStorage> files_;
};

const OmClassRecord damaging_classes[] = {{&CLSID_DamagingStorage, nullptr, nullptr,
                                           OmCreateComponent<DamagingStorage>, "DamagingStorage"}};
OM_DEFINE_MODULE(DamagingStorage, damaging_classes)

// The game over a signed data set with damaged files: the shared storage (missions, plane
// changes) and the storage the planes open their files through both report them. The front
// end's damaged-files end and its message boxes are recorded.
class DamagedFilesTest : public LifecycleTest {
protected:
    void SetUp() override {
        LifecycleTest::SetUp();
        damaged_files().clear();
        ends() = 0;
        boxes().clear();
        ASSERT_EQ(DamagingStorage_RegisterClasses(OmGetObjectManager()), OM_S_OK);
        ASSERT_EQ(OmSetTreatAsClass(CLSID_Storage, &CLSID_DamagingStorage), OM_S_OK);
        IUnknown* shared = nullptr;
        ASSERT_EQ(OmCreateInstance(CLSID_DamagingStorage, nullptr, 0, IID_IFileStorage,
                                   reinterpret_cast<void**>(&shared)),
                  OM_S_OK);
        ASSERT_EQ(OmRegisterGlobalObject(CLSID_FileStorage, shared), OM_S_OK);
        TvFrontEndServices services = landscapetest::recording_services();
        services.fatal_damaged_files = [] { ++ends(); };
        TvInstallFrontEndServices(&services);
        platform::set_message_sink([](std::string_view title, std::string_view text) {
            boxes().push_back(std::string(title) + ": " + std::string(text));
        });
    }
    void TearDown() override {
        platform::set_message_sink({});
        OmRegisterGlobalObject(CLSID_FileStorage, nullptr);
        OmSetTreatAsClass(CLSID_Storage, &CLSID_FileStorage);
        DamagingStorage_UnregisterClasses(OmGetObjectManager());
        damaged_files().clear();
        LifecycleTest::TearDown();
    }
    static int& ends() {
        static int count = 0;
        return count;
    }
    static std::vector<std::string>& boxes() {
        static std::vector<std::string> shown;
        return shown;
    }
    bool logged(const std::string& line) const {
        return std::find(record.log.begin(), record.log.end(), line) != record.log.end();
    }
};

TEST_F(DamagedFilesTest, ProtectedMissionsAndPlaneModelsEndTheProgramOtherMissionsRead) {
    const std::string planes = std::string(kMap) + "[archetypes]\nair = camel fokker\n"
                                                   "[air0]\nname = camel\nid = 1\ngroups = 258\n"
                                                   "pos = 300 400 300\n";
    struct Case {
        int32_t mission;
        const char* damaged;
        OmResult created; // 1: either
        int ends;
        const char* log; // the line before the end, or null
    };
    const Case cases[] = {
        {101, "missions\\101\\mission.ini", OM_E_FAIL, 1,
         "tvopmission: Damaged data file: missions\\101\\mission.ini"},
        {103, "missions\\103\\mission.ini", OM_E_FAIL, 1,
         "tvopmission: Damaged data file: missions\\103\\mission.ini"},
        // Any other mission reads its damaged file as it is.
        {100, "missions\\100\\mission.ini", OM_S_OK, 0, nullptr},
        {104, "missions\\104\\mission.ini", OM_S_OK, 0, nullptr},
        {7, "missions\\7\\mission.ini", OM_S_OK, 0, nullptr},
        // A plane's model is checked before it is read (the kind is left unloaded; the front
        // end ends the program whatever the mission made of that).
        {8, "objects\\planes\\fokker\\plane.dff", 1, 1,
         "tvopplane: Damaged data file: objects\\planes\\fokker\\plane.dff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damaged);
        damaged_files() = {c.damaged};
        ends() = 0;
        record.log.clear();
        const OmResult created = create(c.mission, planes);
        if (c.created != 1) EXPECT_EQ(created, c.created);
        EXPECT_EQ(ends(), c.ends);
        if (c.log) EXPECT_TRUE(logged(c.log));
        EXPECT_TRUE(boxes().empty());
        game->Destroy();
    }
}

TEST_F(DamagedFilesTest, ADamagedPlaneFileShowsItsBoxAtLoadAndEndsTheProgramAtAChange) {
    const std::string text = std::string(kMap) + "[archetypes]\nair = camel fokker\n"
                                                 "[air0]\nname = camel\nid = 1\ngroups = 258\n"
                                                 "pos = 300 400 300\n";
    // Loading the kind: "Datei defekt!" and the kind is not loaded; the program goes on.
    damaged_files() = {"objects\\planes\\fokker\\plane.ini"};
    create(60, text);
    EXPECT_EQ(boxes(),
              std::vector<std::string>{
                  "Aerovant-Fehler: Datei defekt! Bitte installieren Sie das Spiel erneut"});
    EXPECT_EQ(ends(), 0);
    game->Destroy();

    // Changing a plane to a kind whose file is damaged after the mission was loaded ends it.
    damaged_files().clear();
    boxes().clear();
    ASSERT_EQ(create(61, text), OM_S_OK);
    ITvObject* plane = game->GetObjectById(1);
    ASSERT_NE(plane, nullptr);
    damaged_files() = {"objects\\planes\\fokker\\plane.ini"};
    EXPECT_EQ(game->GetMission()->ChangePlaneType(plane, "fokker"), OM_E_FAIL);
    EXPECT_EQ(ends(), 1);
    EXPECT_TRUE(logged("tvopmission: Damaged data file: objects\\planes\\fokker\\plane.ini"));
    EXPECT_TRUE(boxes().empty()) << "the front end shows the end's box";
}

TEST_F(LifecycleTest, ChangingPlaneTypeKeepsARaisedEndurance) {
    ASSERT_EQ(create(50, std::string(kMap) +
                             "[archetypes]\nair = camel fokker\n"
                             "[air0]\nname = camel\nid = 1\ngroups = 258\npos = 300 400 300\n"
                             "[air1]\nname = camel\nid = 2\ngroups = 256\nendurance = 500\n"
                             "pos = 400 400 400\n[air2]\nname = camel\nid = 3\ngroups = 2\n"
                             "pos = 500 400 500\n"),
              OM_S_OK);
    ITvMission* m = game->GetMission();
    struct Case {
        int32_t id;
        float endurance;
        const char* engine;
    } cases[] = {{2, 500.0f, "fokkerengineAI"}, {3, 80.0f, "fokkerengine"}};
    for (const Case& c : cases) {
        ITvObject* plane = game->GetObjectById(c.id);
        ASSERT_NE(plane, nullptr);
        uintptr_t old_model = 0;
        plane->GetProperty(kTvPropModel, &old_model);
        ASSERT_EQ(m->ChangePlaneType(plane, "fokker"), OM_S_OK);
        uintptr_t value = 0;
        plane->GetProperty(kTvPropEndurance, &value);
        EXPECT_FLOAT_EQ(*reinterpret_cast<float*>(value), c.endurance) << c.id;
        plane->GetProperty(kTvPropDescriptor, &value);
        const auto* entry = reinterpret_cast<const TvMissionAirEntry*>(value);
        EXPECT_EQ(entry->archetype, mission()->plane_kinds[1]);
        EXPECT_FLOAT_EQ(entry->endurance, c.endurance);
        EXPECT_FLOAT_EQ(entry->flight.high_speed, 90.0f);
        plane->GetProperty(kTvPlanePropFlightTable, &value);
        EXPECT_FLOAT_EQ(reinterpret_cast<const TvFlightTable*>(value)->high_speed, 90.0f);
        // The new type's model, owned by the plane and in the game's world.
        plane->GetProperty(kTvPropModel, &value);
        auto* model = reinterpret_cast<LgClump*>(value);
        EXPECT_NE(value, old_model);
        EXPECT_EQ(TvClumpGetOwner(model), plane);
        EXPECT_EQ(LgClumpGetWorld(model), game->world());
        // Players' group keeps its own engine sound; the others hear the "AI" one.
        plane->GetProperty(kTvPlanePropEngineSound, &value);
        EXPECT_STREQ(reinterpret_cast<const char*>(value), "fokker"
                                                           "engine");
        landscapetest::FakeSound* sound = record.sound(c.engine);
        ASSERT_NE(sound, nullptr) << c.engine;
        EXPECT_EQ(sound->looping, 1);
        plane->GetProperty(kTvPlanePropGunSound, &value);
        EXPECT_STREQ(reinterpret_cast<const char*>(value), "fokkergun");
    }
    // An unknown type changes nothing.
    ITvObject* plane = game->GetObjectById(1);
    EXPECT_EQ(m->ChangePlaneType(plane, "spad"), OM_E_FAIL);
    TvMissionAirEntry entry{};
    entry.id = 77;
    EXPECT_EQ(m->FillAirEntry("spad", &entry), OM_E_FAIL);
    EXPECT_EQ(entry.id, 77);
    EXPECT_EQ(m->FillAirEntry("camel", &entry), OM_S_OK);
    EXPECT_EQ(entry.id, 0);
    EXPECT_FLOAT_EQ(entry.endurance, 100.0f);
    EXPECT_FLOAT_EQ(entry.flight.high_speed, 70.0f);
    EXPECT_EQ(entry.game, static_cast<ITvGame*>(game));
}

} // namespace
} // namespace missiontest
