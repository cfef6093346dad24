// The plane in combat: damage, destruction and the hit flash, invulnerability, the guns'
// burst clock, ordnance releases with the rocket aim assist and the infinite cheat, pickups
// with their caps, the network state record and the ground shadow's hook.
#include "game/world/tv_plane_shadow.h"
#include "tests/game/world/weapon_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using gametest::TestObject;
using planetest::placed;
using weapontest::WeaponTest;

namespace {

// A game that answers the client-game interface, as the multiplayer client's does.
class NetworkedGame final : public gametest::GameProbe {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        if (iid == IID_ITvClientGame) {
            AddRef();
            *out = static_cast<ITvGame*>(this);
            return OM_S_OK;
        }
        return GameProbe::QueryInterface(iid, out);
    }
};

class PlaneCombat : public WeaponTest {
protected:
    void SetUp() override {
        WeaponTest::SetUp();
        make_weapon();
        game->SetWeapons(weapon);
    }
    TavrinPlane* flying(uint32_t flags, LgVector at = {500, 600, 500}) {
        TavrinPlane* plane = make_plane(flags, placed(at));
        plane->state = kTvPlaneFlying;
        plane->engine_sound = TvGetSoundObject("Eng");
        plane->gun_sound = TvGetSoundObject("Gun");
        return plane;
    }
    size_t sounds_named(const std::string& name) const {
        size_t n = 0;
        for (const auto& s : combat.sounds) n += s.name == name;
        return n;
    }
};

struct ShadowCall {
    LgMatrix matrix;
    LgWorld* world;
    LgTexture* texture;
    float half_width;
    float length;
    int32_t fade;
};

std::vector<ShadowCall>& shadow_calls() {
    static std::vector<ShadowCall> calls;
    return calls;
}

} // namespace

TEST_F(PlaneCombat, HitsFlashAndSmokeUntilTheEnduranceDestroysThePlane) {
    TavrinPlane* plane = flying(kTvFlagPlane);
    std::strcpy(plane->hit_sound, "Hit.Plane");
    std::strcpy(plane->explosion_sound, "Boom");
    plane->smoke_gain = 0.5f;
    EXPECT_EQ(plane->AddDamage(4.0f, 7), OM_E_FAIL) << "a hit that does not destroy";
    EXPECT_EQ(plane->damage, 4.0f);
    EXPECT_FLOAT_EQ(plane->smoke_level, 4.0f * 0.5f * 5.0f);
    EXPECT_EQ(plane->flash_time, 0.25f);
    EXPECT_EQ(plane->hit_indicator, 1.0f);
    EXPECT_EQ(sounds_named("Hit.Plane"), 1u);
    ASSERT_EQ(particles->cloths.size(), 1u);
    const TvDriftParticle& bit = particles->cloths[0];
    EXPECT_EQ(bit.head.size, 2.0f);
    EXPECT_EQ(bit.growth, 1.0f);
    EXPECT_EQ(bit.alpha_rate, -0.8f);
    EXPECT_EQ(bit.velocity.y, -15.0f);
    EXPECT_GE(bit.velocity.x, -5.0f);
    EXPECT_LT(bit.velocity.x, 5.0f);
    // The indicator is raised again only once it has fallen below 0.25.
    plane->hit_indicator = 0.5f;
    plane->AddDamage(1.0f, 7);
    EXPECT_EQ(plane->hit_indicator, 0.5f);

    EXPECT_EQ(plane->AddDamage(6.0f, 7), OM_S_OK) << "the destroying hit";
    EXPECT_EQ(plane->damage, plane->endurance);
    EXPECT_EQ(plane->state, kTvPlaneCrashing);
    ASSERT_EQ(combat.explosions.size(), 1u);
    EXPECT_FLOAT_EQ(combat.explosions[0].size, 10.0f * 0.01f + 1.0f);
    EXPECT_EQ(sounds_named("Boom"), 1u);
    EXPECT_EQ(landscapetest::fake(plane->engine_sound)->stops, 1);
    EXPECT_EQ(landscapetest::fake(plane->gun_sound)->stops, 1);
    EXPECT_EQ(plane->AddDamage(1.0f, 7), OM_E_FAIL) << "already at its endurance";
    EXPECT_EQ(plane->damage, plane->endurance);
}

