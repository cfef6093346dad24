// Armed ground objects: the gun sections of ground.ini, creation from a vehicle entry with the
// turret frame, the lead and the firing cone, range on the horizontal only, burst timing over
// whole cycles, the turret rows of both kinds, retargeting, and a dead gun's silence. Shots
// are recorded at the launcher seam in front of the weapon component.
#include "game/world/tv_effect_modules.h"
#include "game/world/tv_effects.h"
#include "game/world/tv_explosions.h"
#include "game/world/tv_plane_shadow.h"
#include "game/world/tv_shadows.h"
#include "game/world/tv_weapon.h"
#include "tests/game/world/ground_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using groundtest::box_file;
using groundtest::GroundTest;

// A flying target: position and heading through the object's own matrix, speed through
// property 515 as a plane answers it.
class Flyer : public gametest::TestObject {
public:
    Flyer(int32_t id, LgVector at_position, float flying_speed = 0.0f, LgVector heading = {1, 0, 0})
        : TestObject(id, 1u << 8, at_position), speed(flying_speed) {
        own_matrix.at = heading;
    }
    OmResult GetProperty(uint32_t property, uintptr_t* out) override {
        if (property == kTvPlanePropSpeed) {
            *out = reinterpret_cast<uintptr_t>(&speed);
            return OM_S_OK;
        }
        return TestObject::GetProperty(property, out);
    }
    float speed;
};

struct Shot {
    int32_t ordnance;
    LgMatrix aim;
    LgVector velocity;
    ITvObject* owner;
    int frame;
};

std::vector<Shot>& shots() {
    static std::vector<Shot> list;
    return list;
}
int current_frame = 0;

OmResult record_shot(ITvObject*, int32_t ordnance, const LgMatrix* aim, const LgVector* velocity,
                     ITvObject* owner) {
    shots().push_back({ordnance, *aim, *velocity, owner, current_frame});
    return OM_S_OK;
}

class ArmedTest : public GroundTest {
protected:
    void SetUp() override {
        GroundTest::SetUp();
        shots().clear();
        current_frame = 0;
        TvSetGroundGunLauncher(record_shot);
        weapons = new gametest::FakeWeapons;
        game->SetWeapons(weapons);
        write_kind("aagun",
                   "[appearance]\ndff=aagun.dff\n[physics]\nendurance=50\n[armaments]\n"
                   "firerate=10\nfireon=1\nfireoff=2\n[sound]\ngunfire=Gun.Flak\n"
                   "altgunfire=Gun.Alt\n",
                   {{"aagun.dff", groundtest::turret_file()}});
    }
    void TearDown() override {
        TvSetGroundGunLauncher(nullptr);
        for (Flyer* f : flyers) f->Release();
        flyers.clear();
        weapons->Release();
        shots().clear();
        GroundTest::TearDown();
    }
    TavrinAIGroundObject* gun(float cone = 1.57f, float range = 300.0f,
                              const char* kind = "aagun") {
        auto* archetype = load<TavrinAIGroundObject>(kind);
        auto* object =
            make<TavrinAIGroundObject>(archetype, {500, 300, 500}, 0, nullptr, cone, range);
        return object;
    }
    Flyer* flyer(LgVector at, float speed = 0.0f, LgVector heading = {1, 0, 0}) {
        auto* f = new Flyer(100 + int32_t(flyers.size()), at, speed, heading);
        flyers.push_back(f);
        EXPECT_EQ(game->AddObject(f, 0, 0), OM_S_OK);
        return f;
    }
    void run(TavrinAIGroundObject* g, int frames) {
        for (int i = 0; i < frames; ++i, ++current_frame) g->Update();
    }

    gametest::FakeWeapons* weapons = nullptr;
    std::vector<Flyer*> flyers;
};

