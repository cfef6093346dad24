// Shared set-up of the ground-object tests: the plane fixture (flat map at y 150, a game, the
// recording particles and effect hooks) plus kind directories written by the test, the
// ground classes, the sounds played at places, and instances made from mission entries.
#pragma once

#include "engine/world/lg_world_tie.h"
#include "game/world/tavrin_ai_ground_object.h"
#include "game/world/tavrin_ground_object.h"
#include "tests/game/world/plane_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace groundtest {

namespace mw = modelwriter;

// A box of the half size standing on y = 0 (as a model file's bytes).
inline std::string box_file(float half = 2.0f, uint8_t red = 120) {
    mw::Material m;
    m.colour = {red, 90, 60, 255};
    mw::Geometry g = mw::make_box({half, half, half}, m);
    const std::vector<uint8_t> bytes = modeltest::clump_bytes(mw::single_atomic_clump(g));
    return std::string(bytes.begin(), bytes.end());
}

// A base box on the root frame and a turret box on the root's only child.
inline std::string turret_file() {
    mw::Material m;
    m.colour = {90, 90, 90, 255};
    mw::Clump clump = mw::single_atomic_clump(mw::make_box({2, 1, 2}, m));
    mw::Frame child;
    child.parent = 0;
    child.position = {0, 2, 0};
    clump.frames.push_back(child);
    clump.geometries.push_back(mw::make_box({0.5f, 0.5f, 1.5f}, m));
    mw::Atomic turret;
    turret.frame = 1;
    turret.geometry = 1;
    clump.atomics.push_back(turret);
    const std::vector<uint8_t> bytes = modeltest::clump_bytes(clump);
    return std::string(bytes.begin(), bytes.end());
}

struct PlayedSound {
    std::string name;
    LgVector at;
};

inline std::vector<PlayedSound>& played() {
    static std::vector<PlayedSound> sounds;
    return sounds;
}

// Switches the random-number plug-in on for the engine of the fixture built after it.
struct RandomNumbersOn {
    RandomNumbersOn() { gametest::attach_random() = true; }
    ~RandomNumbersOn() { gametest::attach_random() = false; }
};

class GroundTest : private RandomNumbersOn, public planetest::PlaneTest {
protected:
    void SetUp() override {
        PlaneTest::SetUp();
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_EQ(TvRegisterGroundObjectClass(manager), OM_S_OK);
        ASSERT_EQ(TvRegisterAIGroundObjectClass(manager), OM_S_OK);
        TvFrontEndServices services = landscapetest::recording_services();
        services.play_sound_at = [](const char* name, const LgMatrix* place, const LgVector*) {
            played().push_back({name ? name : "", place ? place->pos : LgVector{}});
            return OM_S_OK;
        };
        TvInstallFrontEndServices(&services);
        played().clear();
        dir.write_file("objects/ground/ammodump/ammodump.dff", box_file(1.0f));
    }
    void TearDown() override {
        for (ITvObject* o : objects) o->Release();
        objects.clear();
        for (ITvGroundObject* a : archetypes) a->Release();
        archetypes.clear();
        played().clear();
        PlaneTest::TearDown();
    }

    // Writes objects/ground/<name>/ground.ini and the model files beside it.
    void write_kind(const std::string& name, const std::string& ini,
                    const std::vector<std::pair<std::string, std::string>>& files = {}) {
        dir.write_file("objects/ground/" + name + "/ground.ini", ini);
        for (const auto& [file, bytes] : files)
            dir.write_file("objects/ground/" + name + "/" + file, bytes);
    }

    template <class T = TavrinGroundObject>
    T* load(const std::string& name, OmResult* result = nullptr) {
        T* archetype = nullptr;
        EXPECT_EQ(om_new_component(&archetype), OM_S_OK);
        archetypes.push_back(archetype);
        const OmResult r = archetype->LoadObject(name.c_str());
        if (result)
            *result = r;
        else
            EXPECT_EQ(r, OM_S_OK) << name;
        return archetype;
    }

    // An instance of the archetype from a vehicle entry, in the world at the position.
    template <class T = TavrinGroundObject>
    T* make(TavrinGroundObject* archetype, LgVector position, uint32_t group_mask = 0,
            ITvGame* in_game = nullptr, float cone = kTvDefaultFiringCone,
            float range = kTvDefaultRange) {
        auto& entry = vehicles.emplace_back(std::make_unique<TvMissionVehicleEntry>());
        *entry = {};
        entry->matrix = planetest::placed(position);
        entry->archetype = static_cast<ITvGroundObject*>(archetype);
        entry->endurance = archetype->endurance;
        entry->id = next_id++;
        entry->group_mask = group_mask;
        entry->game = in_game ? in_game : game;
        entry->target_group = kTvDefaultTargetGroup;
        entry->angle = cone;
        entry->range = range;
        T* object = nullptr;
        EXPECT_EQ(om_new_component(&object), OM_S_OK);
        objects.push_back(object);
        EXPECT_EQ(object->Create(entry.get()), OM_S_OK);
        put_in_world(object, position);
        return object;
    }
    void put_in_world(TavrinGroundObject* object, LgVector position) {
        object->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
        if (object->model && !LgClumpGetWorld(object->model)) LgWorldAddClump(world, object->model);
        object->SetProperty(kTvPropPosition, reinterpret_cast<uintptr_t>(&position));
    }
    static bool was_played(const std::string& name) {
        for (const PlayedSound& s : played())
            if (s.name == name) return true;
        return false;
    }

    std::vector<ITvGroundObject*> archetypes;
    std::vector<ITvObject*> objects;
    std::vector<std::unique_ptr<TvMissionVehicleEntry>> vehicles;
};

} // namespace groundtest
