// SecureStorage: the list lookup in front of the inner storage, and loading a signed set.
#include "framework/crypto/secure_storage.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/core/text_parse.h"
#include "framework/crypto/cipher.h"
#include "framework/crypto/digital_signature.h"
#include "framework/io/memory_stream.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

constexpr char kDrivePrefix[] = "/dev/drive";

// Copies a C string into a fixed buffer, always terminated.
template <size_t N>
void copy_text(char (&out)[N], const char* text) {
    std::snprintf(out, N, "%s", text ? text : "");
}

class SecureStorage final : public OmObject<SecureStorage, IFileStorage, ISecureStorage> {
public:
    ~SecureStorage() {
        for (IUnknown* held : {static_cast<IUnknown*>(inner_), static_cast<IUnknown*>(cipher_),
                               static_cast<IUnknown*>(list_), static_cast<IUnknown*>(verifier_)})
            if (held) held->Release();
    }

    OmResult init() {
        set_.use_default_names = 1;
        copy_text(set_.plain_list_name, kSecureDefaultPlainListName);
        OmResult r = OmCreate(CLSID_TinyCrypt, IID_ICipher, &cipher_);
        if (r >= 0) r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, &list_);
        if (r >= 0) r = OmCreate(CLSID_FileStorage, IID_IFileStorage, &inner_);
        if (r >= 0) r = OmCreate(CLSID_DigitalSignature, IID_IDigitalSignature, &verifier_);
        return r;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IFileStorage, static_cast<IFileStorage*>(this)},
                                   {&IID_ISecureStorage, static_cast<ISecureStorage*>(this)}});
    }

    // IFileStorage

    OmResult Open(const char* path, uint32_t mode, uint32_t kind, IByteStream** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        char key[OM_MAX_PATH];
        lookup_key(path, key);
        char value[kSecureValueCapacity];
        for (uint32_t section = 0; section < std::size(kSecureSections); ++section) {
            if (!listed(kSecureSections[section], key, value)) continue;
            switch (section + 1) {
            case OM_SECURE_WARNING: return open_warning(path, mode, kind, value, out);
            case OM_SECURE_SECURE: return open_secure(path, mode, kind, value, out);
            default: return open_encrypted(path, value, out);
            }
        }
        last_section_ = OM_SECURE_NOT_LISTED;
        check_failed_ = 0;
        return inner_->Open(path, mode, kind, out);
    }
    OmResult Rename(const char* old_path, const char* new_path) override {
        return inner_->Rename(old_path, new_path);
    }
    OmResult Delete(const char* path) override { return inner_->Delete(path); }
    OmResult MakeDirectory(const char* path) override { return inner_->MakeDirectory(path); }
    OmResult Reserved1(void* first, void* second) override {
        return inner_->Reserved1(first, second);
    }
    OmResult Reserved2(void* first, void* second) override {
        return inner_->Reserved2(first, second);
    }
    OmResult Enumerate(const char* pattern, OmEnumerateCallback callback, void* context) override {
        return inner_->Enumerate(pattern, callback, context);
    }
    OmResult GetInfo(const char* path, OmFileInfo* out) override {
        return inner_->GetInfo(path, out);
    }

    // ISecureStorage

    OmResult OpenFileSet(IFileStorage* inner, const char* directory,
                         const SecureFileSet* set) override {
        if (inner) {
            // Held with a reference of our own, so a caller that lets go first cannot leave
            // us with a dangling storage.
            inner->AddRef();
            inner_->Release();
            inner_ = inner;
        }
        if (!directory || OmNativeToPortablePath(directory, base_path_, OM_MAX_PATH) < 0)
            base_path_[0] = '\0';
        if (set) set_ = *set;
        load_file_set();
        return OM_S_OK;
    }

    OmResult GetStatus(const char* path, uint32_t* out) override {
        if (!out) return OM_E_FAIL;
        if (path) {
            ComRef<IByteStream> stream;
            Open(path, OM_OPEN_READ, OM_OPEN_BINARY, stream.put());
            if (!stream) return OM_E_FAIL;
        }
        out[0] = last_section_;
        out[1] = check_failed_;
        return OM_S_OK;
    }