TEST_F(ArmedTest, LoadReadsTheGunAndMendsAMissingRate) {
    auto* kind = load<TavrinAIGroundObject>("aagun");
    EXPECT_EQ(kind->fire_rate, 10.0f);
    EXPECT_FLOAT_EQ(kind->shot_interval, 0.1f);
    EXPECT_EQ(kind->fire_on_time, 1.0f);
    EXPECT_EQ(kind->cycle_length, 3.0f);
    EXPECT_STREQ(kind->gun_sound, "Gun.Flak");
    EXPECT_STREQ(kind->alt_gun_sound, "Gun.Alt");
    EXPECT_EQ(kind->model_count, 1); // and the ground object's part

    struct Case {
        const char* armaments;
        float rate, on, cycle;
    };
    const Case cases[] = {{"fireon=2\nfireoff=1\n", 10.0f, 2.0f, 3.0f},
                          {"firerate=0\n", 10.0f, 1.0f, 1.0f},
                          {"firerate=-4\nfireoff=0.5\n", 10.0f, 1.0f, 1.5f},
                          {"firerate=4\n", 4.0f, 1.0f, 1.0f}};
    int i = 0;
    for (const Case& c : cases) {
        const std::string name = "gun" + std::to_string(i++);
        write_kind(name, std::string("[appearance]\ndff=g.dff\n[armaments]\n") + c.armaments,
                   {{"g.dff", box_file()}});
        auto* g = load<TavrinAIGroundObject>(name);
        EXPECT_EQ(g->fire_rate, c.rate) << c.armaments;
        EXPECT_TRUE(std::isfinite(g->shot_interval)) << c.armaments;
        EXPECT_FLOAT_EQ(g->shot_interval, 1.0f / c.rate) << c.armaments;
        EXPECT_EQ(g->fire_on_time, c.on) << c.armaments;
        EXPECT_EQ(g->cycle_length, c.cycle) << c.armaments;
    }

    record.log.clear();
    OmResult r = OM_S_OK;
    load<TavrinAIGroundObject>("nosuchgun", &r);
    EXPECT_EQ(r, OM_E_FAIL);
    ASSERT_FALSE(record.log.empty());
    EXPECT_NE(record.log[0].find("Couldn't open AI file"), std::string::npos);
}

TEST_F(ArmedTest, CreateTakesTheEntryWordsAndTheTurretFrame) {
    TavrinAIGroundObject* g = gun(0.8f, 450.0f);
    EXPECT_EQ(g->target_group, 8);
    EXPECT_EQ(g->firing_cone, 0.8f);
    EXPECT_EQ(g->range, 450.0f);
    EXPECT_EQ(g->fire_rate, 10.0f);
    EXPECT_EQ(g->cycle_length, 3.0f);
    EXPECT_STREQ(g->gun_sound, "Gun.Flak");
    ASSERT_NE(g->turret_matrix, nullptr);
    EXPECT_NE(g->turret_matrix, g->matrix);
    EXPECT_FLOAT_EQ(g->turret_matrix->pos.y, 2.0f); // the child frame, 2 above the root
    EXPECT_EQ(g->matrix->pos.y, 150.0f);

    // Without a descriptor: the defaults, the object's own matrix for a turret.
    auto* bare = new TavrinAIGroundObject;
    EXPECT_EQ(bare->Create(nullptr), OM_S_OK);
    EXPECT_EQ(bare->firing_cone, 0.0f);
    EXPECT_EQ(bare->range, 300.0f);
    EXPECT_EQ(bare->target_group, 8);
    EXPECT_EQ(bare->fire_rate, 10.0f);
    bare->Release();
}

