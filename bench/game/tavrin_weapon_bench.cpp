// The weapon's hot paths: a gun launch with its launch-time segment test against a demo-sized
// ground (128 x 128 cells), and one step over a full ring of 512 tracers in flight (the game
// here has no clock running, so the step does all its tests without moving them).
#include "engine/world/lg_random.h"
#include "engine/world/lg_world_plugin.h"
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "game/rules/tavrin_game.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "game/world/tv_weapon.h"
#include "program/module_groups.h"
#include "tests/engine/core/engine_test_support.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace {

namespace mw = modelwriter;

constexpr int kCells = 128;
constexpr float kCellSize = 10.0f;

// The framework, an engine with the world and random plug-ins, a ground, the game and the
// weapon loaded from an ordinance.ini in a scratch directory.
struct Scene {
    Scene()
        : engine(0, [this] {
              engine.device.accept(LgDeviceRequestPipeline);
              LgWorldPluginAttach();
              LgRandomPluginAttach();
          }) {
        previous = std::filesystem::current_path();
        scratch = std::filesystem::temp_directory_path() / "corvel_weapon_bench";
        std::filesystem::create_directories(scratch / "objects/ordinance");
        std::ofstream(scratch / "objects/ordinance/ordinance.ini")
            << "[ordinance1]\nname=Gun\nreleasespeed=400\nmaxspeed=6\ndamage=4\nsize=0.15\n"
               "jitter=0.01\ngroundhit=Hit.Ground\n";
        std::filesystem::current_path(scratch);

        OmStartup();
        IObjectManager* manager = OmGetObjectManager();
        OmRegisterStorageModules(manager);
        OmRegisterContainerModules(manager);
        TvRegisterBSPLandscapeClass(manager);
        TvRegisterGameClass(manager);
        TvRegisterWeaponClass(manager);
        OmCreateInstance(CLSID_TavrinBSPLandscape, nullptr, 0, IID_ITvBSPLandscape,
                         reinterpret_cast<void**>(&landscape));
        mw::TriangleSoup soup = mw::soup_of(mw::make_grid(kCells, kCellSize, mw::Material{}));
        soup.texCoords.clear();
        soup.normals.clear();
        std::vector<uint8_t> bytes;
        mw::write_world(*mw::build_world(soup), bytes);
        LgStreamMemory data = {bytes.data(), static_cast<uint32_t>(bytes.size())};
        LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
        if (LgStreamFindChunk(s, LgChunkWorld, nullptr, nullptr))
            static_cast<TavrinBSPLandscape*>(landscape)->world = LgWorldStreamRead(s);
        LgStreamClose(s, nullptr);
        OmCreateInstance(CLSID_TavrinGame, nullptr, 0, IID_ITvGame,
                         reinterpret_cast<void**>(&game));
        OmCreateInstance(CLSID_TavrinWeapon, nullptr, 0, IID_ITvWeapon,
                         reinterpret_cast<void**>(&weapon));
        TvCreateDescriptor d{};
        d.game = game;
        weapon->Create(&d);
        LgWorld* world = nullptr;
        landscape->GetWorld(&world);
        LgWorldGetBoundingBox(world)->sup.y = 1000.0f; // room above the flat ground
        weapon->SetProperty(kTvPropLandscape, reinterpret_cast<uintptr_t>(landscape));
        weapon->SetProperty(kTvPropWorld, reinterpret_cast<uintptr_t>(world));
        launcher.right = {1, 0, 0};
        launcher.up = {0, 0, 1};
        launcher.at = {0.3f, -0.9f, 0.3f};
        launcher.pos = {300, 200, 300};
    }
    ~Scene() {
        weapon->Destroy();
        weapon->Release();
        game->Release();
        landscape->FreeMap();
        landscape->Release();
        OmShutdown();
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(scratch);
    }

    enginetest::StartedEngine engine;
    std::filesystem::path previous, scratch;
    ITvBSPLandscape* landscape = nullptr;
    ITvGame* game = nullptr;
    ITvWeapon* weapon = nullptr;
    LgMatrix launcher{};
    LgVector still{0, 0, 0};
};

void BM_GunLaunch(benchmark::State& state) {
    Scene scene;
    for (auto _ : state) scene.weapon->Launch(0, &scene.launcher, &scene.still, nullptr);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GunLaunch);

void BM_FullRingStep(benchmark::State& state) {
    Scene scene;
    for (int i = 0; i < kTvProjectileSlots; ++i)
        scene.weapon->Launch(0, &scene.launcher, &scene.still, nullptr);
    for (auto _ : state) scene.weapon->Update();
    state.SetItemsProcessed(state.iterations() * kTvProjectileSlots);
}
BENCHMARK(BM_FullRingStep);

} // namespace
