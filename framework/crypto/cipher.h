// ICipher: the stream-cipher interface of TinyCrypt, CryptPW and AsciiCrypt, and their class
// ids and modules.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID IID_ICipher = om_guid("DC9D2126-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_TinyCrypt = om_guid("520A123A-FE57-481E-B808-4EC4AFEB952A");
inline constexpr GUID CLSID_CryptPW = om_guid("DC87ABFC-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_AsciiCrypt = om_guid("DC82E748-C84F-11D4-871E-00C04F7963BA");

// Every operation returns OM_E_FAIL for a missing stream. TinyCrypt leaves its output at
// position 0; CryptPW and AsciiCrypt leave enciphered and deciphered output at its end.
struct ICipher : IUnknown {
    // Derives the enciphering key from the pass phrase. 0, or a stream failure.
    virtual OmResult MakeKey(IByteStream* key, IByteStream* pass_phrase) = 0;
    // Enciphers the whole input under a key made by MakeKey. 0, a stream failure, or
    // OM_E_FAIL for a key that cannot be used.
    virtual OmResult Encrypt(IByteStream* out, IByteStream* in, IByteStream* key) = 0;
    // Deciphers the whole input with the pass phrase. 0, a stream failure, or OM_E_FAIL for
    // input that is not ciphertext of this cipher (a wrong pass phrase may go unnoticed).
    virtual OmResult Decrypt(IByteStream* out, IByteStream* in, IByteStream* pass_phrase) = 0;
    // Replaces the built-in initial value or seed text with the stream's content. 0, or a
    // stream failure.
    virtual OmResult SetSeed(IByteStream* seed) = 0;
};

OM_DECLARE_MODULE(TinyCrypt);
OM_DECLARE_MODULE(CryptPW);
OM_DECLARE_MODULE(AsciiCrypt);

// A new CryptPW with the built-in seed, made directly (one reference). OM_E_OUTOFMEMORY.
OmResult OmNewCryptPW(ICipher** out);
