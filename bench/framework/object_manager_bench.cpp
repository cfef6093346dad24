// Creation through a two-step treat-as chain and ObjHash string lookups: both sit on
// per-frame paths of the game.
#include "framework/containers/com_hash.h"
#include "framework/containers/values.h"
#include "framework/core/framework_startup.h"
#include "program/module_groups.h"

#include <benchmark/benchmark.h>
#include <string>
#include <vector>

namespace {

constexpr GUID CLSID_NeutralInt = om_guid("5E1A0200-0000-4000-8000-00000000B001");
constexpr GUID CLSID_MiddleInt = om_guid("5E1A0201-0000-4000-8000-00000000B001");

struct Framework {
    Framework() {
        OmStartup();
        OmRegisterAllModuleGroups(OmGetObjectManager());
    }
    ~Framework() { OmShutdown(); }
};

void BM_CreateInstanceThroughTreatAsChain(benchmark::State& state) {
    Framework framework;
    OmSetTreatAsClass(CLSID_NeutralInt, &CLSID_MiddleInt);
    OmSetTreatAsClass(CLSID_MiddleInt, &CLSID_Int);
    for (auto _ : state) {
        IInt* value = nullptr;
        OmCreateInstance(CLSID_NeutralInt, nullptr, 0, IID_IInt, reinterpret_cast<void**>(&value));
        benchmark::DoNotOptimize(value);
        value->Release();
    }
}
BENCHMARK(BM_CreateInstanceThroughTreatAsChain);

void BM_ObjHashGetString(benchmark::State& state) {
    Framework framework;
    IObjHash* hash = nullptr;
    OmCreateObjHash(nullptr, &hash);
    std::vector<std::string> names;
    for (int i = 0; i < state.range(0); ++i) {
        names.push_back(i % 2 ? "attribute" + std::to_string(i) : "a" + std::to_string(i));
        hash->SetString(names.back().c_str(), "value");
    }
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(hash->GetString(names[i].c_str(), nullptr));
        if (++i == names.size()) i = 0;
    }
    hash->Release();
}
BENCHMARK(BM_ObjHashGetString)->Arg(8)->Arg(64)->Arg(1024);

} // namespace
