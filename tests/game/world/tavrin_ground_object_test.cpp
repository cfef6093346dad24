// Ground objects over the flat test map: ground.ini reading and its failures, the model
// stages and the one explosion, the model change with debris and breakage sound, placement on
// the highest ground, pickups and their re-arm times on the platform clock, the hit report,
// the crate and shadow passes, and the editor's pick, move and turn.
#include "engine/world/lg_world_tie.h"
#include "framework/core/object_manager.h"
#include "game/world/tv_shadows.h"
#include "tests/game/world/ground_test_support.h"
#include "tests/support/virtual_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using groundtest::box_file;
using groundtest::GroundTest;
using groundtest::played;

constexpr const char* kHut = "[appearance]\n"
                             "dff=hut.dff\n"
                             "deaddff=hut_dead.dff\n"
                             "shadow=hutshadow.bmp\n"
                             "shadowscalar=2.5\n"
                             "ambient=0.25\n"
                             "[physics]\n"
                             "endurance=200\n"
                             "[sound]\n"
                             "hitsound=Hit.Building\n"
                             "explosion=Explosion.Building\n"
                             "breakage=Break.Building\n"
                             "althitsound=Hit.Alt\n";

// A plane that notes its pickups and the ids of the objects they came from.
class PickupPlane : public TavrinPlane {
public:
    OmResult TvPlanePickup(int32_t kind, int32_t object_id) override {
        pickups.push_back(kind);
        from.push_back(object_id);
        return OM_S_OK;
    }
    std::vector<int32_t> pickups;
    std::vector<int32_t> from;
};

float surface_ambient(LgClump* clump) {
    return gametest::atomics_of(clump).front()->geometry->surfaceProps.ambient;
}

TEST_F(GroundTest, LoadReadsTheKindFile) {
    write_kind("hut", kHut, {{"hut.dff", box_file(3.0f)}, {"hut_dead.dff", box_file(1.0f)}});
    TavrinGroundObject* hut = load("hut");
    EXPECT_EQ(hut->model_count, 2);
    EXPECT_EQ(hut->model, hut->models[0]);
    EXPECT_EQ(hut->endurance, 200.0f);
    EXPECT_EQ(hut->flags & kTvFlagSoft, 0u);
    EXPECT_FLOAT_EQ(hut->shadow_scale, 2.5f);
    EXPECT_STREQ(hut->hit_sound, "Hit.Building");
    EXPECT_STREQ(hut->explosion_sound, "Explosion.Building");
    EXPECT_STREQ(hut->breakage_sound, "Break.Building");
    EXPECT_STREQ(hut->alt_hit_sound, "Hit.Alt");
    EXPECT_EQ(hut->canyon_gun, 0);
    EXPECT_EQ(TvClumpGetOwner(hut->model), static_cast<ITvObject*>(hut));
    // The shadow is read as CLEAR with the file as its mask, from the ground textures.
    ASSERT_NE(hut->shadow_texture, nullptr);
    EXPECT_STREQ(LgTextureGetName(hut->shadow_texture), "HUTSHADOW");
    bool read_clear = false;
    for (const auto& read : landscapetest::texture_reads())
        read_clear |= read.name == "CLEAR" && read.path == "OBJECTS\\GROUND\\TEXTURES\\";
    EXPECT_TRUE(read_clear);
    EXPECT_STREQ(LgImageGetPath(), "start\\");
    // The file's ambient on the intact model; the others keep the preparation's 1.0.
    EXPECT_FLOAT_EQ(surface_ambient(hut->models[0]), 0.25f);
    EXPECT_FLOAT_EQ(surface_ambient(hut->models[1]), 1.0f);
    EXPECT_NE(TvGroundPickupCrate(), nullptr);
    // A loaded archetype refuses a second load and keeps what it has.
    LgClump* intact = hut->models[0];
    EXPECT_EQ(hut->LoadObject("hut"), OM_E_FAIL);
    EXPECT_EQ(hut->models[0], intact);
    EXPECT_EQ(hut->model_count, 2);
}

