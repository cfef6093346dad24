// The program-wide shared OS services: counted acquire and release of Win32OS, once as IOmOS
// and once as IOmWindow.
#include "framework/core/object_manager.h"
#include "framework/core/static_state.h"
#include "framework/platform/os_service.h"

namespace {

template <class T>
struct Shared {
    T* service = nullptr;
    uint32_t uses = 0;

    OmResult acquire(const GUID& clsid, const GUID& iid) {
        if (uses == 0 &&
            OmCreateInstance(clsid, nullptr, 0, iid, reinterpret_cast<void**>(&service)) < 0) {
            service = nullptr;
            return OM_E_FAIL;
        }
        ++uses;
        return OM_S_OK;
    }
    uint32_t release() {
        if (uses == 0) return 0;
        if (--uses == 0) {
            service->Release();
            service = nullptr;
        }
        return uses;
    }
};

Shared<IOmOS> os;
Shared<IOmWindow> window_service;

const OmStaticStateReset reset_shared([] {
    os = {};
    window_service = {};
});

} // namespace

OmResult OmOSAcquire() {
    return os.acquire(CLSID_Win32OS, IID_IOmOS);
}

uint32_t OmOSRelease() {
    return os.release();
}

OmResult OmOSGetAppPath(char* buffer, uint32_t size) {
    return os.service ? os.service->GetAppPath(buffer, size) : OM_E_FAIL;
}

uint32_t OmOSGetTime() {
    return os.service ? os.service->GetTime() : 0;
}

OmResult OmOSServiceAcquire() {
    return window_service.acquire(CLSID_Win32OSWindow, IID_IOmWindow);
}

uint32_t OmOSServiceRelease() {
    return window_service.release();
}

IOmOS* OmOSGetShared() {
    return os.service;
}

IOmWindow* OmOSServiceGetShared() {
    return window_service.service;
}
