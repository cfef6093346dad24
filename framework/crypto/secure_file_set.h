// The secured data-file set shared by SecureStorage and SecureStorageCreate: the file-set
// record, the built-in pass phrases and names, and the file checksum of the list.
#pragma once

#include "framework/core/portable_path.h"
#include "framework/io/byte_stream.h"

#include <span>
#include <string_view>

inline constexpr uint32_t kSecurePassPhraseCapacity = 260;

// Filled by the caller; SecureStorage copies it whole, SecureStorageCreate may clear its
// pass phrase lengths. Pass phrases are not NUL-terminated: their lengths count, and a length
// of 0 selects the built-in one. Lengths above the capacity count as the capacity.
struct SecureFileSet {
    char signature_name[OM_MAX_PATH];
    char plain_list_name[OM_MAX_PATH]; // the text list SecureStorageCreate reads
    char list_name[OM_MAX_PATH];
    char public_key_name[OM_MAX_PATH];
    uint8_t signing_pass_phrase[kSecurePassPhraseCapacity];
    uint32_t signing_pass_phrase_length;
    uint8_t list_pass_phrase[kSecurePassPhraseCapacity];
    uint32_t list_pass_phrase_length;
    // Non-zero: the set is "list.bin", "sig.bin" and "public.bin" and both lengths count as 0.
    uint32_t use_default_names;
};

inline constexpr char kSecureDefaultListName[] = "list.bin";
inline constexpr char kSecureDefaultSignatureName[] = "sig.bin";
inline constexpr char kSecureDefaultPublicKeyName[] = "public.bin";
inline constexpr char kSecureDefaultPlainListName[] = "secure.ini";

// The list sections, in the order a path is looked up.
inline constexpr const char* kSecureSections[] = {"warning", "secure", "encrypt"};
// Values are read into a buffer of this size: a value of 64 characters or more is not listed.
inline constexpr uint32_t kSecureValueCapacity = 64;

// Signed data sets depend on these texts: they never change. Of the list pass phrase only the
// first 20 bytes are used; the signing pass phrase is used with its terminating zero byte.
inline constexpr std::string_view kSecureBuiltInListText = "corvel list key 4Hq9Zx2Lw7";
inline constexpr size_t kSecureBuiltInListLength = 20;
inline constexpr std::string_view kSecureBuiltInSigningText = "corvel data set signer 7Q";
static_assert(kSecureBuiltInListText.size() == 26);
static_assert(kSecureBuiltInSigningText.size() == 25);

// The list pass phrase of a record: its own bytes, or the built-in one for length 0.
std::span<const uint8_t> SecureListPassPhrase(const SecureFileSet& set);
// The signing pass phrase of a record: its own bytes, or the built-in text and its zero byte.
std::span<const uint8_t> SecureSigningPassPhrase(const SecureFileSet& set);

// A memory stream holding `bytes`, at its start (one reference). The failure of making it.
OmResult OmNewStreamOfBytes(std::span<const uint8_t> bytes, IByteStream** out);

// The checksum of a listed file: the stream from its position read as little-endian 32-bit
// words into one word buffer that starts at zero, the buffer added (wrapping) after every
// read, including the read that meets the end. That last read replaces only the low-order
// bytes it delivers (none when the length is a multiple of 4), so the last word counts twice.
// The stream is then seeked to its start. Stored lists depend on this exact sum.
uint32_t SecureStorage_ComputeChecksum(IByteStream* stream);
