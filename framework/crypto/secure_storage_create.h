// SecureStorageCreate: the tool-side component that builds a secured data-file set from a
// plain text list of files.
#pragma once

#include "framework/crypto/secure_file_set.h"
#include "framework/platform/file_storage.h"

inline constexpr GUID CLSID_SecureStorageCreate = om_guid("26B906D3-53AA-42B3-840A-866D16DE3A68");
inline constexpr GUID IID_ISecureStorageCreate = om_guid("D9D9DBFD-39DC-4CA5-9B49-9EC3F820C691");

// The plain list (the record's plain list name, a property-sheet text) has the sections
// "warning", "secure" and "encrypt"; each key is a file path relative to the base path, each
// value "BINARY" or "TEXT" (the form the file is opened in).
struct ISecureStorageCreate : IUnknown {
    // Replaces the values of "warning" and "secure" entries with the files' checksums (an
    // entry whose file does not open keeps its form word), enciphers every "encrypt" file in
    // place with TinyCrypt under a new 15-character key text (the plain file stays as
    // path + ".bak"; the file comes back 8-16 bytes longer, so text files do not belong
    // there), then writes the list enciphered with AsciiCrypt, its signature and the public
    // key. With use default names the record's pass phrase lengths are cleared first.
    // 0; OM_E_FAIL for a form that is neither word (the walk of that section stops; later
    // sections still run but no set is written); the failure of creating a component, of
    // opening or loading the plain list (no set is written), or of enciphering an entry (at
    // once, nothing further is written).
    virtual OmResult Build(SecureFileSet* set) = 0;
    // The prefix joined in front of every listed key as it stands (end it with '/'); at most
    // 259 characters are kept. 0.
    virtual OmResult SetBasePath(const char* path) = 0;
};

OM_DECLARE_MODULE(SecureStorageCreate);

// Key texts of "encrypt" entries have this many characters (a zero byte follows them).
inline constexpr size_t kSecureKeyTextLength = 15;
// One character of a key text from a random byte, in signed 8-bit arithmetic: negated when
// negative, raised by 0x30 below 0x30, lowered by 8 above 0x7A, and '[', ']', '#', '=' and 0
// become 'a', so that the text survives the property-sheet format (0x80 gives 0xB0).
char SecureKeyTextChar(uint8_t random_byte);
