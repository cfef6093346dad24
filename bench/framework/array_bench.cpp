// Hot paths of the arrays: appending records and pointers, indexing, and COMArray access.
#include "bench/framework/framework_services.h"
#include "framework/containers/com_array.h"
#include "framework/containers/om_array.h"
#include "framework/containers/values.h"

#include <benchmark/benchmark.h>

namespace {

struct Record {
    float x, y, z;
    int32_t id;
};

void BM_OmArrayAppend(benchmark::State& state) {
    bench::use_framework_allocator();
    const int32_t n = int32_t(state.range(0));
    for (auto _ : state) {
        OmArray array;
        OmArrayInit(&array, sizeof(Record));
        for (int32_t i = 0; i < n; ++i) static_cast<Record*>(OmArrayAppend(&array))->id = i;
        benchmark::DoNotOptimize(array.data);
        OmArrayFree(&array);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_OmArrayAppend)->Arg(1024);

void BM_OmArrayAt(benchmark::State& state) {
    bench::use_framework_allocator();
    OmArray array;
    OmArrayInit(&array, sizeof(Record));
    OmArraySetCount(&array, 1024);
    for (auto _ : state) {
        int32_t sum = 0;
        for (int32_t i = 0; i < array.count; ++i)
            sum += static_cast<Record*>(OmArrayAt(&array, i))->id;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * array.count);
    OmArrayFree(&array);
}
BENCHMARK(BM_OmArrayAt);

void BM_OmPtrArrayAppend(benchmark::State& state) {
    bench::use_framework_allocator();
    const int32_t n = int32_t(state.range(0));
    for (auto _ : state) {
        OmPtrArray array;
        OmPtrArrayInit(&array);
        for (int32_t i = 0; i < n; ++i) OmPtrArrayAppend(&array, &array);
        benchmark::DoNotOptimize(array.data);
        OmPtrArrayFree(&array);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_OmPtrArrayAppend)->Arg(1024);

void BM_COMArrayGetAt(benchmark::State& state) {
    bench::use_framework_allocator();
    ICOMArray* array;
    OmNewCOMArray(&array);
    for (int32_t i = 0; i < 1024; ++i) {
        IInt* value;
        OmNewInt(i, &value);
        array->Append(value);
    }
    for (auto _ : state) {
        for (int32_t i = 0, n = array->Count(); i < n; ++i)
            benchmark::DoNotOptimize(array->GetAt(i));
    }
    state.SetItemsProcessed(state.iterations() * array->Count());
    array->Release();
}
BENCHMARK(BM_COMArrayGetAt);

} // namespace
