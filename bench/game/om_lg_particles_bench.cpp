// The particle manager's per-frame work: a full pool of 300 particles updated once and
// topped up by emissions that replace live records, with no allocation on the way.
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "game/world/om_lg_particles.h"

#include <benchmark/benchmark.h>

namespace {

struct Puff {
    OmParticleHeader head;
    LgVector velocity;
};

int32_t drift(void*, OmParticleHeader* particle) {
    auto* p = reinterpret_cast<Puff*>(particle);
    p->head.position.x += p->velocity.x * 0.016f;
    p->head.position.y += p->velocity.y * 0.016f;
    p->head.position.z += p->velocity.z * 0.016f;
    return OM_S_OK;
}

void BM_FullPoolFrame(benchmark::State& state) {
    OmStartup();
    OmLgParticles_RegisterClasses(OmGetObjectManager());
    IOmLgParticles* particles = nullptr;
    OmCreateInstance(CLSID_OmLgParticles, nullptr, 0, IID_IOmLgParticles,
                     reinterpret_cast<void**>(&particles));
    particles->Init();
    const OmParticleType type{nullptr, 5, 6, sizeof(Puff), drift, nullptr, nullptr};
    constexpr int32_t kCapacity = 300;
    particles->AddType(4, &type, kCapacity);
    Puff puff{};
    puff.velocity = {1, 2, 3};
    for (int32_t i = 0; i < kCapacity; ++i) particles->Emit(4, &puff);
    for (auto _ : state) {
        for (int i = 0; i < 20; ++i) particles->Emit(4, &puff);
        particles->Update();
    }
    state.SetItemsProcessed(state.iterations() * kCapacity);
    particles->RemoveAllTypes();
    particles->Release();
    OmShutdown();
}
BENCHMARK(BM_FullPoolFrame);

} // namespace
