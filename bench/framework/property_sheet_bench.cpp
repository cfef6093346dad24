// INI loading speed: PropertySheet::Load over a 1 MB, 10,000-key text, against the inih parser
// on the same text (inih only hands each key to a callback; the sheet also stores it).
#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/std_c_memory.h"
#include "framework/io/stream_helpers.h"

#include <benchmark/benchmark.h>
#include <ini.h>

#include <string>

namespace {

// The framework's allocator for the benchmark's lifetime.
struct AllocatorScope {
    AllocatorScope() {
        IUnknown* memory = nullptr;
        StdCMemory::Create(nullptr, &memory);
        OmSetAllocator(static_cast<IMemory*>(static_cast<StdCMemory*>(memory)));
    }
    ~AllocatorScope() { OmSetAllocator(nullptr); }
};

// `sections` sections sharing 10,000 keys, about 100 bytes a line: 1 MB in all.
std::string make_ini(int sections) {
    const int keys = 10000, per_section = keys / sections;
    std::string text;
    text.reserve(1 << 20);
    for (int s = 0; s < sections; ++s) {
        text += "[Section" + std::to_string(s) + "]\n";
        for (int k = 0; k < per_section; ++k) {
            text += "key" + std::to_string(k) + " = ";
            std::string value = "value " + std::to_string(s * per_section + k) + " ";
            while (value.size() < 90) value += "0123456789";
            text += value + "\n";
        }
    }
    return text;
}

void BM_PropertySheetLoad(benchmark::State& state) {
    AllocatorScope allocator;
    const std::string text = make_ini(int(state.range(0)));
    ComRef<IByteStream> stream;
    OmCreateTextStream(text.c_str(), stream.put());
    IUnknown* object = nullptr;
    for (auto _ : state) {
        state.PauseTiming();
        stream->Seek(0, OM_SEEK_START, nullptr);
        ComRef<IClassFactory> factory;
        PropertySheet_GetClassObject(CLSID_PropertySheet, IID_IClassFactory, factory.put_void());
        ComRef<IPropertySheet> sheet;
        factory->CreateInstance(nullptr, IID_IPropertySheet, sheet.put_void());
        state.ResumeTiming();
        if (sheet->Load(stream.get()) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(object = sheet.get());
        state.PauseTiming();
        sheet.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_PropertySheetLoad)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond);

int count_key(void* user, const char*, const char*, const char*) {
    ++*static_cast<int*>(user);
    return 1;
}

void BM_InihParse(benchmark::State& state) {
    const std::string text = make_ini(int(state.range(0)));
    for (auto _ : state) {
        int keys = 0;
        if (ini_parse_string(text.c_str(), count_key, &keys) != 0 || keys != 10000)
            state.SkipWithError("inih failed");
        benchmark::DoNotOptimize(keys);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_InihParse)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