TEST_F(PlaneCombat, DamageCasesByFlagsStateAndCheat) {
    struct Case {
        uint32_t flags;
        int32_t state;
        int32_t invulnerable;
        bool set; // SetDamage instead of AddDamage
        OmResult result;
        float damage;
        int32_t state_after;
        size_t explosions;
        int32_t engine_stops;
    };
    const Case cases[] = {
        // Not a mission plane: never destroyed here, damage passes the endurance once.
        {0, kTvPlaneFlying, 0, false, OM_E_FAIL, 12.0f, kTvPlaneFlying, 0, 0},
        // Destroyed while stalling: no explosion, still Crashing.
        {kTvFlagPlane, kTvPlaneStalling, 0, false, OM_S_OK, 10.0f, kTvPlaneCrashing, 0, 1},
        // Destroyed while taxiing: the explosion.
        {kTvFlagPlane, kTvPlaneTaxiing, 0, false, OM_S_OK, 10.0f, kTvPlaneCrashing, 1, 1},
        // An invulnerable player takes nothing.
        {kTvFlagPlane | kTvFlagPlayerPlane, kTvPlaneFlying, 1, false, OM_E_FAIL, 0.0f,
         kTvPlaneFlying, 0, 0},
        // The cheat is for players only.
        {kTvFlagPlane, kTvPlaneFlying, 1, false, OM_S_OK, 10.0f, kTvPlaneCrashing, 1, 1},
        // SetDamage destroys without stopping the sounds.
        {kTvFlagPlane, kTvPlaneFlying, 0, true, OM_S_OK, 10.0f, kTvPlaneCrashing, 1, 0},
    };
    float x = 100.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(x);
        owned.settings.invulnerable = c.invulnerable;
        combat.explosions.clear();
        TavrinPlane* plane = flying(c.flags, {x += 100.0f, 600, 500});
        plane->state = c.state;
        const OmResult r = c.set ? plane->SetDamage(std::bit_cast<uint32_t>(2.0f), 12.0f, 0)
                                 : plane->AddDamage(12.0f, 3);
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(plane->damage, c.damage);
        EXPECT_EQ(plane->state, c.state_after);
        EXPECT_EQ(combat.explosions.size(), c.explosions);
        EXPECT_EQ(landscapetest::fake(plane->engine_sound)->stops, c.engine_stops);
    }
    owned.settings.invulnerable = 0;
}

TEST_F(PlaneCombat, TheBurstClockFiresTenShellsASecondThenRestsHalfASecond) {
    TavrinPlane* plane = flying(0);
    plane->flight.fire_rate = 10.0f;
    plane->flight.fire_interval = 0.1f;
    plane->flight.fire_on_time = 1.0f;
    plane->flight.fire_cycle = 1.5f;
    std::vector<int32_t> shots;  // after each step
    std::vector<int32_t> firing; // the guns-firing flag after each step
    for (int i = 0; i < 180; ++i) {
        plane->TvPlaneFire(kTvFireGuns);
        shots.push_back(plane->shots_fired);
        firing.push_back(plane->guns_firing);
    }
    EXPECT_EQ(shots[59], 10) << "the first second";
    EXPECT_EQ(shots[89], 10) << "nothing in the next half second";
    EXPECT_EQ(firing[30], 1);
    EXPECT_EQ(firing[75], 0);
    EXPECT_GT(shots[99], 10) << "then again";
    EXPECT_EQ(shots[179], 20) << "ten more in the second cycle";
    EXPECT_EQ(weapon->next_slot(), 20) << "each shell launched through the weapon";
    EXPECT_EQ(weapon->slot(0).index, kTvOrdnanceGun);
    EXPECT_EQ(weapon->slot(0).owner, static_cast<ITvObject*>(plane));

    // A kind with neither on nor off time never ends its cycle: it fires nothing, and the
    // clock does not spin.
    TavrinPlane* idle = flying(0, {700, 600, 500});
    idle->flight.fire_rate = 10.0f;
    idle->flight.fire_interval = 0.1f;
    for (int i = 0; i < 10; ++i) idle->TvPlaneFire(kTvFireGuns);
    EXPECT_EQ(idle->shots_fired, 0);
}