private:
    // The list key of a caller's path: its portable form, relative to the set's directory
    // when it lies under it. A path on a drive that is not under the directory keeps its
    // whole portable form, which no list key matches, rather than losing an unrelated prefix.
    void lookup_key(const char* path, char (&key)[OM_MAX_PATH]) const {
        char portable[OM_MAX_PATH];
        if (!path || OmNativeToPortablePath(path, portable, OM_MAX_PATH) < 0) {
            key[0] = '\0';
            return;
        }
        const char* rest = portable;
        const size_t base_length = std::strlen(base_path_);
        if (std::strncmp(portable, kDrivePrefix, sizeof kDrivePrefix - 1) == 0 && base_length &&
            strncasecmp(portable, base_path_, base_length) == 0) {
            rest += base_length;
            if (*rest == '/') ++rest;
        }
        copy_text(key, rest);
    }

    // Whether `section` lists `key`; its value (shorter than 64 characters) goes to `value`.
    bool listed(const char* section, const char* key, char (&value)[kSecureValueCapacity]) {
        if (!key[0] || list_->SetSection(section) < 0) return false;
        return list_->GetString(key, value, kSecureValueCapacity) >= 0;
    }

    // Whether the stream's checksum is the listed decimal value.
    static bool checksum_matches(IByteStream* stream, const char* value) {
        int32_t listed_sum;
        const uint32_t sum = SecureStorage_ComputeChecksum(stream);
        return OmParseInteger(value, &listed_sum) >= 0 && uint32_t(listed_sum) == sum;
    }

    OmResult open_warning(const char* path, uint32_t mode, uint32_t kind, const char* value,
                          IByteStream** out) {
        last_section_ = OM_SECURE_WARNING;
        check_failed_ = 0;
        const OmResult r = inner_->Open(path, mode, kind, out);
        if (r < 0) return r;
        if (checksum_matches(*out, value)) return r;
        check_failed_ = 1;
        return OM_S_INTEGRITY_FAILED;
    }

    OmResult open_secure(const char* path, uint32_t mode, uint32_t kind, const char* value,
                         IByteStream** out) {
        last_section_ = OM_SECURE_SECURE;
        check_failed_ = 0;
        ComRef<IByteStream> stream;
        if (inner_->Open(path, mode, kind, stream.put()) >= 0 &&
            checksum_matches(stream.get(), value)) {
            *out = stream.detach();
            return OM_S_OK;
        }
        check_failed_ = 1;
        return OM_E_FAIL;
    }

    // The file is read as binary whatever the caller asked: it holds ciphertext.
    OmResult open_encrypted(const char* path, const char* key_text, IByteStream** out) {
        last_section_ = OM_SECURE_ENCRYPT;
        ComRef<IByteStream> file, key, plain;
        OmResult r = inner_->Open(path, OM_OPEN_READ, OM_OPEN_BINARY, file.put());
        if (r >= 0)
            r = OmNewStreamOfBytes(
                {reinterpret_cast<const uint8_t*>(key_text), std::strlen(key_text) + 1}, key.put());
        if (r >= 0) r = OmNewMemoryStream(plain.put());
        if (r >= 0) r = cipher_->Decrypt(plain.get(), file.get(), key.get());
        if (r >= 0) r = plain->Seek(0, OM_SEEK_START, nullptr);
        if (r < 0) return r;
        *out = plain.detach();
        return OM_S_OK;
    }

    // Verifies, deciphers and merges the set into the list. The failure that stopped it, or 0
    // (nothing of a failed set reaches the list).
    OmResult load_file_set() {
        const char* list_name = set_.list_name;
        const char* signature_name = set_.signature_name;
        const char* key_name = set_.public_key_name;
        if (set_.use_default_names) {
            list_name = kSecureDefaultListName;
            signature_name = kSecureDefaultSignatureName;
            key_name = kSecureDefaultPublicKeyName;
            set_.signing_pass_phrase_length = 0;
            set_.list_pass_phrase_length = 0;
        }
        ComRef<IByteStream> list, signature, key, pass, plain;
        ComRef<ICipher> cipher;
        OmResult r = inner_->Open(list_name, OM_OPEN_READ, OM_OPEN_TEXT, list.put());
        if (r >= 0) r = inner_->Open(signature_name, OM_OPEN_READ, OM_OPEN_TEXT, signature.put());
        if (r >= 0) r = inner_->Open(key_name, OM_OPEN_READ, OM_OPEN_BINARY, key.put());
        if (r >= 0) r = verifier_->Verify(list.get(), signature.get(), key.get());
        if (r >= 0) r = list->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0) r = OmNewStreamOfBytes(SecureListPassPhrase(set_), pass.put());
        if (r >= 0) r = OmNewMemoryStream(plain.put());
        if (r >= 0) r = OmCreate(CLSID_AsciiCrypt, IID_ICipher, cipher.put());
        if (r >= 0) r = cipher->Decrypt(plain.get(), list.get(), pass.get());
        if (r >= 0) r = plain->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0) r = list_->Load(plain.get());
        if (r < 0) return r;
        for (const char* section : kSecureSections)
            if (list_->SetSection(section) >= 0) return OM_S_OK;
        return OM_E_FAIL;
    }

    ICipher* cipher_ = nullptr;
    IPropertySheet* list_ = nullptr;
    IFileStorage* inner_ = nullptr;
    IDigitalSignature* verifier_ = nullptr;
    SecureFileSet set_{};
    char base_path_[OM_MAX_PATH] = {};
    uint32_t last_section_ = OM_SECURE_NOT_LISTED;
    uint32_t check_failed_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_SecureStorage, nullptr, nullptr, OmCreateComponent<SecureStorage>, "SecureStorage"}};

} // namespace

OM_DEFINE_MODULE(SecureStorage, classes)
