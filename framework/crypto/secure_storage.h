// SecureStorage: a file storage in front of another one that checks or deciphers the files a
// signed list names; the program's global storage once the game has opened its data set.
#pragma once

#include "framework/crypto/secure_file_set.h"
#include "framework/platform/file_storage.h"

inline constexpr GUID CLSID_SecureStorage = om_guid("161B2C9B-5269-487F-96E4-E620D1F682DB");
inline constexpr GUID IID_ISecureStorage = om_guid("9F208560-FCCF-4F43-B10B-A4465A5983C4");

// What the last open found: the section that listed the path and whether its check failed.
inline constexpr uint32_t OM_SECURE_NOT_LISTED = 0;
inline constexpr uint32_t OM_SECURE_WARNING = 1;
inline constexpr uint32_t OM_SECURE_SECURE = 2;
inline constexpr uint32_t OM_SECURE_ENCRYPT = 3;

// The object's IFileStorage opens paths through the list:
// - "warning": the file opens through the inner storage; a checksum mismatch still hands out
//   the stream (at its start) but answers OM_S_INTEGRITY_FAILED (0x280001, a success);
// - "secure": a mismatch, or a file that does not open, gives OM_E_FAIL and no stream;
// - "encrypt": the file is deciphered with TinyCrypt into a memory stream (at its start, and
//   8-16 bytes longer than the plain file), whatever mode and kind were asked for;
// - not listed: the inner storage's Open, unchanged.
// Keys are the paths in portable form; a path under the set's directory is looked up relative
// to it. Every other IFileStorage operation is the inner storage's.
struct ISecureStorage : IUnknown {
    // Uses `inner` (when not null; a reference is taken) as the inner storage, `directory`
    // (native form; null or "" for paths relative to the current directory) as the set's
    // directory, and reads the set the record names: it is verified against its signature and
    // public key, deciphered and merged into the list. Always 0: a set that is missing, does
    // not verify or does not decipher leaves the list as it was, so paths pass through.
    virtual OmResult OpenFileSet(IFileStorage* inner, const char* directory,
                                 const SecureFileSet* set) = 0;
    // out[0] = the section (OM_SECURE_*), out[1] = 1 when the check failed. With a path, that
    // path is opened for reading first; without one, the last open is reported. 0; OM_E_FAIL
    // when the path gives no stream or `out` is null.
    virtual OmResult GetStatus(const char* path, uint32_t* out) = 0;
};

OM_DECLARE_MODULE(SecureStorage);