TEST_F(PlaneCombat, OrdnanceIsReleasedHalfASecondApart) {
    TavrinPlane* plane = flying(0);
    std::strcpy(plane->bomb_sound_name, "Bomb.Drop");
    EXPECT_EQ(plane->TvPlaneFire(kTvFireOrdinance), OM_E_FAIL) << "no ordnance";
    plane->ordinance_type = kTvOrdnanceBomb;
    EXPECT_EQ(plane->TvPlaneFire(kTvFireOrdinance), OM_E_FAIL) << "none left";
    plane->ordinance_count = 3;
    plane->secondary_timer = 0.5f;
    EXPECT_EQ(plane->TvPlaneFire(kTvFireOrdinance), OM_S_OK);
    EXPECT_EQ(weapon->next_slot(), 0) << "not before 0.5 s";
    plane->secondary_timer = 0.6f;
    EXPECT_EQ(plane->TvPlaneFire(kTvFireOrdinance), OM_S_OK);
    EXPECT_EQ(weapon->next_slot(), 1);
    EXPECT_EQ(weapon->slot(0).index, kTvOrdnanceBomb);
    EXPECT_EQ(plane->ordinance_count, 2);
    EXPECT_EQ(plane->secondary_timer, 0.0f);
    EXPECT_EQ(sounds_named("Bomb.Drop"), 1u);
    // A player with the infinite cheat keeps the count.
    owned.settings.infinite = 1;
    plane->flags |= kTvFlagPlayerPlane;
    plane->secondary_timer = 1.0f;
    plane->TvPlaneFire(kTvFireOrdinance);
    EXPECT_EQ(weapon->next_slot(), 2);
    EXPECT_EQ(plane->ordinance_count, 2);
    owned.settings.infinite = 0;
}

TEST_F(PlaneCombat, APlayersRocketsAimAtTheNearestTargetInTheCone) {
    struct Case {
        std::vector<LgVector> targets; // group 7, relative to the plane
        bool aimed;
    };
    const Case cases[] = {
        {{{0, -30, 200}}, true},
        {{{0, -120, 800}}, false},              // beyond 600
        {{{0, -150, 200}}, false},              // outside the cone
        {{{0, -60, 400}, {0, -20, 150}}, true}, // the nearer (the last) wins
    };
    float x = -2000.0f;
    int32_t id = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(x);
        const LgVector at = {x += 1000.0f, 1000, 0};
        TavrinPlane* plane = flying(kTvFlagPlayerPlane, at);
        plane->speed = 50.0f;
        plane->velocity = {0, 0, 50};
        plane->ordinance_type = kTvOrdnanceRocket;
        plane->ordinance_count = 5;
        plane->secondary_timer = 1.0f;
        LgVector chosen{};
        for (const LgVector& t : c.targets) {
            const LgVector where = {at.x + t.x, at.y + t.y, at.z + t.z};
            auto* o = new TestObject(id++, 1u << 7, where);
            EXPECT_EQ(game->AddObject(o, 0x1c0, 0), OM_S_OK);
            o->Release();
            chosen = t;
        }
        const int32_t slot = weapon->next_slot();
        ASSERT_EQ(plane->TvPlaneFire(kTvFireOrdinance), OM_S_OK);
        const TvProjectile& rocket = weapon->slot(slot);
        ASSERT_EQ(rocket.index, kTvOrdnanceRocket);
        const float length =
            std::sqrt(chosen.x * chosen.x + chosen.y * chosen.y + chosen.z * chosen.z);
        const float dy = c.aimed ? chosen.y / length : 0.0f;
        EXPECT_NEAR(rocket.placement->at.y, dy, 1e-4f);
        // 120 along the (aimed) heading, the plane's velocity with y = direction y x speed.
        EXPECT_NEAR(rocket.velocity.y, dy * 120.0f + dy * 50.0f, 0.02f);
        EXPECT_NEAR(rocket.velocity.z, 120.0f + 50.0f, 0.02f);
        game->ForEachLiveInGroup(
            -7, [](ITvObject* o, void* g) { static_cast<ITvGame*>(g)->RemoveObject(o); }, game);
    }
}

