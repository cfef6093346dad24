// StaticCOMDirectory: classes, categories and their relations.
#include "framework/core/class_registry.h"

#include "framework/containers/com_hash.h"
#include "framework/core/byte_key_hash.h"
#include "framework/core/component.h"
#include "framework/core/relation_store.h"

#include <cstring>

namespace {

constexpr uint32_t id_size = sizeof(GUID);
// A category list holds at most this many ids.
constexpr int max_list_ids = 15;

struct ClassEntry {
    IObjHash* names;
    OmClassDescription description;
};

// A null-terminated list of id pointers as a zero-terminated id array, or null.
struct IdList {
    explicit IdList(const GUID* const* pointers) {
        if (!pointers) return;
        int n = 0;
        for (; n < max_list_ids && pointers[n]; ++n) ids[n] = *pointers[n];
        ids[n] = GUID_NULL;
        present = true;
    }
    const GUID* get() const { return present ? ids : nullptr; }
    GUID ids[max_list_ids + 1];
    bool present = false;
};

class StaticCOMDirectory final : public OmObject<StaticCOMDirectory, IClassRegistry> {
public:
    OmResult init() {
        OmResult r = OmByteKeyHashInit(&classes_, 0);
        if (r >= 0) r = OmByteKeyHashInit(&categories_, 0);
        for (OmRelationStore* store : {&second_lists_, &category_lists_, &treat_as_})
            if (r >= 0) r = store->init();
        return r;
    }

