// The generic class factory and the class-table functions every module uses.
#include "framework/core/class_factory.h"

#include "framework/core/object_manager.h"

#include <cstring>

OmResult OmClassFactory::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out, {{&IID_IClassFactory, this}});
}

OmResult OmClassFactory::CreateInstance(IUnknown* outer, const GUID& iid, void** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    IUnknown* object = nullptr;
    OmResult r = record_->create(nullptr, &object);
    // Any non-zero result counts as failure here, success codes included.
    if (r != OM_S_OK) return r;
    r = object->QueryInterface(iid, out);
    object->Release();
    return r;
}

OmResult OmClassFactory::LockServer(int32_t) {
    return OM_S_OK;
}

OmResult OmRegisterClassTable(const OmClassRecord* records, int32_t count,
                              OmGetClassObjectFunction get_class_object, IObjectManager* manager) {
    if (count < 1) return OM_S_OK;
    if (!manager) return OM_E_NOMANAGER;
    for (int32_t i = 0; i < count; ++i) {
        const OmClassRecord& record = records[i];
        IClassRegistry* registry = manager->GetClassRegistry();
        OmClassDescription description{};
        description.size = OM_CLASS_DESCRIPTION_SIZE;
        size_t length = record.name ? std::strlen(record.name) : 0;
        // A name that does not fit is refused rather than cut to a different name.
        if (length >= OM_CLASS_NAME_CAPACITY) return OM_E_FAIL;
        if (length) std::memcpy(description.name, record.name, length);
        OmResult r = registry->RegisterClass(*record.clsid, &description, record.categories,
                                             record.categories2);
        if (r < 0) return r;
        r = registry->SetNamedEntry(*record.clsid, OM_CREATE_OBJECT_ENTRY,
                                    reinterpret_cast<const void*>(get_class_object));
        if (r < 0) return r;
    }
    return OM_S_OK;
}

OmResult OmUnregisterClassTable(const OmClassRecord* records, int32_t count,
                                IObjectManager* manager) {
    if (!manager || count < 1) return OM_S_OK;
    IClassRegistry* registry = manager->GetClassRegistry();
    for (int32_t i = 0; i < count; ++i) registry->UnregisterClass(*records[i].clsid);
    return OM_S_OK;
}

OmResult OmGetClassObjectFromTable(const OmClassRecord* records, int32_t count, const GUID& clsid,
                                   const GUID& iid, void** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    for (int32_t i = 0; i < count; ++i) {
        if (*records[i].clsid != clsid) continue;
        OmClassFactory* factory = new OmClassFactory(&records[i]);
        if (!factory) return OM_E_OUTOFMEMORY;
        OmResult r = factory->QueryInterface(iid, out);
        factory->Release();
        return r;
    }
    return OM_E_CLASSNOTAVAILABLE;
}
