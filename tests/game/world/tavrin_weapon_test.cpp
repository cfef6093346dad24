// The weapon: ordinance.ini (the demo table, gaps, the ten-section limit, broken models), the
// singleton, launches from the weapon's own random sequence, the 512-slot ring, bombs under
// gravity, rockets with their backward segment, splash by distance, tracers' launch-time hits,
// the tracer-versus-plane test, the AA shell's burst, impact sounds, drift, expiry, Clear and
// the tracers' drawing.
#include "engine/world/lg_random.h"
#include "tests/game/world/weapon_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

using gametest::TestObject;
using weapontest::aim;
using weapontest::WeaponTest;

namespace {

constexpr LgVector kStill = {0, 0, 0};

float distance(LgVector a, LgVector b) {
    const float x = a.x - b.x, y = a.y - b.y, z = a.z - b.z;
    return std::sqrt(x * x + y * y + z * z);
}

// Runs steps until the slot is free (at most `limit`); the steps run.
int run_until_free(WeaponTest* test, TavrinWeapon* weapon, int32_t slot, int limit = 2000) {
    int n = 0;
    while (weapon->slot(slot).ordnance && n < limit) {
        weapon->Update();
        ++n;
    }
    (void)test;
    return n;
}

} // namespace

TEST_F(WeaponTest, ReadsTheDemoOrdnanceTable) {
    dir.write_file("objects/ordinance/rocket.dff", "not a model at all");
    make_weapon();
    ASSERT_EQ(weapon->ordnance_count(), 4);
    const TvOrdinance* t = weapon->GetOrdinanceTable();
    EXPECT_STREQ(t[0].name, "Machine gun");
    EXPECT_STREQ(t[3].name, "AA shell");
    // With a blast radius the damage is kept per unit of radius.
    EXPECT_FLOAT_EQ(t[0].damage, 4.0f);
    EXPECT_FLOAT_EQ(t[1].damage, 120.0f / 40.0f);
    EXPECT_FLOAT_EQ(t[2].damage, 80.0f / 25.0f);
    EXPECT_FLOAT_EQ(t[3].damage, 6.0f / 15.0f);
    EXPECT_EQ(t[0].release_speed, 400.0f);
    EXPECT_EQ(t[2].accel, 200.0f);
    EXPECT_EQ(t[3].jitter, 0.03f);
    EXPECT_EQ(t[0].size, 0.15f);
    EXPECT_STREQ(t[0].ground_hit, "Hit.Ground");
    EXPECT_STREQ(t[1].ground_hit, "Explosion.Bomb");
    // Models: the bomb's loads, the rocket's file is not a model, tracers have none.
    EXPECT_NE(t[1].model, nullptr);
    EXPECT_EQ(t[2].model, nullptr);
    EXPECT_EQ(t[0].model, nullptr);
    EXPECT_NE(std::find(record.log.begin(), record.log.end(),
                        "tvopweapon: Was not a clump file objects\\ordinance\\rocket.dff"),
              record.log.end());
    // Textures "<raster>.bmp" from the ordnance folder; the image path is put back.
    ASSERT_NE(t[0].texture, nullptr);
    EXPECT_STREQ(LgTextureGetName(t[0].texture), "tracer.bmp");
    EXPECT_STREQ(LgTextureGetName(t[3].texture), "flak.bmp");
    bool from_folder = false;
    for (const auto& r : landscapetest::texture_reads())
        if (r.name == "tracer.bmp") from_folder = r.path == "objects\\ordinance\\";
    EXPECT_TRUE(from_folder);
    EXPECT_STREQ(LgImageGetPath(), "start\\");
}

