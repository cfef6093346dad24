// The CryptPW component: the key agreement and chunked Square-CTS over byte streams.
#include "framework/crypto/cipher.h"

#include "framework/core/com_ref.h"
#include "framework/crypto/crypt_pw.h"
#include "framework/crypto/digital_signature.h"
#include "framework/crypto/gf_field.h"
#include "framework/crypto/hash_stream.h"
#include "framework/crypto/wiped.h"
#include "framework/io/memory_stream.h"
#include "framework/io/stream_helpers.h"

#include <algorithm>

namespace {

class CryptPW final : public OmObject<CryptPW, ICipher> {
public:
    ~CryptPW() {
        if (seed_) seed_->Release();
    }

    OmResult init() {
        ComRef<IByteStream> text;
        OmResult r = OmNewMemoryStream(text.put());
        if (r >= 0)
            r = text->Write(kCryptPwDefaultSeed.data(), uint32_t(kCryptPwDefaultSeed.size()),
                            nullptr);
        if (r >= 0) r = text->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0) r = SetSeed(text.get());
        return r;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICipher, this}});
    }

    OmResult MakeKey(IByteStream* key, IByteStream* pass_phrase) override {
        return OmDsWritePublicKey(key, pass_phrase);
    }

    OmResult Encrypt(IByteStream* out, IByteStream* in, IByteStream* key) override {
        if (!out || !in || !key) return OM_E_FAIL;
        uint8_t key_bytes[kDsPublicKeySize];
        if (OmReadUpTo(key, key_bytes, sizeof key_bytes) < sizeof key_bytes)
            return OM_E_ENDOFSTREAM;
        BigNum pub;
        if (!DsPublicKeyFromBytes(key_bytes, pub)) return OM_E_FAIL;

        OmResult r = seed_->Seek(0, OM_SEEK_START, nullptr);
        if (r < 0) return r;
        const DsPassDigest seed_digest = DsHashPassPhraseStream(seed_);

        uint32_t in_position = 0;
        r = in->Seek(0, OM_SEEK_CURRENT, &in_position);
        if (r < 0) return r;
        const DsMessageDigests digests = DsHashMessageStream(in, 1);
        r = in->Seek(int32_t(in_position), OM_SEEK_START, nullptr);
        if (r < 0) return r;
        std::array<uint32_t, 5> message_digest;
        std::copy_n(digests.begin(), 5, message_digest.begin());

        OmGfScope gf;
        CryptPwHeader header;
        Wiped<CryptPwStreamKey> stream_key;
        if (!CryptPwEncryptKey(pub, seed_digest, message_digest, header, stream_key.value))
            return OM_E_FAIL;
        r = out->Write(header.data(), uint32_t(header.size()), nullptr);
        if (r < 0) return r;

        CryptPwStream stream(stream_key.value);
        Wiped<uint8_t[kCryptPwChunkCapacity]> chunk;
        for (;;) {
            const uint32_t got = OmReadUpTo(in, chunk.value, uint32_t(kCryptPwChunkSize));
            if (!got) return OM_S_OK;
            const size_t length = stream.encrypt_chunk(chunk.value, got);
            r = out->Write(chunk.value, uint32_t(length), nullptr);
            if (r < 0) return r;
            if (got < kCryptPwChunkSize) return OM_S_OK;
        }
    }

    OmResult Decrypt(IByteStream* out, IByteStream* in, IByteStream* pass_phrase) override {
        if (!out || !in || !pass_phrase) return OM_E_FAIL;
        Wiped<DsPassDigest> pass;
        pass.value = DsHashPassPhraseStream(pass_phrase);
        CryptPwHeader header;
        if (OmReadUpTo(in, header.data(), uint32_t(header.size())) < header.size())
            return OM_E_FAIL;

        OmGfScope gf;
        Wiped<CryptPwStreamKey> stream_key;
        if (!CryptPwDecryptKey(pass.value, header, stream_key.value)) return OM_E_FAIL;

        // One chunk of look-ahead: a single byte after a full chunk belongs to it (a padded
        // 4095-byte last chunk is 4097 bytes long).
        CryptPwStream stream(stream_key.value);
        Wiped<uint8_t[2][kCryptPwChunkCapacity]> buffers;
        uint8_t* chunk = buffers.value[0];
        uint8_t* next = buffers.value[1];
        uint32_t got = OmReadUpTo(in, chunk, uint32_t(kCryptPwChunkSize));
        while (got) {
            uint32_t ahead = 0;
            if (got == kCryptPwChunkSize) {
                ahead = OmReadUpTo(in, next, uint32_t(kCryptPwChunkSize));
                if (ahead == 1) {
                    chunk[got++] = next[0];
                    ahead = 0;
                }
            }
            size_t length = got;
            if (!stream.decrypt_chunk(chunk, length)) return OM_E_FAIL;
            const OmResult r = out->Write(chunk, uint32_t(length), nullptr);
            if (r < 0) return r;
            std::swap(chunk, next);
            got = ahead;
        }
        return OM_S_OK;
    }

    OmResult SetSeed(IByteStream* seed) override {
        if (!seed) return OM_E_FAIL;
        ComRef<IByteStream> copy;
        OmResult r = OmNewMemoryStream(copy.put());
        if (r >= 0) r = OmCopyStream(copy.get(), seed);
        if (r < 0) return r;
        if (seed_) seed_->Release();
        seed_ = copy.detach();
        return OM_S_OK;
    }

private:
    IByteStream* seed_ = nullptr;
};

const OmClassRecord classes[] = {
    {&CLSID_CryptPW, nullptr, nullptr, OmCreateComponent<CryptPW>, "CryptPW"}};

} // namespace

OM_DEFINE_MODULE(CryptPW, classes)

OmResult OmNewCryptPW(ICipher** out) {
    if (!out) return OM_E_FAIL;
    CryptPW* cipher;
    const OmResult r = om_new_component(&cipher);
    *out = cipher;
    return r;
}
