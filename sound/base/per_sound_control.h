// The per-sound control base: a forwarding control with its own object lists (every sound it
// made, and the sounds that play), the time step and StopAll; the channel controls build on it.
#pragma once

#include "sound/base/sound_frame.h"
#include "sound/base/sound_object_lists.h"
#include "sound/base/wrapped_sound_control.h"

class PerSoundControl : public WrappedSoundControl {
public:
    // SOUND_INT_TIME_STEP to every playing sound, from the last to the first; then the
    // parent's Update when the init flags forward it. 0.
    OmResult Update(uint32_t elapsed) override;
    // Stops the playing sounds one by one, then Update (0) here and on the parent. 0.
    OmResult StopAll(int32_t ignored) override;
    // OM_E_FAIL: channel controls make their own kinds of sound.
    OmResult CreateSound(ISoundCreate** out) override;
    // List 1: a sound not yet attached gains a reference; list 0: appended without one.
    OmResult AddObject(int32_t list, IUnknown* object) override;
    // OM_E_FAIL when not listed (a sound of list 1 without its flag is no failure).
    OmResult RemoveObject(int32_t list, IUnknown* object) override;
    OmResult ForEachObject(int32_t list, SoundObjectCallback callback, void* context) override;

protected:
    PerSoundControl() : lists_(this) {}
    ~PerSoundControl() override = default;

    SoundObjectLists lists_;
    // The control's own frame and velocity, for controls that keep one.
    SoundFrame frame_;
};
