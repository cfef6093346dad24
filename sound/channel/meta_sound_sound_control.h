// MetaSoundSoundControl and its meta sound: a sound made of up to ten member sounds of the
// sound table, played and faded by a selector value ("SoundSelect") that an expression
// computes.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/com_ref.h"
#include "framework/maths/expression.h"
#include "sound/base/sound_frame.h"
#include "sound/channel/channel_descs.h"
#include "sound/channel/channel_sound_control.h"

#include <vector>

inline constexpr GUID CLSID_MetaSoundSoundControl = om_guid("6E47D325-1089-11D5-A4A6-00010239331A");

inline constexpr size_t META_SOUND_MAX_MEMBERS = 10;
// Longest member sound name ("Sound") without its terminator.
inline constexpr size_t META_SOUND_NAME_MAX = 39;
// The format a meta sound reports (it has no samples of its own).
inline constexpr uint32_t META_SOUND_FORMAT = 0x1100102;

// One member's range of the selector and its playing state.
struct MetaSoundEntry {
    float min = 0.0f;
    float inner_min = 0.0f;
    float inner_max = 1.0f;
    float max = 1.0f;
    float last_level = 1.0f;
    bool started = false;
    bool active = false;
};

class MetaSound final : public ChannelSound {
public:
    // OM_E_FAIL: a meta sound is played by name and has no instances (its members are the
    // table's own sounds).
    OmResult CreateInstance(uint32_t flags, ISound** out) override;
    OmResult CreateInstanceFrom(const SoundPlayDesc* desc, ISound** out) override;
    OmResult PlayInstance(const SoundPlayDesc* desc, int32_t argument) override;
    // SOUND_INT_META_DESC loads the sound (a SoundMetaDesc); the time step as below; every
    // other kind goes to each member.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // SOUND_REAL_VOLUME scales the members' levels; SOUND_REAL_PARAM1..4 set "Param1"..
    // "Param4"; other kinds go to each member.
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    // Starts the members the selector picks and joins list 1.
    OmResult Play(int32_t argument) override;
    // Every member paused or stopped, then list 1 is left. 0.
    OmResult Pause() override;
    OmResult Stop() override;
    int32_t IsPlaying() override { return playing_; }
    uint32_t GetLength() override { return 0; }
    uint32_t GetFormat() override { return META_SOUND_FORMAT; }
    // OM_E_FAIL: no samples.
    OmResult Lock(int32_t mode, void** out) override;
    OmResult Unlock() override { return OM_E_FAIL; }
    OmResult GetSegments(int32_t mode, uint32_t start, uint32_t count, void** part1,
                         uint32_t* count1, void** part2, uint32_t* count2) override;
    OmResult SetPlayPosition(uint32_t) override { return OM_E_FAIL; }
    OmResult GetPlayPosition(uint32_t*) override { return OM_E_FAIL; }
    // Keeps the frame and velocity and hands them to every member.
    OmResult Set3D(const float* frame, const float* velocity) override;
    OmResult Get3D(float* frame, float* velocity) override;

    IExpression* expression() const { return expression_.get(); }
    size_t member_count() const { return members_.size(); }
    const MetaSoundEntry& entry(size_t i) const { return entries_[i]; }

private:
    WrappedSound* make_empty() override { return new MetaSound; }
    OmResult load(const SoundMetaDesc* desc);
    OmResult load_members(const SoundMetaDesc* desc);
    OmResult time_step(uint32_t elapsed) override;
    // One evaluation of the selector; `at_play` at Play, else a time step.
    void evaluate(bool at_play);
    bool any_member_playing();

    ComRef<IExpression> expression_; // holds the variables even without a program
    bool has_program_ = false;
    std::vector<ComRef<ISound>> members_;
    std::vector<MetaSoundEntry> entries_;
    int32_t transition_shot_ = 0;
    int32_t update_ = 0;
    int32_t one_shot_ = 0;
    int32_t cross_fade_ = 0;
    int32_t end_time_ = 0;
    int32_t playing_ = 0;
    uint32_t elapsed_total_ = 0;
    int32_t play_mode_ = 0;
    float volume_ = 1.0f;
    float last_param1_ = 0.0f;
    float last_param2_ = 0.0f;
    SoundFrame frame_;
};

class MetaSoundSoundControl final : public ChannelSoundControl {
public:
    // OM_E_FAIL: meta sounds are made from their descriptions.
    OmResult CreateSound(ISoundCreate** out) override;

private:
    ChannelSound* make_sound() override { return new MetaSound; }
};

OM_DECLARE_MODULE(MetaSoundSoundControl);
