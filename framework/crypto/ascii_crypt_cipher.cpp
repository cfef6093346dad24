// The AsciiCrypt component: CryptPW with its binary side held in memory streams and its key
// and ciphertext carried as hexadecimal text.
#include "framework/crypto/cipher.h"

#include "framework/core/com_ref.h"
#include "framework/io/memory_stream.h"
#include "framework/io/stream_helpers.h"

namespace {

class AsciiCrypt final : public OmObject<AsciiCrypt, ICipher> {
public:
    ~AsciiCrypt() {
        if (inner_) inner_->Release();
    }
    OmResult init() { return OmNewCryptPW(&inner_); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICipher, this}});
    }

    OmResult MakeKey(IByteStream* key, IByteStream* pass_phrase) override {
        if (!key || !pass_phrase) return OM_E_FAIL;
        ComRef<IByteStream> binary;
        OmResult r = OmNewMemoryStream(binary.put());
        if (r >= 0) r = inner_->MakeKey(binary.get(), pass_phrase);
        if (r >= 0) r = binary->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0) r = OmHexEncodeStream(key, binary.get());
        return r;
    }

    OmResult Encrypt(IByteStream* out, IByteStream* in, IByteStream* key) override {
        if (!out || !in || !key) return OM_E_FAIL;
        ComRef<IByteStream> binary_key, cipher;
        OmResult r = OmNewMemoryStream(binary_key.put());
        if (r >= 0) r = OmNewMemoryStream(cipher.put());
        if (r >= 0) r = OmHexDecodeStream(binary_key.get(), key);
        if (r >= 0) r = binary_key->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0) r = inner_->Encrypt(cipher.get(), in, binary_key.get());
        if (r >= 0) r = cipher->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0) r = OmHexEncodeStream(out, cipher.get());
        return r;
    }

    OmResult Decrypt(IByteStream* out, IByteStream* in, IByteStream* pass_phrase) override {
        if (!out || !in || !pass_phrase) return OM_E_FAIL;
        ComRef<IByteStream> cipher;
        OmResult r = OmNewMemoryStream(cipher.put());
        if (r >= 0) r = OmHexDecodeStream(cipher.get(), in);
        if (r >= 0) r = cipher->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0) r = inner_->Decrypt(out, cipher.get(), pass_phrase);
        return r;
    }

    OmResult SetSeed(IByteStream* seed) override { return inner_->SetSeed(seed); }

private:
    ICipher* inner_ = nullptr;
};

const OmClassRecord classes[] = {
    {&CLSID_AsciiCrypt, nullptr, nullptr, OmCreateComponent<AsciiCrypt>, "AsciiCrypt"}};

} // namespace

OM_DEFINE_MODULE(AsciiCrypt, classes)