TEST_F(WeaponTest, SectionsStopAtTheFirstGapAndAfterTheTenth) {
    auto sections = [](std::initializer_list<int> numbers) {
        std::string ini;
        for (int n : numbers)
            ini += "[ordinance" + std::to_string(n) + "]\nname=o" + std::to_string(n) +
                   "\ndamage=" + std::to_string(n) + "\n";
        return ini;
    };
    struct Case {
        std::string ini;
        int32_t count;
    };
    const Case cases[] = {
        {sections({1, 2, 4}), 2},
        {sections({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), 10},
        {sections({2, 3}), 0},
        {"[hitsounds]\nwater=Hit.Water\n", 0},
    };
    make_weapon();
    TvCreateDescriptor d{};
    d.game = game;
    for (const Case& c : cases) {
        dir.write_file("objects/ordinance/ordinance.ini", c.ini);
        ASSERT_EQ(weapon->Create(&d), OM_S_OK);
        EXPECT_EQ(weapon->ordnance_count(), c.count) << c.ini;
        if (c.count > 0) {
            EXPECT_EQ(weapon->GetOrdinanceTable()[c.count - 1].damage, float(c.count));
        }
    }
    // A launch of an index not loaded is refused.
    EXPECT_EQ(weapon->Launch(0, &placed_at, &kStill, nullptr), OM_E_FAIL);
    std::filesystem::remove(dir.path() + "/objects/ordinance/ordinance.ini");
    EXPECT_EQ(weapon->Create(&d), OM_E_FAIL);
    EXPECT_EQ(weapon->ordnance_count(), 0);
}

TEST_F(WeaponTest, HostileNumbersReadAsAbsentOrAsNoBlast) {
    struct Case {
        const char* keys;
        float damage, blast, size;
    };
    const Case cases[] = {
        {"damage=nan\nsize=inf\n", 0.0f, 0.0f, 0.0f},
        {"damage=1e39\nblast=-inf\nsize=-1e39\n", 0.0f, 0.0f, 0.0f},
        // A blast radius too small for the damage per unit of radius to be a number.
        {"damage=5\nblast=1e-40\nsize=2\n", 5.0f, 0.0f, 2.0f},
        {"damage=6\nblast=2\n", 3.0f, 2.0f, 0.0f},
    };
    make_weapon();
    TvCreateDescriptor d{};
    d.game = game;
    for (const Case& c : cases) {
        dir.write_file("objects/ordinance/ordinance.ini", std::string("[ordinance1]\n") + c.keys);
        ASSERT_EQ(weapon->Create(&d), OM_S_OK);
        const TvOrdinance& o = weapon->GetOrdinanceTable()[0];
        EXPECT_EQ(o.damage, c.damage) << c.keys;
        EXPECT_EQ(o.blast, c.blast) << c.keys;
        EXPECT_EQ(o.size, c.size) << c.keys;
    }
}

TEST_F(WeaponTest, IsOneInstanceAnsweringItsThreeInterfaces) {
    make_weapon();
    ITvObject* again = nullptr;
    ASSERT_EQ(OmCreateInstance(CLSID_TavrinWeapon, nullptr, 0, IID_ITvObject,
                               reinterpret_cast<void**>(&again)),
              OM_S_OK);
    EXPECT_EQ(again, static_cast<ITvObject*>(weapon));
    EXPECT_EQ(weapon->ref_count(), 2u);
    again->Release();
    void* out = nullptr;
    for (const GUID* iid : {&IID_IUnknown, &IID_ITvObject, &IID_ITvWeapon}) {
        ASSERT_EQ(weapon->QueryInterface(*iid, &out), OM_S_OK);
        static_cast<IUnknown*>(out)->Release();
    }
    EXPECT_LT(weapon->QueryInterface(IID_ITvPlane, &out), 0);
    EXPECT_EQ(weapon->IsDead(), 0);
    EXPECT_EQ(weapon->AddDamage(1e9f, 3), OM_S_OK);
    EXPECT_EQ(weapon->damage, 0.0f);
    const LgVector drift{1, 2, 3};
    weapon->SetDrift(&drift);
    weapon->Reset();
    weapon->Launch(0, &placed_at, &kStill, nullptr);
    EXPECT_EQ(weapon->slot(0).drift.y, 0.0f) << "Reset clears the drift";
}

TEST_F(WeaponTest, LaunchVelocitiesComeFromTheWeaponsOwnSequence) {
    make_weapon();
    const TvOrdinance& gun = weapon->GetOrdinanceTable()[0];
    const LgMatrix m = aim({500, 600, 500}, {0.6f, 0, 0.8f});
    const LgVector v = {10, -2, 5};
    // The weapon's sequence from seed 0: re-seed, keep a draw as the next seed, skip one,
    // then one draw per axis.
    uint32_t seed = 0;
    LgVector expected[3];
    for (LgVector& e : expected) {
        LgRandomSeed(seed);
        seed = LgRandom();
        LgRandom();
        float r[3];
        for (float& x : r) x = static_cast<float>(LgRandom() & 0x3ff) * (1.0f / 512.0f) - 1.0f;
        e = {m.at.x * gun.release_speed + v.x, m.at.y * gun.release_speed + v.y,
             m.at.z * gun.release_speed + v.z};
        e.x += r[0] * gun.jitter * gun.max_speed;
        e.y += r[1] * gun.jitter * gun.max_speed;
        e.z += r[2] * gun.jitter * gun.max_speed;
    }
    LgRandomSeed(4242);
    for (int i = 0; i < 3; ++i) {
        LgRandom(); // other code drawing between launches changes nothing
        ASSERT_EQ(weapon->Launch(0, &m, &v, nullptr), OM_S_OK);
        const LgVector got = weapon->slot(i).velocity;
        EXPECT_EQ(got.x, expected[i].x) << i;
        EXPECT_EQ(got.y, expected[i].y) << i;
        EXPECT_EQ(got.z, expected[i].z) << i;
    }
    EXPECT_NE(expected[0].x, expected[1].x);
    EXPECT_EQ(weapon->seed(), seed);
    EXPECT_EQ(weapon->Launch(4, &m, &v, nullptr), OM_E_FAIL);
    EXPECT_EQ(weapon->Launch(-1, &m, &v, nullptr), OM_E_FAIL);
    EXPECT_EQ(weapon->next_slot(), 3);
}

TEST_F(WeaponTest, Launch513ReusesTheFirstSlotAndLetsGoOfItsBomb) {
    make_weapon();
    TestObject* owner = obstacle(5, {100, 400, 100});
    const LgMatrix m = aim({3000, 2000, 3000}, {0, 0, 1});
    for (int i = 0; i < kTvProjectileSlots; ++i)
        ASSERT_EQ(weapon->Launch(kTvOrdnanceBomb, &m, &kStill, owner), OM_S_OK);
    EXPECT_EQ(owner->ref_count(), 1u + kTvProjectileSlots);
    EXPECT_EQ(weapontest::clumps_in(world), 1 + kTvProjectileSlots);
    EXPECT_EQ(weapon->next_slot(), 0);
    const LgClump* first = weapon->slot(0).model;
    ASSERT_EQ(weapon->Launch(kTvOrdnanceBomb, &m, &kStill, owner), OM_S_OK);
    EXPECT_EQ(weapon->next_slot(), 1);
    EXPECT_NE(weapon->slot(0).model, nullptr);
    EXPECT_EQ(weapon->slot(0).age, 0.0f);
    (void)first;
    // The overwritten bomb left the world and gave its owner back.
    EXPECT_EQ(owner->ref_count(), 1u + kTvProjectileSlots);
    EXPECT_EQ(weapontest::clumps_in(world), 1 + kTvProjectileSlots);
    weapon->Clear();
    EXPECT_EQ(owner->ref_count(), 1u);
    EXPECT_EQ(weapontest::clumps_in(world), 1);
    EXPECT_EQ(live(), 0);
}

TEST_F(WeaponTest, BombsFallAtSixtyAndBurstOnTheGround) {
    make_weapon();
    ASSERT_EQ(weapon->Launch(kTvOrdnanceBomb, &placed_at, &kStill, nullptr), OM_S_OK);
    const TvProjectile& bomb = weapon->slot(0);
    ASSERT_NE(bomb.model, nullptr);
    EXPECT_EQ(bomb.placement, LgFrameGetMatrix(LgClumpGetFrame(bomb.model)));
    steps(60);
    EXPECT_NEAR(bomb.velocity.y, -60.0f, 1e-3f);
    // y = 400 - (1 + 2 + ... + 60) / 60
    EXPECT_NEAR(bomb.placement->pos.y, 400.0f - 30.5f, 1e-2f);
    EXPECT_NEAR(bomb.placement->at.y, -1.0f, 1e-5f) << "the nose follows the fall";
    // Trail puffs at 20 a second, small and rising.
    ASSERT_GE(particles->drifts.size(), 15u);
    EXPECT_LE(particles->drifts.size(), 20u);
    for (const TvDriftParticle& d : particles->drifts) {
        EXPECT_EQ(d.head.size, 0.1f);
        EXPECT_EQ(d.growth, 2.0f);
        EXPECT_EQ(d.velocity.y, 15.0f);
        EXPECT_EQ(d.alpha_rate, -0.3f);
    }
    EXPECT_TRUE(particles->fades.empty());

    run_until_free(this, weapon, 0);
    ASSERT_FALSE(weapon->slot(0).ordnance);
    ASSERT_EQ(particles->fades.size(), 1u);
    EXPECT_NEAR(particles->fades[0].head.position.y, 154.0f, 1e-3f);
    EXPECT_NEAR(particles->fades[0].head.position.x, 500.0f, 1e-3f);
    ASSERT_EQ(combat.explosions.size(), 1u);
    EXPECT_FLOAT_EQ(combat.explosions[0].size, 1.0f + 40.0f / 30.0f);
    ASSERT_EQ(combat.sounds.size(), 1u);
    EXPECT_EQ(combat.sounds[0].name, "Explosion.Bomb");
    EXPECT_EQ(weapontest::clumps_in(world), 0);
}

TEST_F(WeaponTest, SplashFallsWithDistanceAndTheLauncherTakesFivePercent) {
    make_weapon();
    TestObject* owner = obstacle(5, {500, 152, 515});
    // Two atomics: the object still takes the blast once.
    TestObject* near = obstacle(6, {520, 152, 500}, 0, 2.0f, nullptr, 0, 2);
    TestObject* far = obstacle(7, {600, 152, 500});
    const LgMatrix m = aim({500, 300, 500}, {0, 0, 1});
    ASSERT_EQ(weapon->Launch(kTvOrdnanceBomb, &m, &kStill, owner), OM_S_OK);
    run_until_free(this, weapon, 0);
    ASSERT_EQ(combat.explosions.size(), 1u);
    const LgVector c = combat.explosions[0].position;
    EXPECT_NEAR(c.x, 500.0f, 1e-3f);
    EXPECT_LT(c.y, 150.0f);
    EXPECT_NEAR(near->damage, (40.0f - distance(near->own_matrix.pos, c)) * 3.0f, 1e-3f);
    EXPECT_NEAR(owner->damage, (40.0f - distance(owner->own_matrix.pos, c)) * 3.0f * 0.05f, 1e-3f);
    EXPECT_GT(owner->damage, 0.0f);
    EXPECT_EQ(far->damage, 0.0f);
}

TEST_F(WeaponTest, RocketsThrustAndLookBehindTheirStart) {
    make_weapon();
    struct Case {
        float x;
        float behind; // how far behind the launch point the target stands
        bool hit;
    };
    for (const Case c : {Case{400, 2.0f, true}, Case{600, 15.0f, false}}) {
        SCOPED_TRACE(c.behind);
        TestObject* target = obstacle(int32_t(c.x), {c.x, 600, 500 - c.behind}, 0, 1.0f);
        // The launcher stands around the launch point and is never hit by its own rocket.
        TestObject* launcher = obstacle(int32_t(c.x) + 1, {c.x, 600, 500}, 0, 1.0f);
        particles->kinds.clear();
        const int32_t slot = weapon->next_slot();
        const LgMatrix m = aim({c.x, 600, 500}, {0, 0, 1});
        ASSERT_EQ(weapon->Launch(kTvOrdnanceRocket, &m, &kStill, launcher), OM_S_OK);
        weapon->Update();
        EXPECT_EQ(target->damage > 0.0f, c.hit);
        EXPECT_EQ(launcher->damage > 0.0f, c.hit) << "a share of its own splash";
        if (c.hit) {
            EXPECT_FALSE(weapon->slot(slot).ordnance);
            EXPECT_NE(std::count(particles->kinds.begin(), particles->kinds.end(), kTvParticleHit),
                      0);
            EXPECT_EQ(combat.explosions.size(), 1u);
            // The hit particle is where the segment met the target, 0.02 s back.
            ASSERT_FALSE(particles->fades.empty());
            const LgVector at = particles->fades.back().head.position;
            EXPECT_NEAR(at.x, c.x, 0.05f);
            EXPECT_NEAR(at.y, 600.0f, 0.05f);
            EXPECT_GT(at.z, 500.0f - c.behind - 1.0f - 2.6f);
            EXPECT_LT(at.z, 500.0f - c.behind + 1.0f - 2.4f);
        } else {
            ASSERT_TRUE(weapon->slot(slot).ordnance);
            // 120 at release, then 200 a second along the heading.
            EXPECT_NEAR(weapon->slot(slot).velocity.z, 120.0f + 200.0f / 60.0f, 0.02f);
        }
    }
}

TEST_F(WeaponTest, TracersHitWhatTheirLaunchSegmentMeetsFirst) {
    make_weapon();
    struct Case {
        float x;
        float object_y;
        uint32_t flags;
        const char* texture;
        bool object_hit;
        const char* sound;
    };
    const Case cases[] = {
        {300, 140, 0, nullptr, false, "Hit.Ground"},            // behind the ground
        {500, 170, 0, "canvas", true, "Hit.Canvas"},            // above it, a canvas skin
        {700, 170, 0, "grass", true, "Hit.Ground"},             // above it, another hit sound
        {900, 170, kTvFlagPlane, nullptr, false, "Hit.Ground"}, // planes are not tested here
    };
    steps(4); // the impact sound clock runs
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        TestObject* target =
            obstacle(int32_t(c.x), {c.x, c.object_y, 500}, c.flags, 2.0f, c.texture);
        particles->kinds.clear();
        particles->fades.clear();
        combat.sounds.clear();
        const int32_t slot = weapon->next_slot();
        ASSERT_EQ(launch(kTvOrdnanceGun, {c.x, 200, 500}, {0, -1, 0}), OM_S_OK);
        EXPECT_EQ(weapon->slot(slot).hit_object != nullptr, c.object_hit);
        steps(30);
        EXPECT_FALSE(weapon->slot(slot).ordnance);
        ASSERT_EQ(particles->fades.size(), 1u);
        EXPECT_EQ(particles->kinds.back(), c.object_hit ? kTvParticleHit : kTvParticleMaroon);
        // 0.02 s back along the flight, and 8 higher for a world hit.
        const float surface = c.object_hit ? c.object_y + 2.0f : 150.0f;
        EXPECT_NEAR(particles->fades[0].head.position.y, surface + 8.0f + (c.object_hit ? 0 : 8.0f),
                    0.1f);
        EXPECT_EQ(particles->fades[0].life, 0.5f);
        EXPECT_EQ(particles->fades[0].alpha_rate, 512.0f);
        EXPECT_EQ(particles->fades[0].head.size, 4.0f);
        EXPECT_EQ(target->damage, c.object_hit ? 4.0f : 0.0f);
        ASSERT_EQ(combat.sounds.size(), 1u);
        EXPECT_EQ(combat.sounds[0].name, c.sound);
        steps(4);
    }
}