TEST_F(ArmedTest, LeadsTheTargetAndFiresTheFlakThroughTheWeapon) {
    TavrinAIGroundObject* g = gun();
    const LgVector target{500, 260, 700};
    flyer(target, 100.0f, {1, 0, 0});
    run(g, 30);
    ASSERT_FALSE(shots().empty());
    const LgVector to_target{0, 110, 200};
    const float distance = std::sqrt(110.0f * 110.0f + 200.0f * 200.0f);
    LgVector aim{distance * 100.0f * 0.005f, 110, 200};
    LgVectorNormalize(&aim, &aim);
    for (const Shot& s : shots()) {
        EXPECT_EQ(s.ordnance, 3);
        EXPECT_EQ(s.owner, static_cast<ITvObject*>(g));
        EXPECT_EQ(s.velocity.x, 0.0f);
        EXPECT_EQ(s.velocity.y, 0.0f);
        EXPECT_NEAR(s.aim.at.x, aim.x, 1e-5f);
        EXPECT_NEAR(s.aim.at.y, aim.y, 1e-5f);
        EXPECT_NEAR(s.aim.at.z, aim.z, 1e-5f);
        EXPECT_NEAR(s.aim.right.x * s.aim.at.x + s.aim.right.z * s.aim.at.z, 0.0f, 1e-5f);
        EXPECT_EQ(s.aim.pos.y, 150.0f);
    }
    // Half a second at 10 shots a second; each shot plays the gun sound.
    EXPECT_EQ(shots().size(), 5u);
    int sounds = 0;
    for (const auto& p : groundtest::played()) sounds += p.name == "Gun.Flak";
    EXPECT_EQ(sounds, 5);
    (void)to_target;
}

TEST_F(ArmedTest, RangeCountsOnTheHorizontalOnlyAndTheConeAndHeightGate) {
    struct Case {
        float cone;
        LgVector target;
        bool fires;
    };
    const Case cases[] = {
        {1.57f, {500, 400, 800}, false}, // exactly 300 across: out of range
        {1.57f, {500, 400, 799}, true},  // just inside, however high
        {0.0f, {500, 400, 700}, false},  // a closed cone never fires
        {1.57f, {500, 170, 700}, false}, // low on the horizon
        {1.57f, {500, 450, 560}, false}, // steep: outside a 90 degree cone
        {3.0f, {500, 450, 560}, true},   // inside a wide one
    };
    for (const Case& c : cases) {
        TavrinAIGroundObject* g = gun(c.cone);
        Flyer* f = flyer(c.target);
        const LgMatrix turret = *g->turret_matrix;
        shots().clear();
        run(g, 12);
        EXPECT_EQ(!shots().empty(), c.fires) << c.target.y << " " << c.target.z << " " << c.cone;
        if (!c.fires) {
            EXPECT_EQ(g->turret_matrix->at.x, turret.at.x);
            EXPECT_EQ(g->turret_matrix->at.z, turret.at.z);
        }
        f->status = 1; // out of the next case's way
    }
}

TEST_F(ArmedTest, BurstsFireTenShotsInTheFirstSecondOfEveryThree) {
    TavrinAIGroundObject* g = gun();
    flyer({500, 260, 700});
    run(g, 9 * 60);
    int per_cycle[3] = {0, 0, 0};
    for (const Shot& s : shots()) {
        const int cycle = s.frame / 180;
        const int within = s.frame % 180;
        ASSERT_LT(cycle, 3);
        EXPECT_LE(within, 61) << s.frame; // only in the first second (and its last frame)
        ++per_cycle[cycle];
    }
    EXPECT_EQ(per_cycle[0] + per_cycle[1] + per_cycle[2], 30);
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(per_cycle[c], 10, 1) << c;
}

