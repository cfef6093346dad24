// The plane component: plane.ini read into an archetype (required sections, defaults, the
// model with its measured extents, recomputed normals and surface, the shadow texture, the
// sound names, the first placement), planes created from the archetype, properties with
// their side effects, and teardown.
#include "engine/core/lg_texture.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "tests/game/world/plane_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace mw = modelwriter;
using landscapetest::texture_reads;
using planetest::kGround;
using planetest::placed;
using planetest::PlaneTest;

namespace {

// A box model 4 x 2 x 6 whose centre sits at (0.5, 0.25, 1) from the model's origin, stored
// with wrong normals (all straight up).
std::string plane_model() {
    mw::Material m;
    m.colour = {200, 200, 200, 255};
    mw::Geometry g = mw::make_box({2, 1, 3}, m);
    for (mw::Vec3& p : g.targets[0].positions) {
        p.x += 0.5f;
        p.y += 0.25f;
        p.z += 1.0f;
    }
    for (mw::Vec3& n : g.targets[0].normals) n = {0, 1, 0};
    g.targets[0].sphere.reset();
    const std::vector<uint8_t> bytes = modeltest::clump_bytes(mw::single_atomic_clump(g));
    return std::string(bytes.begin(), bytes.end());
}

const char* kFullIni = R"([physics]
divespeed = 200
highspeed = 100
cruisespeed = 80
climbspeed = 60
stallspeed = 40
accel = 15
roll = 30
turn = 40
pitch = 50
lift = 10
ceiling = 900
drag = 5
energyconvert = 40
[collision]
frontlength = 9
downlength = 7
[armaments]
endurance = 20
firerate = -1
fireon = 2
radarmin = 50
radarmax = 900
[appearance]
dff = camel.dff
shadow = shadow.bmp
shadowoffset = 1.5
ambient = 0.25
[sound]
engine = Eng
machinegun = Gun
explosion = Boom
bomb = Bomb
spiral = spin.wav
)";

class PlaneLoadTest : public PlaneTest {
protected:
    void write_plane(const std::string& ini, bool with_model = true) {
        dir.write_file("objects/planes/camel/plane.ini", ini);
        if (with_model) dir.write_file("objects/planes/camel/camel.dff", plane_model());
    }
    TavrinPlane* archetype() {
        TavrinPlane* plane = nullptr;
        EXPECT_EQ(om_new_component(&plane), OM_S_OK);
        planes.push_back(plane);
        plane->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(landscape));
        return plane;
    }
};

LgGeometry* first_geometry(LgClump* clump) {
    return gametest::atomics_of(clump).front()->geometry;
}

} // namespace

