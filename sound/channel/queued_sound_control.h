// QueuedSoundControl: a channel that plays its sounds one after another, in the order they
// were played, with at most MaxSounds waiting.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/com_ref.h"
#include "sound/channel/channel_sound_control.h"

#include <vector>

inline constexpr GUID CLSID_QueuedSoundControl = om_guid("A16C1633-04FD-11D5-A4A4-00010239331A");

// The queue channel's sound: playing it only queues it; the control starts it in turn.
class QueuedSound final : public ChannelSound {
public:
    // Stops the sound when it plays and appends it to the control's waiting list. 0.
    OmResult Play(int32_t argument) override;
    // Stops it.
    OmResult Pause() override;
    // The common Stop, and the sound leaves the waiting list.
    OmResult Stop() override;

    // The common start (list 1, then the inner sound), used when its turn comes.
    OmResult start() { return ChannelSound::Play(argument_); }

private:
    WrappedSound* make_empty() override { return new QueuedSound; }

    int32_t argument_ = 0; // the play argument kept for its turn
};

class QueuedSoundControl final : public ChannelSoundControl {
public:
    // While the current sound plays: 0 and nothing else. Otherwise the first waiting sound
    // starts, then the base step.
    OmResult Update(uint32_t elapsed) override;
    // OM_E_FAIL: a queue only wraps the sounds of channels above it.
    OmResult CreateSound(ISoundCreate** out) override;
    // CONTROL_INT_VOICES: the waiting limit (0: none); sounds beyond it leave from the back.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // Empties the waiting list, then the base StopAll.
    OmResult StopAll(int32_t ignored) override;

    // Appends a sound (it moves to the back when it waits already), then trims to the limit.
    void enqueue(ISound* sound);
    // Takes a sound out of the waiting list.
    void dequeue(ISound* sound);
    size_t waiting() const { return waiting_.size(); }
    ISound* current() const { return current_.get(); }

private:
    ChannelSound* make_sound() override { return new QueuedSound; }
    void trim();

    std::vector<ComRef<ISound>> waiting_;
    ComRef<ISound> current_;
    int32_t limit_ = 0;
};

OM_DECLARE_MODULE(QueuedSoundControl);
