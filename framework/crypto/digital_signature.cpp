// The DigitalSignature component: stream plumbing around the signature maths.
#include "framework/crypto/digital_signature.h"

#include "framework/crypto/gf_field.h"
#include "framework/crypto/hash_stream.h"
#include "framework/crypto/wiped.h"

namespace {

class DigitalSignature final : public OmObject<DigitalSignature, IDigitalSignature> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IDigitalSignature, this}});
    }

    OmResult MakePublicKey(IByteStream* public_key, IByteStream* pass_phrase) override {
        return OmDsWritePublicKey(public_key, pass_phrase);
    }

    OmResult Sign(IByteStream* data, IByteStream* signature, IByteStream* pass_phrase) override {
        if (!data || !signature || !pass_phrase) return OM_E_FAIL;
        uint32_t pass_position = 0, data_position = 0;
        OmResult r = pass_phrase->Seek(0, OM_SEEK_CURRENT, &pass_position);
        if (r < 0) return r;
        Wiped<DsPassDigest> pass;
        pass.value = DsHashPassPhraseStream(pass_phrase);
        r = pass_phrase->Seek(int32_t(pass_position), OM_SEEK_START, nullptr);
        if (r < 0) return r;

        r = data->Seek(0, OM_SEEK_CURRENT, &data_position);
        if (r < 0) return r;
        const DsMessageDigests digests = DsHashMessageStream(data, 2);
        r = data->Seek(int32_t(data_position), OM_SEEK_START, nullptr);
        if (r < 0) return r;

        EcSignature sig;
        {
            OmGfScope gf;
            DsSign(pass.value, digests, sig);
        }
        const std::string text = DsFormatSignature(sig);
        // A signature that did not reach its stream must not pass for a signed set.
        r = signature->Write(text.data(), uint32_t(text.size()), nullptr);
        signature->Seek(0, OM_SEEK_START, nullptr);
        return r < 0 ? r : OM_S_OK;
    }

    OmResult Verify(IByteStream* data, IByteStream* signature, IByteStream* public_key) override {
        if (!data || !signature || !public_key) return OM_E_FAIL;
        uint32_t data_position = 0;
        if (data->Seek(0, OM_SEEK_CURRENT, &data_position) < 0) return OM_E_FAIL;
        const DsMessageDigests digests = DsHashMessageStream(data, 2);
        if (data->Seek(int32_t(data_position), OM_SEEK_START, nullptr) < 0) return OM_E_FAIL;

        // Only the first 38 bytes form the key; a short key reads as zeros, and a digit count
        // above 18 is refused rather than trusted.
        uint8_t key_bytes[kDsPublicKeySize] = {};
        const uint32_t got = OmReadUpTo(public_key, key_bytes, sizeof key_bytes);
        BigNum pub;
        if (!DsPublicKeyFromBytes(std::span<const uint8_t>(key_bytes, got), pub)) return OM_E_FAIL;

        // Character by character, so the stream is consumed only up to the end of r.
        DsSignatureReader reader;
        for (;;) {
            char c;
            uint32_t one = 0;
            if (signature->Read(&c, 1, &one) < 0 || one != 1) break;
            if (!reader.put(c)) break;
        }
        EcSignature sig;
        if (!reader.finish(sig)) return OM_E_FAIL;

        OmGfScope gf;
        return DsVerify(digests, sig, pub) ? OM_S_OK : OM_E_FAIL;
    }
};

const OmClassRecord classes[] = {{&CLSID_DigitalSignature, nullptr, nullptr,
                                  OmCreateComponent<DigitalSignature>, "DigitalSignature"}};

} // namespace

OM_DEFINE_MODULE(DigitalSignature, classes)

OmResult OmDsWritePublicKey(IByteStream* out, IByteStream* pass_phrase) {
    if (!out || !pass_phrase) return OM_E_FAIL;
    Wiped<DsPassDigest> pass;
    pass.value = DsHashPassPhraseStream(pass_phrase);
    BigNum pub;
    {
        OmGfScope gf;
        DsMakePublicKey(pass.value, pub);
    }
    const DsPublicKeyBytes bytes = DsPublicKeyToBytes(pub);
    return out->Write(bytes.data(), uint32_t(bytes.size()), nullptr);
}
