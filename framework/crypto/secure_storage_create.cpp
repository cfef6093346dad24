// SecureStorageCreate: checksums, in-place encipherment, and writing the signed list.
#include "framework/crypto/secure_storage_create.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/crypto/cipher.h"
#include "framework/crypto/digital_signature.h"
#include "framework/io/memory_stream.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

// The form word of a plain-list value: OM_OPEN_BINARY, OM_OPEN_TEXT, or 0 when invalid (also
// for a value of 10 characters or more).
uint32_t form_of(IPropertySheet* sheet, const char* key) {
    char value[10];
    if (sheet->GetString(key, value, sizeof value) < 0) return 0;
    if (std::strcmp(value, "BINARY") == 0) return OM_OPEN_BINARY;
    if (std::strcmp(value, "TEXT") == 0) return OM_OPEN_TEXT;
    return 0;
}

// The components and streams one Build holds.
struct BuildParts {
    ComRef<IDigitalSignature> signer;
    ComRef<IFileStorage> storage;
    ComRef<IPropertySheet> sheet;
    ComRef<ICipher> file_cipher;
};

class SecureStorageCreate final : public OmObject<SecureStorageCreate, ISecureStorageCreate> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ISecureStorageCreate, this}});
    }

    OmResult SetBasePath(const char* path) override {
        std::snprintf(base_path_, sizeof base_path_, "%s", path ? path : "");
        return OM_S_OK;
    }

    OmResult Build(SecureFileSet* set) override {
        if (!set) return OM_E_FAIL;
        if (set->use_default_names) {
            set->signing_pass_phrase_length = 0;
            set->list_pass_phrase_length = 0;
        }
        BuildParts parts;
        OmResult r = OmCreate(CLSID_DigitalSignature, IID_IDigitalSignature, parts.signer.put());
        if (r >= 0) r = OmCreate(CLSID_FileStorage, IID_IFileStorage, parts.storage.put());
        if (r >= 0) r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, parts.sheet.put());
        if (r >= 0) r = OmCreate(CLSID_TinyCrypt, IID_ICipher, parts.file_cipher.put());
        if (r < 0) return r;
        parts.sheet->Clear();
        parts.sheet->RemoveSection();

        // A bad form word stops that section's walk only; the set is then not written.
        OmResult result = load_plain_list(parts, *set);
        bool invalid_form = false;
        for (const char* section : {"warning", "secure"}) {
            r = checksum_section(parts, section, invalid_form);
            if (r < 0) result = r;
        }
        r = encrypt_section(parts, invalid_form);
        if (r < 0) return r;
        if (invalid_form && result >= 0) result = OM_E_FAIL;
        parts.file_cipher.reset();
        if (result < 0) return result;
        return write_set(parts, *set);
    }