TEST_F(PlaneLoadTest, LoadsTablesModelShadowAndSounds) {
    write_plane(kFullIni);
    TavrinPlane* plane = archetype();
    ASSERT_EQ(plane->LoadPlane("camel"), OM_S_OK);

    const TvFlightTable& f = plane->flight;
    EXPECT_EQ(f.diving_speed, 200.0f);
    EXPECT_EQ(f.energy_conversion, 40.0f);
    EXPECT_EQ(f.ceiling, 900.0f);
    EXPECT_EQ(plane->endurance, 20.0f);
    EXPECT_EQ(f.fire_rate, 10.0f) << "-1 stands for the default";
    EXPECT_FLOAT_EQ(f.fire_interval, 0.1f);
    EXPECT_EQ(f.fire_on_time, 2.0f);
    EXPECT_EQ(f.fire_cycle, 2.0f) << "no fireoff: continuous fire";
    EXPECT_EQ(f.radar_minimum, 50.0f);
    // The extents are the model's, whatever [collision] says.
    EXPECT_FLOAT_EQ(f.front_length, 4.0f);
    EXPECT_FLOAT_EQ(f.back_length, 2.0f);
    EXPECT_FLOAT_EQ(f.port_length, 1.5f);
    EXPECT_FLOAT_EQ(f.starboard_length, 2.5f);
    EXPECT_FLOAT_EQ(f.up_length, 1.25f);
    EXPECT_FLOAT_EQ(f.down_length, 0.75f);
    // ... but the first placement used the file's down length, beside the world's centre.
    EXPECT_FLOAT_EQ(plane->matrix->pos.x, 650.0f + 15.0f);
    EXPECT_FLOAT_EQ(plane->matrix->pos.z, 650.0f + 150.0f);
    EXPECT_FLOAT_EQ(plane->matrix->pos.y, kGround + 7.0f);
    EXPECT_EQ(plane->model_matrix->pos.y, plane->matrix->pos.y);
    EXPECT_EQ(plane->previous_matrix.pos.y, plane->matrix->pos.y);
    EXPECT_NE(plane->frame, plane->model_frame);
    EXPECT_EQ(plane->state, kTvPlaneTaxiing);
    EXPECT_EQ(plane->flags, 3u);
    EXPECT_EQ(TvClumpGetOwner(plane->model), static_cast<ITvObject*>(plane));

    // Normals recomputed from the faces; surface: the file's ambient, 0.5 for the others.
    LgGeometry* g = first_geometry(plane->model);
    const LgMorphTarget* target = LgGeometryGetMorphTarget(g, 0);
    const LgVector centre = {0.5f, 0.25f, 1.0f};
    for (int32_t i = 0; i < g->numVertices; ++i) {
        const LgVector& n = target->normals[i];
        const LgVector out = {target->verts[i].x - centre.x, target->verts[i].y - centre.y,
                              target->verts[i].z - centre.z};
        EXPECT_NEAR(LgVectorLength(&n), 1.0f, 1e-5f);
        EXPECT_GT(n.x * out.x + n.y * out.y + n.z * out.z, 0.0f) << "vertex " << i;
    }
    EXPECT_EQ(g->surfaceProps.ambient, 0.25f);
    EXPECT_EQ(g->surfaceProps.diffuse, 0.5f);
    EXPECT_EQ(g->surfaceProps.specular, 0.5f);

    ASSERT_NE(plane->shadow_texture, nullptr);
    EXPECT_STREQ(LgTextureGetName(plane->shadow_texture), "SHADOW");
    EXPECT_EQ(plane->shadow_texture->filterMode, 2u);
    bool shadow_read = false;
    for (const auto& read : texture_reads())
        shadow_read |= read.name == "CLEAR" && read.path == "OBJECTS\\PLANES\\TEXTURES\\";
    EXPECT_TRUE(shadow_read);
    EXPECT_EQ(plane->shadow_offset, 1.5f);

    EXPECT_STREQ(plane->engine_sound_name, "Eng");
    EXPECT_STREQ(plane->gun_sound_name, "Gun");
    EXPECT_STREQ(plane->explosion_sound, "Boom");
    EXPECT_STREQ(plane->bomb_sound_name, "Bomb");
    EXPECT_STREQ(plane->rocket_sound_name, "") << "missing keys leave the field";
    EXPECT_STREQ(plane->spiral_sound_path, "Sound\\spin.wav");
}

TEST_F(PlaneLoadTest, FireRatesWithoutAPositiveIntervalAreTheDefault) {
    for (const char* rate : {"0", "-5", "1e-40", "nan"}) {
        write_plane(std::string("[physics]\n[collision]\n[armaments]\nfirerate = ") + rate +
                    "\n[appearance]\ndff = camel.dff\n");
        TavrinPlane* plane = archetype();
        ASSERT_EQ(plane->LoadPlane("camel"), OM_S_OK) << rate;
        EXPECT_EQ(plane->flight.fire_rate, 10.0f) << rate;
        EXPECT_FLOAT_EQ(plane->flight.fire_interval, 0.1f) << rate;
    }
}

TEST_F(PlaneLoadTest, RequiredSectionsAndTheModel) {
    // Without [armaments] the earlier sections stay read.
    write_plane("[physics]\nhighspeed = 90\n[collision]\n");
    TavrinPlane* missing_armaments = archetype();
    EXPECT_EQ(missing_armaments->LoadPlane("camel"), OM_E_FAIL);
    EXPECT_EQ(missing_armaments->flight.high_speed, 90.0f);
    EXPECT_EQ(missing_armaments->flight.stall_speed, -1.0f);
    EXPECT_EQ(missing_armaments->flight.down_length, -1.0f);

    // Every table read, but no [appearance]: no model, a failure.
    write_plane("[physics]\n[collision]\n[armaments]\nfireoff = 0.5\n");
    TavrinPlane* no_model = archetype();
    EXPECT_EQ(no_model->LoadPlane("camel"), OM_E_FAIL);
    EXPECT_EQ(no_model->flight.fire_cycle, 1.5f);
    EXPECT_EQ(no_model->model, nullptr);

    // A model that is not there is logged with its path.
    write_plane("[physics]\n[collision]\n[armaments]\n[appearance]\ndff = gone.dff\n", false);
    TavrinPlane* gone = archetype();
    EXPECT_EQ(gone->LoadPlane("camel"), OM_E_FAIL);
    ASSERT_FALSE(record.log.empty());
    EXPECT_EQ(record.log.back(),
              "tvopplane: Couldn't open clump file objects\\planes\\camel\\gone.dff");

    // A file that is no clump.
    dir.write_file("objects/planes/camel/junk.dff", "not a model at all");
    write_plane("[physics]\n[collision]\n[armaments]\n[appearance]\ndff = junk.dff\n", false);
    TavrinPlane* junk = archetype();
    EXPECT_EQ(junk->LoadPlane("camel"), OM_E_FAIL);
    EXPECT_EQ(record.log.back(),
              "tvopplane: Was not a clump file objects\\planes\\camel\\junk.dff");

    EXPECT_EQ(archetype()->LoadPlane("nosuchplane"), OM_E_FAIL);
    EXPECT_EQ(archetype()->LoadPlane("dummy"), OM_S_OK);
}

