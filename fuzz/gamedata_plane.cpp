// Fuzzes plane.ini: a plane archetype loads its kind from the storage in memory, with its
// model (a writer-made box) and shadow picture read from memory through the engine's file
// functions; the archetype is then unloaded and released. No landscape is held, so the
// archetype stays where it is made.
// Checks: a load that succeeds has its model; every number of the flight table is finite, the
// fire interval the reciprocal of a positive fire rate; the endurance is finite; the sound
// names and the spiral sound's path are terminated; framework and engine blocks balance.
//
// Input: plane.ini; the kind is "kind", its directory holds "box.dff", the plane textures
// "shadow.bmp".
#include "fuzz/gamedata_fixture.h"
#include "game/world/tv_plane.h"

#include <cmath>
#include <cstring>

using fuzzing::require;

namespace {

struct Fixture {
    std::string box, shadow;
    Fixture() {
        fuzzing::start_game_data();
        require(TvRegisterPlaneClass(OmGetObjectManager()) >= 0, "the plane class");
        box = fuzzing::box_model(2.0f);
        for (const auto& [name, bytes] : fuzzing::texture_files())
            if (name == "planks") shadow = bytes;
    }
    void serve(std::span<const uint8_t> ini) const {
        auto& files = fuzzing::shared_files();
        files.reset();
        files.put("objects/planes/kind/box.dff", std::string_view(box));
        files.put("objects/planes/textures/shadow.bmp", std::string_view(shadow));
        files.put("objects/planes/kind/plane.ini", ini);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void check(TavrinPlane* plane) {
    require(plane->model != nullptr, "a loaded plane has its model");
    const TvFlightTable& f = plane->flight;
    const float* numbers = &f.diving_speed;
    for (size_t i = 0; i < sizeof f / sizeof(float); ++i)
        require(std::isfinite(numbers[i]), "a flight-table number is finite");
    require(f.fire_rate > 0.0f && f.fire_interval == 1.0f / f.fire_rate,
            "the fire interval is the reciprocal of a positive rate");
    require(std::isfinite(plane->endurance), "an endurance is a number");
    for (const char* text :
         {plane->engine_sound_name, plane->gun_sound_name, plane->rocket_sound_name,
          plane->bomb_sound_name, plane->hit_sound, plane->alt_hit_sound, plane->explosion_sound})
        require(strnlen(text, 32) < 32, "a sound name is terminated");
    require(strnlen(plane->spiral_sound_path, sizeof plane->spiral_sound_path) <
                sizeof plane->spiral_sound_path,
            "the spiral sound's path is terminated");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    f.serve({data, size});
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        fuzzing::ModelRunBalanced engine_balanced(fuzzing::start_model_engine());
        ComRef<ITvPlane> plane;
        require(OmCreate(CLSID_TavrinPlane, IID_ITvPlane, plane.put()) >= 0, "a plane is made");
        if (plane->LoadPlane("kind") >= 0) check(static_cast<TavrinPlane*>(plane.get()));
        plane->Unload();
    }
    fuzzing::shared_files().reset();
    return 0;
}
