// A component library that supplies a replacement object manager.
#include "framework/core/class_factory.h"
#include "framework/core/component_libraries.h"
#include "framework/core/static_com.h"

namespace {

OmResult create_manager(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    IObjectManager* manager = nullptr;
    OmResult r = OmCreateStaticCOM(nullptr, &manager);
    *out = manager;
    return r;
}

const OmClassRecord classes[] = {
    {&CLSID_SuppliedObjectManager, nullptr, nullptr, create_manager, "SuppliedObjectManager"}};

} // namespace

OM_DECLARE_MODULE(SuppliedObjectManager);
OM_DEFINE_MODULE(SuppliedObjectManager, classes)

extern "C" __attribute__((visibility("default"))) OmResult DllSetCOM(IObjectManager* manager,
                                                                     IMemory* allocator) {
    OmUseProgramServices(manager, allocator);
    return OM_S_OK;
}

extern "C" __attribute__((visibility("default"))) OmResult DllRegisterServer() {
    return SuppliedObjectManager_RegisterClasses(OmGetObjectManager());
}
