// mission.ini: every key and default the reader takes, numbering gaps, the player's plane,
// the kind limits, the failures, texden.ini budgets, and the writer's round trip.
#include "game/rules/tv_mission_values.h"
#include "tests/game/rules/mission_test_support.h"

#include <fstream>
#include <sstream>

namespace missiontest {
namespace {

std::string read_text_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void expect_vector(const LgVector& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

constexpr const char* kFullMission = R"([music]
track = 3
[map]
map = flat
offset = 10 0 20
safeheight = 120
[mission]
Group2 = 50
Group5 = -80
timelimit = 300
[reinforcements]
1 = 10
2 = 20
4 = 40
[archetypes]
air = camel fokker
[air3]
name = fokker
id = 7
groups = 512
pos = 1 2 3
up = 0 1 0
at = 0 0 1
right = 1 0 0
endurance = 250
highspeed = 95
ordinancetype = 2
numordinance = 4
player =
[air3goal0]
type = 32
pos = 5 6 7
targetid = 9
real = 1.5
int = 3
[air3goal1]
type = 16
[air3goal3]
type = 48
[air5]
name = camel
id = 12
groups = 258
pos = 100 200 300
[air7]
name = spad
id = 40
)";

TEST_F(MissionTest, ReadsEveryKeyAndItsDefault) {
    write_mission(1, kFullMission);
    char plane[kTvPlayerPlaneNameSize] = {};
    ComRef<ITvMission> mission = load(1, plane);
    TavrinMission* m = fields(mission);

    EXPECT_EQ(m->music_track, 3);
    EXPECT_STREQ(m->map_name, "flat");
    expect_vector(m->offset, 10, 0, 20);
    EXPECT_FLOAT_EQ(m->safe_height, 120.0f);
    EXPECT_FLOAT_EQ(m->group_goals[2], 50.0f);
    EXPECT_FLOAT_EQ(m->group_goals[5], -80.0f);
    EXPECT_FLOAT_EQ(m->group_goals[0], 0.0f);
    EXPECT_FLOAT_EQ(m->time_limit, 300.0f);
    // Reinforcement keys stop at the first missing number.
    EXPECT_EQ(m->reinforcement_count, 2);
    EXPECT_EQ(m->reinforcement_thresholds[1], 20);
    ASSERT_EQ(m->plane_kind_count, 2);
    EXPECT_STREQ(m->plane_kind_names[1], "fokker");
    EXPECT_EQ(m->plane_kinds[0]->AddRef(), 2u);
    m->plane_kinds[0]->Release();

    // air7 names no kind of the mission and is skipped; the gap before air3 is allowed.
    ASSERT_EQ(m->air_entry_count, 2);
    const TvMissionAirEntry& a = m->air_entries[0];
    EXPECT_EQ(a.id, 7);
    EXPECT_EQ(a.group_mask, 512u);
    expect_vector(a.matrix.pos, 11, 2, 23);
    expect_vector(a.matrix.at, 0, 0, 1);
    EXPECT_EQ(a.matrix.flags, 0u);
    EXPECT_EQ(a.archetype, m->plane_kinds[1]);
    EXPECT_EQ(a.archetype_index, 1);
    EXPECT_FLOAT_EQ(a.endurance, 250.0f);
    EXPECT_FLOAT_EQ(a.high_speed, 95.0f);
    EXPECT_EQ(a.ordinance_type, 2);
    EXPECT_EQ(a.ordinance_count, 4);
    EXPECT_EQ(a.ordinance_left, 4);
    // An empty `player` value still marks the player's plane.
    EXPECT_EQ(a.flags, 0xc00u);
    // Goal sections stop at the first gap.
    ASSERT_EQ(a.goal_count, 2);
    EXPECT_EQ(a.goals[0].type, 32);
    expect_vector(a.goals[0].position, 15, 6, 27);
    EXPECT_EQ(a.goals[0].target_id, 9);
    EXPECT_FLOAT_EQ(a.goals[0].real, 1.5f);
    EXPECT_EQ(a.goals[0].integer, 3);
    EXPECT_EQ(a.goals[1].type, 16);
    expect_vector(a.goals[1].position, 0, 0, 0);
    EXPECT_EQ(a.goals[2].type, 0);
    EXPECT_FLOAT_EQ(a.flight.high_speed, 0.0f);

    const TvMissionAirEntry& b = m->air_entries[1];
    EXPECT_EQ(b.flags, 0x800u);
    EXPECT_FLOAT_EQ(b.endurance, 100.0f); // the camel's plane.ini
    EXPECT_FLOAT_EQ(b.high_speed, 70.0f);
    EXPECT_EQ(b.ordinance_count, 0);
    EXPECT_EQ(b.goal_count, 0);
    // The player's entry (groups 258) tells the caller its plane.
    EXPECT_STREQ(plane, "camel");
    // Ids of skipped sections do not count.
    EXPECT_EQ(m->next_id, 13);
}

TEST_F(MissionTest, WithoutAnOffsetTheOriginIsBelowAndBeforeTheWorld) {
    write_mission(2, "[map]\nmap = flat\n[archetypes]\nair = camel\n[air0]\nname = camel\n"
                     "pos = 1 2 3\n[mission]\n");
    ComRef<ITvMission> mission = load(2);
    TavrinMission* m = fields(mission);
    LgWorld* world = nullptr;
    m->landscape->GetWorld(&world);
    const LgBBox* box = LgWorldGetBoundingBox(world);
    expect_vector(m->offset, box->inf.x - 100, box->inf.y - 100, box->inf.z - 100);
    expect_vector(m->air_entries[0].matrix.pos, box->inf.x - 99, box->inf.y - 98, box->inf.z - 97);
    EXPECT_FLOAT_EQ(m->safe_height, 70.0f);
    EXPECT_EQ(m->music_track, 0);
    EXPECT_EQ(m->reinforcement_count, 0);
    for (float goal : m->group_goals) EXPECT_FLOAT_EQ(goal, 0.0f);
}

TEST_F(MissionTest, TheChosenPlaneReplacesThePlayersEntryOnly) {
    const std::string text = "[map]\nmap = flat\noffset = 0 0 0\n[archetypes]\nair = camel fokker\n"
                             "[air0]\nname = camel\ngroups = 514\n[air1]\nname = camel\n"
                             "groups = 256\n";
    struct Case {
        const char* chosen;
        int32_t entries;
        int32_t player_kind;
    } cases[] = {{"fokker", 2, 1}, {"camel", 2, 0}, {"X", 1, 0}};
    for (const Case& c : cases) {
        write_mission(3, text);
        char plane[kTvPlayerPlaneNameSize] = {};
        std::strcpy(plane, c.chosen);
        ComRef<ITvMission> mission = load(3, plane);
        TavrinMission* m = fields(mission);
        ASSERT_EQ(m->air_entry_count, c.entries) << c.chosen;
        EXPECT_STREQ(plane, c.chosen);
        // X is no kind of the mission: the player's entry is dropped.
        EXPECT_EQ(m->air_entries[0].archetype_index, c.entries == 2 ? c.player_kind : 0);
        EXPECT_EQ(m->air_entries[c.entries - 1].group_mask, 256u);
    }
}

TEST_F(MissionTest, GroundAndVehicleEntriesWithTheirKinds) {
    register_ground_stand_in();
    write_mission(4, "[map]\nmap = flat\noffset = 0 0 0\n[archetypes]\n"
                     "ground = takeoffpoint hangar\nvehicle = lorry\n"
                     "[ground7]\nname = hangar\nid = 30\ngroups = 256\npos = 1 2 3\n"
                     "[ground8]\nname = takeoffpoint\nid = 31\nendurance = 5\n"
                     "[ground9]\nid = 32\n[ground10]\nname = tent\n"
                     "[vehicle2]\nname = lorry\nid = 50\n"
                     "[vehicle3]\nname = lorry\nangle = 0.5\nrange = 80\ntargetgroup = 9\n");
    ComRef<ITvMission> mission = load(4);
    TavrinMission* m = fields(mission);
    ASSERT_EQ(m->ground_kind_count, 2);
    EXPECT_EQ(tvmission::archetype_flags(m->ground_kinds[0]), 0x240u);
    EXPECT_EQ(tvmission::archetype_flags(m->ground_kinds[1]), 0x40u);
    EXPECT_EQ(static_cast<StandInGround*>(m->ground_kinds[1])->loaded, "hangar");

    // ground7 is read though ground0..6 are absent; no name or an unknown one is skipped.
    ASSERT_EQ(m->ground_entry_count, 2);
    const TvMissionGroundEntry& hangar = m->ground_entries[0];
    EXPECT_EQ(hangar.id, 30);
    EXPECT_EQ(hangar.archetype_index, 1);
    EXPECT_EQ(hangar.flags, 0x40u);
    EXPECT_EQ(hangar.group_mask, 256u);
    EXPECT_FLOAT_EQ(hangar.endurance, 50.0f);
    EXPECT_EQ(m->ground_entries[1].flags, 0x240u);
    EXPECT_FLOAT_EQ(m->ground_entries[1].endurance, 5.0f);

    ASSERT_EQ(m->vehicle_kind_count, 1);
    ASSERT_EQ(m->vehicle_entry_count, 2);
    const TvMissionVehicleEntry& v = m->vehicle_entries[0];
    EXPECT_FLOAT_EQ(v.angle, 1.57f);
    EXPECT_FLOAT_EQ(v.range, 300.0f);
    EXPECT_EQ(v.target_group, 8);
    EXPECT_EQ(v.flags, 0x40u);
    const TvMissionVehicleEntry& w = m->vehicle_entries[1];
    EXPECT_FLOAT_EQ(w.angle, 0.5f);
    EXPECT_FLOAT_EQ(w.range, 80.0f);
    EXPECT_EQ(w.target_group, 9);
    EXPECT_EQ(m->next_id, 51);
}

TEST_F(MissionTest, EntryNumbersAreReadAcrossEveryDigitCountUpToTheirLimits) {
    register_ground_stand_in();
    std::string ini = "[map]\nmap = flat\noffset = 0 0 0\n[archetypes]\nground = hangar\n"
                      "vehicle = lorry\nair = camel\n";
    // Sections the reader never forms: past each limit, and numbers with a leading zero.
    for (const char* section : {"ground1200", "ground010", "air100", "air01", "vehicle100"})
        ini += std::string("[") + section + "]\nname = hangar\nid = 900\n";
    int32_t id = 1;
    for (int32_t n : {0, 9, 10, 99, 100, 999, 1000, 1199})
        ini +=
            "[ground" + std::to_string(n) + "]\nname = hangar\nid = " + std::to_string(id++) + "\n";
    for (int32_t n : {9, 10, 99})
        ini += "[air" + std::to_string(n) + "]\nname = camel\nid = " + std::to_string(id++) + "\n";
    for (int32_t n : {0, 9, 10, 99})
        ini +=
            "[vehicle" + std::to_string(n) + "]\nname = lorry\nid = " + std::to_string(id++) + "\n";
    write_mission(4, ini);
    ComRef<ITvMission> mission = load(4);
    TavrinMission* m = fields(mission);
    ASSERT_EQ(m->ground_entry_count, 8);
    ASSERT_EQ(m->air_entry_count, 3);
    ASSERT_EQ(m->vehicle_entry_count, 4);
    id = 1;
    for (int32_t i = 0; i < m->ground_entry_count; ++i) EXPECT_EQ(m->ground_entries[i].id, id++);
    for (int32_t i = 0; i < m->air_entry_count; ++i) EXPECT_EQ(m->air_entries[i].id, id++);
    for (int32_t i = 0; i < m->vehicle_entry_count; ++i) EXPECT_EQ(m->vehicle_entries[i].id, id++);
    EXPECT_EQ(m->next_id, id);
}

TEST_F(MissionTest, LoadingAgainReleasesWhatTheFirstLoadMade) {
    register_ground_stand_in();
    write_mission(13, "[map]\nmap = flat\n[archetypes]\nground = hangar\nair = camel\n"
                      "[ground0]\nname = hangar\n");
    ComRef<ITvMission> mission = load(13);
    TavrinMission* m = fields(mission);
    ComRef<ITvObject> first = ComRef<ITvObject>::share(m->ground_kinds[0]);
    char plane[kTvPlayerPlaneNameSize] = {};
    ASSERT_EQ(mission->LoadMission(13, plane), OM_S_OK);
    EXPECT_NE(m->ground_kinds[0], first.get());
    EXPECT_EQ(first->AddRef(), 2u); // only this test holds it now
    first->Release();
    EXPECT_EQ(m->ground_kind_count, 1);
    EXPECT_EQ(m->plane_kind_count, 1);
    EXPECT_EQ(m->ground_entry_count, 1);
    // A load that cannot open its file keeps the mission it had.
    EXPECT_EQ(mission->LoadMission(14, plane), OM_E_FAIL);
    EXPECT_EQ(m->ground_kind_count, 1);
}

TEST_F(MissionTest, KindListsStopAtTheirLimits) {
    register_ground_stand_in();
    std::string ground, air, vehicle;
    for (int i = 0; i < 65; ++i) ground += "g" + std::to_string(i) + " ";
    for (int i = 0; i < 33; ++i) air += "dummy ";
    for (int i = 0; i < 17; ++i) vehicle += "v ";
    write_mission(5, "[map]\nmap = flat\n[archetypes]\nground = " + ground + "\nair = " + air +
                         "\nvehicle = " + vehicle + "\n");
    ComRef<ITvMission> mission = load(5);
    TavrinMission* m = fields(mission);
    EXPECT_EQ(m->ground_kind_count, 64);
    EXPECT_EQ(m->plane_kind_count, 32);
    EXPECT_EQ(m->vehicle_kind_count, 16);
    EXPECT_STREQ(m->ground_kind_names[63], "g63");
}

TEST_F(MissionTest, LoadFailures) {
    const std::string long_name(40, 'm');
    struct Case {
        const char* what;
        std::string text; // empty: no file
        const char* logged;
    } cases[] = {
        {"no file", "", "tvopmission: Could not open mission file: missions\\6\\mission.ini"},
        {"no map section", "[mission]\nGroup1 = 50\n",
         "tvopmission: The mission has no [map] section"},
        {"no map key", "[map]\noffset = 0 0 0\n",
         "tvopmission: The mission's map name is missing or too long"},
        {"map name too long", "[map]\nmap = " + long_name + "\n",
         "tvopmission: The mission's map name is missing or too long"},
        {"map missing", "[map]\nmap = nowhere\n", "tvopmission: Could not load the map: nowhere"},
        // The ground objects cannot be made in this build without their class.
        {"ground kinds", "[map]\nmap = flat\n[archetypes]\nground = hangar\n",
         "tvopmission: Could not create the archetype hangar (TavrinGroundObject, 0x80030385)"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(std::filesystem::path(dir.path()) / "missions");
        if (!c.text.empty()) write_mission(6, c.text);
        record.log.clear();
        OmResult r = OM_S_OK;
        ComRef<ITvMission> mission = load(6, nullptr, &r);
        EXPECT_LT(r, 0) << c.what;
        EXPECT_NE(std::find(record.log.begin(), record.log.end(), c.logged), record.log.end())
            << c.what << ": " << (record.log.empty() ? "" : record.log.back());
        // What was made before the failure is the mission's and goes with Unload.
        EXPECT_EQ(mission->Unload(), OM_S_OK);
    }
}

TEST(TextureBudget, ShiftsBringTheLoadWithinTheBudget) {
    struct Case {
        int32_t budget;
        int32_t load[4];
        int32_t shift[4];
    } cases[] = {
        {1000, {0, 400, 800, 0}, {0, 0, 1, 0}},
        {2000, {100, 100, 100, 100}, {0, 0, 0, 0}},
        // Each turn shifts its class, loaded or not, until one reduction meets the budget;
        // shifts stop at 3.
        {1000, {0, 0, 0, 1000000}, {3, 3, 3, 3}},
        {100, {400, 400, 0, 0}, {2, 2, 2, 2}},
        {-5, {10, 10, 10, 10}, {2, 2, 2, 2}},
        // Hostile loads: their sum does not fit in 32 bits; a negative load counts as none
        // (it cannot make room for the others).
        {1000, {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, {3, 3, 3, 3}},
        {1000, {0, -1000, 1500, 0}, {0, 0, 1, 0}},
        {100, {INT32_MIN, 400, INT32_MIN, 0}, {0, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        int32_t shift[4];
        TvTextureShifts(c.load, c.budget, shift);
        for (int k = 0; k < 4; ++k) EXPECT_EQ(shift[k], c.shift[k]) << c.budget << " class " << k;
    }
}

TEST_F(MissionTest, TexdenSectionsSetTheReductionOfEachSizeClass) {
    static std::vector<std::pair<int32_t, int32_t>> seen;
    TvFrontEndServices services = landscapetest::recording_services();
    services.set_texture_reduction = [](int32_t size_class, int32_t shift) {
        seen.emplace_back(size_class, shift);
    };
    TvInstallFrontEndServices(&services);
    seen.clear();
    EXPECT_EQ(LoadTextureList("planes", 1000), OM_E_FAIL);
    EXPECT_TRUE(seen.empty());
    dir.write_file("texden.ini", "[planes]\n128 = 400\n256 = 800\n");
    EXPECT_EQ(LoadTextureList("planes", 1000), OM_S_OK);
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 0}, {2, 1}, {3, 0}}));
    seen.clear();
    EXPECT_EQ(LoadTextureList("absent", 1000), OM_S_OK);
    EXPECT_EQ(seen, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
}

// The tables a mission holds, compared field by field after a save and a reload.
void expect_same_tables(TavrinMission* a, TavrinMission* b) {
    EXPECT_STREQ(a->map_name, b->map_name);
    EXPECT_EQ(a->music_track, b->music_track);
    EXPECT_FLOAT_EQ(a->time_limit, b->time_limit);
    for (int g = 0; g < 10; ++g) EXPECT_FLOAT_EQ(a->group_goals[g], b->group_goals[g]);
    // An edited mission saved keeps its safe height and reinforcement thresholds.
    EXPECT_FLOAT_EQ(a->safe_height, b->safe_height);
    ASSERT_EQ(a->reinforcement_count, b->reinforcement_count);
    for (int k = 0; k < a->reinforcement_count; ++k)
        EXPECT_EQ(a->reinforcement_thresholds[k], b->reinforcement_thresholds[k]);
    ASSERT_EQ(a->plane_kind_count, b->plane_kind_count);
    ASSERT_EQ(a->ground_kind_count, b->ground_kind_count);
    ASSERT_EQ(a->vehicle_kind_count, b->vehicle_kind_count);
    ASSERT_EQ(a->ground_entry_count, b->ground_entry_count);
    ASSERT_EQ(a->vehicle_entry_count, b->vehicle_entry_count);
    ASSERT_EQ(a->air_entry_count, b->air_entry_count);
    auto same_descriptor = [](const TvCreateDescriptor& x, const TvCreateDescriptor& y) {
        EXPECT_EQ(x.id, y.id);
        EXPECT_EQ(x.archetype_index, y.archetype_index);
        EXPECT_EQ(x.flags, y.flags);
        EXPECT_EQ(x.group_mask, y.group_mask);
        EXPECT_NEAR(x.endurance, y.endurance, 1e-4);
        for (const auto& [p, q] :
             {std::pair{x.matrix.pos, y.matrix.pos}, std::pair{x.matrix.up, y.matrix.up},
              std::pair{x.matrix.at, y.matrix.at}, std::pair{x.matrix.right, y.matrix.right}}) {
            EXPECT_NEAR(p.x, q.x, 1e-3);
            EXPECT_NEAR(p.y, q.y, 1e-3);
            EXPECT_NEAR(p.z, q.z, 1e-3);
        }
    };
    for (int i = 0; i < a->ground_entry_count; ++i)
        same_descriptor(a->ground_entries[i], b->ground_entries[i]);
    for (int i = 0; i < a->vehicle_entry_count; ++i) {
        same_descriptor(a->vehicle_entries[i], b->vehicle_entries[i]);
        EXPECT_FLOAT_EQ(a->vehicle_entries[i].angle, b->vehicle_entries[i].angle);
        EXPECT_FLOAT_EQ(a->vehicle_entries[i].range, b->vehicle_entries[i].range);
        EXPECT_EQ(a->vehicle_entries[i].target_group, b->vehicle_entries[i].target_group);
    }
    for (int i = 0; i < a->air_entry_count; ++i) {
        const TvMissionAirEntry& x = a->air_entries[i];
        const TvMissionAirEntry& y = b->air_entries[i];
        same_descriptor(x, y);
        EXPECT_FLOAT_EQ(x.high_speed, y.high_speed);
        EXPECT_EQ(x.ordinance_type, y.ordinance_type);
        EXPECT_EQ(x.ordinance_count, y.ordinance_count);
        ASSERT_EQ(x.goal_count, y.goal_count);
        for (int g = 0; g < x.goal_count; ++g) {
            EXPECT_EQ(x.goals[g].type, y.goals[g].type);
            EXPECT_EQ(x.goals[g].target_id, y.goals[g].target_id);
            EXPECT_EQ(x.goals[g].integer, y.goals[g].integer);
            EXPECT_FLOAT_EQ(x.goals[g].real, y.goals[g].real);
            EXPECT_NEAR(x.goals[g].position.x, y.goals[g].position.x, 1e-3);
            EXPECT_NEAR(x.goals[g].position.z, y.goals[g].position.z, 1e-3);
        }
    }
}

TEST_F(MissionTest, TheWriterRoundTripsATableOfMissions) {
    register_ground_stand_in();
    const std::string missions[] = {
        kFullMission,
        "[map]\nmap = flat\n",
        "[map]\nmap = flat\noffset = 10 0 10\n[mission]\nGroup0 = 100\ntimelimit = 60.5\n"
        "[archetypes]\nground = takeoffpoint hangar\nvehicle = lorry\nair = camel\n"
        "[ground2]\nname = hangar\nid = 3\ngroups = 1\npos = 1 0 1\nat = 0 0 1\n"
        "[ground4]\nname = takeoffpoint\nid = 4\nendurance = 75\n"
        "[vehicle0]\nname = lorry\nid = 5\nangle = 0.25\nrange = 150\ntargetgroup = 9\n"
        "[air9]\nname = camel\nid = 6\ngroups = 768\n[air9goal0]\ntype = 112\ntargetid = -8\n"
        "real = 2.5\nint = -1\npos = 7 8 9\n",
        // Too far out for "%f %f %f" in a value the reader takes.
        "[map]\nmap = flat\n[archetypes]\nair = camel\n"
        "[air0]\nname = camel\npos = 2115 222 18055555555555555555555555555555550\n"
        "[air0goal0]\ntype = 8\npos = -3e30 1e25 4e20\n",
    };
    for (const std::string& text : missions) {
        write_mission(7, text);
        ComRef<ITvMission> first = load(7);
        std::filesystem::create_directories(std::filesystem::path(dir.path()) / "missions" / "8");
        ASSERT_EQ(first->SaveMission(8), OM_S_OK);
        ComRef<ITvMission> second = load(8);
        expect_same_tables(fields(first), fields(second));
    }
}

TEST_F(MissionTest, AValueThatPrintsAsItsDefaultIsLeftOutSoASecondSaveIsTheSame) {
    register_ground_stand_in();
    write_mission(7, "[map]\nmap = flat\n[mission]\nGroup9 = -0.0000001\ntimelimit = 0.0000001\n"
                     "Group2 = 40\n");
    const auto saved = [&](int number) {
        return read_text_file((std::filesystem::path(dir.path()) / "missions" /
                               std::to_string(number) / "mission.ini")
                                  .string());
    };
    ComRef<ITvMission> first = load(7);
    std::filesystem::create_directories(std::filesystem::path(dir.path()) / "missions" / "8");
    ASSERT_EQ(first->SaveMission(8), OM_S_OK);
    ComRef<ITvMission> second = load(8);
    std::filesystem::create_directories(std::filesystem::path(dir.path()) / "missions" / "9");
    ASSERT_EQ(second->SaveMission(9), OM_S_OK);
    EXPECT_EQ(saved(8), saved(9));
    EXPECT_NE(saved(8).find("Group2=40.000000"), std::string::npos);
    EXPECT_EQ(saved(8).find("Group9"), std::string::npos);
    EXPECT_EQ(saved(8).find("timelimit"), std::string::npos);
}

TEST_F(MissionTest, TheWriterWritesWhatDiffersAndRenumbers) {
    register_ground_stand_in();
    write_mission(9, "[map]\nmap = flat\noffset = 10 0 10\n[mission]\nGroup3 = 40\n"
                     "[archetypes]\nground = hangar\nair = camel fokker\n"
                     "[ground5]\nname = hangar\npos = 1 2 3\n"
                     "[ground6]\nname = hangar\nendurance = 60\n"
                     "[air5]\nname = camel\ngroups = 258\npos = 5 5 5\n"
                     "[air6]\nname = fokker\nhighspeed = 90\nendurance = 20\n");
    char plane[kTvPlayerPlaneNameSize] = "fokker";
    ComRef<ITvMission> mission = load(9, plane);
    // The editor's placeholders (no archetype) and objects not from the file stay out.
    TavrinMission* m = fields(mission);
    m->ground_entries[m->ground_entry_count++] = TvMissionGroundEntry{};
    m->ground_entries[m->ground_entry_count] = m->ground_entries[0];
    m->ground_entries[m->ground_entry_count++].flags = 0;
    std::filesystem::create_directories(std::filesystem::path(dir.path()) / "missions" / "10");
    ASSERT_EQ(mission->SaveMission(10), OM_S_OK);
    const std::string saved =
        read_text_file((std::filesystem::path(dir.path()) / "missions/10/mission.ini").string());
    const std::string expected = R"(
[]

[map]
map=flat
offset=0 0 0

[mission]
Group3=40.000000

[archetypes]
ground=hangar 
air=camel fokker 
vehicle=

[ground0]
name=hangar
id=0
groups=0
pos=11.000000 2.000000 13.000000
up=0.000000 0.000000 0.000000
at=0.000000 0.000000 0.000000
right=0.000000 0.000000 0.000000

[ground1]
name=hangar
id=0
groups=0
endurance=60.000000
pos=0.000000 0.000000 0.000000
up=0.000000 0.000000 0.000000
at=0.000000 0.000000 0.000000
right=0.000000 0.000000 0.000000

[air0]
name=camel
id=0
groups=258
ordinancetype=0
numordinance=0
pos=15.000000 5.000000 15.000000
up=0.000000 0.000000 0.000000
at=0.000000 0.000000 0.000000
right=0.000000 0.000000 0.000000

[air1]
name=fokker
id=0
groups=0
ordinancetype=0
numordinance=0
endurance=20.000000
pos=0.000000 0.000000 0.000000
up=0.000000 0.000000 0.000000
at=0.000000 0.000000 0.000000
right=0.000000 0.000000 0.000000
)";
    EXPECT_EQ(saved, expected);
    // The file's own plane stays with the player's entry; the chosen one flew this time only.
    EXPECT_EQ(m->air_entries[0].archetype_index, 1);
}

TEST_F(MissionTest, ASavedMissionBeginsWithTheSheetsUnnamedSection) {
    write_mission(13, "[map]\nmap=flat\n");
    ComRef<ITvMission> mission = load(13);
    std::filesystem::create_directories(std::filesystem::path(dir.path()) / "missions" / "14");
    ASSERT_EQ(mission->SaveMission(14), OM_S_OK);
    EXPECT_EQ(
        read_text_file((std::filesystem::path(dir.path()) / "missions/14/mission.ini").string()),
        "\n[]\n\n[map]\nmap=flat\noffset=0 0 0\n\n[mission]\n\n[archetypes]\nground=\nair=\n"
        "vehicle=\n");
}

TEST_F(MissionTest, SavingIntoAMissingFolderFailsAndWritesNothing) {
    write_mission(11, "[map]\nmap = flat\n");
    ComRef<ITvMission> mission = load(11);
    record.log.clear();
    EXPECT_EQ(mission->SaveMission(12), OM_E_FAIL);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(dir.path()) / "missions" / "12"));
    ASSERT_EQ(record.log.size(), 1u);
}

} // namespace
} // namespace missiontest
