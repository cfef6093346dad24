// Framework start-up and shutdown.
#include "framework/core/framework_startup.h"

#include "framework/platform/debug_message.h"

#include "framework/core/static_com.h"
#include "framework/core/std_c_memory.h"

const OmRedirection om_default_redirections[9] = {
    {&CLSID_Storage, &CLSID_FileStorage},
    {&CLSID_FileStorage, &CLSID_Win32Storage},
    {&CLSID_Memory, &CLSID_StdCMemory},
    {&CLSID_Maths, &CLSID_StdCMaths},
    {&CLSID_OSExtension, &CLSID_Win32OSExt},
    {&CLSID_Registry, &CLSID_Win32Registry},
    {&CLSID_TrueTypeFont, &CLSID_Win32TrueTypeFont},
    {&CLSID_Display, &CLSID_Win32DIBDisplay},
    {&CLSID_SoundDevice, &CLSID_Win32Dx6SoundControl2},
};

OmResult OmStartup() {
    IUnknown* memory = nullptr;
    OmResult r = StdCMemory::Create(nullptr, &memory);
    if (r < 0) return r;
    auto* allocator = static_cast<IMemory*>(static_cast<StdCMemory*>(memory));
    r = OmSetAllocator(allocator);
    if (r < 0) {
        allocator->Release();
        return r;
    }
    IObjectManager* manager = nullptr;
    r = OmCreateStaticCOM(nullptr, &manager);
    if (r < 0) return r;
    r = OmSetObjectManager(manager);
    if (r < 0) {
        manager->Release();
        return r;
    }
    for (const OmRedirection& redirection : om_default_redirections)
        OmSetTreatAsClass(*redirection.from, redirection.to);
    return OM_S_OK;
}

void OmShutdown() {
    OmReleaseMessageService();
    OmSetObjectManager(nullptr);
    OmSetAllocator(nullptr);
}
