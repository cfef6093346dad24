// ControlChannel: the channel types whose control is a new control of their own class,
// attached to the parent control; each type then reads its own keys.
#pragma once

#include "framework/core/object_manager.h"
#include "sound/channel/sound_channel_base.h"

class ControlChannel : public SoundChannelBase {
public:
    // The base step, the control of `control_class` made and initialised on `parent` (Init
    // (parent, 0)); the failure of any of these is returned. Then the type's keys (their
    // results are not looked at). 0.
    OmResult ReadKeys(ISoundControl* parent, ICOMHash* channels, IPropertySheet* sheet) override {
        OmResult r = SoundChannelBase::ReadKeys(parent, channels, sheet);
        if (r < 0) return r;
        ComRef<ISoundControl> control;
        r = OmCreate(control_class_, IID_ISoundControl, control.put());
        if (r < 0) return r;
        r = control->Init(parent, 0);
        if (r < 0) return r;
        control_ = std::move(control);
        return read_keys(channels, sheet);
    }

protected:
    ControlChannel(const char* name, const GUID& control_class)
        : SoundChannelBase(name), control_class_(control_class) {}

    // The type's own keys, applied to control_.
    virtual OmResult read_keys(ICOMHash*, IPropertySheet*) { return OM_S_OK; }

private:
    const GUID& control_class_;
};