TEST_F(GroundTest, DamageStagesFillTheFreeSlots) {
    write_kind("tent",
               "[appearance]\ndff=t0.dff\ndamagedff1=t1.dff\ndamagedff2=missing.dff\n"
               "damagedff3=t3.dff\ndamagedff4=t4.dff\ndamagedff5=t5.dff\n",
               {{"t0.dff", box_file()},
                {"t1.dff", box_file()},
                {"t3.dff", box_file()},
                {"t4.dff", box_file()},
                {"t5.dff", box_file()}});
    TavrinGroundObject* tent = load("tent");
    // The missing stage is logged and skipped; the fifth stage finds the slots full.
    EXPECT_EQ(tent->model_count, 5);
    EXPECT_EQ(tent->endurance, 30.0f); // no [physics]
    bool logged = false;
    for (const std::string& line : record.log)
        logged |= line.find("Couldn't open clump file") != std::string::npos &&
                  line.find("missing.dff") != std::string::npos;
    EXPECT_TRUE(logged);
}

TEST_F(GroundTest, LoadFailuresAreLogged) {
    struct Case {
        const char* name;
        const char* ini;
        const char* logged;
    };
    dir.write_file("objects/ground/junk/junk.dff", "this is no model");
    const Case cases[] = {
        {"absent", nullptr, "Couldn't load :"},
        {"nodff", "[physics]\nendurance=3\n",
         "Clump not loaded in TvGroundObject_ITvGroundObject_LoadObject."},
        {"junk", "[appearance]\ndff=junk.dff\n", "Was not a clump file"},
    };
    for (const Case& c : cases) {
        if (c.ini) write_kind(c.name, c.ini);
        record.log.clear();
        OmResult r = OM_S_OK;
        load(c.name, &r);
        EXPECT_EQ(r, OM_E_FAIL) << c.name;
        bool found = false;
        for (const std::string& line : record.log)
            found |= line.find(c.logged) != std::string::npos;
        EXPECT_TRUE(found) << c.name;
    }
}

TEST_F(GroundTest, BehaviourAndPhysicsValues) {
    struct Case {
        const char* behaviour;
        int32_t pickup;
        float height, radius;
    };
    const Case cases[] = {{"pickup=rockets\nheight=12\nbubble=40\n", kTvPickupRockets, 12, 40},
                          {"pickup=bombs\n", kTvPickupBombs, 0, 0},
                          {"pickup=health\nheight=tall\nbubble=wide\n", kTvPickupHealth, 30, 30},
                          {"pickup=repairman\n", kTvPickupRepairman, 0, 0},
                          {"pickup=boost\n", kTvPickupBoost, 0, 0},
                          {"pickup=Rockets\n", kTvPickupNone, 0, 0},
                          {"pickup=health\nheight=nan\nbubble=-inf\n", kTvPickupHealth, 30, 30}};
    int i = 0;
    for (const Case& c : cases) {
        const std::string name = "kind" + std::to_string(i++);
        write_kind(name,
                   std::string("[appearance]\ndff=k.dff\nprelit=yes\n[physics]\nsoft=1\n"
                               "[behaviour]\n") +
                       c.behaviour,
                   {{"k.dff", box_file()}});
        TavrinGroundObject* kind = load(name);
        EXPECT_EQ(kind->pickup_type, c.pickup) << c.behaviour;
        EXPECT_EQ(kind->pickup_height, c.height) << c.behaviour;
        EXPECT_EQ(kind->pickup_radius, c.radius) << c.behaviour;
        EXPECT_EQ(kind->flags & kTvFlagSoft, kTvFlagSoft);
    }
    write_kind("CanyonAAGun", "[appearance]\ndff=c.dff\n", {{"c.dff", box_file()}});
    EXPECT_EQ(load("CanyonAAGun")->canyon_gun, 1);
    // An endurance without a finite reciprocal is the default.
    for (const char* endurance : {"0", "-5", "1e-40", "nan"}) {
        const std::string name = std::string("weak") + std::to_string(i++);
        write_kind(name,
                   std::string("[appearance]\ndff=w.dff\nshadowscalar=") + endurance +
                       "e40\n[physics]\nendurance=" + endurance + "\n",
                   {{"w.dff", box_file()}});
        TavrinGroundObject* kind = load(name);
        // "-5e40" and "nane40" are no finite float and keep the scale 1; the others read.
        const std::string scalar = std::string(endurance) + "e40";
        const float scale = float(std::atof(scalar.c_str()));
        EXPECT_EQ(kind->shadow_scale, std::isfinite(scale) ? scale : 1.0f) << endurance;
        EXPECT_EQ(kind->endurance, 30.0f) << endurance;
        EXPECT_EQ(kind->reciprocal_endurance, 1.0f / 30.0f) << endurance;
    }
}