private:
    OmResult load_plain_list(BuildParts& parts, const SecureFileSet& set) {
        char name[OM_MAX_PATH];
        std::snprintf(name, sizeof name, "%s", set.plain_list_name);
        ComRef<IByteStream> plain;
        OmResult r = parts.storage->Open(name, OM_OPEN_READ, OM_OPEN_TEXT, plain.put());
        if (r >= 0) r = parts.sheet->Load(plain.get());
        return r;
    }

    std::string path_of(const char* key) const { return std::string(base_path_) + key; }

    // Walks the keys of `section` (when present), calling visit(key, form) for each, until a
    // visit fails (its result) or a form word is invalid (`invalid_form` set, 0).
    template <typename Visit>
    static OmResult walk(IPropertySheet* sheet, const char* section, bool& invalid_form,
                         Visit visit) {
        if (sheet->SetSection(section) < 0) return OM_S_OK;
        char key[OM_SHEET_NAME_SIZE];
        for (OmResult moved = sheet->MoveKey(key, nullptr, OM_MOVE_FIRST); moved >= 0;
             moved = sheet->MoveKey(key, nullptr, OM_MOVE_NEXT)) {
            const uint32_t form = form_of(sheet, key);
            if (!form) {
                invalid_form = true;
                return OM_S_OK;
            }
            const OmResult r = visit(key, form);
            if (r < 0) return r;
        }
        return OM_S_OK;
    }

    // A file that does not open keeps its form word: the reader then never matches it.
    OmResult checksum_section(BuildParts& parts, const char* section, bool& invalid_form) {
        return walk(parts.sheet.get(), section, invalid_form, [&](const char* key, uint32_t form) {
            ComRef<IByteStream> file;
            if (parts.storage->Open(path_of(key).c_str(), OM_OPEN_READ, form, file.put()) < 0)
                return OM_S_OK;
            char sum[16];
            std::snprintf(sum, sizeof sum, "%d",
                          int32_t(SecureStorage_ComputeChecksum(file.get())));
            return parts.sheet->SetString(key, sum);
        });
    }

    // A failure while enciphering an entry is returned at once; files enciphered before it
    // keep their backups.
    OmResult encrypt_section(BuildParts& parts, bool& invalid_form) {
        return walk(
            parts.sheet.get(), "encrypt", invalid_form, [&](const char* key, uint32_t form) {
                char key_text[kSecureKeyTextLength + 1];
                make_key_text(key_text);
                const std::string path = path_of(key);
                const std::string backup = path + ".bak";
                parts.storage->Rename(path.c_str(), backup.c_str());

                ComRef<IByteStream> plain, cipher, text, derived;
                OmResult r = parts.storage->Open(backup.c_str(), OM_OPEN_READ, form, plain.put());
                if (r >= 0)
                    r = parts.storage->Open(path.c_str(), OM_OPEN_WRITE, form, cipher.put());
                if (r >= 0)
                    r = OmNewStreamOfBytes(
                        {reinterpret_cast<const uint8_t*>(key_text), sizeof key_text}, text.put());
                if (r >= 0) r = OmNewMemoryStream(derived.put());
                if (r >= 0) r = parts.file_cipher->MakeKey(derived.get(), text.get());
                if (r >= 0) r = derived->Seek(0, OM_SEEK_START, nullptr);
                if (r >= 0)
                    r = parts.file_cipher->Encrypt(cipher.get(), plain.get(), derived.get());
                if (r >= 0) r = parts.sheet->SetString(key, key_text);
                std::memset(key_text, 0, sizeof key_text);
                return r;
            });
    }

    // Key texts come from the system's random source: they are keys.
    static void make_key_text(char (&text)[kSecureKeyTextLength + 1]) {
        std::random_device source;
        for (size_t i = 0; i < kSecureKeyTextLength; ++i)
            text[i] = SecureKeyTextChar(uint8_t(source()));
        text[kSecureKeyTextLength] = '\0';
    }

    // The enciphered list, its signature and the public key, in that order.
    OmResult write_set(BuildParts& parts, const SecureFileSet& set) {
        const bool defaults = set.use_default_names != 0;
        const char* list_name = defaults ? kSecureDefaultListName : set.list_name;
        const char* signature_name = defaults ? kSecureDefaultSignatureName : set.signature_name;
        const char* key_name = defaults ? kSecureDefaultPublicKeyName : set.public_key_name;

        ComRef<IByteStream> plain_list, list_pass, list_key, list_file;
        ComRef<ICipher> list_cipher;
        OmResult r = OmNewMemoryStream(plain_list.put());
        if (r >= 0) r = parts.sheet->Save(plain_list.get());
        if (r >= 0) r = plain_list->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0) r = OmNewStreamOfBytes(SecureListPassPhrase(set), list_pass.put());
        if (r >= 0) r = OmCreate(CLSID_AsciiCrypt, IID_ICipher, list_cipher.put());
        if (r >= 0) r = OmNewMemoryStream(list_key.put());
        if (r >= 0) r = list_cipher->MakeKey(list_key.get(), list_pass.get());
        if (r >= 0) r = list_key->Seek(0, OM_SEEK_START, nullptr);
        if (r >= 0)
            r = parts.storage->Open(list_name, OM_OPEN_WRITE, OM_OPEN_TEXT, list_file.put());
        if (r >= 0) r = list_cipher->Encrypt(list_file.get(), plain_list.get(), list_key.get());
        // Closing the list file flushes it before it is read back for signing.
        list_file.reset();
        if (r < 0) return r;

        ComRef<IByteStream> signing_pass, list_again, signature, public_key;
        r = OmNewStreamOfBytes(SecureSigningPassPhrase(set), signing_pass.put());
        if (r >= 0)
            r = parts.storage->Open(list_name, OM_OPEN_READ, OM_OPEN_TEXT, list_again.put());
        if (r >= 0)
            r = parts.storage->Open(signature_name, OM_OPEN_WRITE, OM_OPEN_TEXT, signature.put());
        if (r >= 0) r = parts.signer->Sign(list_again.get(), signature.get(), signing_pass.get());
        signature.reset();
        if (r >= 0)
            r = parts.storage->Open(key_name, OM_OPEN_WRITE, OM_OPEN_BINARY, public_key.put());
        if (r >= 0) r = parts.signer->MakePublicKey(public_key.get(), signing_pass.get());
        return r < 0 ? r : OM_S_OK;
    }

    char base_path_[OM_MAX_PATH] = {};
};

const OmClassRecord classes[] = {{&CLSID_SecureStorageCreate, nullptr, nullptr,
                                  OmCreateComponent<SecureStorageCreate>, "SecureStorageCreate"}};

} // namespace

OM_DEFINE_MODULE(SecureStorageCreate, classes)

char SecureKeyTextChar(uint8_t random_byte) {
    auto c = int8_t(random_byte);
    if (c < 0) c = int8_t(-c);
    if (c < 0x30) c = int8_t(c + 0x30);
    if (c > 0x7A) c = int8_t(c - 8);
    if (c == '[' || c == ']' || c == '#' || c == '=' || c == 0) c = 'a';
    return char(c);
}
