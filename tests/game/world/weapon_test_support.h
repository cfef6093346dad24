// Shared set-up of the weapon and plane combat tests: the plane fixture with the demo
// ordinance.ini and small bomb and rocket models written beside it, the weapon created for the
// game, a roomy world box, obstacles with box models owned by test objects, and recorders of
// the sounds played and the explosions started (with their positions).
#pragma once

#include "engine/world/lg_world_tie.h"
#include "game/world/tv_weapon.h"
#include "tests/game/world/plane_test_support.h"
#include "tests/support/source_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace weapontest {

// A launcher pose at the position looking along `at`.
inline LgMatrix aim(LgVector position, LgVector at) {
    return planetest::placed(position, at,
                             std::fabs(at.y) > 0.9f ? LgVector{0, 0, 1} : LgVector{0, 1, 0});
}

namespace mw = modelwriter;

struct PlayedSound {
    std::string name;
    LgVector position;
};

struct Explosion {
    LgVector position;
    float size;
};

struct CombatRecord {
    std::vector<PlayedSound> sounds;
    std::vector<Explosion> explosions;
    static CombatRecord*& current() {
        static CombatRecord* record = nullptr;
        return record;
    }
};

inline std::string demo_ordnance() {
    std::ifstream in(testsupport::source_dir() + "/data/files/objects/ordinance/ordinance.ini");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A box model of the half size, its material textured with `texture` when given.
inline std::vector<uint8_t> box_bytes(float half, const char* texture = nullptr) {
    mw::Material m;
    m.colour = {200, 200, 200, 255};
    if (texture) {
        mw::Texture t;
        t.name = texture;
        m.texture = t;
    }
    return modeltest::clump_bytes(mw::single_atomic_clump(mw::make_box({half, half, half}, m)));
}

inline int32_t clumps_in(LgWorld* world) {
    int32_t n = 0;
    LgWorldForAllClumps(
        world,
        [](LgClump* c, void* data) {
            ++*static_cast<int32_t*>(data);
            return c;
        },
        &n);
    return n;
}

// Switches the random-number plug-in on for the engine of the fixture built after it.
struct WithRandom {
    WithRandom() { gametest::attach_random() = true; }
    ~WithRandom() { gametest::attach_random() = false; }
};

class WeaponTest : private WithRandom, public planetest::PlaneTest {
protected:
    void SetUp() override {
        PlaneTest::SetUp();
        CombatRecord::current() = &combat;
        TvFrontEndServices services = landscapetest::recording_services();
        services.play_sound_at = [](const char* name, const LgMatrix* place, const LgVector*) {
            CombatRecord::current()->sounds.push_back({name ? name : "", place->pos});
            return OM_S_OK;
        };
        TvInstallFrontEndServices(&services);
        TvEffectHooks hooks{};
        hooks.spawn_explosion = [](const LgVector* at, float size, uint32_t) {
            CombatRecord::current()->explosions.push_back({*at, size});
            return OM_S_OK;
        };
        TvInstallEffectHooks(&hooks);
        ASSERT_EQ(TvRegisterWeaponClass(OmGetObjectManager()), OM_S_OK);
        // Room to fly: the flat map's box is widened, its ground stays at y 150.
        LgBBox* box = LgWorldGetBoundingBox(world);
        box->inf = {-5000.0f, 0.0f, -5000.0f};
        box->sup = {5000.0f, 3000.0f, 5000.0f};
        write_models();
        dir.write_file("objects/ordinance/ordinance.ini", demo_ordnance());
    }
    void TearDown() override {
        if (weapon) {
            weapon->Destroy();
            weapon->Release();
            weapon = nullptr;
        }
        for (LgClump* c : obstacles) {
            if (LgWorld* w = LgClumpGetWorld(c)) LgWorldRemoveClump(w, c);
            LgClumpDestroy(c);
        }
        obstacles.clear();
        objects.clear();
        CombatRecord::current() = nullptr;
        PlaneTest::TearDown();
    }

    void write_models() {
        const std::vector<uint8_t> box = box_bytes(0.5f);
        dir.write_file("objects/ordinance/bomb.dff", std::string(box.begin(), box.end()));
        dir.write_file("objects/ordinance/rocket.dff", std::string(box.begin(), box.end()));
    }

    // The weapon, created through the object manager and loaded for the game.
    TavrinWeapon* make_weapon() {
        ITvWeapon* w = nullptr;
        EXPECT_EQ(OmCreateInstance(CLSID_TavrinWeapon, nullptr, 0, IID_ITvWeapon,
                                   reinterpret_cast<void**>(&w)),
                  OM_S_OK);
        weapon = static_cast<TavrinWeapon*>(w);
        TvCreateDescriptor d{};
        d.game = game;
        EXPECT_EQ(weapon->Create(&d), OM_S_OK);
        weapon->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(landscape));
        weapon->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
        return weapon;
    }

    // A test object owning a box model of the half size at the position, in the world and
    // (with groups) registered with the game.
    gametest::TestObject* obstacle(int32_t id, LgVector at, uint32_t flags = 0, float half = 2.0f,
                                   const char* texture = nullptr, uint32_t groups = 0) {
        auto* o = new gametest::TestObject(id, groups, at);
        o->flags = flags;
        o->endurance = 1000.0f;
        objects.emplace_back(o);
        LgClump* box = modeltest::read_clump(box_bytes(half, texture));
        LgFrame* frame = LgClumpGetFrame(box);
        LgFrameGetMatrix(frame)->pos = at;
        LgMatrixMarkChanged(LgFrameGetMatrix(frame));
        LgFrameMarkDirty(frame);
        LgWorldAddClump(world, box);
        LgFrameSyncAllDirty();
        TvClumpSetOwner(box, o);
        obstacles.push_back(box);
        if (groups) {
            EXPECT_EQ(game->AddObject(o, 0x1c0, kTvUpdateEveryFrame), OM_S_OK);
        }
        return o;
    }

    // Launches from a still launcher at the position looking along `at`.
    OmResult launch(int32_t index, LgVector position, LgVector at, ITvObject* owner = nullptr) {
        const LgMatrix m = aim(position, at);
        const LgVector still{0, 0, 0};
        return weapon->Launch(index, &m, &still, owner);
    }

    // Runs weapon steps of 1/60 s.
    void steps(int n) {
        for (int i = 0; i < n; ++i) weapon->Update();
    }

    int32_t live() const {
        int32_t n = 0;
        for (int32_t i = 0; i < kTvProjectileSlots; ++i)
            if (weapon->slot(i).ordnance) ++n;
        return n;
    }

    struct ObjectDeleter {
        void operator()(gametest::TestObject* o) const { o->Release(); }
    };

    CombatRecord combat;
    TavrinWeapon* weapon = nullptr;
    // A level launcher at 400, well above the flat ground.
    LgMatrix placed_at = planetest::placed({500, 400, 500});
    std::vector<LgClump*> obstacles;
    std::vector<std::unique_ptr<gametest::TestObject, ObjectDeleter>> objects;
};

} // namespace weapontest
