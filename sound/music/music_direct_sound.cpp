// The music players' DirectSound object, shared program-wide with the sound device.
#include "sound/music/music_direct_sound.h"

#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "sound/device/shared_direct_sound.h"

OmResult OmMusicDirectSound(IObjHash* settings, ComRef<IDirectSound>& out) {
    IUnknown* given = settings ? settings->Get("lpDirectSound") : nullptr;
    ComRef<IOmWindow> window;
    if (!given && !OmLookupGlobalObject(IID_IDirectSound))
        OmCreate(CLSID_Win32OS, IID_IOmWindow, window.put());
    void* handle = window ? static_cast<void*>(window->GetHandle()) : nullptr;
    // Music changes no output format of its own: the priority level is enough.
    return OmSharedDirectSound(given, handle, DSSCL_PRIORITY, out.put());
}