TEST_F(GroundTest, ModelStagesFollowTheDamageAndTheExplosionComesOnce) {
    write_kind("tent",
               "[appearance]\ndff=t0.dff\ndamagedff1=t1.dff\ndamagedff2=t2.dff\n"
               "damagedff3=t3.dff\n[physics]\nendurance=30\n[sound]\nhitsound=Hit\n"
               "explosion=Boom\n",
               {{"t0.dff", box_file()},
                {"t1.dff", box_file()},
                {"t2.dff", box_file()},
                {"t3.dff", box_file()}});
    TavrinGroundObject* tent = make(load("tent"), {500, 300, 500});
    ASSERT_EQ(tent->model_count, 4);
    struct Step {
        float damage;
        int32_t wanted;
        OmResult result;
    };
    const Step steps[] = {
        {10, 1, OM_E_FAIL}, {10, 2, OM_E_FAIL}, {10, 3, OM_S_OK}, {15, 3, OM_E_FAIL}};
    for (const Step& s : steps) {
        played().clear();
        EXPECT_EQ(tent->AddDamage(s.damage, 0), s.result) << tent->damage;
        EXPECT_EQ(tent->wanted_model, s.wanted) << tent->damage;
        EXPECT_TRUE(groundtest::GroundTest::was_played(s.result == OM_S_OK ? "Boom" : "Hit"));
    }
    ASSERT_EQ(effects.explosions.size(), 1u);
    EXPECT_NEAR(effects.explosions[0], 1.0f - 3.0f / 197.0f + 30.0f / 197.0f, 1e-5f);
    EXPECT_EQ(effects.smoke, std::vector<float>{1.0f});

    // With a destroyed model: the first hit that reaches the endurance shows it.
    write_kind("hut", kHut, {{"hut.dff", box_file(3.0f)}, {"hut_dead.dff", box_file(1.0f)}});
    TavrinGroundObject* hut = make(load("hut"), {600, 300, 600});
    hut->AddDamage(199.0f, 0);
    EXPECT_EQ(hut->wanted_model, 0);
    hut->AddDamage(1.0f, 0);
    EXPECT_EQ(hut->wanted_model, 1);
    EXPECT_NEAR(effects.explosions.back(), 2.0f, 1e-5f); // endurance 200 gives size 2
}

TEST_F(GroundTest, ModelChangeThrowsDebrisKeepsThePlaceAndPlaysTheBreakage) {
    write_kind("hut", kHut, {{"hut.dff", box_file(3.0f)}, {"hut_dead.dff", box_file(1.0f)}});
    TavrinGroundObject* hut = make(load("hut"), {500, 300, 500});
    const LgMatrix before = *hut->matrix;
    auto extent = [](LgClump* clump) {
        return gametest::atomics_of(clump).front()->boundingSphere.radius;
    };
    const float intact_extent = extent(hut->model);
    LgClump* intact = hut->model;
    const int32_t vertices = gametest::atomics_of(intact).front()->geometry->numVertices;
    hut->AddDamage(250.0f, 0);
    particles->kinds.clear();
    particles->drifts.clear();
    played().clear();
    EXPECT_EQ(hut->Update(), OM_S_OK);
    EXPECT_EQ(hut->shown_model, 1);
    EXPECT_LT(extent(hut->model), intact_extent); // the smaller destroyed model
    EXPECT_EQ(LgClumpGetWorld(hut->model), world);
    EXPECT_EQ(hut->matrix->pos.y, before.pos.y);
    EXPECT_EQ(hut->matrix->pos.x, before.pos.x);
    EXPECT_EQ(TvClumpGetOwner(hut->model), static_cast<ITvObject*>(hut));
    EXPECT_TRUE(was_played("Break.Building"));
    // One drift particle from every third vertex, rising at 15 and scattered by up to 20.
    EXPECT_EQ(int32_t(particles->drifts.size()), (vertices + 2) / 3);
    for (const TvDriftParticle& d : particles->drifts) {
        EXPECT_EQ(d.velocity.y, 15.0f);
        EXPECT_GE(d.velocity.x, -20.0f);
        EXPECT_LT(d.velocity.x, 20.0f);
        EXPECT_EQ(d.head.size, 4.0f);
        EXPECT_EQ(d.alpha_rate, -0.3f);
        EXPECT_FLOAT_EQ(d.alpha, 0.7f);
    }
    // The next update changes nothing.
    particles->drifts.clear();
    hut->Update();
    EXPECT_TRUE(particles->drifts.empty());
}

