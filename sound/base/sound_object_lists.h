// The two object lists of a sound control: list 0 holds every object attached to the control
// (no reference), list 1 the sounds that play (one reference each).
#pragma once

#include "sound/base/sound_control.h"
#include "sound/base/sound_list_links.h"

#include <vector>

class SoundObjectLists {
public:
    // `owner` is the control the lists belong to (the attached objects point back to it).
    explicit SoundObjectLists(ISoundControl* owner) : owner_(owner) {}
    // Clears the back-pointer of every attached object and releases the active sounds.
    ~SoundObjectLists();
    SoundObjectLists(const SoundObjectLists&) = delete;
    SoundObjectLists& operator=(const SoundObjectLists&) = delete;

    // Appends an object not listed yet (its own flag, else a search, tells); a sound of list 1
    // gains a reference. OM_E_FAIL for other lists, or list 1 and no ISound.
    OmResult add(int32_t list, IUnknown* object);
    // Inserts a sound into list 1 at `index` (it gains a reference and its flag).
    OmResult insert_active(size_t index, ISound* sound);
    // Removes an object, searching from the end; list 1 drops its reference. OM_E_FAIL when
    // it is not listed; with `unflagged_active_ok`, a sound of list 1 without its flag is no
    // failure.
    OmResult remove(int32_t list, IUnknown* object, bool unflagged_active_ok = false);
    // The callback from the last object to the first; the first failure stops and is returned.
    OmResult for_each(int32_t list, SoundObjectCallback callback, void* context);
    // SOUND_INT_TIME_STEP to every sound of list 1, from the last to the first (a sound may
    // leave the list meanwhile).
    void time_step(uint32_t elapsed);
    // Stops the first sound of list 1 until none is left (a sound whose Stop keeps it listed
    // is taken out).
    void stop_all();

    std::vector<ISound*>& active() { return active_; }
    const std::vector<IUnknown*>& attached() const { return attached_; }
    bool has_active(ISound* sound) const;

private:
    ISoundControl* owner_;
    std::vector<IUnknown*> attached_;
    std::vector<ISound*> active_;
};
