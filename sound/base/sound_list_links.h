// What a sound or control keeps about the control lists that hold it: its in-list flags and
// the control whose attached list (0) holds it, so that either side can leave the other first.
#pragma once

#include "framework/core/unknown.h"

struct ISoundControl;

class SoundListLinks {
public:
    virtual ~SoundListLinks() = default;

    // The control whose CONTROL_LIST_ATTACHED holds this object (no reference), or null.
    ISoundControl* attached_to = nullptr;
    // Membership of lists 0 (attached) and 1 (active).
    bool in_list[2] = {false, false};

    // Called when the control whose attached list holds this object is destroyed (the links
    // are cleared already); objects that point at their control forget it here.
    virtual void attached_control_gone() {}

protected:
    // Leaves the attached list of its control; called once the last reference has gone, before
    // the object is destroyed, with the pointer the object was added by.
    void leave_attached_list(IUnknown* self);
};

// The links of a sound or control of the subsystem, or null for other objects.
inline SoundListLinks* sound_list_links(IUnknown* object) {
    return object ? dynamic_cast<SoundListLinks*>(object) : nullptr;
}
