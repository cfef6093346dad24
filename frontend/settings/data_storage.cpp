// The data storage over SecureStorage.
#include "frontend/settings/data_storage.h"

#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/crypto/secure_storage.h"

#include <cstdio>
#include <cstring>

namespace {

// The pass phrase of the game's list.
constexpr char list_pass_phrase[] = "cloudr1der";
constexpr uint32_t list_pass_phrase_length = 10;
static_assert(sizeof list_pass_phrase - 1 == list_pass_phrase_length);

IFileStorage* storage = nullptr;

void fill_set(SecureFileSet* set) {
    std::memset(set, 0, sizeof *set);
    std::snprintf(set->list_name, sizeof set->list_name, "%s", TV_DATA_SET_LIST);
    std::snprintf(set->public_key_name, sizeof set->public_key_name, "%s", TV_DATA_SET_PUBLIC_KEY);
    std::snprintf(set->signature_name, sizeof set->signature_name, "%s", TV_DATA_SET_SIGNATURE);
    std::memcpy(set->list_pass_phrase, list_pass_phrase, list_pass_phrase_length);
    set->list_pass_phrase_length = list_pass_phrase_length;
    set->use_default_names = 0;
}

} // namespace

namespace tvfe {

OmResult TvOpenDemoRecordings() {
    ComRef<ISecureStorage> secure;
    OmResult r = OmCreate(CLSID_SecureStorage, IID_ISecureStorage, secure.put());
    if (r < 0) return r;
    SecureFileSet set;
    fill_set(&set);
    r = secure->OpenFileSet(nullptr, "", &set);
    if (r < 0) return r;
    IFileStorage* files = nullptr;
    r = secure->QueryInterface(IID_IFileStorage, reinterpret_cast<void**>(&files));
    if (r < 0) return r;
    TvReleaseDataStorage();
    storage = files;
    // The registered object takes over a reference of its own; the program keeps the one it
    // reads back from the registration.
    storage->AddRef();
    r = OmRegisterGlobalObject(CLSID_FileStorage, storage);
    if (r < 0) {
        storage->Release();
        return r;
    }
    IFileStorage* registered = static_cast<IFileStorage*>(OmLookupGlobalObject(CLSID_FileStorage));
    if (registered != storage) {
        storage->Release();
        storage = registered;
        if (storage) storage->AddRef();
    }
    return OM_S_OK;
}

} // namespace tvfe

IFileStorage* TvGetDataStorage() {
    return storage;
}

void TvReleaseDataStorage() {
    if (storage) storage->Release();
    storage = nullptr;
}

OmResult TvOpenDataFile(const char* path, uint32_t kind, IByteStream** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!storage) return OM_E_FAIL;
    const OmResult r = storage->Open(path, OM_OPEN_READ, kind, out);
    if (r == OM_S_INTEGRITY_FAILED) return OM_S_OK;
    return r;
}
