// Fuzzes SecureStorage's reading of a secured data-file set: hostile list, signature and
// public key files are verified and the list deciphered and loaded; then the files it may
// name are opened through it. The files live in a storage in memory that the harness hands
// to the set as its inner storage.
//
// Input: a flags byte; the list, signature and key files, "data/a.bin" and "data/b.ini" as
// parts; then "data/c.bin". Flags bit 0: the list part is a plain list text that the harness
// enciphers and signs with the built-in pass phrases (the signature and key parts are then unused),
// so hostile lists get past the signature check.
#include "framework/crypto/secure_storage.h"
#include "framework/crypto/crypt_pw.h"
#include "framework/crypto/hex_text.h"
#include "framework/crypto/signature.h"
#include "fuzz/framework_harness.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

namespace {

using fuzzing::require;

// The data files an input's list may name, opened after the set has loaded; the last is the
// first in native spelling: the list finds it under its portable key, the inner storage (exact
// paths only) has no such file.
const char* const kDataFiles[] = {"data/a.bin", "data/b.ini", "data/c.bin", "data\\a.bin"};

// Files by exact path, read only.
class MemoryStorage final : public OmObject<MemoryStorage, IFileStorage> {
public:
    explicit MemoryStorage(std::map<std::string, std::string> files) : files_(std::move(files)) {}
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFileStorage, this}});
    }
    OmResult Open(const char* path, uint32_t mode, uint32_t, IByteStream** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        const auto file = path ? files_.find(path) : files_.end();
        if (mode != OM_OPEN_READ || file == files_.end()) return OM_E_FAIL;
        const auto& bytes = file->second;
        return OmNewStreamOfBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()},
                                  out);
    }
    OmResult Rename(const char*, const char*) override { return OM_E_FAIL; }
    OmResult Delete(const char*) override { return OM_E_FAIL; }
    OmResult MakeDirectory(const char*) override { return OM_E_FAIL; }
    OmResult Reserved1(void*, void*) override { return OM_E_FAIL; }
    OmResult Reserved2(void*, void*) override { return OM_E_FAIL; }
    OmResult Enumerate(const char*, OmEnumerateCallback, void*) override {
        return OM_E_NOTHINGENUMERATED;
    }
    OmResult GetInfo(const char*, OmFileInfo*) override { return OM_E_FAIL; }

private:
    std::map<std::string, std::string> files_;
};

// The list, signature and key files that SecureStorageCreate writes for a plain list. The
// list is enciphered under one message key made once: the reader needs only the pass phrase
// and the message point, and agreeing a key for every input would cost more than the load.
void secure_list(std::string_view plain, std::map<std::string, std::string>& files) {
    static const SecureFileSet set = [] {
        SecureFileSet s{};
        s.use_default_names = 1;
        return s;
    }();
    static const auto public_key = DsMakePublicKeyBytes(SecureSigningPassPhrase(set));
    struct MessageKey {
        CryptPwHeader header;
        CryptPwStreamKey stream_key;
    };
    static const MessageKey message = [] {
        MessageKey m{};
        BigNum list_key;
        require(DsPublicKeyFromBytes(CryptPwMakeKey(SecureListPassPhrase(set)), list_key),
                "the list key is a curve point");
        require(CryptPwEncryptKey(
                    list_key,
                    DsHashPassPhrase({reinterpret_cast<const uint8_t*>(kCryptPwDefaultSeed.data()),
                                      kCryptPwDefaultSeed.size()}),
                    {1, 2, 3, 4, 5}, m.header, m.stream_key),
                "a message key is agreed");
        return m;
    }();

    std::vector<uint8_t> cipher(message.header.begin(), message.header.end());
    CryptPwStream stream(message.stream_key);
    uint8_t chunk[kCryptPwChunkCapacity];
    for (size_t pos = 0; pos < plain.size();) {
        const size_t take = std::min(kCryptPwChunkSize, plain.size() - pos);
        std::memcpy(chunk, plain.data() + pos, take);
        const size_t length = stream.encrypt_chunk(chunk, take);
        cipher.insert(cipher.end(), chunk, chunk + length);
        pos += take;
    }
    const std::string list = HexEncodeBytes(cipher);
    files[kSecureDefaultListName] = list;
    files[kSecureDefaultSignatureName] = DsSignData(
        {reinterpret_cast<const uint8_t*>(list.data()), list.size()}, SecureSigningPassPhrase(set));
    files[kSecureDefaultPublicKeyName] =
        std::string(reinterpret_cast<const char*>(public_key.data()), public_key.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    fuzzing::FrameworkBlocksBalanced balanced;

    fuzzing::FuzzInput input(data, size);
    const bool sign = (input.byte() & 1) != 0;
    const auto list = fuzzing::as_text(input.part());
    const auto signature = fuzzing::as_text(input.part());
    const auto key = fuzzing::as_text(input.part());
    const auto first = fuzzing::as_text(input.part());
    const auto second = fuzzing::as_text(input.part());
    const auto third = fuzzing::as_text(input.rest());

    std::map<std::string, std::string> files;
    if (sign) {
        secure_list(list, files);
    } else {
        files[kSecureDefaultListName] = std::string(list);
        files[kSecureDefaultSignatureName] = std::string(signature);
        files[kSecureDefaultPublicKeyName] = std::string(key);
    }
    files[kDataFiles[0]] = std::string(first);
    files[kDataFiles[1]] = std::string(second);
    files[kDataFiles[2]] = std::string(third);

    ComRef<IFileStorage> inner;
    inner.attach(new MemoryStorage(std::move(files)));
    require(inner.get() != nullptr, "a memory storage is made");
    ComRef<ISecureStorage> secure;
    require(OmCreate(CLSID_SecureStorage, IID_ISecureStorage, secure.put()) >= 0,
            "a secure storage is created");
    SecureFileSet set{};
    set.use_default_names = 1;
    require(secure->OpenFileSet(inner.get(), "", &set) == 0, "opening a set always answers 0");

    ComRef<IFileStorage> storage;
    require(secure->QueryInterface(IID_IFileStorage, storage.put_void()) >= 0,
            "a secure storage is a file storage");
    for (const char* path : kDataFiles) {
        for (uint32_t kind : {OM_OPEN_BINARY, OM_OPEN_TEXT}) {
            ComRef<IByteStream> stream;
            const OmResult r = storage->Open(path, OM_OPEN_READ, kind, stream.put());
            require((r >= 0) == (stream.get() != nullptr), "a stream comes exactly with success");
            if (stream) (void)fuzzing::bytes_of(stream.get());
            uint32_t status[2] = {99, 99};
            if (secure->GetStatus(nullptr, status) >= 0)
                require(status[0] <= OM_SECURE_ENCRYPT && status[1] <= 1, "a status is sound");
        }
    }
    return 0;
}
