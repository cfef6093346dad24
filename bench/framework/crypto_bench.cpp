// Throughput of the crypto core: SHA-1 beside OpenSSL's in the same run, Square-CTS through
// CryptPW, and the public-key operations of signing and checking.
#include "framework/crypto/crypt_pw.h"
#include "framework/crypto/sha1.h"
#include "framework/crypto/signature.h"

#include <openssl/sha.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> test_data(size_t n) {
    std::vector<uint8_t> v(n);
    uint32_t x = 12345;
    for (auto& b : v) b = uint8_t((x = x * 1103515245u + 12345u) >> 16);
    return v;
}

std::span<const uint8_t> bytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

void BM_Sha1(benchmark::State& state) {
    const auto data = test_data(size_t(state.range(0)));
    for (auto _ : state) {
        Sha1Context ctx;
        OmSha1Init(ctx);
        OmSha1Update(ctx, data.data(), data.size());
        uint32_t out[5];
        OmSha1Final(ctx, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Sha1)->Arg(64)->Arg(16384)->Arg(1 << 20);

void BM_Sha1_OpenSsl(benchmark::State& state) {
    const auto data = test_data(size_t(state.range(0)));
    for (auto _ : state) {
        unsigned char md[SHA_DIGEST_LENGTH];
        SHA1(data.data(), data.size(), md);
        benchmark::DoNotOptimize(md);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Sha1_OpenSsl)->Arg(64)->Arg(16384)->Arg(1 << 20);

// Square-CTS over chunks, without the one-off key agreement.
void BM_CryptPwStreamEncrypt(benchmark::State& state) {
    const auto data = test_data(size_t(state.range(0)));
    CryptPwStreamKey key{};
    std::vector<uint8_t> out(data.size() + kCryptPwChunkCapacity);
    for (auto _ : state) {
        CryptPwStream stream(key);
        uint8_t chunk[kCryptPwChunkCapacity];
        for (size_t pos = 0; pos < data.size(); pos += kCryptPwChunkSize) {
            const size_t take = std::min(kCryptPwChunkSize, data.size() - pos);
            std::memcpy(chunk, data.data() + pos, take);
            const size_t n = stream.encrypt_chunk(chunk, take);
            std::memcpy(out.data() + pos, chunk, n);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CryptPwStreamEncrypt)->Arg(1 << 20);

// The whole component path: message digest, key agreement and encipherment.
void BM_CryptPwEncrypt(benchmark::State& state) {
    const auto data = test_data(size_t(state.range(0)));
    const auto key = CryptPwMakeKey(bytes("bench pass"));
    std::vector<uint8_t> out;
    for (auto _ : state) {
        CryptPwEncrypt(data, key, bytes(kCryptPwDefaultSeed), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CryptPwEncrypt)->Arg(4096)->Arg(1 << 20);

void BM_CryptPwDecrypt(benchmark::State& state) {
    const auto data = test_data(size_t(state.range(0)));
    std::vector<uint8_t> cipher, out;
    CryptPwEncrypt(data, CryptPwMakeKey(bytes("bench pass")), bytes(kCryptPwDefaultSeed), cipher);
    for (auto _ : state) {
        CryptPwDecrypt(cipher, bytes("bench pass"), out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_CryptPwDecrypt)->Arg(1 << 20);

void BM_SignatureSign(benchmark::State& state) {
    const auto data = test_data(1024);
    for (auto _ : state) benchmark::DoNotOptimize(DsSignData(data, bytes("bench pass")));
}
BENCHMARK(BM_SignatureSign)->Unit(benchmark::kMillisecond);

void BM_SignatureVerify(benchmark::State& state) {
    const auto data = test_data(1024);
    const auto key = DsMakePublicKeyBytes(bytes("bench pass"));
    const std::string sig = DsSignData(data, bytes("bench pass"));
    for (auto _ : state) benchmark::DoNotOptimize(DsVerifyData(data, sig, key));
}
BENCHMARK(BM_SignatureVerify)->Unit(benchmark::kMillisecond);

} // namespace
