// Shared set-up of the mission tests: the landscape fixture (a flat map written by the test),
// plane kinds written as plane.ini with a one-box model, mission files written as text, the
// mission, plane, game, camera, particle and text classes registered, and a stand-in ground
// kind for the ground and vehicle entries.
#pragma once

#include "framework/core/com_ref.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tv_mission_classes.h"
#include "game/world/om_lg_renderer.h"
#include "game/world/tavrin_camera.h"
#include "tests/game/world/landscape_test_support.h"
#include "tests/media/media_classes.h"

#include <cstdio>
#include <string>

namespace missiontest {

using landscapetest::FrontEndRecord;

// A ground kind the tests register in place of the ground objects: LoadObject gives it the
// endurance 50 and a box model; instances answer the ground-object interface.
class StandInGround final : public TavrinObjectBase<TvGroundKindLoading> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvObject, this}, {&IID_ITvGroundObject, this}});
    }
    OmResult LoadObject(const char* name) override {
        loaded = name;
        endurance = 50.0f;
        return OM_S_OK;
    }
    OmResult UseArchetype(ITvObject*) override { return OM_S_OK; }
    std::string loaded;
};

namespace {

OmResult create_stand_in_ground(IUnknown* outer, IUnknown** out) {
    if (outer) return OM_E_NOAGGREGATION;
    auto* object = new StandInGround;
    *out = object->identity();
    return OM_S_OK;
}

const OmClassRecord stand_in_classes[] = {
    {&CLSID_TavrinGroundObject, nullptr, nullptr, create_stand_in_ground, "TavrinGroundObject"},
    {&CLSID_TavrinAIGroundObject, nullptr, nullptr, create_stand_in_ground,
     "TavrinAIGroundObject"}};
OM_DEFINE_MODULE(StandInGround, stand_in_classes)

} // namespace

// A plane kind: its plane.ini values.
struct PlaneKind {
    std::string name;
    float endurance = 100.0f;
    float high_speed = 70.0f;
    std::string engine = "engine";
};

class MissionTest : public landscapetest::LandscapeTest {
protected:
    void SetUp() override {
        LandscapeTest::SetUp();
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_EQ(TvRegisterMissionClass(manager), OM_S_OK);
        ASSERT_EQ(TvRegisterPlaneClass(manager), OM_S_OK);
        ASSERT_EQ(TvRegisterAIPlaneClass(manager), OM_S_OK);
        testsupport::register_text_classes(manager);
        DFALexAnalyser_RegisterClasses(manager);
        NFALexAnalyser_RegisterClasses(manager);
        testsupport::register_display_classes(manager);
        ASSERT_EQ(OmLgRenderer_RegisterClasses(manager), OM_S_OK);
        write_map("flat", "[appearance]\nbsp = flat\n", "flat",
                  landscapetest::quads_world({150.0f}, 1000.0f));
        write_plane({"camel", 100.0f, 70.0f, "camelengine"});
        write_plane({"fokker", 80.0f, 90.0f, "fokkerengine"});
    }

    void register_ground_stand_in() {
        ASSERT_EQ(StandInGround_RegisterClasses(OmGetObjectManager()), OM_S_OK);
    }

    void write_plane(const PlaneKind& kind) {
        const std::string folder = "objects/planes/" + kind.name + "/";
        char text[1024];
        std::snprintf(text, sizeof(text),
                      "[physics]\ndivespeed = 110\nhighspeed = %f\ncruisespeed = 50\n"
                      "climbspeed = 30\nstallspeed = 20\naccel = 10\nroll = 90\nturn = 45\n"
                      "pitch = 45\nlift = 1\nceiling = 2000\ndrag = 0.01\nenergyconvert = 1\n"
                      "[collision]\n[armaments]\nendurance = %f\nfirerate = 10\nfireon = 1\n"
                      "fireoff = 1\nradarmin = 0\nradarmax = 1000\n[appearance]\ndff = plane.dff\n"
                      "[sound]\nengine = %s\nmachinegun = %sgun\n",
                      kind.high_speed, kind.endurance, kind.engine.c_str(), kind.name.c_str());
        dir.write_file(folder + "plane.ini", text);
        modelwriter::Material m;
        m.colour = {200, 200, 200, 255};
        const std::vector<uint8_t> bytes = modeltest::clump_bytes(
            modelwriter::single_atomic_clump(modelwriter::make_box({2, 1, 3}, m)));
        dir.write_file(folder + "plane.dff", std::string(bytes.begin(), bytes.end()));
    }

    void write_mission(int32_t number, const std::string& text) {
        dir.write_file("missions/" + std::to_string(number) + "/mission.ini", text);
    }

    // A mission loaded with the player plane name (empty: learnt from the file).
    ComRef<ITvMission> load(int32_t number, char* plane_name = nullptr,
                            OmResult* result = nullptr) {
        ComRef<ITvMission> mission;
        EXPECT_EQ(OmCreate(CLSID_TavrinMission, IID_ITvMission, mission.put()), OM_S_OK);
        char none[kTvPlayerPlaneNameSize] = {};
        const OmResult r = mission->LoadMission(number, plane_name ? plane_name : none);
        if (result)
            *result = r;
        else
            EXPECT_EQ(r, OM_S_OK);
        return mission;
    }

    static TavrinMission* fields(const ComRef<ITvMission>& mission) {
        return static_cast<TavrinMission*>(mission.get());
    }
};

} // namespace missiontest
