// StaticCOM: creation by class id (following treat-as), by category, and global objects.
#include "framework/core/static_com.h"

#include "framework/core/byte_key_hash.h"
#include "framework/core/class_registry.h"
#include "framework/core/component.h"

#include <cstdlib>

namespace {

constexpr uint32_t id_size = sizeof(GUID);

class StaticCOM final : public OmObject<StaticCOM, IObjectManager> {
public:
    OmResult init() {
        OmResult r = OmCreateStaticCOMDirectory(nullptr, &registry_);
        if (r < 0) return r;
        return OmByteKeyHashInit(&globals_, 0);
    }

    ~StaticCOM() {
        if (registry_) registry_->Release();
        if (globals_.buckets)
            OmByteKeyHashForEach(
                &globals_,
                [](const void*, uint32_t, uintptr_t object, void*) {
                    if (object) reinterpret_cast<IUnknown*>(object)->Release();
                    return OM_S_OK;
                },
                nullptr);
        OmByteKeyHashDestroy(&globals_);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectManager, this}});
    }

    OmResult GetClassObject(const GUID& clsid, IUnknown*, uint32_t, const GUID& iid,
                            void** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        GUID working;
        OmResult r = resolve_treat_as(clsid, &working);
        if (r < 0) return r;
        OmGetClassObjectFunction get_class_object = nullptr;
        r = registry_->GetNamedEntry(working, OM_CREATE_OBJECT_ENTRY, &get_class_object, 0);
        if (r < 0) return r;
        return get_class_object(working, iid, out);
    }

    OmResult GetClassObjectOfCategory(const GUID& catid, IUnknown* outer, uint32_t context,
                                      const GUID& iid, void** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        GUID cursor = GUID_NULL;
        OmResult r = registry_->GetRelation(OM_RELATION_CATEGORY_CLASSES, catid, &cursor);
        GUID choice = r >= 0 ? cursor : GUID_NULL;
        while (r >= 0) {
            char selected[10] = "0";
            registry_->GetNamedEntry(cursor, OM_SELECTED_ENTRY, selected, sizeof selected);
            if (std::atoi(selected) != 0) {
                choice = cursor;
                break;
            }
            r = registry_->GetRelation(OM_RELATION_CATEGORY_CLASSES, catid, &cursor);
        }
        if (om_guid_is_null(choice)) return OM_E_NOTFOUND;
        return GetClassObject(choice, outer, context, iid, out);
    }

    OmResult CreateInstance(const GUID& clsid, IUnknown* outer, uint32_t context, const GUID& iid,
                            void** out) override {
        IClassFactory* factory = nullptr;
        OmResult r = GetClassObject(clsid, outer, context, IID_IClassFactory,
                                    reinterpret_cast<void**>(&factory));
        if (r < 0) return r;
        return create_through(factory, outer, iid, out);
    }

    OmResult CreateInstanceOfCategory(const GUID& catid, IUnknown* outer, uint32_t context,
                                      const GUID& iid, void** out) override {
        IClassFactory* factory = nullptr;
        OmResult r = GetClassObjectOfCategory(catid, outer, context, IID_IClassFactory,
                                              reinterpret_cast<void**>(&factory));
        if (r < 0) return r;
        return create_through(factory, outer, iid, out);
    }

    OmResult Reserved() override { return OM_S_OK; }

    IClassRegistry* GetClassRegistry() override { return registry_; }

    OmResult RegisterGlobalObject(const GUID& id, IUnknown* object) override {
        auto* old = reinterpret_cast<IUnknown*>(OmByteKeyHashGet(&globals_, &id, id_size));
        OmResult r = OmByteKeyHashSet(&globals_, &id, id_size, reinterpret_cast<uintptr_t>(object));
        if (r < 0) return r;
        if (old) old->Release();
        return OM_S_OK;
    }

    IUnknown* LookupGlobalObject(const GUID& id) override {
        return reinterpret_cast<IUnknown*>(OmByteKeyHashGet(&globals_, &id, id_size));
    }

private:
    // Follows treat-as mappings to the class that is really created. A mapping that leads
    // back to an earlier class would loop for ever; it is found (Floyd's tortoise and hare)
    // and fails instead.
    OmResult resolve_treat_as(const GUID& clsid, GUID* working) {
        *working = clsid;
        GUID slow = clsid;
        for (uint32_t step = 1;; ++step) {
            GUID next = GUID_NULL;
            if (registry_->GetRelation(OM_RELATION_TREAT_AS, *working, &next) < 0) return OM_S_OK;
            *working = next;
            if (step % 2 == 0) {
                GUID after = GUID_NULL;
                registry_->GetRelation(OM_RELATION_TREAT_AS, slow, &after);
                slow = after;
            }
            if (*working == slow) return OM_E_FAIL;
        }
    }

    static OmResult create_through(IClassFactory* factory, IUnknown* outer, const GUID& iid,
                                   void** out) {
        OmResult r = factory->CreateInstance(outer, iid, out);
        factory->Release();
        return r;
    }

    IClassRegistry* registry_;
    OmByteKeyHash globals_;
};

} // namespace

OmResult OmCreateStaticCOM(IUnknown* outer, IObjectManager** out) {
    if (!out) return OM_E_FAIL;
    IUnknown* object;
    OmResult r = OmCreateComponent<StaticCOM>(outer, &object);
    *out = static_cast<IObjectManager*>(object);
    return r;
}