TEST_F(WeaponTest, ATracerPassingClosePastAPlaneOfEitherSideHitsIt) {
    make_weapon();
    auto side_plane = [&](LgVector at, int32_t group) {
        TavrinPlane* plane = make_plane(0, planetest::placed(at));
        entries.back()->group_mask = 1u << group;
        plane->group_mask = 1u << group;
        EXPECT_EQ(game->AddObject(plane, 0x1c0, kTvUpdateEveryFrame), OM_S_OK);
        return plane;
    };
    TavrinPlane* shooter = side_plane({500, 600, 500}, kTvGroupSideA);
    TavrinPlane* target = side_plane({502, 600, 540}, kTvGroupSideB);
    TavrinPlane* aside = side_plane({520, 600, 540}, kTvGroupSideA);
    ASSERT_EQ(weapon->Launch(kTvOrdnanceGun, shooter->matrix, &kStill, shooter), OM_S_OK);
    steps(10);
    EXPECT_FALSE(weapon->slot(0).ordnance);
    EXPECT_EQ(target->damage, 4.0f);
    EXPECT_EQ(shooter->damage, 0.0f) << "its own shell passes it";
    EXPECT_EQ(aside->damage, 0.0f) << "farther than back x starboard length";
    EXPECT_TRUE(particles->fades.empty());
    for (const auto& s : combat.sounds) EXPECT_NE(s.name, "Hit.Ground");
}

