// The program-wide object manager pointer and the Om wrappers that go through it.
#include "framework/core/object_manager.h"

#include "framework/core/static_state.h"

namespace {

IObjectManager* global_manager = nullptr;

// Tests start every case from a framework that was never started; the manager itself is
// expected to be released by the test's shutdown, so only the pointer is forgotten here.
const OmStaticStateReset reset_manager([] { global_manager = nullptr; });

} // namespace

OmResult OmSetObjectManager(IObjectManager* manager) {
    if (global_manager) {
        if (manager) return OM_E_FAIL;
        IObjectManager* old = global_manager;
        global_manager = nullptr;
        old->Release();
        return OM_S_OK;
    }
    global_manager = manager;
    return OM_S_OK;
}

IObjectManager* OmGetObjectManager() {
    return global_manager;
}

OmResult OmGetClassObject(const GUID& clsid, IUnknown* outer, uint32_t context, const GUID& iid,
                          void** out) {
    if (!global_manager) return OM_E_NOMANAGER;
    return global_manager->GetClassObject(clsid, outer, context, iid, out);
}

OmResult OmCreateInstance(const GUID& clsid, IUnknown* outer, uint32_t context, const GUID& iid,
                          void** out) {
    if (!global_manager) return OM_E_NOMANAGER;
    return global_manager->CreateInstance(clsid, outer, context, iid, out);
}

OmResult OmCreateInstanceOfCategory(const GUID& catid, IUnknown* outer, uint32_t context,
                                    const GUID& iid, void** out) {
    if (!global_manager) return OM_E_NOMANAGER;
    return global_manager->CreateInstanceOfCategory(catid, outer, context, iid, out);
}

OmResult OmRegisterGlobalObject(const GUID& id, IUnknown* object) {
    if (!global_manager) return OM_E_NOMANAGER;
    return global_manager->RegisterGlobalObject(id, object);
}

IUnknown* OmLookupGlobalObject(const GUID& id) {
    return global_manager ? global_manager->LookupGlobalObject(id) : nullptr;
}

OmResult OmFindNextClassOfCategory(const GUID& catid, GUID* clsid) {
    if (!global_manager) return OM_E_NOMANAGER;
    return global_manager->GetClassRegistry()->GetRelation(OM_RELATION_CATEGORY_CLASSES, catid,
                                                           clsid);
}

OmResult OmSetTreatAsClass(const GUID& clsid, const GUID* target) {
    if (!global_manager) return OM_E_NOMANAGER;
    return global_manager->GetClassRegistry()->SetTreatAs(clsid, target);
}

// Used by OmUseProgramServices in component libraries.
void om_bind_object_manager(IObjectManager* manager) {
    global_manager = manager;
}
