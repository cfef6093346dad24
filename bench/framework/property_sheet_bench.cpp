// INI loading speed: PropertySheet::Load over a 1 MB, 10,000-key text, against the inih parser
// on the same text (inih only hands each key to a callback; the sheet also stores it), from
// memory and from a file. The argument is the number of sections the keys are spread over.
#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/std_c_memory.h"
#include "framework/io/stream_helpers.h"
#include "framework/platform/file_storage.h"

#include <benchmark/benchmark.h>
#include <ini.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

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

// The INI text in a temporary file for the file-based runs.
struct IniFile {
    explicit IniFile(const std::string& text) {
        char name[] = "/tmp/corvel-ini-bench-XXXXXX";
        int fd = mkstemp(name);
        if (fd >= 0) {
            ssize_t written = ::write(fd, text.data(), text.size());
            ::close(fd);
            if (written == ssize_t(text.size())) path = name;
        }
    }
    ~IniFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
    std::string path;
};

template <class T>
ComRef<T> create(OmGetClassObjectFunction module, const GUID& clsid, const GUID& iid) {
    ComRef<IClassFactory> factory;
    module(clsid, IID_IClassFactory, factory.put_void());
    ComRef<T> object;
    if (factory) factory->CreateInstance(nullptr, iid, object.put_void());
    return object;
}

// Times Load alone: the sheet is made and released outside the timed part.
void time_loads(benchmark::State& state, size_t bytes, IByteStream* (*next_stream)(void*),
                void* context) {
    for (auto _ : state) {
        state.PauseTiming();
        auto sheet = create<IPropertySheet>(PropertySheet_GetClassObject, CLSID_PropertySheet,
                                            IID_IPropertySheet);
        ComRef<IByteStream> stream = ComRef<IByteStream>::adopt(next_stream(context));
        state.ResumeTiming();
        if (!stream || sheet->Load(stream.get()) != 0) state.SkipWithError("load failed");
        state.PauseTiming();
        stream.reset();
        sheet.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void BM_PropertySheetLoad(benchmark::State& state) {
    AllocatorScope allocator;
    const std::string text = make_ini(int(state.range(0)));
    time_loads(
        state, text.size(),
        [](void* context) {
            IByteStream* stream = nullptr;
            OmCreateTextStream(static_cast<const std::string*>(context)->c_str(), &stream);
            return stream;
        },
        const_cast<std::string*>(&text));
}
BENCHMARK(BM_PropertySheetLoad)->Arg(100)->Arg(1)->Unit(benchmark::kMillisecond);

struct FileSource {
    IFileStorage* storage;
    const char* path;
};

void BM_PropertySheetLoadFile(benchmark::State& state) {
    AllocatorScope allocator;
    const std::string text = make_ini(int(state.range(0)));
    IniFile file(text);
    auto storage =
        create<IFileStorage>(Win32Storage_GetClassObject, CLSID_Win32Storage, IID_IFileStorage);
    FileSource source{storage.get(), file.path.c_str()};
    time_loads(
        state, text.size(),
        [](void* context) {
            auto* s = static_cast<FileSource*>(context);
            IByteStream* stream = nullptr;
            s->storage->Open(s->path, OM_OPEN_READ, OM_OPEN_TEXT, &stream);
            return stream;
        },
        &source);
}
BENCHMARK(BM_PropertySheetLoadFile)->Arg(100)->Unit(benchmark::kMillisecond);

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

void BM_InihParseFile(benchmark::State& state) {
    const std::string text = make_ini(int(state.range(0)));
    IniFile file(text);
    for (auto _ : state) {
        int keys = 0;
        if (ini_parse(file.path.c_str(), count_key, &keys) != 0 || keys != 10000)
            state.SkipWithError("inih failed");
        benchmark::DoNotOptimize(keys);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_InihParseFile)->Arg(100)->Unit(benchmark::kMillisecond);

} // namespace
