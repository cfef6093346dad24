// The window references, held from start-up to the end of shutdown.
#include "frontend/startup/window_components.h"

#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "frontend/startup/error_log.h"

namespace {

constexpr char source_name[] = "aerovantnet";

IOmWindow* main_window = nullptr;
IOmOS* os_services = nullptr;

} // namespace

OmResult TvOpenWindowComponents() {
    if (OmCreate(CLSID_Win32OS, IID_IOmWindow, &main_window) < 0) {
        main_window = nullptr;
        TvWriteErrorLine(source_name, __LINE__, "Couldn't open Win32 Win32 component.");
        return OM_E_FAIL;
    }
    if (OmCreate(CLSID_Win32OS, IID_IOmOS, &os_services) < 0) {
        os_services = nullptr;
        main_window->Release();
        main_window = nullptr;
        TvWriteErrorLine(source_name, __LINE__, "Couldn't open Win32 OS component.");
        return OM_E_FAIL;
    }
    return OM_S_OK;
}

void TvCloseWindowComponents() {
    if (main_window) main_window->Release();
    if (os_services) os_services->Release();
    main_window = nullptr;
    os_services = nullptr;
    TvCloseErrorLog();
}

IOmWindow* TvGetMainWindow() {
    return main_window;
}

IOmOS* TvGetOS() {
    return os_services;
}