TEST_F(WeaponTest, AnAAShellBurstsAtTenSecondsAtItsPrecomputedPoint) {
    make_weapon();
    ASSERT_EQ(launch(kTvOrdnanceFlak, {0, 1000, 0}, {0, 0, 1}, nullptr), OM_S_OK);
    const TvProjectile& shell = weapon->slot(0);
    const LgVector v = shell.velocity;
    const LgVector burst = shell.hit_point;
    EXPECT_NEAR(burst.z, v.z * 5.0f, 1e-3f);
    EXPECT_EQ(shell.hit_time, 10.0f);
    steps(599);
    ASSERT_TRUE(shell.ordnance);
    EXPECT_TRUE(particles->fades.empty());
    EXPECT_LE(run_until_free(this, weapon, 0), 3);
    ASSERT_EQ(particles->fades.size(), 1u);
    EXPECT_EQ(particles->kinds.back(), kTvParticleMaroon);
    const LgVector at = particles->fades[0].head.position;
    EXPECT_NEAR(at.x, burst.x - v.x * 0.02f, 1e-3f);
    EXPECT_NEAR(at.y, burst.y - v.y * 0.02f + 8.0f, 1e-3f);
    EXPECT_NEAR(at.z, burst.z - v.z * 0.02f, 1e-2f);
    ASSERT_EQ(combat.sounds.size(), 1u);
    EXPECT_EQ(combat.sounds[0].name, "Hit.Ground");
    EXPECT_TRUE(combat.explosions.empty());
}