TEST_F(ArmedTest, TurretTurnsAboutTheVerticalOrAimsItsUpAxis) {
    TavrinAIGroundObject* g = gun();
    flyer({550, 300, 700});
    run(g, 2);
    LgVector dir{50, 150, 200};
    LgVectorNormalize(&dir, &dir);
    const LgMatrix& t = *g->turret_matrix;
    LgVector flat{dir.x, 0, dir.z};
    LgVectorNormalize(&flat, &flat);
    EXPECT_NEAR(t.at.x, flat.x, 1e-5f);
    EXPECT_NEAR(t.at.y, 0.0f, 1e-5f);
    EXPECT_NEAR(t.at.z, flat.z, 1e-5f);
    EXPECT_NEAR(t.up.y, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(t.pos.y, 2.0f); // the turret stays where it is mounted

    write_kind("canyonaagun", "[appearance]\ndff=aagun.dff\n[armaments]\nfirerate=10\n",
               {{"aagun.dff", groundtest::turret_file()}});
    TavrinAIGroundObject* canyon = gun(1.57f, 300.0f, "canyonaagun");
    ASSERT_EQ(canyon->canyon_gun, 1);
    flyers.back()->status = 1;
    flyer({550, 300, 700});
    run(canyon, 2);
    const LgMatrix& c = *canyon->turret_matrix;
    EXPECT_NEAR(c.up.x, dir.x, 1e-5f);
    EXPECT_NEAR(c.up.y, dir.y, 1e-5f);
    EXPECT_NEAR(c.up.z, dir.z, 1e-5f);
    EXPECT_NEAR(c.at.x * c.up.x + c.at.y * c.up.y + c.at.z * c.up.z, 0.0f, 1e-5f);
}

TEST_F(ArmedTest, FarTargetsAreReconsideredAndDeadOnesReplaced) {
    TavrinAIGroundObject* g = gun();
    Flyer* far = flyer({500, 300, 760}); // about 300 away
    run(g, 1);
    EXPECT_EQ(g->target, static_cast<ITvObject*>(far));
    Flyer* near = flyer({500, 280, 620}); // about 180 away
    run(g, 1);
    EXPECT_EQ(g->target, static_cast<ITvObject*>(near));
    Flyer* nearer = flyer({500, 260, 560});
    run(g, 1);
    EXPECT_EQ(g->target, static_cast<ITvObject*>(near)); // within 200: kept
    near->status = 1;
    run(g, 1);
    EXPECT_EQ(g->target, static_cast<ITvObject*>(nearer));
}

TEST_F(ArmedTest, AfterAModelChangeTheTurretIsFoundAgainAndNoFreedFrameIsTurned) {
    // Two one-frame damage stages, or a first stage with a turret of its own: 30 of 50
    // damage shows stage 1 and frees the intact model's frames.
    struct Case {
        const char* kind;
        bool stage_has_turret;
    };
    for (const Case c : {Case{"aagunboxes", false}, Case{"aagunturrets", true}}) {
        SCOPED_TRACE(c.kind);
        write_kind(c.kind,
                   "[appearance]\ndff=aagun.dff\ndamagedff1=stage1.dff\ndamagedff2=stage2.dff\n"
                   "[physics]\nendurance=50\n[armaments]\nfirerate=10\nfireon=1\nfireoff=2\n",
                   {{"aagun.dff", groundtest::turret_file()},
                    {"stage1.dff", c.stage_has_turret ? groundtest::turret_file() : box_file(1.0f)},
                    {"stage2.dff", box_file(1.0f)}});
        TavrinAIGroundObject* g = gun(1.57f, 300.0f, c.kind);
        ASSERT_EQ(g->model_count, 3);
        Flyer* target = flyer({550, 300, 700});
        run(g, 1);
        EXPECT_EQ(g->AddDamage(30.0f, 0), OM_E_FAIL);
        run(g, 1); // the model changes
        ASSERT_EQ(g->shown_model, 1);
        LgFrame* unrelated = LgFrameCreate();
        run(g, 3);
        const LgMatrix* m = LgFrameGetMatrix(unrelated);
        EXPECT_EQ(m->right.x, 1.0f);
        EXPECT_EQ(m->up.y, 1.0f);
        EXPECT_EQ(m->at.x, 0.0f);
        EXPECT_EQ(m->at.z, 1.0f);
        if (c.stage_has_turret) {
            ASSERT_NE(g->turret_matrix, nullptr);
            EXPECT_FLOAT_EQ(g->turret_matrix->pos.y, 2.0f) << "the new model's turret";
            EXPECT_GT(g->turret_matrix->at.x, 0.1f) << "turned toward the target";
        } else {
            EXPECT_EQ(g->turret_matrix, nullptr) << "a stage without a turret does not turn";
        }
        run(g, 10);
        EXPECT_FALSE(shots().empty()) << "the damaged gun still fires";
        LgFrameDestroy(unrelated);
        target->status = 1;
        shots().clear();
    }
}

TEST_F(ArmedTest, ADeadGunNeitherAimsNorFiresButStillChangesModel) {
    write_kind("aagun2",
               "[appearance]\ndff=aagun.dff\ndeaddff=dead.dff\n[physics]\nendurance=50\n"
               "[armaments]\nfirerate=10\n",
               {{"aagun.dff", groundtest::turret_file()}, {"dead.dff", box_file(1.0f)}});
    TavrinAIGroundObject* g = gun(1.57f, 300.0f, "aagun2");
    flyer({500, 260, 700});
    EXPECT_EQ(g->AddDamage(60.0f, 0), OM_S_OK);
    EXPECT_EQ(g->flash_time, kTvHitFlashSeconds);
    run(g, 30);
    EXPECT_TRUE(shots().empty());
    EXPECT_EQ(g->shown_model, 1);
}

// A weapon component that notes its launches.
class NotingWeapon final : public TavrinObjectBase<ITvWeapon> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvObject, this}, {&IID_ITvWeapon, this}});
    }
    OmResult Launch(int32_t index, const LgMatrix* launcher, const LgVector*,
                    ITvObject* owner) override {
        launches.push_back({index, launcher->at, owner});
        return OM_S_OK;
    }
    OmResult Clear() override { return OM_S_OK; }
    TvOrdinance* GetOrdinanceTable() override { return nullptr; }
    OmResult SetDrift(const LgVector*) override { return OM_S_OK; }
    struct Launched {
        int32_t index;
        LgVector at;
        ITvObject* owner;
    };
    std::vector<Launched> launches;
};

