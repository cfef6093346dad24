// ChannelSound: the common base of the sounds a channel control makes. It wraps an inner sound
// and keeps itself in its control's lists: list 0 from Init, list 1 while it plays, so that the
// control can rank, limit, queue or place it.
#pragma once

#include "sound/base/wrapped_sound.h"

class ChannelSound : public WrappedSound {
public:
    // Stores the control and joins its list 0. 0.
    OmResult Init(IUnknown* object) override;
    // A sound of the same kind and control over the inner sound's own instance; joins list 0
    // when this sound is in it. OM_E_FAIL without an inner sound.
    OmResult CreateInstance(uint32_t flags, ISound** out) override;
    // SOUND_INT_SOURCE: takes the source as the inner sound, only while there is none
    // (OM_E_FAIL otherwise); SOUND_INT_TIME_STEP: leaves list 1 once the inner sound has
    // ended; others go to the inner sound.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    // An instance of this channel sound (so that it passes through the control too).
    OmResult CreateInstanceFrom(const SoundPlayDesc* desc, ISound** out) override;
    // Joins list 1 (the control's refusal is returned), then the inner sound plays.
    OmResult Play(int32_t argument) override;
    OmResult PlayInstance(const SoundPlayDesc* desc, int32_t argument) override;
    // The inner sound's Pause or Stop, then list 1 is left; the inner result.
    OmResult Pause() override;
    OmResult Stop() override;

    // In the control's list 1 (playing) and list 0 (made by it).
    bool attached() const { return in_list[1]; }
    bool member() const { return in_list[0]; }

protected:
    ChannelSound() = default;
    ~ChannelSound() override = default;

    // Copies the kind's own fields into a fresh instance (control and inner sound are set).
    virtual OmResult copy_into(ChannelSound& copy) {
        (void)copy;
        return OM_S_OK;
    }
    // Called once SOUND_INT_SOURCE has set the inner sound.
    virtual void source_set() {}
    // The time step of SOUND_INT_TIME_STEP (the common handling leaves list 1).
    virtual OmResult time_step(uint32_t elapsed);

    // Joins the control's list 1. 0 without a control.
    OmResult attach();
    // Leaves the control's list 1 when in it.
    void detach();
    // The sound may outlive its control: it forgets it then.
    void attached_control_gone() override { control_ = nullptr; }
};
