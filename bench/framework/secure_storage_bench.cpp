// The list checksum of the secured data files over a 20 MB file read through file storage:
// the large-read form the reader uses, beside the 4-byte reads the sum is defined by.
#include "bench/framework/framework_services.h"
#include "framework/core/com_ref.h"
#include "framework/crypto/secure_file_set.h"
#include "framework/platform/file_storage.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kFileSize = 20u << 20;

// 20 MB of varied bytes in a temporary file, removed at the end.
struct DataFile {
    DataFile() {
        char name[] = "/tmp/corvel-checksum-bench-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) return;
        std::vector<uint8_t> data(kFileSize);
        uint32_t x = 2463534242u;
        for (auto& b : data) b = uint8_t((x ^= x << 13, x ^= x >> 17, x ^= x << 5));
        const bool written = ::write(fd, data.data(), data.size()) == ssize_t(data.size());
        ::close(fd);
        if (written) path = name;
    }
    ~DataFile() {
        if (!path.empty()) std::remove(path.c_str());
    }
    std::string path;
};

ComRef<IFileStorage> file_storage() {
    bench::use_framework_allocator();
    ComRef<IClassFactory> factory;
    Win32Storage_GetClassObject(CLSID_Win32Storage, IID_IClassFactory, factory.put_void());
    ComRef<IFileStorage> storage;
    if (factory) factory->CreateInstance(nullptr, IID_IFileStorage, storage.put_void());
    return storage;
}

// The sum as the format defines it: a 4-byte read, then the word buffer added.
uint32_t checksum_by_words(IByteStream* stream) {
    uint32_t sum = 0;
    uint8_t word[4] = {};
    for (;;) {
        uint32_t got = 0;
        const OmResult r = stream->Read(word, 4, &got);
        sum += uint32_t(word[0]) | uint32_t(word[1]) << 8 | uint32_t(word[2]) << 16 |
               uint32_t(word[3]) << 24;
        if (r < 0) return sum;
    }
}

// Each iteration opens the file as a listed open does and sums it.
template <uint32_t (*Sum)(IByteStream*)>
void BM_ListChecksum(benchmark::State& state) {
    DataFile file;
    auto storage = file_storage();
    if (file.path.empty() || !storage) {
        state.SkipWithError("no data file");
        return;
    }
    for (auto _ : state) {
        ComRef<IByteStream> stream;
        if (storage->Open(file.path.c_str(), OM_OPEN_READ, OM_OPEN_BINARY, stream.put()) < 0) {
            state.SkipWithError("open failed");
            return;
        }
        benchmark::DoNotOptimize(Sum(stream.get()));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}
BENCHMARK(BM_ListChecksum<SecureStorage_ComputeChecksum>)
    ->Name("BM_ListChecksum20MB")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListChecksum<checksum_by_words>)
    ->Name("BM_ListChecksum20MB_WordReads")
    ->Unit(benchmark::kMillisecond);

} // namespace
