// What the two DirectSound devices share: the DirectSound object (the program-wide one, or a
// new one made program-wide), the primary buffer in the output format with its 3D listener,
// the listener's frame and factors, and the master volume re-applied to every playing sound.
#pragma once

#include "platform/audio/dsound.h"
#include "sound/base/sound_control_base.h"

struct IOmWindow;

class DirectSoundControlBase : public SoundControlBase {
public:
    // Stores the frame and sets the listener (deferred). OM_E_FAIL without a listener.
    OmResult SetFrame(const float* frame, const float* velocity) override;
    // 0 master volume (re-applied to every playing sound), 1 roll-off, 2 Doppler, 3 distance
    // factor (each also on the listener, deferred).
    OmResult SetParamReal(int32_t kind, float value) override;
    // 0 reads the master volume back; the rest as the control base.
    OmResult GetParamReal(int32_t kind, float* out) override;
    // Stops every playing sound, then Update (0).
    OmResult StopAll(int32_t ignored) override;

    float master_volume() const { return master_volume_; }
    uint32_t output_code() const { return output_code_; }
    uint32_t output_rate() const { return output_rate_; }
    IDirectSound* direct_sound() const { return direct_sound_; }

protected:
    DirectSoundControlBase();
    ~DirectSoundControlBase() override = default;

    // The DirectSound object: `object`'s, else the program-wide one, else a new one at the
    // exclusive (flags bit 0) or priority level, registered program-wide.
    OmResult open_direct_sound(IUnknown* object, uint32_t flags);
    // (Re)creates the primary buffer playing in the format and the listener (flags bit 1);
    // the format actually set is kept.
    OmResult open_primary(uint32_t code, uint32_t rate, uint32_t flags);
    // A lost primary buffer is restored. OM_E_FAIL without one.
    OmResult restore_primary();
    void commit_listener();
    // Lets go of the listener, the primary buffer, DirectSound and the window.
    void close_direct_sound();

    IOmWindow* window_ = nullptr;
    IDirectSound* direct_sound_ = nullptr;
    IDirectSoundBuffer* primary_ = nullptr;
    IDirectSound3DListener* listener_ = nullptr;
    float master_volume_ = 1.0f;
};
