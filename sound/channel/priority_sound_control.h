// PrioritySoundControl: a channel that plays at most MaxSounds sounds at once; a new sound
// stops the least important one (lowest priority, then the one that has played longest) or
// is refused when every playing sound matters more.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/channel/channel_sound_control.h"

inline constexpr GUID CLSID_PrioritySoundControl = om_guid("A16C1632-04FD-11D5-A4A4-00010239331A");

// Priorities at or above this are never stopped for another sound.
inline constexpr int32_t PRIORITY_NEVER_STOPPED = 1000000;

// The priority channel's sound: its own copy of the priority, the control's clock when it
// started, and a Play that competes for a place anew every time.
class PrioritySound final : public ChannelSound {
public:
    // SOUND_INT_PRIORITY is kept here (and handed on); SOUND_INT_SOURCE reads it from the
    // source.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // Leaves list 1 and joins it again; the control's refusal is returned and the inner sound
    // does not start.
    OmResult Play(int32_t argument) override;

    int32_t priority() const { return priority_; }
    int32_t start_time = 0; // the control's clock when it was attached

private:
    WrappedSound* make_empty() override { return new PrioritySound; }
    OmResult copy_into(ChannelSound& copy) override;
    void source_set() override;

    int32_t priority_ = 0;
};

class PrioritySoundControl final : public ChannelSoundControl {
public:
    // The clock grows by `elapsed`, then the base step. 0.
    OmResult Update(uint32_t elapsed) override;
    // The parent's maker wrapped to make priority sounds.
    OmResult CreateSound(ISoundCreate** out) override;
    // CONTROL_INT_VOICES: the limit (0: none). Other kinds go to the base.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // List 1: attached while there is room, else in place of a victim, which is stopped;
    // OM_E_FAIL when no sound is of lower or equal priority. List 0: the base.
    OmResult AddObject(int32_t list, IUnknown* object) override;

    int32_t clock() const { return clock_; }

private:
    ChannelSound* make_sound() override { return new PrioritySound; }
    // The sound to stop for one of priority `priority`, or null.
    ISound* choose_victim(int32_t priority);
    void started(ISound* sound);

    int32_t clock_ = 0;
    int32_t limit_ = 0;
};

OM_DECLARE_MODULE(PrioritySoundControl);
