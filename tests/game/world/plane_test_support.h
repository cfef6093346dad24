// Shared set-up of the plane tests: the landscape fixture with a flat map at height 150, a
// game whose frame time the test sets, planes created from mission air entries with a flight
// table the test gives, and the effect hooks recording the explosions and smoke started.
#pragma once

#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_game.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_plane.h"
#include "tests/game/world/landscape_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace planetest {

inline constexpr float kGround = 150.0f;
inline constexpr float kStep = 1.0f / 60.0f;

// The flight table the flight checks are computed with: high 100, stall 40, cruise 80,
// accel 15, drag 5, energy conversion 40, climb 60, dive 200; no pitch, lift or turn.
inline TvFlightTable check_table() {
    TvFlightTable t{};
    t.diving_speed = 200.0f;
    t.high_speed = 100.0f;
    t.cruise_speed = 80.0f;
    t.climb_speed = 60.0f;
    t.stall_speed = 40.0f;
    t.acceleration = 15.0f;
    t.ceiling = 100000.0f;
    t.drag = 5.0f;
    t.energy_conversion = 40.0f;
    t.front_length = 5.0f;
    t.back_length = 5.0f;
    t.port_length = 6.0f;
    t.starboard_length = 6.0f;
    t.up_length = 2.0f;
    t.down_length = 2.0f;
    return t;
}

inline LgMatrix placed(LgVector position, LgVector at = {0, 0, 1}, LgVector up = {0, 1, 0}) {
    LgMatrix m{};
    m.at = at;
    m.up = up;
    LgVectorCrossProduct(&m.right, &up, &at);
    m.pos = position;
    return m;
}

// The effects started, by kind.
struct EffectRecord {
    std::vector<float> explosions;
    std::vector<float> smoke;
    static EffectRecord*& current() {
        static EffectRecord* record = nullptr;
        return record;
    }
};

// A particles component that keeps what is emitted: kind and a copy of the record.
class RecordingParticles final : public OmObject<RecordingParticles, IOmLgParticles> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IUnknown, this}});
    }
    OmResult Init() override { return OM_S_OK; }
    OmResult RemoveAllTypes() override { return OM_S_OK; }
    OmResult AddType(int32_t, const OmParticleType*, int32_t) override { return OM_S_OK; }
    OmResult Update() override { return OM_S_OK; }
    OmResult Render(LgCamera*) override { return OM_S_OK; }
    OmResult SetLimit(int32_t, int32_t) override { return OM_S_OK; }
    OmResult Emit(int32_t id, const void* record) override {
        kinds.push_back(id);
        if (id == kTvParticleSmoke) drifts.push_back(*static_cast<const TvDriftParticle*>(record));
        if (id == kTvParticleFlash) flashes.push_back(*static_cast<const TvFlashParticle*>(record));
        if (id == kTvParticleMaroon || id == kTvParticleHit)
            fades.push_back(*static_cast<const TvFadeParticle*>(record));
        if (id == kTvParticleCloth) cloths.push_back(*static_cast<const TvDriftParticle*>(record));
        return OM_S_OK;
    }
    OmResult Clear() override { return OM_S_OK; }
    std::vector<int32_t> kinds;
    std::vector<TvDriftParticle> drifts;
    std::vector<TvFlashParticle> flashes;
    std::vector<TvFadeParticle> fades;
    std::vector<TvDriftParticle> cloths;
};

class PlaneTest : public landscapetest::LandscapeTest {
protected:
    void SetUp() override {
        LandscapeTest::SetUp();
        ASSERT_EQ(load_flat(), OM_S_OK);
        landscape->GetWorld(&world);
        game = new gametest::GameProbe;
        ASSERT_EQ(game->BeginSession(&owned.settings), OM_S_OK);
        game->frame_time_ = kStep;
        particles = new RecordingParticles;
        game->particles_ = particles; // the game's reference
        EffectRecord::current() = &effects;
        TvEffectHooks hooks{};
        hooks.spawn_explosion = [](const LgVector*, float size, uint32_t) {
            EffectRecord::current()->explosions.push_back(size);
            return OM_S_OK;
        };
        hooks.spawn_smoke = [](const LgVector*, float size, uint32_t) {
            EffectRecord::current()->smoke.push_back(size);
            return OM_S_OK;
        };
        TvInstallEffectHooks(&hooks);
    }
    void TearDown() override {
        for (ITvPlane* plane : planes) plane->Release();
        planes.clear();
        if (game) {
            game->Destroy();
            game->Release();
        }
        TvInstallEffectHooks(nullptr);
        EffectRecord::current() = nullptr;
        LandscapeTest::TearDown();
    }

    // A plane of kind T created from an air entry without archetype (its model frame is a
    // bare frame), with the flight table, on the flat map's landscape and world.
    template <class T = TavrinPlane>
    T* make_plane(uint32_t flags, const LgMatrix& where,
                  const TvFlightTable& table = check_table()) {
        auto& entry = entries.emplace_back(std::make_unique<TvMissionAirEntry>());
        *entry = {};
        entry->matrix = where;
        entry->endurance = 10.0f;
        entry->flags = flags;
        entry->id = next_id++;
        entry->game = game;
        T* plane = nullptr;
        EXPECT_EQ(om_new_component(&plane), OM_S_OK);
        planes.push_back(plane);
        EXPECT_EQ(plane->Create(entry.get()), OM_S_OK);
        plane->SetProperty(kTvPlanePropFlightTable, reinterpret_cast<uintptr_t>(&table));
        plane->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(landscape));
        plane->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
        return plane;
    }
    // Puts the plane's logical, model and previous matrix at the pose.
    static void pose(TavrinPlane* plane, const LgMatrix& where) {
        plane->SetProperty(kTvPropMatrix, reinterpret_cast<uintptr_t>(&where));
    }
    static tvplane::Plane parts(TavrinPlane* plane) { return {*plane, *plane}; }

    LgWorld* world = nullptr;
    gametest::TestSettings owned;
    gametest::GameProbe* game = nullptr;
    RecordingParticles* particles = nullptr;
    EffectRecord effects;
    std::vector<std::unique_ptr<TvMissionAirEntry>> entries;
    std::vector<ITvPlane*> planes;
    int32_t next_id = 1;
};

} // namespace planetest
