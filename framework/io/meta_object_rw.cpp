// The MetaObjectRW dispatcher: an extension map of readers/writers, a base directory, a
// storage and a cache of loaded objects by path.
#include "framework/io/meta_object_rw.h"

#include "framework/containers/values.h"
#include "framework/core/class_ids.h"
#include "framework/core/object_manager.h"
#include "framework/core/text_fields.h"
#include "framework/platform/os_service.h"

#include <cstring>

namespace {

// Readers report their extensions into a buffer of this size; each one is cut to a field of
// the extension length.
constexpr uint32_t extension_list_size = 80;

class MetaObjectRW final : public ObjectRWBase<MetaObjectRW, IMetaObjectRW> {
public:
    OmResult init() {
        OmResult r = OmCreate(CLSID_COMHash, IID_ICOMHash, &readers_);
        if (r >= 0) r = OmNewString("", &extension_list_);
        if (r >= 0) r = OmCreate(CLSID_COMHash, IID_ICOMHash, &cache_);
        if (r < 0) return r;
        // Without the OS service the base directory stays empty.
        IOmOS* os = nullptr;
        if (OmCreate(CLSID_Win32OS, IID_IOmOS, &os) >= 0 && os) {
            if (os->GetAppPath(base_directory_, OM_META_PATH_SIZE) < 0) base_directory_[0] = '\0';
            os->Release();
        }
        OmCreate(CLSID_Storage, IID_IFileStorage, &storage_);
        return OM_S_OK;
    }
    ~MetaObjectRW() {
        if (storage_) storage_->Release();
        if (cache_) cache_->Release();
        if (context_) context_->Release();
        if (readers_) readers_->Release();
        if (extension_list_) extension_list_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IObjectRW, static_cast<IObjectRW*>(this)},
                                   {&IID_IMetaObjectRW, static_cast<IMetaObjectRW*>(this)}});
    }

    // IObjectRW, dispatched by extension.

    OmResult Read(IFileStorage* storage, const char* path, IUnknown* context, const GUID& iid,
                  void** out) override {
        IObjectRW* reader;
        OmResult r = reader_of(path, &reader);
        if (r < 0) return r;
        return reader->Read(storage, path, context, iid, out);
    }
    OmResult Write(IFileStorage* storage, const char* path, IUnknown* object) override {
        IObjectRW* reader;
        OmResult r = reader_of(path, &reader);
        if (r < 0) return r;
        return reader->Write(storage, path, object);
    }
    OmResult ReadInfo(IFileStorage* storage, const char* path, IUnknown* info,
                      uint32_t word) override {
        IObjectRW* reader;
        OmResult r = reader_of(path, &reader);
        if (r < 0) return r;
        return reader->ReadInfo(storage, path, info, word);
    }

    // A reader registered under two extensions hears every option twice.
    OmResult SetOption(uint32_t id, uint32_t value) override {
        if (id == OM_META_OPTION_CACHE) {
            cache_loaded_ = value;
        } else if (id == OM_META_OPTION_WRITE_NONE) {
            write_none_ = value;
        } else {
            struct Option {
                uint32_t id, value;
            } option{id, value};
            readers_->ForEach(
                [](const char*, IUnknown* reader, void* o) {
                    auto* option = static_cast<Option*>(o);
                    static_cast<IObjectRW*>(reader)->SetOption(option->id, option->value);
                    return OM_S_OK;
                },
                &option);
        }
        return OM_S_OK;
    }
    OmResult GetOption(uint32_t id, uint32_t* value) override {
        if (!value) return OM_E_FAIL;
        if (id == OM_META_OPTION_CACHE)
            *value = cache_loaded_;
        else if (id == OM_META_OPTION_WRITE_NONE)
            *value = write_none_;
        else
            return OM_E_FAIL;
        return OM_S_OK;
    }
    OmResult GetExtensions(char* buffer, uint32_t size) override {
        const char* list = extension_list_->Get();
        return OmObjectRWCopyExtensions(list ? list : "", buffer, size);
    }

    // IMetaObjectRW.

    OmResult AddReader(IObjectRW* reader) override {
        if (!reader) return OM_E_FAIL;
        char list[extension_list_size] = {};
        reader->GetExtensions(list, sizeof list);
        const uint32_t fields = OmCountFields(list, ';');
        for (uint32_t i = 0; i < fields; ++i) {
            char extension[OM_EXTENSION_MAX_LENGTH + 1];
            OmGetField(list, ';', i, extension, sizeof extension);
            if (readers_->Get(extension) == reader) continue;
            reader->AddRef();
            if (readers_->Set(extension, reader) < 0) reader->Release();
        }
        return rebuild_extension_list();
    }
    OmResult AddCategory(const GUID& catid) override {
        GUID clsid = GUID_NULL;
        while (OmFindNextClassOfCategory(catid, &clsid) >= 0) {
            IObjectRW* reader = nullptr;
            if (OmCreate(clsid, IID_IObjectRW, &reader) >= 0 && reader) {
                AddReader(reader);
                reader->Release();
            }
        }
        return OM_S_OK;
    }
    OmResult AddClass(const GUID& clsid) override {
        IObjectRW* reader = nullptr;
        OmResult r = OmCreate(clsid, IID_IObjectRW, &reader);
        if (r < 0) return r;
        if (!reader) return OM_E_FAIL;
        AddReader(reader);
        reader->Release();
        return OM_S_OK;
    }
    OmResult GetReader(const char* extension, IObjectRW** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!extension) return OM_E_FAIL;
        IUnknown* reader = readers_->Get(extension);
        if (!reader) return OM_E_FAIL;
        *out = static_cast<IObjectRW*>(reader);
        return OM_S_OK;
    }
    OmResult SetContext(IUnknown* context) override {
        hold(context_, context);
        return OM_S_OK;
    }
    OmResult GetContext(IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        *out = context_;
        return OM_S_OK;
    }
    OmResult Load(const char* path, const GUID& iid, void** out) override {
        return LoadWithContext(path, context_, iid, out);
    }
    OmResult LoadWithContext(const char* path, IUnknown* context, const GUID& iid,
                             void** out) override {
        if (!path || !out) return OM_E_FAIL;
        *out = nullptr;
        if (cache_loaded_ && cache_->Has(path)) {
            IUnknown* cached = cache_->Get(path);
            if (cached) cached->AddRef();
            *out = cached;
            return OM_S_OK;
        }
        char full[OM_META_PATH_SIZE];
        OmResult r = full_path(path, full);
        if (r < 0) return r;
        void* loaded = nullptr;
        r = Read(storage_, full, context, iid, &loaded);
        if (r < 0) return r;
        if (cache_loaded_) cache(path, static_cast<IUnknown*>(loaded));
        *out = loaded;
        return OM_S_OK;
    }
    OmResult Save(const char* path, IUnknown* object) override {
        if (!path) return OM_E_FAIL;
        char full[OM_META_PATH_SIZE];
        OmResult r = full_path(path, full);
        if (r < 0) return r;
        if (cache_loaded_) cache(path, object);
        if (write_none_) return OM_S_OK;
        return Write(storage_, full, object);
    }
    OmResult SetBaseDirectory(const char* directory) override {
        if (!directory) return OM_E_FAIL;
        const size_t length = std::strlen(directory);
        if (length + 1 >= OM_META_PATH_SIZE) return OM_E_FAIL;
        std::memcpy(base_directory_, directory, length + 1);
        return OM_S_OK;
    }
    OmResult GetBaseDirectory(char* buffer, uint32_t size) override {
        const size_t length = std::strlen(base_directory_);
        if (!buffer || size <= length) return OM_E_FAIL;
        std::memcpy(buffer, base_directory_, length + 1);
        return OM_S_OK;
    }
    OmResult SetStorage(IFileStorage* storage) override {
        hold(storage_, storage);
        return OM_S_OK;
    }
    OmResult GetStorage(IFileStorage** out) override {
        if (!out) return OM_E_FAIL;
        *out = storage_;
        return OM_S_OK;
    }
    OmResult ClearCache() override { return cache_->RemoveAll(); }
    OmResult ForEachCached(OmObjectCallback callback, void* context) override {
        return cache_->ForEach(callback, context);
    }
    OmResult AddToCache(const char* path, IUnknown* object) override {
        if (!path) return OM_E_FAIL;
        return cache(path, object);
    }
    OmResult RemoveFromCache(const char* path) override {
        if (!path) return OM_E_FAIL;
        return cache_->Remove(path);
    }

