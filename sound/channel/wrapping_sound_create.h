// WrappingSoundCreate: the sound maker a channel control hands out in place of its parent's.
// The parent's maker (MAKER_INNER) makes the sample sound, the control (MAKER_CONTROL) wraps it
// in its own kind of channel sound; every other property is the inner maker's.
#pragma once

#include "sound/base/sound_control.h"
#include "sound/base/sound_create.h"
#include "sound/base/sound_object.h"

class WrappingSoundCreate : public SoundObject<ISoundCreate> {
public:
    // A maker (one reference). `plain_inner` keeps the inner maker's 3D flag at 0: the sounds
    // of a software-3D channel are placed by their channel sound and reach the device plain.
    static OmResult Create(bool plain_inner, ISoundCreate** out);

    OmResult QueryInterface(const GUID& iid, void** out) override;

    // The inner maker's. OM_E_FAIL without one.
    OmResult Validate() override;
    // The inner maker's sound wrapped by the control's CreateSoundFrom (null) through
    // SOUND_INT_SOURCE. OM_E_FAIL without the inner maker or the control; any failure
    // releases both sounds.
    OmResult CreateSound(ISound** out) override;
    // MAKER_CONTROL and MAKER_INNER are kept here (each referenced); the rest is the inner
    // maker's (OM_E_FAIL without one).
    OmResult SetProperty(int32_t id, intptr_t value) override;
    OmResult GetProperty(int32_t id, intptr_t* out) override;
    OmResult SetPropertyReal(int32_t id, float value) override;
    OmResult GetPropertyReal(int32_t id, float* out) override;
    OmResult Reset() override;
    // A wrapping maker of the same control over a clone of the inner maker.
    OmResult Clone(ISoundCreate** out) override;

private:
    explicit WrappingSoundCreate(bool plain_inner) : plain_inner_(plain_inner) {}
    ~WrappingSoundCreate() override;
    void keep_inner_plain();

    bool plain_inner_;
    ISoundCreate* inner_ = nullptr;    // referenced
    ISoundControl* control_ = nullptr; // referenced
};