TEST_F(PlaneLoadTest, PlanesAreCreatedFromTheArchetype) {
    write_plane(kFullIni);
    TavrinPlane* kind = archetype();
    ASSERT_EQ(kind->LoadPlane("camel"), OM_S_OK);

    struct Case {
        uint32_t flags;
        uint32_t groups;
        const char* engine;
    };
    const Case cases[] = {
        {0, 1u << 8, "EngAI"},
        {kTvFlagPlayerPlane, 1u << 8, "Eng"},
        {0, 1u << 1, "Eng"}, // group 1: the players' group
    };
    for (const Case& c : cases) {
        auto& entry = entries.emplace_back(std::make_unique<TvMissionAirEntry>());
        *entry = {};
        entry->matrix = placed({400, 300, 400});
        entry->archetype = kind;
        entry->endurance = 20.0f;
        entry->flags = c.flags;
        entry->group_mask = c.groups;
        entry->game = game;
        entry->high_speed = 120.0f;
        entry->ordinance_type = 1;
        entry->ordinance_count = 6;
        entry->ordinance_left = 4;
        TavrinAIPlane* plane = nullptr;
        ASSERT_EQ(om_new_component(&plane), OM_S_OK);
        planes.push_back(plane);
        ASSERT_EQ(plane->Create(entry.get()), OM_S_OK);
        SCOPED_TRACE(c.engine);
        EXPECT_STREQ(plane->engine_sound_name, c.engine);
        ASSERT_NE(plane->engine_sound, nullptr);
        EXPECT_EQ(landscapetest::fake(plane->engine_sound)->name, c.engine);
        EXPECT_EQ(landscapetest::fake(plane->engine_sound)->looping, 1);
        EXPECT_EQ(landscapetest::fake(plane->gun_sound)->name, "Gun");
        EXPECT_EQ(plane->flight.high_speed, 120.0f) << "the entry's high speed";
        EXPECT_EQ(plane->flight.stall_speed, 40.0f) << "the archetype's table";
        EXPECT_EQ(plane->ordinance_count, 4);
        EXPECT_EQ(plane->ordinance_maximum, 6);
        EXPECT_EQ(plane->shadow_texture, kind->shadow_texture);
        EXPECT_EQ(plane->shadow_offset, 1.5f);
        EXPECT_EQ(plane->state, kTvPlaneTaxiing);
        EXPECT_FLOAT_EQ(plane->smoke_gain, 5.0f / plane->endurance);
        EXPECT_NE(plane->model, kind->model) << "a clone";
        EXPECT_NE(plane->frame, plane->model_frame);
        EXPECT_EQ(TvClumpGetOwner(plane->model), static_cast<ITvObject*>(plane));
        EXPECT_FLOAT_EQ(plane->matrix->at.y, 0.2f) << "nose slightly up";
        EXPECT_NE(plane->cockpit_textures[kTvCockpitSpeedDial], nullptr);
        EXPECT_NE(plane->cockpit_textures[kTvCockpitMapWater], nullptr);
        EXPECT_EQ(plane->landscape, landscape) << "the archetype's landscape";
    }
    bool cockpit_read = false;
    for (const auto& read : texture_reads())
        cockpit_read |= read.name == "speeddial.bmp" && read.path == ".\\Ui\\";
    EXPECT_TRUE(cockpit_read);
    EXPECT_STREQ(LgImageGetPath(), "start\\") << "the image path is put back";
}

