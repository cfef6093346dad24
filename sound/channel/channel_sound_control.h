// ChannelSoundControl: the per-sound control base with the two operations every channel
// control shares: CreateSoundFrom makes the control's own kind of channel sound, and the
// wrapping maker that hands the parent's samples to it.
#pragma once

#include "sound/base/per_sound_control.h"
#include "sound/channel/channel_sound.h"

class ChannelSoundControl : public PerSoundControl {
public:
    // Only a null source: a new sound of the control's kind, joined to list 0 by its Init.
    // OM_E_FAIL for a source; OM_E_OUTOFMEMORY.
    OmResult CreateSoundFrom(ISoundCreate* source, ISound** out) override;

    // The class's create function for its class record.
    template <class Control>
    static OmResult create(IUnknown* outer, IUnknown** out) {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (outer) return OM_E_NOAGGREGATION;
        auto* control = new Control;
        if (!control) return OM_E_OUTOFMEMORY;
        *out = static_cast<ISoundControl*>(control);
        return OM_S_OK;
    }

protected:
    ChannelSoundControl() = default;
    ~ChannelSoundControl() override = default;

    // A new, uninitialised sound of the control's kind (one reference), or null.
    virtual ChannelSound* make_sound() = 0;
    // The parent's maker wrapped so that its sounds come out as this control's kind.
    // OM_E_FAIL without a parent; the parent's failure.
    OmResult wrap_parent_maker(bool plain_inner, ISoundCreate** out);
};