TEST_F(GroundTest, PlacementTakesTheHighestGroundAboveZero) {
    write_kind("box", "[appearance]\ndff=b.dff\n", {{"b.dff", box_file()}});
    TavrinGroundObject* kind = load("box");
    struct Case {
        const char* map;
        std::vector<float> heights;
        float expected;
    };
    const Case cases[] = {{"three", {200, 250, 150}, 250.0f},
                          {"low", {150, 250, 200}, 250.0f},
                          {"under", {-20}, 0.0f}};
    for (const Case& c : cases) {
        landscape->FreeMap();
        write_map(c.map, std::string("[appearance]\nbsp = ") + c.map + "\n", c.map,
                  landscapetest::quads_world(c.heights));
        ASSERT_EQ(landscape->LoadMap(c.map), OM_S_OK) << c.map;
        landscape->GetWorld(&world);
        TavrinGroundObject* box = make(kind, {300, 40, 300});
        EXPECT_FLOAT_EQ(box->matrix->pos.y, c.expected) << c.map;
        EXPECT_NEAR(box->matrix->up.y, 1.0f, 1e-5f);
        EXPECT_NEAR(box->matrix->at.z, 1.0f, 1e-5f); // the heading is kept
        LgWorldRemoveClump(world, box->model);
    }
    // Off the map there is no ground: height 0.
    TavrinGroundObject* away = make(kind, {5000, 40, 5000});
    EXPECT_EQ(away->matrix->pos.y, 0.0f);
    EXPECT_EQ(away->matrix->pos.x, 5000.0f);
}

TEST_F(GroundTest, PickupsAreTakenOnceAndReArmAfterThirtySeconds) {
    testsupport::VirtualClockScope clock(100000);
    write_kind("crate",
               "[appearance]\ndff=c.dff\n[physics]\nendurance=40\n[behaviour]\n"
               "pickup=health\nheight=30\nbubble=30\n",
               {{"c.dff", box_file()}});
    TavrinGroundObject* crate = make(load("crate"), {500, 300, 500});
    ASSERT_EQ(crate->matrix->pos.y, 150.0f);
    auto* plane = make_plane<PickupPlane>(0, planetest::placed({510, 170, 505}));
    entries.back()->group_mask = 0x2; // the players' group
    plane->group_mask = 0x2;
    ASSERT_EQ(game->AddObject(plane, 0, 0), OM_S_OK);

    crate->Update();
    EXPECT_EQ(plane->pickups, std::vector<int32_t>{kTvPickupHealth});
    EXPECT_EQ(plane->from, std::vector<int32_t>{crate->id}) << "the crate's own id";
    const uint32_t taken = platform::timeGetTime();
    EXPECT_NEAR(double(crate->rearm_time), double(taken) + 30000.0, 5.0);
    crate->Update();
    EXPECT_EQ(plane->pickups.size(), 1u);
    platform::advance_virtual_clock(30010);
    crate->Update();
    EXPECT_EQ(plane->pickups.size(), 2u);

    // Out of reach above, or beside; a network-driven plane; a destroyed pickup.
    struct Case {
        LgVector at;
        uint32_t flags;
        float damage;
    };
    const Case misses[] = {{{510, 181, 505}, 0, 0},
                           {{525, 170, 525}, 0, 0},
                           {{510, 170, 505}, kTvFlagNetworkDriven, 0},
                           {{510, 170, 505}, 0, 40}};
    for (const Case& c : misses) {
        platform::advance_virtual_clock(30010);
        pose(plane, planetest::placed(c.at));
        plane->flags = c.flags;
        crate->damage = c.damage;
        crate->Update();
        EXPECT_EQ(plane->pickups.size(), 2u) << c.at.x << " " << c.at.y << " " << c.flags;
    }
}