TEST_F(WeaponTest, ImpactsWithinFiftyMillisecondsMakeOneSound) {
    make_weapon();
    steps(4);
    for (float x : {300.0f, 320.0f, 340.0f})
        launch(kTvOrdnanceGun, {x, 200, 500}, {0, -1, 0}, nullptr);
    steps(30);
    EXPECT_EQ(particles->fades.size(), 3u);
    EXPECT_EQ(combat.sounds.size(), 1u);
    // The next impact, more than 0.05 s later, is heard again.
    launch(kTvOrdnanceGun, {360, 200, 500}, {0, -1, 0}, nullptr);
    steps(30);
    EXPECT_EQ(particles->fades.size(), 4u);
    EXPECT_EQ(combat.sounds.size(), 2u);
}

TEST_F(WeaponTest, DriftMovesLaterLaunchesAndTheWorldBoxEndsThemQuietly) {
    make_weapon();
    const LgVector drift{0, 60, 0};
    weapon->SetDrift(&drift);
    ASSERT_EQ(launch(kTvOrdnanceGun, {0, 1000, 0}, {0, 0, 1}, nullptr), OM_S_OK);
    const float y = weapon->slot(0).placement->pos.y;
    const float vy = weapon->slot(0).velocity.y;
    weapon->Update();
    EXPECT_NEAR(weapon->slot(0).placement->pos.y, y + (vy + 60.0f) / 60.0f, 1e-3f);
    // Out of the world's box: freed with no effect.
    ASSERT_EQ(launch(kTvOrdnanceGun, {4995, 1000, 0}, {1, 0, 0}, nullptr), OM_S_OK);
    weapon->Update();
    EXPECT_FALSE(weapon->slot(1).ordnance);
    EXPECT_TRUE(weapon->slot(0).ordnance);
    EXPECT_TRUE(particles->kinds.empty());
    EXPECT_TRUE(combat.sounds.empty());
}

