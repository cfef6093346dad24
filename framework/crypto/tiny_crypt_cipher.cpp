// The TinyCrypt component: TEA block loops over byte streams.
#include "framework/crypto/cipher.h"

#include "framework/crypto/hash_stream.h"
#include "framework/crypto/tiny_crypt.h"
#include "framework/crypto/wiped.h"

#include <cstring>

namespace {

constexpr uint32_t kTinyChunk = 4096; // a multiple of the 8-byte block

using BlockFunction = void (*)(uint8_t*, size_t, const uint32_t[4]);

// Runs every block of `in` through `blocks_fn` into `out`. The input ends with one block made
// of its last 0-7 bytes and zeros: that block is what the stored format expects after the
// data (it carries no length), and zeros keep the output deterministic.
OmResult run_blocks(IByteStream* out, IByteStream* in, const uint32_t key[4],
                    BlockFunction blocks_fn) {
    Wiped<uint8_t[kTinyChunk]> chunk;
    for (;;) {
        const uint32_t got = OmReadUpTo(in, chunk.value, kTinyChunk);
        uint32_t length = got;
        if (got < kTinyChunk) {
            length = (got / 8 + 1) * 8;
            std::memset(chunk.value + got, 0, length - got);
        }
        blocks_fn(chunk.value, length / 8, key);
        const OmResult r = out->Write(chunk.value, length, nullptr);
        if (r < 0) return r;
        if (got < kTinyChunk) return OM_S_OK;
    }
}

void key_words(const TinyCryptKey& key, uint32_t words[4]) {
    for (int i = 0; i < 16; ++i)
        words[i / 4] = (i % 4 ? words[i / 4] : 0) | uint32_t(key[size_t(i)]) << (8 * (i % 4));
}

class TinyCrypt final : public OmObject<TinyCrypt, ICipher> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICipher, this}});
    }

    OmResult MakeKey(IByteStream* key, IByteStream* pass_phrase) override {
        if (!key || !pass_phrase) return OM_E_FAIL;
        Wiped<TinyCryptKey> made;
        OmResult r = pass_key(pass_phrase, made.value);
        if (r < 0) return r;
        r = key->Write(made.value.data(), uint32_t(made.value.size()), nullptr);
        const OmResult seek = key->Seek(0, OM_SEEK_START, nullptr);
        return r < 0 ? r : seek < 0 ? seek : OM_S_OK;
    }

    OmResult Encrypt(IByteStream* out, IByteStream* in, IByteStream* key) override {
        if (!out || !in || !key) return OM_E_FAIL;
        Wiped<TinyCryptKey> stored;
        OmReadUpTo(key, stored.value.data(), uint32_t(stored.value.size()));
        OmResult r = key->Seek(0, OM_SEEK_START, nullptr);
        if (r < 0) return r;
        Wiped<uint32_t[4]> words;
        key_words(stored.value, words.value);
        r = run_blocks(out, in, words.value, TinyCryptEncryptBlocks);
        return finish(r, in, out);
    }

    OmResult Decrypt(IByteStream* out, IByteStream* in, IByteStream* pass_phrase) override {
        if (!out || !in || !pass_phrase) return OM_E_FAIL;
        Wiped<TinyCryptKey> made;
        OmResult r = pass_key(pass_phrase, made.value);
        if (r < 0) return r;
        Wiped<uint32_t[4]> words;
        key_words(made.value, words.value);
        r = run_blocks(out, in, words.value, TinyCryptDecryptBlocks);
        return finish(r, out, in);
    }

    OmResult SetSeed(IByteStream* seed) override {
        if (!seed) return OM_E_FAIL;
        uint8_t bytes[16] = {};
        const uint32_t got = OmReadUpTo(seed, bytes, sizeof bytes);
        const OmResult r = seed->Seek(0, OM_SEEK_START, nullptr);
        if (r < 0) return r;
        initial_ = TinyCryptSeedBlock(std::span<const uint8_t>(bytes, got));
        return OM_S_OK;
    }

private:
    // The key of the first 16 bytes of the pass phrase, which is then rewound.
    OmResult pass_key(IByteStream* pass_phrase, TinyCryptKey& key) {
        Wiped<uint8_t[16]> pass;
        const uint32_t got = OmReadUpTo(pass_phrase, pass.value, sizeof pass.value);
        const OmResult r = pass_phrase->Seek(0, OM_SEEK_START, nullptr);
        if (r < 0) return r;
        key = TinyCryptMakeKey(std::span<const uint8_t>(pass.value, got), initial_);
        return OM_S_OK;
    }

    // Rewinds both streams; the loop's failure comes first, then theirs.
    static OmResult finish(OmResult r, IByteStream* first, IByteStream* second) {
        const OmResult a = first->Seek(0, OM_SEEK_START, nullptr);
        const OmResult b = second->Seek(0, OM_SEEK_START, nullptr);
        return r < 0 ? r : a < 0 ? a : b < 0 ? b : OM_S_OK;
    }

    TinyCryptBlock initial_ = kTinyCryptDefaultBlock;
};

const OmClassRecord classes[] = {
    {&CLSID_TinyCrypt, nullptr, nullptr, OmCreateComponent<TinyCrypt>, "TinyCrypt"}};

} // namespace

OM_DEFINE_MODULE(TinyCrypt, classes)