// A game answering the client game's interface: a network game.
class NetworkGame : public gametest::GameProbe {
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

TEST_F(GroundTest, NetworkPickupsWaitFortyFiveSecondsAndRespawnRestartsTheWait) {
    testsupport::VirtualClockScope clock(5000);
    write_kind("crate", "[appearance]\ndff=c.dff\n[behaviour]\npickup=rockets\n",
               {{"c.dff", box_file()}});
    TavrinGroundObject* kind = load("crate");
    NetworkGame* network = new NetworkGame;
    TavrinGroundObject* crate = make(kind, {500, 300, 500}, 0, network);
    EXPECT_NEAR(double(crate->rearm_time), 5000.0 + 45000.0, 5.0);
    EXPECT_FALSE(crate->pickup_active(platform::timeGetTime()));
    TavrinGroundObject* local = make(kind, {600, 300, 600});
    EXPECT_EQ(local->rearm_time, 0u);
    EXPECT_TRUE(local->pickup_active(platform::timeGetTime()));
    TvStartPickupRespawn(local);
    EXPECT_FALSE(local->pickup_active(platform::timeGetTime()));
    platform::advance_virtual_clock(30010);
    EXPECT_TRUE(local->pickup_active(platform::timeGetTime()));
    network->Release();
}

TEST_F(GroundTest, HitsFlashAndReportToTheAttacker) {
    write_kind("box", "[appearance]\ndff=b.dff\n[physics]\nendurance=50\n",
               {{"b.dff", box_file()}});
    TavrinGroundObject* kind = load("box");
    TavrinGroundObject* target = make(kind, {500, 300, 500}, 0x80);
    auto* attacker = new gametest::TestObject(77, 0x2);
    ASSERT_EQ(game->AddObject(attacker, 0, 0), OM_S_OK);
    target->AddDamage(5.0f, 77);
    EXPECT_EQ(target->flash_time, kTvHitFlashSeconds);
    ASSERT_EQ(attacker->events.size(), 1u);
    EXPECT_EQ(attacker->events[0].code, 0x101u);
    EXPECT_EQ(attacker->events[0].data, 0x80u);
    // Another group neither flashes nor reports; attacker 0 is nobody.
    TavrinGroundObject* plain = make(kind, {600, 300, 600}, 0x100);
    plain->AddDamage(5.0f, 77);
    EXPECT_EQ(plain->flash_time, 0.0f);
    target->AddDamage(5.0f, 0);
    EXPECT_EQ(attacker->events.size(), 1u);
    attacker->Release();
}

TEST_F(GroundTest, RenderDrawsTheCrateOverActivePickupsAndShadowsWithinReach) {
    write_kind("pad",
               "[appearance]\ndff=p.dff\ndeaddff=pd.dff\nshadow=padshadow.bmp\n[behaviour]\n"
               "pickup=boost\n",
               {{"p.dff", box_file()}, {"pd.dff", box_file(1.0f)}});
    TavrinGroundObject* pad = make(load("pad"), {500, 300, 500});
    landscapetest::ViewCamera view({500, 250, 400}, {0, -0.5f, 1});
    auto texture_state = [] {
        void* raster = nullptr;
        LgRenderStateGet(1, &raster);
        return raster;
    };
    auto render = [&] {
        LgRenderStateSet(1, nullptr);
        EXPECT_TRUE(view.begin());
        pad->Render();
        view.end();
    };
    render();
    const LgMatrix* crate = LgFrameGetMatrix(LgClumpGetFrame(TvGroundPickupCrate()));
    EXPECT_FLOAT_EQ(crate->pos.z, pad->matrix->pos.z + 10.0f); // 10 along the at row
    EXPECT_EQ(texture_state(), LgTextureGetRaster(pad->shadow_texture));

    struct Case {
        int32_t level;
        LgVector camera;
        bool shadow;
    };
    const Case cases[] = {{1, {500, 250, 250}, true},
                          {1, {500, 250, 150}, false},
                          {2, {500, 250, 150}, true},
                          {3, {500, 250, -350}, true},
                          {0, {500, 250, 400}, false}};
    for (const Case& c : cases) {
        TvGroundShadowLevel = c.level;
        view.place(c.camera, {0, -0.2f, 1});
        render();
        EXPECT_EQ(texture_state() != nullptr, c.shadow) << c.level << " " << c.camera.z;
    }
    TvGroundShadowLevel = 1;
    // The destroyed model casts none.
    pad->AddDamage(100.0f, 0);
    pad->Update();
    view.place({500, 250, 400}, {0, -0.5f, 1});
    render();
    EXPECT_EQ(texture_state(), nullptr);
    EXPECT_EQ(TvGroundShadowLimit(1), 90000.0f);
    EXPECT_EQ(TvGroundShadowLimit(2), 360000.0f);
    EXPECT_EQ(TvGroundShadowLimit(3), 810000.0f);
    EXPECT_EQ(TvGroundShadowLimit(0), 0.0f);
}

TEST_F(GroundTest, EditorPicksMovesAndTurns) {
    write_kind("box", "[appearance]\ndff=b.dff\n", {{"b.dff", box_file()}});
    TavrinGroundObject* kind = load("box");
    TavrinGroundObject* first = make(kind, {500, 300, 500});
    TavrinGroundObject* second = make(kind, {505, 300, 500});
    const LgVector cursor{504, 150, 500};
    TvEditorPick pick{1000.0f, &cursor, nullptr};
    const TvEvent event{kTvEditorPick, reinterpret_cast<uintptr_t>(&pick)};
    first->HandleEvent(&event);
    EXPECT_EQ(pick.selected, static_cast<ITvObject*>(first));
    EXPECT_EQ(first->user_value, kTvEditorMoving);
    second->HandleEvent(&event); // nearer: takes the selection
    EXPECT_EQ(pick.selected, static_cast<ITvObject*>(second));
    EXPECT_EQ(first->user_value, kTvEditorIdle);
    EXPECT_EQ(second->user_value, kTvEditorMoving);
    EXPECT_FLOAT_EQ(pick.best_distance, 1.0f);

    const LgVector to{700, 0, 700};
    const TvEvent move{kTvEditorMove, reinterpret_cast<uintptr_t>(&to)};
    second->HandleEvent(&move);
    EXPECT_EQ(second->matrix->pos.x, 700.0f);
    EXPECT_EQ(second->matrix->pos.y, 150.0f); // on the ground

    // The handle 30 along the right row turns the object.
    const LgVector handle{second->matrix->pos.x + 30 * second->matrix->right.x, 150,
                          second->matrix->pos.z + 30 * second->matrix->right.z};
    TvEditorPick turn_pick{1000.0f, &handle, nullptr};
    const TvEvent turn_event{kTvEditorPick, reinterpret_cast<uintptr_t>(&turn_pick)};
    second->HandleEvent(&turn_event);
    EXPECT_EQ(second->user_value, kTvEditorTurning);
    const LgVector toward{700, 150, 800};
    const TvEvent turn{kTvEditorMove, reinterpret_cast<uintptr_t>(&toward)};
    second->HandleEvent(&turn);
    EXPECT_NEAR(second->matrix->right.z, 1.0f, 1e-5f);
    EXPECT_NEAR(second->matrix->at.x * second->matrix->right.x +
                    second->matrix->at.z * second->matrix->right.z,
                0.0f, 1e-5f);
}

TEST_F(GroundTest, CreatingAgainFreesTheFirstLife) {
    write_kind("hut", kHut, {{"hut.dff", box_file(3.0f)}, {"hut_dead.dff", box_file(1.0f)}});
    TavrinGroundObject* hut = make(load("hut"), {500, 300, 500});
    auto clumps = [this] {
        int32_t n = 0;
        LgWorldForAllClumps(
            world,
            [](LgClump* c, void* data) {
                ++*static_cast<int32_t*>(data);
                return c;
            },
            &n);
        return n;
    };
    const int32_t before = clumps();
    ASSERT_EQ(hut->Create(vehicles.back().get()), OM_S_OK);
    EXPECT_EQ(clumps(), before - 1); // the old model left the world; the new one is in none
    EXPECT_EQ(hut->model_count, 2);
    hut->Destroy();
    EXPECT_EQ(hut->model, nullptr);
    EXPECT_EQ(hut->models[1], nullptr);
}

TEST_F(GroundTest, TheClassIsRegisteredAndTheGameSpawnsIt) {
    ITvObject* object = nullptr;
    ASSERT_EQ(OmCreateInstance(CLSID_TavrinGroundObject, nullptr, 0, IID_ITvObject,
                               reinterpret_cast<void**>(&object)),
              OM_S_OK);
    ITvGroundObject* ground = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_ITvGroundObject, reinterpret_cast<void**>(&ground)),
              OM_S_OK);
    EXPECT_EQ(static_cast<ITvObject*>(ground), object);
    EXPECT_EQ(ground->UseArchetype(nullptr), OM_S_OK);
    ground->Release();
    object->Release();

    write_kind("box", "[appearance]\ndff=b.dff\n", {{"b.dff", box_file()}});
    TavrinGroundObject* kind = load("box");
    ASSERT_EQ(game->AddGroundArchetype("box", kind), OM_S_OK);
    ITvObject* spawned = nullptr;
    ASSERT_EQ(game->SpawnGroundObject("box", kTvEventMaskWorldObject, &spawned), OM_S_OK);
    ASSERT_NE(spawned, nullptr);
    uintptr_t index = 99;
    spawned->GetProperty(kTvGroundPropArchetypeIndex, &index);
    EXPECT_EQ(index, 0u);
    spawned->Update(); // no descriptor: it stands still
    spawned->Release();
}

} // namespace
