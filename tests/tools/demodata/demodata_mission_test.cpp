// The demo missions against their reader: archetypes that load, entries that name them with
// every orientation key, and the groups, goals and limits each mission is built around.
#include "tests/tools/demodata/demodata_fixture.h"

#include <filesystem>
#include <map>
#include <set>

namespace demodatatest {
namespace {

namespace fs = std::filesystem;

constexpr int groupPlayer = 1, groupAllies = 8, groupEnemies = 9, groupTargets = 7;
constexpr int bit(int group) {
    return 1 << group;
}

struct Entry {
    std::string section, name;
    int id = 0, groups = 0;
    bool player = false;
    std::vector<int> goals;       // air entries: goal types in order
    std::vector<int> goalTargets; // and their target ids
};

struct Mission {
    std::vector<Entry> ground, air, vehicle;
    const Entry* by_id(int id) const {
        for (const auto* list : {&ground, &air, &vehicle})
            for (const Entry& e : *list)
                if (e.id == id) return &e;
        return nullptr;
    }
};

// Reads the mission as the loader does: archetype lists, then the numbered entry sections,
// each checked for the keys the loader reads.
Mission read_mission(const Ini& ini) {
    Mission m;
    std::map<std::string, std::set<std::string>> archetypes;
    for (const char* kind : {"ground", "air", "vehicle"}) {
        const std::vector<std::string> names = words(ini.get("archetypes", kind).value_or(""));
        archetypes[kind] = {names.begin(), names.end()};
        for (const std::string& n : names) {
            const std::string file = std::string(kind) == "air"
                                         ? "objects/planes/" + n + "/plane.ini"
                                         : "objects/ground/" + n + "/ground.ini";
            EXPECT_TRUE(fs::is_regular_file(program_dir() + "/" + file)) << file;
        }
    }
    for (const char* kind : {"ground", "air", "vehicle"})
        for (int i = 0; i < 100; ++i) {
            const std::string section = kind + std::to_string(i);
            if (!ini.has_section(section.c_str())) continue;
            SCOPED_TRACE(section);
            Entry e;
            e.section = section;
            e.name = ini.get(section.c_str(), "name").value_or("");
            EXPECT_TRUE(archetypes[kind].count(e.name)) << "unknown archetype " << e.name;
            e.id = std::stoi(ini.get(section.c_str(), "id").value_or("-1"));
            e.groups = std::stoi(ini.get(section.c_str(), "groups").value_or("0"));
            e.player = ini.get(section.c_str(), "player").has_value();
            float v[3];
            for (const char* key : {"pos", "up", "at", "right"})
                EXPECT_TRUE(read_vector(ini.get(section.c_str(), key).value_or(""), v)) << key;
            read_vector(ini.get(section.c_str(), "pos").value_or(""), v);
            // Inside the demo map: x and z from 100 to 4100, y from 100 to 800.
            EXPECT_TRUE(v[0] > 100 && v[0] < 4100 && v[2] > 100 && v[2] < 4100) << "off the map";
            EXPECT_TRUE(v[1] >= 100 && v[1] <= 800) << "height " << v[1];
            for (int g = 0; g < 64; ++g) {
                const std::string goal = section + "goal" + std::to_string(g);
                if (!ini.has_section(goal.c_str())) break;
                e.goals.push_back(std::stoi(ini.get(goal.c_str(), "type").value_or("0")));
                e.goalTargets.push_back(std::stoi(ini.get(goal.c_str(), "targetid").value_or("0")));
            }
            (std::string(kind) == "ground" ? m.ground
             : std::string(kind) == "air"  ? m.air
                                           : m.vehicle)
                .push_back(e);
        }
    std::set<int> ids;
    for (const auto* list : {&m.ground, &m.air, &m.vehicle})
        for (const Entry& e : *list)
            EXPECT_TRUE(ids.insert(e.id).second) << "id " << e.id << " twice";
    return m;
}

const Entry* player_of(const Mission& m) {
    const Entry* found = nullptr;
    for (const Entry& e : m.air)
        if (e.player) {
            EXPECT_EQ(found, nullptr) << "two player entries";
            found = &e;
        }
    return found;
}

int count_in_group(const std::vector<Entry>& list, int group) {
    int n = 0;
    for (const Entry& e : list) n += (e.groups & bit(group)) != 0;
    return n;
}

TEST_F(DemoDataTest, EveryMissionLoadsItsMapArchetypesAndEntries) {
    for (int n : {1, 2, 3, 4, 5, 6, 101, 102, 103}) {
        SCOPED_TRACE(n);
        Ini ini("missions/" + std::to_string(n) + "/mission.ini");
        ASSERT_TRUE(ini.has_section("map"));
        const std::string map = ini.get("map", "map").value_or("?");
        EXPECT_TRUE(fs::is_regular_file(program_dir() + "/maps/" + map + "/map.ini"));
        const Mission m = read_mission(ini);
        const Entry* player = player_of(m);
        ASSERT_NE(player, nullptr);
        // The player's entry: group 1 with a side (258 or 514).
        EXPECT_TRUE(player->groups == (bit(groupPlayer) | bit(groupAllies)) ||
                    player->groups == (bit(groupPlayer) | bit(groupEnemies)));
        int takeoff = 0;
        for (const Entry& e : m.ground) takeoff += e.name == "takeoffpoint";
        EXPECT_GE(takeoff, 1);
        // The campaign missions keep the player's entry only when the plane the player flies
        // is among their plane kinds; a new pilot flies the settings' first plane.
        if (n < 100) {
            const std::vector<std::string> air = words(ini.get("archetypes", "air").value_or(""));
            EXPECT_NE(std::find(air.begin(), air.end(), "aircodh2"), air.end());
        }
    }
}

TEST_F(DemoDataTest, TrainingMissionHasTargetsPickupsAndATimeLimit) {
    Ini ini("missions/1/mission.ini");
    const Mission m = read_mission(ini);
    EXPECT_EQ(player_of(m)->groups, 258);
    EXPECT_EQ(ini.get("mission", "Group7").value_or("?"), "-100");
    EXPECT_EQ(ini.get("mission", "timelimit").value_or("?"), "600");
    EXPECT_GE(count_in_group(m.ground, groupTargets), 3);
    std::set<std::string> names;
    for (const Entry& e : m.ground) names.insert(e.name);
    EXPECT_TRUE(names.count("rocketpickup") && names.count("healthpickup"));
    // The player takes off by hand: no goal flies the plane for them.
    EXPECT_TRUE(player_of(m)->goals.empty());
}

TEST_F(DemoDataTest, DogfightEnemiesStartInFlightThenEngageThePlayersSide) {
    Ini ini("missions/2/mission.ini");
    const Mission m = read_mission(ini);
    int enemies = 0;
    for (const Entry& e : m.air) {
        if (!(e.groups & bit(groupEnemies))) continue;
        ++enemies;
        EXPECT_EQ(e.goals, std::vector<int>({256, 112})) << e.section;
        EXPECT_EQ(e.goalTargets.back(), -groupAllies) << e.section;
    }
    EXPECT_GE(enemies, 2);
    EXPECT_EQ(ini.get("mission", "Group9").value_or("?"), "-100");
}

TEST_F(DemoDataTest, EscortBomberBombsAGroupSevenTargetUnderAnAaGunWithReinforcements) {
    Ini ini("missions/3/mission.ini");
    const Mission m = read_mission(ini);
    const Entry* bomber = nullptr;
    for (const Entry& e : m.air)
        if (e.name == "handleypage") bomber = &e;
    ASSERT_NE(bomber, nullptr);
    EXPECT_EQ(bomber->groups, bit(groupAllies));
    EXPECT_EQ(ini.get(bomber->section.c_str(), "ordinancetype").value_or("?"), "1");
    const auto bomb = std::find(bomber->goals.begin(), bomber->goals.end(), 144);
    ASSERT_NE(bomb, bomber->goals.end());
    const Entry* target = m.by_id(bomber->goalTargets[bomb - bomber->goals.begin()]);
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(target->groups & bit(groupTargets));
    ASSERT_EQ(m.vehicle.size(), 1u);
    EXPECT_EQ(m.vehicle[0].name, "aagun");
    EXPECT_EQ(ini.get("vehicle0", "targetgroup").value_or("?"), "8");
    EXPECT_TRUE(ini.get("reinforcements", "1").has_value());
    bool waits = false;
    for (const Entry& e : m.air) waits = waits || (!e.goals.empty() && e.goals[0] == 400);
    EXPECT_TRUE(waits) << "a reinforcement plane waits for its turn";
}

TEST_F(DemoDataTest, MultiplayerMissionsOfferEveryNetworkPlaneType) {
    for (int n : {101, 102, 103}) {
        Ini ini("missions/" + std::to_string(n) + "/mission.ini");
        const std::vector<std::string> air = words(ini.get("archetypes", "air").value_or(""));
        // The network planes are filled from the mission by the menu's plane id.
        for (const char* id : {"multitavrincamel", "multifokkertriplane", "multihandleypage"})
            EXPECT_NE(std::find(air.begin(), air.end(), id), air.end()) << n << " " << id;
    }
}

} // namespace
} // namespace demodatatest