TEST_F(PlaneCombat, PickupsAndTheirCaps) {
    struct Case {
        int32_t type, count, maximum; // before
        float damage;
        std::vector<int32_t> kinds;
        bool networked;
        OmResult last;
        int32_t type_after, count_after;
        float damage_after, boost_after;
        const char* sound;
    };
    const Case cases[] = {
        {0, 0, 12, 10.0f, {3}, false, OM_S_OK, 0, 0, 0.0f, 0.0f, "Health"},
        {0, 0, 12, 40.0f, {3}, false, OM_S_OK, 0, 0, 15.0f, 0.0f, "Health"},
        {2, 0, 12, 0.0f, {1, 1}, false, OM_S_OK, 2, 12, 0.0f, 0.0f, "Ammo"},
        {2, 3, 12, 0.0f, {1, 1}, true, OM_S_OK, 2, 23, 0.0f, 0.0f, "Ammo"},
        {1, 4, 20, 0.0f, {1}, false, OM_S_OK, 2, 14, 0.0f, 0.0f, "Ammo"}, // a bomber turns rocket
        {2, 4, 20, 0.0f, {2}, false, OM_S_OK, 1, 9, 0.0f, 0.0f, "Ammo"},
        {0, 0, 0, 0.0f, {5}, false, OM_S_OK, 0, 0, 0.0f, 5.0f, "BoostPickup"},
        {1, 4, 20, 5.0f, {4}, false, OM_E_FAIL, 1, 4, 5.0f, 0.0f, nullptr}, // the repairman
        {1, 4, 20, 5.0f, {9}, false, OM_E_FAIL, 1, 4, 5.0f, 0.0f, nullptr},
    };
    float x = 0.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(x);
        TavrinPlane* plane = flying(0, {x += 100.0f, 600, 500});
        NetworkedGame* net = nullptr;
        if (c.networked) {
            net = new NetworkedGame;
            plane->game = net;
        }
        plane->ordinance_type = c.type;
        plane->ordinance_count = c.count;
        plane->ordinance_maximum = c.maximum;
        plane->damage = c.damage;
        combat.sounds.clear();
        OmResult r = OM_S_OK;
        for (int32_t kind : c.kinds) r = plane->TvPlanePickup(kind, 77);
        EXPECT_EQ(r, c.last);
        EXPECT_EQ(plane->ordinance_type, c.type_after);
        EXPECT_EQ(plane->ordinance_count, c.count_after);
        EXPECT_EQ(plane->damage, c.damage_after);
        EXPECT_EQ(plane->boost_time, c.boost_after);
        if (c.sound) {
            ASSERT_EQ(combat.sounds.size(), c.kinds.size());
            EXPECT_EQ(combat.sounds[0].name, c.sound);
        } else {
            EXPECT_TRUE(combat.sounds.empty());
        }
        if (net) {
            plane->game = game;
            net->Release();
        }
    }
}

TEST_F(PlaneCombat, TheNetStateIsFullOrPositionOnly) {
    TavrinPlane* plane = flying(0, {300, 600, 400});
    plane->speed = 80.0f;
    LgMatrix banked = placed({0, 0, 0}, {0, 0, 1}, {0.6f, 0.8f, 0});
    *plane->model_matrix = banked;
    TvPlaneNetState full{kTvNetStateFull, -1, {}, {}, {}};
    ASSERT_EQ(plane->TvPlaneGetNetState(&full), OM_S_OK);
    EXPECT_EQ(full.partial, 0);
    EXPECT_EQ(full.position.x, 300.0f);
    EXPECT_EQ(full.position.z, 400.0f);
    EXPECT_EQ(full.velocity.z, 80.0f);
    EXPECT_EQ(full.right.x, banked.right.x);
    EXPECT_EQ(full.right.y, banked.right.y);
    TvPlaneNetState part{0x10, -1, {}, {9, 9, 9}, {}};
    ASSERT_EQ(plane->TvPlaneGetNetState(&part), OM_S_OK);
    EXPECT_EQ(part.partial, 1);
    EXPECT_EQ(part.position.y, 600.0f);
    EXPECT_EQ(part.velocity.x, 9.0f) << "untouched";
    EXPECT_EQ(plane->TvPlaneGetNetState(nullptr), OM_E_FAIL);
}