private:
    template <class T>
    static void hold(T*& field, T* value) {
        if (value) value->AddRef();
        if (field) field->Release();
        field = value;
    }

    OmResult reader_of(const char* path, IObjectRW** reader) {
        char extension[OM_EXTENSION_MAX_LENGTH + 1];
        OmResult r = OmObjectRWPathExtension(path, extension);
        if (r < 0) return r;
        return GetReader(extension, reader);
    }

    // Base directory and path joined as they are; a result that does not fit the path buffer
    // is refused rather than cut, so no other file is opened in its place.
    OmResult full_path(const char* path, char* full) {
        const size_t base = std::strlen(base_directory_), length = std::strlen(path);
        if (base + length + 1 > OM_META_PATH_SIZE) return OM_E_FAIL;
        std::memcpy(full, base_directory_, base);
        std::memcpy(full + base, path, length + 1);
        return OM_S_OK;
    }

    OmResult cache(const char* path, IUnknown* object) {
        if (object) object->AddRef();
        OmResult r = cache_->Set(path, object);
        if (r < 0 && object) object->Release();
        return r;
    }

    OmResult rebuild_extension_list() {
        OmResult r = extension_list_->Set("");
        if (r < 0) return r;
        return readers_->ForEach(
            [](const char* extension, IUnknown*, void* list) {
                auto* text = static_cast<IString*>(list);
                OmResult r = text->Length() > 0 ? text->Append(";") : OM_S_OK;
                return r < 0 ? r : text->Append(extension);
            },
            extension_list_);
    }

    ICOMHash* readers_;       // extension -> IObjectRW, one reference per entry
    IString* extension_list_; // the map's keys joined by ';'
    IFileStorage* storage_;
    char base_directory_[OM_META_PATH_SIZE];
    ICOMHash* cache_; // path as given -> loaded object
    IUnknown* context_;
    uint32_t cache_loaded_;
    uint32_t write_none_;
};

const OmClassRecord classes[] = {
    {&CLSID_MetaObjectRW, nullptr, nullptr, OmCreateComponent<MetaObjectRW>, "MetaObjectRW"}};

} // namespace

OM_DEFINE_MODULE(MetaObjectRW, classes)
