// Win32Dx6SoundControl: the simple DirectSound device. Every sound has its own DirectSound
// buffer holding all its samples and DirectSound mixes them; no voices and no worker thread.
// Registered, but the game's default device is the streaming one.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/device/direct_sound_control_base.h"

inline constexpr GUID CLSID_Win32Dx6SoundControl = om_guid("3D8E6B27-0C54-4A19-B7F2-95E1A4C03D68");

class Win32Dx6SoundControl final : public DirectSoundControlBase {
public:
    static OmResult Create(IUnknown* outer, IUnknown** out);

    // DirectSound object or null (then the program-wide one, or a new one registered as
    // such), flags bit 0 exclusive, bit 1 3D; then the default output format. OM_E_FAIL when
    // initialised already.
    OmResult Init(IUnknown* object, uint32_t flags) override;
    // Restores a lost primary buffer, steps every sound and commits the 3D settings. OM_E_FAIL
    // without a primary buffer.
    OmResult Update(uint32_t elapsed) override;
    // A maker of Win32Dx6Sound objects.
    OmResult CreateSound(ISoundCreate** out) override;
    // (Re)creates the primary buffer and the listener in the format (any rate).
    OmResult SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) override;

private:
    Win32Dx6SoundControl() = default;
    ~Win32Dx6SoundControl() override = default;
    void final_release() override;
};

OM_DECLARE_MODULE(Win32Dx6SoundControl);
