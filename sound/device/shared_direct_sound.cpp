// The program-wide DirectSound object shared by the sound devices and the music players.
#include "sound/device/shared_direct_sound.h"

#include "framework/core/object_manager.h"

OmResult OmSharedDirectSound(IUnknown* given, void* window, uint32_t level, IDirectSound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    IUnknown* shared = given ? given : OmLookupGlobalObject(IID_IDirectSound);
    if (shared) return shared->QueryInterface(IID_IDirectSound, reinterpret_cast<void**>(out));
    IDirectSound* ds = nullptr;
    OmResult r = DirectSoundCreate(nullptr, &ds, nullptr);
    if (r < 0) return r;
    if ((r = ds->SetCooperativeLevel(window, level)) < 0) {
        ds->Release();
        return r;
    }
    ds->AddRef(); // the registration takes over a reference of its own
    if (OmRegisterGlobalObject(IID_IDirectSound, ds) < 0) ds->Release();
    *out = ds;
    return OM_S_OK;
}
