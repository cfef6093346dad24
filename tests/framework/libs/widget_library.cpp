// A component library that registers one class.
#include "framework/core/class_factory.h"
#include "framework/core/component_libraries.h"
#include "tests/framework/libs/library_ids.h"

namespace {

int registrations = 0;

class LibraryWidget final : public OmObject<LibraryWidget, ILibraryWidget> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ILibraryWidget, this}});
    }
    int32_t RegistrationCount() override { return registrations; }
};

const OmClassRecord classes[] = {
    {&CLSID_LibraryWidget, nullptr, nullptr, OmCreateComponent<LibraryWidget>, "LibraryWidget"}};

} // namespace

OM_DECLARE_MODULE(LibraryWidget);
OM_DEFINE_MODULE(LibraryWidget, classes)

extern "C" __attribute__((visibility("default"))) OmResult DllSetCOM(IObjectManager* manager,
                                                                     IMemory* allocator) {
    OmUseProgramServices(manager, allocator);
    return OM_S_OK;
}

extern "C" __attribute__((visibility("default"))) OmResult DllRegisterServer() {
    ++registrations;
    return LibraryWidget_RegisterClasses(OmGetObjectManager());
}