TEST_F(PlaneCombat, TheShadowHangsStraightDownFromAheadOfThePlane) {
    shadow_calls().clear();
    TvSetPlaneShadowDrawer(
        [](const LgMatrix* m, LgWorld* w, LgTexture* t, float half, float length, int32_t fade) {
            shadow_calls().push_back({*m, w, t, half, length, fade});
        });
    TavrinPlane* plane = flying(0, {500, 600, 500});
    plane->Render();
    EXPECT_TRUE(shadow_calls().empty()) << "no model in a world, no shadow texture";

    LgClump* model = gametest::box_model();
    plane->SetProperty(kTvPropModel, reinterpret_cast<uintptr_t>(model));
    LgMatrix turned = placed({500, 600, 500}, {0.6f, 0, 0.8f}, {0, 0.8f, -0.6f});
    // The plane pitched so its right row leaves the horizontal.
    turned.up = {0, 1, 0};
    turned.right = {0.8f, 0.2f, -0.6f};
    plane->SetProperty(kTvPropMatrix, reinterpret_cast<uintptr_t>(&turned));
    LgTexture* shadow = LgTextureCreate(LgRasterCreate(4, 4, 32, LgRasterTypeTexture));
    plane->shadow_texture = shadow;
    plane->shadow_offset = 5.0f;
    landscapetest::ViewCamera view({500, 900, 500}, {0, -1, 0});
    ASSERT_TRUE(view.begin());
    plane->Render();
    view.end();
    ASSERT_EQ(shadow_calls().size(), 1u);
    const ShadowCall& call = shadow_calls()[0];
    EXPECT_EQ(call.world, world);
    EXPECT_EQ(call.texture, shadow);
    EXPECT_FLOAT_EQ(call.half_width, (5.0f + 5.0f) * 0.7f);
    EXPECT_EQ(call.length, 500.0f);
    EXPECT_EQ(call.fade, 1);
    EXPECT_NEAR(call.matrix.pos.x, 500.0f + 0.6f * 5.0f, 1e-4f);
    EXPECT_NEAR(call.matrix.pos.z, 500.0f + 0.8f * 5.0f, 1e-4f);
    EXPECT_EQ(call.matrix.at.y, -1.0f);
    EXPECT_NEAR(call.matrix.right.x, 0.8f, 1e-5f);
    EXPECT_EQ(call.matrix.right.y, 0.0f);
    EXPECT_NEAR(call.matrix.right.z, -0.6f, 1e-5f);
    EXPECT_NEAR(call.matrix.up.x, 0.6f, 1e-5f); // (-right z, 0, right x)
    EXPECT_NEAR(call.matrix.up.z, 0.8f, 1e-5f);
    EXPECT_EQ(device.states[6], 0u);
    EXPECT_EQ(device.states[11], 1u);
    EXPECT_EQ(device.states[7], 2u);

    // On its side the heading gives the shadow's right; a wreck has none.
    LgMatrix side{};
    side.right = {0, 1, 0};
    side.at = {0, 0, 1};
    const LgMatrix m = tvplane::shadow_matrix(side, 0.0f);
    EXPECT_EQ(m.right.x, 1.0f);
    plane->state = kTvPlaneCrashed;
    plane->Render();
    EXPECT_EQ(shadow_calls().size(), 1u);
    TvSetPlaneShadowDrawer(nullptr);
    plane->shadow_texture = nullptr;
    LgTextureDestroy(shadow);
}

TEST_F(PlaneCombat, TheFlashAloneLeavesTheDamage) {
    TavrinPlane* plane = flying(0);
    plane->hit_indicator = 0.1f;
    EXPECT_EQ(TvPlaneFlashHit(plane), OM_S_OK);
    EXPECT_EQ(plane->flash_time, 0.25f);
    EXPECT_EQ(plane->hit_indicator, 1.0f);
    EXPECT_EQ(plane->damage, 0.0f);
    EXPECT_EQ(TvPlaneFlashHit(nullptr), OM_E_FAIL);
}