    ~StaticCOMDirectory() {
        if (classes_.buckets)
            OmByteKeyHashForEach(
                &classes_,
                [](const void*, uint32_t, uintptr_t value, void*) {
                    free_entry(reinterpret_cast<ClassEntry*>(value));
                    return OM_S_OK;
                },
                nullptr);
        if (categories_.buckets)
            OmByteKeyHashForEach(
                &categories_,
                [](const void*, uint32_t, uintptr_t value, void*) {
                    OmFreeMemory(reinterpret_cast<void*>(value));
                    return OM_S_OK;
                },
                nullptr);
        OmByteKeyHashDestroy(&classes_);
        OmByteKeyHashDestroy(&categories_);
        for (OmRelationStore* store : {&second_lists_, &category_lists_, &treat_as_})
            store->destroy();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IClassRegistry, this}});
    }

    OmResult RegisterClass(const GUID& clsid, const OmClassDescription* description,
                           const GUID* const* categories, const GUID* const* categories2) override {
        if (!description || description->size > OM_CLASS_DESCRIPTION_SIZE) return OM_E_FAIL;
        ClassEntry* entry = find(clsid);
        bool created = false;
        if (!entry) {
            entry = static_cast<ClassEntry*>(OmAllocMemory(sizeof(ClassEntry)));
            if (!entry) return OM_E_OUTOFMEMORY;
            entry->names = nullptr;
            OmResult r = OmCreateObjHash(nullptr, &entry->names);
            if (r >= 0)
                r = OmByteKeyHashSet(&classes_, &clsid, id_size,
                                     reinterpret_cast<uintptr_t>(entry));
            if (r < 0) {
                free_entry(entry);
                return r;
            }
            created = true;
        }
        std::memcpy(&entry->description, description, OM_CLASS_DESCRIPTION_SIZE);
        OmResult r = SetRelation(OM_RELATION_CLASS_CATEGORIES, clsid, IdList(categories).get());
        if (r >= 0) r = SetRelation(OM_RELATION_SECOND_LIST, clsid, IdList(categories2).get());
        if (r < 0 && created) UnregisterClass(clsid);
        return r;
    }

    OmResult GetClassDescription(const GUID& clsid, OmClassDescription* out) override {
        if (!out || out->size < OM_CLASS_DESCRIPTION_SIZE) return OM_E_FAIL;
        ClassEntry* entry = find(clsid);
        if (!entry) return OM_E_NOTFOUND;
        std::memcpy(out, &entry->description, OM_CLASS_DESCRIPTION_SIZE);
        return OM_S_OK;
    }

    OmResult UnregisterClass(const GUID& clsid) override {
        ClassEntry* entry = find(clsid);
        if (!entry) return OM_E_NOTFOUND;
        free_entry(entry);
        OmByteKeyHashRemove(&classes_, &clsid, id_size);
        category_lists_.remove_forward(clsid);
        second_lists_.remove_forward(clsid);
        return OM_S_OK;
    }

    OmResult SetNamedEntry(const GUID& clsid, const char* name, const void* value) override {
        ClassEntry* entry = find(clsid);
        if (!entry) return OM_E_NOTFOUND;
        if (!name) return OM_E_FAIL;
        if (!value) return entry->names->Remove(name);
        if (std::strcmp(name, OM_CREATE_OBJECT_ENTRY) == 0)
            return entry->names->SetPtr(name, const_cast<void*>(value));
        return entry->names->SetString(name, static_cast<const char*>(value));
    }

    OmResult GetNamedEntry(const GUID& clsid, const char* name, void* out, uint32_t size) override {
        ClassEntry* entry = find(clsid);
        if (!entry) return OM_E_NOTFOUND;
        if (!name || !out) return OM_E_FAIL;
        if (std::strcmp(name, OM_CREATE_OBJECT_ENTRY) == 0) {
            if (size != 0) return OM_E_FAIL;
            void* function = entry->names->GetPtr(name, nullptr);
            if (!function) return OM_E_FAIL;
            *static_cast<void**>(out) = function;
            return OM_S_OK;
        }
        const char* text = entry->names->GetString(name, nullptr);
        if (!text) return OM_E_NOTFOUND;
        size_t length = std::strlen(text) + 1;
        if (length > size) return OM_E_FAIL;
        std::memcpy(out, text, length);
        return OM_S_OK;
    }

    OmResult RegisterCategory(const GUID& catid,
                              const OmCategoryDescription* description) override {
        if (!description || description->size > OM_CATEGORY_DESCRIPTION_SIZE) return OM_E_FAIL;
        auto* record = category(catid);
        if (!record) {
            record =
                static_cast<OmCategoryDescription*>(OmAllocMemory(sizeof(OmCategoryDescription)));
            if (!record) return OM_E_OUTOFMEMORY;
            OmResult r = OmByteKeyHashSet(&categories_, &catid, id_size,
                                          reinterpret_cast<uintptr_t>(record));
            if (r < 0) {
                OmFreeMemory(record);
                return r;
            }
        }
        std::memcpy(record, description, OM_CATEGORY_DESCRIPTION_SIZE);
        return OM_S_OK;
    }

    OmResult GetCategory(const GUID& catid, OmCategoryDescription* out) override {
        if (!out || out->size < OM_CATEGORY_DESCRIPTION_SIZE) return OM_E_FAIL;
        auto* record = category(catid);
        if (!record) return OM_E_NOTFOUND;
        std::memcpy(out, record, OM_CATEGORY_DESCRIPTION_SIZE);
        return OM_S_OK;
    }

    OmResult UnregisterCategory(const GUID& catid) override {
        auto* record = category(catid);
        if (!record) return OM_E_NOTFOUND;
        OmFreeMemory(record);
        OmByteKeyHashRemove(&categories_, &catid, id_size);
        return OM_S_OK;
    }

    OmResult SetTreatAs(const GUID& clsid, const GUID* target) override {
        if (!target) return SetRelation(OM_RELATION_TREAT_AS, clsid, nullptr);
        const GUID list[2] = {*target, GUID_NULL};
        return SetRelation(OM_RELATION_TREAT_AS, clsid, list);
    }

    OmResult SetRelation(int32_t kind, const GUID& id, const GUID* list) override {
        switch (kind) {
        case OM_RELATION_SECOND_LIST_CLASSES: return second_lists_.set_reverse(id, list);
        case OM_RELATION_CATEGORY_CLASSES: return category_lists_.set_reverse(id, list);
        case OM_RELATION_SECOND_LIST: return second_lists_.set_forward(id, list);
        case OM_RELATION_CLASS_CATEGORIES: return category_lists_.set_forward(id, list);
        case OM_RELATION_TREAT_AS: return treat_as_.set_forward(id, list);
        default: return OM_E_FAIL;
        }
    }

    OmResult GetRelation(int32_t kind, const GUID& id, GUID* cursor) override {
        switch (kind) {
        case OM_RELATION_SECOND_LIST_CLASSES: return second_lists_.next_reverse(id, cursor);
        case OM_RELATION_CATEGORY_CLASSES: return category_lists_.next_reverse(id, cursor);
        case OM_RELATION_SECOND_LIST: return second_lists_.next_forward(id, cursor);
        case OM_RELATION_CLASS_CATEGORIES: return category_lists_.next_forward(id, cursor);
        case OM_RELATION_TREAT_AS: return treat_as_.next_forward(id, cursor);
        case OM_RELATION_ALL_CLASSES: return om_guid_table_next(&classes_, cursor);
        case OM_RELATION_ALL_CATEGORIES: return om_guid_table_next(&categories_, cursor);
        default: return OM_E_FAIL;
        }
    }

private:
    static void free_entry(ClassEntry* entry) {
        if (entry->names) entry->names->Release();
        OmFreeMemory(entry);
    }
    ClassEntry* find(const GUID& clsid) const {
        return reinterpret_cast<ClassEntry*>(OmByteKeyHashGet(&classes_, &clsid, id_size));
    }
    OmCategoryDescription* category(const GUID& catid) const {
        return reinterpret_cast<OmCategoryDescription*>(
            OmByteKeyHashGet(&categories_, &catid, id_size));
    }

    OmByteKeyHash classes_;
    OmByteKeyHash categories_;
    OmRelationStore second_lists_;   // R1
    OmRelationStore category_lists_; // R2
    OmRelationStore treat_as_;       // R3
};

} // namespace

OmResult OmCreateStaticCOMDirectory(IUnknown* outer, IClassRegistry** out) {
    if (!out) return OM_E_FAIL;
    IUnknown* object;
    OmResult r = OmCreateComponent<StaticCOMDirectory>(outer, &object);
    *out = static_cast<IClassRegistry*>(object);
    return r;
}

OmResult OmSelectClassOfCategory(IClassRegistry* registry, const GUID& clsid) {
    if (!registry) return OM_E_NOMANAGER;
    return registry->SetNamedEntry(clsid, OM_SELECTED_ENTRY, "1");
}