TEST_F(WeaponTest, ClearLetsGoOfOwnersTargetsAndModels) {
    make_weapon();
    TestObject* owner = obstacle(5, {100, 400, 100});
    TestObject* target = obstacle(6, {500, 170, 500});
    launch(kTvOrdnanceGun, {500, 200, 500}, {0, -1, 0}, owner);
    weapon->Launch(kTvOrdnanceBomb, &placed_at, &kStill, owner);
    EXPECT_EQ(target->ref_count(), 2u) << "the tracer's launch test holds its target";
    EXPECT_EQ(owner->ref_count(), 3u);
    weapon->Clear();
    EXPECT_EQ(target->ref_count(), 1u);
    EXPECT_EQ(owner->ref_count(), 1u);
    EXPECT_EQ(weapontest::clumps_in(world), 2);
    EXPECT_EQ(live(), 0);
}

TEST_F(WeaponTest, TracersAreDrawnAsStreaksInOneCall) {
    make_weapon();
    landscapetest::ViewCamera view({500, 600, 300}, {0, 0, 1});
    launch(kTvOrdnanceGun, {480, 600, 500}, {1, 0, 0}, nullptr);
    launch(kTvOrdnanceGun, {480, 620, 500}, {1, 0, 0}, nullptr);
    launch(kTvOrdnanceBomb, {480, 640, 500}, {1, 0, 0}, nullptr);
    ASSERT_TRUE(view.begin());
    device.draws.clear();
    weapon->Render();
    EXPECT_TRUE(device.draws.empty()) << "no view position yet";
    const LgVector eye{500, 600, 300};
    game->view_position_ = &eye;
    weapon->Render();
    view.end();
    game->view_position_ = nullptr;
    EXPECT_EQ(device.states[1], reinterpret_cast<uintptr_t>(
                                    LgTextureGetRaster(weapon->GetOrdinanceTable()[0].texture)));
    EXPECT_EQ(device.states[11], 1u);
    EXPECT_EQ(device.states[9], 5u);
    EXPECT_EQ(device.states[10], 6u);
    const auto triangles = device.triangles();
    ASSERT_EQ(triangles.size(), 4u) << "two tracers, the bomb not";
    for (const auto& t : triangles) EXPECT_EQ(t[0].colour >> 24, 196u);
}