TEST_F(PlaneTest, PropertiesAndTheirSideEffects) {
    TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({500, 600, 500}));
    uintptr_t out = 0;

    const float volume = 0.25f;
    EXPECT_EQ(plane->SetProperty(kTvPlanePropEngineVolume, reinterpret_cast<uintptr_t>(&volume)),
              OM_S_OK);
    EXPECT_EQ(plane->GetProperty(kTvPlanePropEngineVolume, &out), OM_S_OK);
    EXPECT_EQ(out, reinterpret_cast<uintptr_t>(&plane->engine_volume));
    EXPECT_EQ(plane->engine_volume, 0.25f);

    TvControlBindings block{};
    block.fire = {kTvBindKeyboard, ' ', 0};
    plane->SetProperty(kTvPlanePropControlBlock, reinterpret_cast<uintptr_t>(&block));
    EXPECT_EQ(plane->controls.fire.code, ' ');
    plane->GetProperty(kTvPlanePropControlBlock, &out);
    EXPECT_EQ(plane->SetProperty(kTvPlanePropControlBlock, out), OM_S_OK) << "itself: unchanged";
    EXPECT_EQ(plane->controls.fire.code, ' ');

    plane->SetProperty(kTvPlanePropEngineSound, reinterpret_cast<uintptr_t>("Engine2"));
    plane->GetProperty(kTvPlanePropEngineSound, &out);
    EXPECT_STREQ(reinterpret_cast<const char*>(out), "Engine2");

    const float throttle = 0.75f;
    plane->SetProperty(kTvPlanePropThrottle, reinterpret_cast<uintptr_t>(&throttle));
    plane->GetProperty(kTvPlanePropThrottle, &out);
    EXPECT_EQ(std::bit_cast<float>(static_cast<uint32_t>(out)), 0.75f);

    // The rows of the pose come from the model matrix.
    plane->model_matrix->pos = {1, 2, 3};
    plane->GetProperty(kTvPropPosition, &out);
    EXPECT_EQ(reinterpret_cast<const LgVector*>(out)->z, 3.0f);
    plane->GetProperty(kTvPropRight, &out);
    EXPECT_EQ(out, reinterpret_cast<uintptr_t>(plane->model_matrix));

    // Setting the matrix moves the model and the previous pose with it.
    const LgMatrix where = placed({10, 20, 30});
    plane->SetProperty(kTvPropMatrix, reinterpret_cast<uintptr_t>(&where));
    EXPECT_EQ(plane->model_matrix->pos.y, 20.0f);
    EXPECT_EQ(plane->previous_matrix.pos.y, 20.0f);

    // A player's plane going down: explosion and sound; Crashed stops the engine.
    plane->SetProperty(kTvPlanePropState, kTvPlaneCrashing);
    EXPECT_EQ(effects.explosions.size(), 1u);
    EXPECT_FLOAT_EQ(effects.explosions.back(), 10.0f * 0.01f + 1.0f);
    plane->GetProperty(kTvPlanePropState, &out);
    EXPECT_EQ(out, uintptr_t(kTvPlaneCrashing));
    EXPECT_EQ(plane->IsDead(), 1);

    TavrinPlane* ai = make_plane(0, placed({300, 600, 500}));
    ai->SetProperty(kTvPlanePropState, kTvPlaneCrashing);
    EXPECT_EQ(effects.explosions.size(), 1u) << "only a player's plane";

    EXPECT_EQ(plane->GetProperty(999, &out), OM_E_BADPROPERTY);
    void* other = nullptr;
    EXPECT_EQ(plane->QueryInterface(IID_ITvPlane, &other), OM_S_OK);
    static_cast<IUnknown*>(other)->Release();
    EXPECT_EQ(plane->QueryInterface(IID_ITvAIPlane, &other), OM_E_NOINTERFACE);
}

TEST_F(PlaneTest, EnduranceIsScaledBySide) {
    owned.settings.enemy_endurance = 2.0f;
    owned.settings.standard_endurance = 0.5f;
    const float side1 = game->GetEnduranceScaleSide1();
    const float side2 = game->GetEnduranceScaleSide2();
    auto& entry = entries.emplace_back(std::make_unique<TvMissionAirEntry>());
    *entry = {};
    entry->matrix = placed({400, 300, 400});
    entry->endurance = 10.0f;
    entry->group_mask = 1u << 9;
    entry->game = game;
    TavrinPlane* plane = nullptr;
    ASSERT_EQ(om_new_component(&plane), OM_S_OK);
    planes.push_back(plane);
    ASSERT_EQ(plane->Create(entry.get()), OM_S_OK);
    EXPECT_FLOAT_EQ(plane->endurance, 10.0f * side1);
    EXPECT_FLOAT_EQ(plane->smoke_gain, 5.0f / plane->endurance);
    (void)side2;
    // Respawn restores the unscaled endurance and puts the plane back on its wheels.
    plane->damage = 3.0f;
    plane->state = kTvPlaneCrashed;
    EXPECT_EQ(plane->TvPlaneRespawn(), OM_S_OK);
    EXPECT_FLOAT_EQ(plane->endurance, 10.0f);
    EXPECT_EQ(plane->damage, 0.0f);
    EXPECT_EQ(plane->state, kTvPlaneTaxiing);
}
