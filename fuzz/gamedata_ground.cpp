// Fuzzes ground.ini, plain and armed: an archetype of the ground class or of the armed class
// (the [armaments] and gun-sound keys) loads its kind from the storage in memory, with its
// models (writer-made boxes, one with a turret), shadow picture and the pickup crate read from
// memory through the engine's file functions. The archetype is then unloaded and released.
// Checks: a load that succeeds has its intact model, 1..5 models, terminated sound names,
// a finite positive endurance with its finite reciprocal, finite pickup reaches and shadow
// scale; an armed kind's fire rate, shot interval and cycle are finite and positive (the
// interval the reciprocal of the rate); framework and engine blocks balance.
//
// Input: a byte (bit 0: the armed class), then ground.ini; the kind is "kind", its directory
// holds "box.dff", "turret.dff", "wreck.dff" and "shadow.bmp".
#include "fuzz/gamedata_fixture.h"
#include "game/world/tavrin_ai_ground_object.h"
#include "game/world/tavrin_ground_object.h"

#include <cmath>
#include <cstring>

using fuzzing::require;

namespace {

struct Fixture {
    std::string box, turret, wreck, shadow;
    Fixture() {
        fuzzing::start_game_data();
        IObjectManager* manager = OmGetObjectManager();
        require(TvRegisterGroundObjectClass(manager) >= 0 &&
                    TvRegisterAIGroundObjectClass(manager) >= 0,
                "the ground classes");
        box = fuzzing::box_model(2.0f);
        turret = fuzzing::box_model(1.0f, true);
        wreck = fuzzing::box_model(0.5f);
        for (const auto& [name, bytes] : fuzzing::texture_files())
            if (name == "planks") shadow = bytes;
        // The pickup crate is read by the first load that succeeds and kept: read here.
        serve();
        fuzzing::shared_files().put("objects/ground/kind/ground.ini",
                                    std::string_view("[appearance]\ndff=box.dff\n"));
        load(false);
    }
    void serve() const {
        auto& files = fuzzing::shared_files();
        files.reset();
        for (const auto& [name, bytes] : {std::pair{"box.dff", &box},
                                          {"turret.dff", &turret},
                                          {"wreck.dff", &wreck},
                                          {"shadow.bmp", &shadow}})
            files.put(std::string("objects/ground/kind/") + name, std::string_view(*bytes));
        files.put("objects/ground/textures/shadow.bmp", std::string_view(shadow));
        files.put("objects/ground/ammodump/ammodump.dff", std::string_view(box));
    }
    static void load(bool armed);
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void check(TavrinGroundObject* g, bool armed) {
    require(g->model != nullptr && g->model == g->models[0], "a loaded kind has its model");
    require(g->model_count >= 1 && g->model_count <= kTvGroundModelSlots, "1..5 models");
    for (const char* text : {g->hit_sound, g->alt_hit_sound, g->explosion_sound, g->breakage_sound})
        require(strnlen(text, 32) < 32, "a sound name is terminated");
    require(std::isfinite(g->endurance) && g->endurance > 0.0f &&
                std::isfinite(g->reciprocal_endurance),
            "an endurance is a positive number with a reciprocal");
    require(std::isfinite(g->pickup_height) && std::isfinite(g->pickup_radius) &&
                std::isfinite(g->shadow_scale),
            "pickup reaches and the shadow scale are numbers");
    if (!armed) return;
    auto* a = static_cast<TavrinAIGroundObject*>(g);
    require(std::isfinite(a->fire_rate) && a->fire_rate > 0.0f && std::isfinite(a->shot_interval) &&
                std::isfinite(a->fire_on_time) && std::isfinite(a->cycle_length),
            "an armed kind's gun cycle is made of numbers");
    require(strnlen(a->gun_sound, sizeof a->gun_sound) < sizeof a->gun_sound &&
                strnlen(a->alt_gun_sound, sizeof a->alt_gun_sound) < sizeof a->alt_gun_sound,
            "a gun sound is terminated");
}

void Fixture::load(bool armed) {
    ComRef<ITvGroundObject> kind;
    require(OmCreate(armed ? CLSID_TavrinAIGroundObject : CLSID_TavrinGroundObject,
                     IID_ITvGroundObject, kind.put()) >= 0,
            "a ground archetype is made");
    if (kind->LoadObject("kind") >= 0) check(TavrinGroundObject::from(kind.get()), armed);
    kind->Unload();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const bool armed = input.byte() & 1;
    f.serve();
    fuzzing::shared_files().put("objects/ground/kind/ground.ini", input.rest());
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        fuzzing::ModelRunBalanced engine_balanced(fuzzing::start_model_engine());
        Fixture::load(armed);
    }
    fuzzing::shared_files().reset();
    return 0;
}
