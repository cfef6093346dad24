// DigitalSignature: the component that signs byte streams with a key pair made from a pass
// phrase and checks such signatures against the 38-byte public key.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_DigitalSignature = om_guid("65BDD8CA-09B9-4B25-A84E-FAE15B8960F7");
inline constexpr GUID IID_IDigitalSignature = om_guid("7CF16DFD-D024-468A-993C-EC0423F8B1A6");

struct IDigitalSignature : IUnknown {
    // Writes the 38-byte public key of the pass phrase (read from its position to its end).
    // The write's result; OM_E_FAIL for a missing stream.
    virtual OmResult MakePublicKey(IByteStream* public_key, IByteStream* pass_phrase) = 0;
    // Writes the "s:r" signature text of the data and seeks the signature stream to its start;
    // the data and pass phrase streams keep their positions. 0; the failure of positioning the
    // pass phrase or data (nothing written) or of writing the signature; OM_E_FAIL for a
    // missing stream.
    virtual OmResult Sign(IByteStream* data, IByteStream* signature, IByteStream* pass_phrase) = 0;
    // 0 when the signature text is valid for the data under the public key (only its first 38
    // bytes count); OM_E_FAIL when it is not, or is malformed, oversized or missing. The data
    // stream keeps its position.
    virtual OmResult Verify(IByteStream* data, IByteStream* signature, IByteStream* public_key) = 0;
};

OM_DECLARE_MODULE(DigitalSignature);

// The public key of the pass phrase read from `pass_phrase` (to its end) written to `out` as
// 38 bytes; shared with CryptPW's key slot. The write's result, OM_E_FAIL for a null stream.
OmResult OmDsWritePublicKey(IByteStream* out, IByteStream* pass_phrase);
