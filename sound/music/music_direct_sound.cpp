// The music players' DirectSound object, shared program-wide with the sound device.
#include "sound/music/music_direct_sound.h"

#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"

OmResult OmMusicDirectSound(IObjHash* settings, ComRef<IDirectSound>& out) {
    IUnknown* given = settings ? settings->Get("lpDirectSound") : nullptr;
    IUnknown* shared = given ? given : OmLookupGlobalObject(IID_IDirectSound);
    if (shared) return shared->QueryInterface(IID_IDirectSound, out.put_void());
    OmResult r = DirectSoundCreate(nullptr, out.put(), nullptr);
    if (r < 0) return r;
    ComRef<IOmWindow> window;
    OmCreate(CLSID_Win32OS, IID_IOmWindow, window.put());
    void* handle = window ? static_cast<void*>(window->GetHandle()) : nullptr;
    // Music changes no output format of its own: the priority level is enough.
    if ((r = out->SetCooperativeLevel(handle, DSSCL_PRIORITY)) < 0) {
        out.reset();
        return r;
    }
    out->AddRef(); // the registration keeps a reference of its own
    if (OmRegisterGlobalObject(IID_IDirectSound, out.get()) < 0) out->Release();
    return OM_S_OK;
}
