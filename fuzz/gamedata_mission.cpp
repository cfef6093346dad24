// Fuzzes mission.ini: TavrinMission::LoadMission from the storage in memory over small kinds
// served beside it (the map "flat" with a writer-made world; ground kinds "takeoffpoint",
// "hangar", "tent", "aagun" and plane kinds "camel" and "fokker", each a writer-made box), then
// SaveMission, LoadMission of what was saved and SaveMission again. The mission's on-screen
// text (a renderer, a TrueType font and its cache) is left out: its renderer class is not
// registered, so the text chain stops at its first step as it does without a display.
// Checks: what was saved loads, and saving it again gives the same bytes (the fields that do
// not round-trip, such as the map offset and the safe height, are normalised by the first
// save and so compared as saved); the player plane name handed back is terminated; framework
// and engine blocks balance over the loads, saves and unloads.
//
// Input: a byte choosing the mission number (1..9), then mission.ini.
#include "fuzz/gamedata_fixture.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_mission.h"
#include "game/world/tavrin_ai_ground_object.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "game/world/tavrin_ground_object.h"
#include "game/world/tv_plane.h"

#include <cstring>

using fuzzing::require;

namespace {

const char* const kGroundKinds[] = {"takeoffpoint", "hangar", "tent", "aagun", "ammodump"};
const char* const kPlaneKinds[] = {"camel", "fokker"};

constexpr char kPlaneIni[] = "[physics]\nhighspeed=100\ncruisespeed=80\nstallspeed=35\n"
                             "[collision]\ndownlength=1.5\n[armaments]\nendurance=60\n"
                             "[appearance]\ndff=box.dff\n[sound]\nengine=Engine\n";
constexpr char kGroundIni[] = "[appearance]\ndff=box.dff\n[physics]\nendurance=30\n";

struct Fixture {
    std::string box, world;
    ComRef<ITvMission> mission;
    Fixture() {
        fuzzing::start_game_data();
        IObjectManager* manager = OmGetObjectManager();
        require(TvRegisterMissionClass(manager) >= 0 && TvRegisterPlaneClass(manager) >= 0 &&
                    TvRegisterAIPlaneClass(manager) >= 0 &&
                    TvRegisterGroundObjectClass(manager) >= 0 &&
                    TvRegisterAIGroundObjectClass(manager) >= 0 &&
                    TvRegisterBSPLandscapeClass(manager) >= 0,
                "the mission's classes");
        box = fuzzing::box_model(2.0f);
        world = fuzzing::flat_world(150.0f, 4000.0f);
        require(OmCreate(CLSID_TavrinMission, IID_ITvMission, mission.put()) >= 0, "a mission");
        // What the first mission loaded makes once: made here, outside the balance checks.
        serve(1, "[map]\nmap=flat\n[archetypes]\nground=hangar\nair=camel\nvehicle=aagun\n"
                 "[ground0]\nname=hangar\nid=3\n[air0]\nname=camel\nid=4\n");
        char plane[kTvPlayerPlaneNameSize] = {};
        mission->LoadMission(1, plane);
        mission->Unload();
    }
    void serve(int32_t number, std::string_view ini) const {
        auto& files = fuzzing::shared_files();
        files.reset();
        files.put("maps/flat/map.ini", std::string_view("[appearance]\nbsp=flat\n"));
        files.put("maps/flat/flat.bsp", std::string_view(world));
        for (const char* kind : kGroundKinds) {
            files.put(std::string("objects/ground/") + kind + "/ground.ini",
                      std::string_view(kGroundIni));
            files.put(std::string("objects/ground/") + kind + "/box.dff", std::string_view(box));
        }
        for (const char* kind : kPlaneKinds) {
            files.put(std::string("objects/planes/") + kind + "/plane.ini",
                      std::string_view(kPlaneIni));
            files.put(std::string("objects/planes/") + kind + "/box.dff", std::string_view(box));
        }
        files.put("missions/" + std::to_string(number) + "/mission.ini", ini);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

std::string mission_file(int32_t number) {
    std::string bytes;
    fuzzing::shared_files().get("missions/" + std::to_string(number) + "/mission.ini", bytes);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const int32_t number = input.byte() % 9 + 1;
    f.serve(number, fuzzing::as_text(input.rest()));
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        fuzzing::ModelRunBalanced engine_balanced(fuzzing::start_model_engine());
        char plane[kTvPlayerPlaneNameSize] = {};
        if (f.mission->LoadMission(number, plane) >= 0) {
            require(strnlen(plane, sizeof plane) < sizeof plane,
                    "the player plane name is terminated");
            require(f.mission->SaveMission(number) >= 0, "a loaded mission saves");
            const std::string saved = mission_file(number);
            f.mission->Unload();
            char again[kTvPlayerPlaneNameSize] = {};
            require(f.mission->LoadMission(number, again) >= 0, "a saved mission loads");
            require(f.mission->SaveMission(number) >= 0, "a reloaded mission saves");
            require(mission_file(number) == saved, "saving a saved mission gives the same file");
        }
        f.mission->Unload();
        fuzzing::shared_files().reset();
    }
    return 0;
}
