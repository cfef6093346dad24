// Hot paths of the object containers: walking a COMList with a cursor, COMSet membership
// tests, BitFieldIntSet membership and enumeration, and COMStack push/pop.
#include "bench/framework/framework_services.h"
#include "framework/containers/bit_field_int_set.h"
#include "framework/containers/com_list.h"
#include "framework/containers/com_set.h"
#include "framework/containers/com_stack.h"
#include "framework/containers/values.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::vector<IInt*> make_values(int n) {
    std::vector<IInt*> values(size_t(n), nullptr);
    for (int i = 0; i < n; ++i) OmNewInt(i, &values[size_t(i)]);
    return values;
}

void BM_COMListCursorWalk(benchmark::State& state) {
    bench::use_framework_allocator();
    ICOMList* list;
    OmNewCOMList(&list);
    for (IInt* value : make_values(int(state.range(0)))) list->AddTail(value);
    ICOMListCursor* cursor = list->CreateCursor();
    for (auto _ : state) {
        for (cursor->First(); IUnknown* object = cursor->Current(); cursor->Next())
            benchmark::DoNotOptimize(object);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    cursor->Release();
    list->Release();
}
BENCHMARK(BM_COMListCursorWalk)->Arg(256);

void BM_COMListAddRemove(benchmark::State& state) {
    bench::use_framework_allocator();
    ICOMList* list;
    OmNewCOMList(&list);
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i) list->AddTail(nullptr);
        for (int i = 0; i < 64; ++i) benchmark::DoNotOptimize(list->RemoveHead());
    }
    state.SetItemsProcessed(state.iterations() * 64);
    list->Release();
}
BENCHMARK(BM_COMListAddRemove);

void BM_COMSetContains(benchmark::State& state) {
    bench::use_framework_allocator();
    ICOMSet* set;
    OmNewCOMSet(&set);
    std::vector<IInt*> values = make_values(int(state.range(0)));
    for (IInt* value : values) set->Add(value);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(set->Contains(values[i]));
        i = (i + 7) % values.size();
    }
    set->Release();
}
BENCHMARK(BM_COMSetContains)->Arg(16)->Arg(256);

void BM_BitFieldIntSetContains(benchmark::State& state) {
    bench::use_framework_allocator();
    IBitFieldIntSet* set;
    OmNewBitFieldIntSet(&set);
    for (int32_t n = 0; n < 1024; n += 3) set->Add(n);
    int32_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(set->Contains(n));
        n = (n + 7) & 1023;
    }
    set->Release();
}
BENCHMARK(BM_BitFieldIntSetContains);

void BM_BitFieldIntSetEnumerate(benchmark::State& state) {
    bench::use_framework_allocator();
    IBitFieldIntSet* set;
    OmNewBitFieldIntSet(&set);
    for (int32_t n = 0; n < 1024; n += 3) set->Add(n);
    for (auto _ : state) {
        for (int32_t n = set->First(); n >= 0; n = set->Next(n)) benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations() * set->Count());
    set->Release();
}
BENCHMARK(BM_BitFieldIntSetEnumerate);

void BM_COMStackPushPop(benchmark::State& state) {
    bench::use_framework_allocator();
    ICOMStack* stack;
    OmNewCOMStack(&stack);
    for (auto _ : state) {
        for (int i = 0; i < 64; ++i) stack->Push(nullptr);
        for (int i = 0; i < 64; ++i) benchmark::DoNotOptimize(stack->Pop());
    }
    state.SetItemsProcessed(state.iterations() * 64);
    stack->Release();
}
BENCHMARK(BM_COMStackPushPop);

} // namespace