TEST_F(ArmedTest, ByDefaultShotsGoThroughTheWeaponsLaunch) {
    TvSetGroundGunLauncher(nullptr);
    auto* weapon = new NotingWeapon;
    game->SetWeapons(weapon);
    TavrinAIGroundObject* g = gun();
    flyer({500, 260, 700});
    run(g, 30);
    ASSERT_EQ(weapon->launches.size(), 5u);
    for (const auto& l : weapon->launches) {
        EXPECT_EQ(l.index, kTvOrdnanceFlak);
        EXPECT_EQ(l.owner, static_cast<ITvObject*>(g));
        EXPECT_GT(l.at.y, 0.2f);
    }
    EXPECT_TRUE(shots().empty());
    game->SetWeapons(nullptr);
    weapon->Release();
}

TEST(EffectModules, StartUpInstallsTheEffectsAndThePlaneShadow) {
    TvInstallEffectModules();
    EXPECT_EQ(TvEffects().spawn_explosion, &TvStartExplosion);
    EXPECT_EQ(TvEffects().spawn_smoke, &TvSpawnSmokeColumn);
    EXPECT_EQ(TvEffects().explosions_update, &TvUpdateExplosions);
    EXPECT_EQ(TvEffects().explosions_release, &TvReleaseExplosions);
    EXPECT_EQ(TvEffects().shrapnel_load, &TvInitShrapnel);
    EXPECT_EQ(TvEffects().shrapnel_clear, &TvClearShrapnelPieces);
    EXPECT_EQ(TvEffects().shrapnel_move, &TvUpdateShrapnel);
    EXPECT_EQ(TvGetPlaneShadowDrawer(), &TvDrawPlaneShadow);
    TvRemoveEffectModules();
    EXPECT_EQ(TvEffects().spawn_explosion, nullptr);
    EXPECT_EQ(TvGetPlaneShadowDrawer(), nullptr);
}

} // namespace
