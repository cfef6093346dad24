// Fuzzes map.ini: the landscape (made once) loads the map "kind" from the storage in memory,
// with a writer-made flat world ("flat.bsp", a quad at height 150) and a sky picture
// ("sky.bmp") read from memory through the engine's file functions, and lensflare.ini beside
// it; the map is then freed, as the game frees it between missions.
// Checks: a load that succeeds has its world; the height above the ground at the centre of
// the quad, from above, is a finite number; framework and engine blocks balance over the load
// and the free.
//
// Input: map.ini.
#include "fuzz/gamedata_fixture.h"
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "game/world/tv_bsp_landscape.h"

#include <cmath>

using fuzzing::require;

namespace {

struct Fixture {
    std::string world, sky;
    ComRef<ITvBSPLandscape> landscape;
    Fixture() {
        fuzzing::start_game_data();
        require(TvRegisterBSPLandscapeClass(OmGetObjectManager()) >= 0, "the landscape class");
        require(OmCreate(CLSID_TavrinBSPLandscape, IID_ITvBSPLandscape, landscape.put()) >= 0,
                "the landscape");
        world = fuzzing::flat_world(150.0f);
        for (const auto& [name, bytes] : fuzzing::texture_files())
            if (name == "planks") sky = bytes;
        TvDetailTexturesEnabled = 0;
        // What the first map loaded makes once: made here, outside the balance checks.
        serve(std::string_view("[appearance]\nbsp=flat\n"));
        landscape->LoadMap("kind");
        landscape->FreeMap();
    }
    void serve(std::string_view ini) const {
        auto& files = fuzzing::shared_files();
        files.reset();
        files.put("maps/kind/map.ini", ini);
        files.put("maps/kind/flat.bsp", std::string_view(world));
        files.put("maps/kind/sky.bmp", std::string_view(sky));
        files.put("objects/particles/lensflare.ini", std::string_view("[flare]\nparts=3\n"));
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    f.serve(fuzzing::as_text({data, size}));
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        fuzzing::ModelRunBalanced engine_balanced(fuzzing::start_model_engine());
        if (f.landscape->LoadMap("kind") >= 0) {
            LgWorld* world = nullptr;
            require(f.landscape->GetWorld(&world) >= 0 && world, "a loaded map has its world");
            const LgVector above{500.0f, 400.0f, 500.0f};
            float height = 0.0f;
            if (f.landscape->HeightAboveGround(&above, &height) >= 0)
                require(std::isfinite(height), "a height above the ground is a number");
            LgRGBA fog{};
            f.landscape->GetFogColour(&fog);
        }
        f.landscape->FreeMap();
    }
    fuzzing::shared_files().reset();
    return 0;
}