namespace {

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

} // namespace

TEST_F(WeaponTest, AcrossTheNetworkARocketPassingCloseToAPlaneDetonates) {
    make_weapon();
    for (bool networked : {false, true}) {
        SCOPED_TRACE(networked);
        const float x = networked ? 700.0f : 300.0f;
        // A plane 2.5 to the side of the first step's path: out of the segment's reach, inside
        // the sphere of a quarter of the extended step.
        TestObject* plane = obstacle(int32_t(x), {x + 2.5f, 600, 502}, kTvFlagPlane, 0.5f);
        NetworkedGame* net = nullptr;
        if (networked) {
            net = new NetworkedGame;
            net->frame_time_ = planetest::kStep;
            weapon->game = net;
        }
        combat.explosions.clear();
        const int32_t slot = weapon->next_slot();
        ASSERT_EQ(launch(kTvOrdnanceRocket, {x, 600, 500}, {0, 0, 1}), OM_S_OK);
        weapon->Update();
        weapon->game = game;
        if (net) net->Release();
        EXPECT_EQ(!weapon->slot(slot).ordnance, networked);
        ASSERT_EQ(combat.explosions.size(), networked ? 1u : 0u);
        if (!networked) continue;
        // The detonation is at the plane, which takes the splash.
        EXPECT_EQ(combat.explosions[0].position.x, x + 2.5f);
        EXPECT_NEAR(plane->damage, 25.0f * 3.2f, 1e-3f);
    }
}
