// MetaSoundSoundControl and its meta sound.
#include "sound/channel/meta_sound_sound_control.h"

#include "framework/core/object_manager.h"
#include "sound/channel/sound_expression.h"
#include "sound/files/sound_keys.h"

#include <cstdlib>

namespace {

const char* const param_names[] = {"Param1", "Param2", "Param3", "Param4"};

bool is_param(int32_t kind) {
    return kind >= SOUND_REAL_PARAM1 && kind <= SOUND_REAL_PARAM4;
}

float read_real(IPropertySheet* sheet, const char* key, float fallback) {
    float value = fallback;
    return OmReadSoundKeyReal(sheet, key, &value) >= 0 ? value : fallback;
}

int32_t read_bool(IPropertySheet* sheet, const char* key) {
    int32_t value = 0;
    return OmReadSoundKeyBool(sheet, key, &value) >= 0 ? value : 0;
}

int32_t read_int(IPropertySheet* sheet, const char* key) {
    char text[40];
    if (sheet->GetString(key, text, sizeof text) < 0) return 0;
    return int32_t(std::strtol(text, nullptr, 10));
}

} // namespace

OmResult MetaSound::load(const SoundMetaDesc* desc) {
    if (!desc || !desc->sheet || !desc->sounds) return OM_E_FAIL;
    IPropertySheet* sheet = desc->sheet;
    ComRef<IExpression> expression;
    OmResult r = OmReadSoundExpression(sheet, desc->storage, desc->directory, expression.put());
    if (r < 0) return r;
    has_program_ = bool(expression);
    if (!expression) {
        r = OmNewExpression(expression.put());
        if (r < 0) return r;
    }
    expression_ = std::move(expression);
    expression_->Expression_SetVariable("Played", 0.0f);
    update_ = read_bool(sheet, "Update");
    cross_fade_ = read_bool(sheet, "CrossFade");
    one_shot_ = read_bool(sheet, "OneShot");
    end_time_ = read_int(sheet, "EndTime");
    transition_shot_ = read_bool(sheet, "TransitionShot");
    return load_members(desc);
}

OmResult MetaSound::load_members(const SoundMetaDesc* desc) {
    members_.clear();
    entries_.clear();
    if (desc->sheet->GetStringLength("SoundFile") == 0) return OM_S_OK;
    std::string path;
    OmResult r =
        OmSoundFilePath(desc->sheet, "SoundFile", desc->directory, SOUND_FILE_PATH_MAX, &path);
    if (r < 0) return r;
    if (!desc->storage) return OM_E_FAIL;
    ComRef<IPropertySheet> file;
    {
        ComRef<IByteStream> stream;
        r = desc->storage->Open(path.c_str(), OM_OPEN_READ, OM_OPEN_BINARY, stream.put());
        if (r < 0) return r;
        r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, file.put());
        if (r < 0) return r;
        r = file->Load(stream.get());
        if (r < 0) return r;
    }
    for (size_t i = 0; i < META_SOUND_MAX_MEMBERS; ++i) {
        const char section[2] = {char('0' + i), 0};
        if (file->SetSection(section) < 0) break;
        char name[META_SOUND_NAME_MAX + 1];
        r = file->GetString("Sound", name, sizeof name);
        if (r < 0) return r;
        IUnknown* found = desc->sounds->Get(name);
        ComRef<ISound> member;
        if (!found || found->QueryInterface(IID_ISound, member.put_void()) < 0) return OM_E_FAIL;
        MetaSoundEntry entry;
        entry.min = read_real(file.get(), "Min", 0.0f);
        entry.max = read_real(file.get(), "Max", 1.0f);
        entry.inner_min = read_real(file.get(), "InnerMin", entry.min);
        entry.inner_max = read_real(file.get(), "InnerMax", entry.max);
        members_.push_back(std::move(member));
        entries_.push_back(entry);
    }
    return OM_S_OK;
}

bool MetaSound::any_member_playing() {
    for (const ComRef<ISound>& member : members_)
        if (member->IsPlaying()) return true;
    return false;
}

void MetaSound::evaluate(bool at_play) {
    if (!expression_) return;
    IExpression* e = expression_.get();
    if (has_program_) {
        float value = 0.0f;
        e->Expression_Evaluate(&value);
    }
    const float param1 = e->Expression_GetVariable("Param1");
    if (at_play || param1 != last_param1_) {
        for (const ComRef<ISound>& member : members_)
            member->SetParamReal(SOUND_REAL_PARAM1, param1);
        last_param1_ = param1;
    }
    const float param2 = e->Expression_GetVariable("Param2");
    if (at_play || param2 != last_param2_) {
        for (const ComRef<ISound>& member : members_)
            member->SetParamReal(SOUND_REAL_PARAM2, param2);
        last_param2_ = param2;
    }
    const float s = e->Expression_GetVariable("SoundSelect");
    for (size_t i = 0; i < members_.size(); ++i) {
        ISound* member = members_[i].get();
        MetaSoundEntry& entry = entries_[i];
        if (s < entry.min || s >= entry.max) {
            if (member->IsPlaying()) member->Stop();
            entry.active = false;
            continue;
        }
        if (transition_shot_ && entry.active) continue;
        float level = 1.0f;
        if (cross_fade_) {
            if (s < entry.inner_min)
                level = (s - entry.min) / (entry.inner_min - entry.min);
            else if (s > entry.inner_max)
                level = (entry.max - s) / (entry.max - entry.inner_max);
        }
        if (level != entry.last_level || at_play) {
            entry.last_level = level;
            member->SetParamReal(SOUND_REAL_VOLUME, level * volume_);
        }
        if (at_play) {
            member->Play(play_mode_);
            entry.started = entry.active = true;
        } else if (member->IsPlaying()) {
            entry.active = true;
        } else if (one_shot_ && entry.started) {
            entry.active = true;
        } else {
            member->Play(play_mode_);
            entry.started = entry.active = true;
        }
    }
}

OmResult MetaSound::Play(int32_t argument) {
    if (!expression_) return OM_E_FAIL;
    elapsed_total_ = 0;
    playing_ = 1;
    play_mode_ = argument;
    if (one_shot_ || transition_shot_)
        for (MetaSoundEntry& entry : entries_) entry.started = entry.active = false;
    expression_->Expression_SetVariable("TimeStep", 0.0f);
    expression_->Expression_SetVariable("Played",
                                        expression_->Expression_GetVariable("Played") + 1.0f);
    evaluate(true);
    return attach();
}

OmResult MetaSound::time_step(uint32_t elapsed) {
    if (!playing_) {
        Stop();
        return OM_S_OK;
    }
    elapsed_total_ += elapsed;
    if (!any_member_playing() && (end_time_ == 0 || elapsed_total_ > uint32_t(end_time_))) {
        // Ended: the members are not started again for the one step until the sound leaves.
        playing_ = 0;
        return OM_S_OK;
    }
    if (update_ && expression_) {
        expression_->Expression_SetVariable("TimeStep", float(elapsed) * 0.001f);
        evaluate(false);
    }
    return OM_S_OK;
}

OmResult MetaSound::Pause() {
    ComRef<ISound> self = ComRef<ISound>::share(this);
    for (const ComRef<ISound>& member : members_) member->Pause();
    playing_ = 0;
    detach();
    return OM_S_OK;
}

OmResult MetaSound::Stop() {
    ComRef<ISound> self = ComRef<ISound>::share(this);
    for (const ComRef<ISound>& member : members_) member->Stop();
    playing_ = 0;
    detach();
    return OM_S_OK;
}

OmResult MetaSound::CreateInstance(uint32_t, ISound** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

OmResult MetaSound::CreateInstanceFrom(const SoundPlayDesc*, ISound** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

OmResult MetaSound::PlayInstance(const SoundPlayDesc*, int32_t) {
    return OM_E_FAIL;
}

OmResult MetaSound::SetParamInt(int32_t kind, intptr_t value) {
    switch (kind) {
    case SOUND_INT_META_DESC: return load(reinterpret_cast<const SoundMetaDesc*>(value));
    case SOUND_INT_TIME_STEP: return time_step(uint32_t(value));
    case SOUND_INT_SOURCE: return OM_E_FAIL; // made of members, never of a source
    case SOUND_INT_OWNER: return WrappedSound::SetParamInt(kind, value);
    default:
        for (const ComRef<ISound>& member : members_) member->SetParamInt(kind, value);
        return OM_S_OK;
    }
}

OmResult MetaSound::GetParamInt(int32_t kind, intptr_t* out) {
    if (kind == SOUND_INT_OWNER || kind == SOUND_INT_SOURCE)
        return WrappedSound::GetParamInt(kind, out);
    return OM_E_FAIL;
}

OmResult MetaSound::SetParamReal(int32_t kind, float value) {
    if (kind == SOUND_REAL_VOLUME) {
        volume_ = value;
        for (size_t i = 0; i < members_.size(); ++i)
            if (entries_[i].active)
                members_[i]->SetParamReal(SOUND_REAL_VOLUME, entries_[i].last_level * volume_);
        return OM_S_OK;
    }
    if (is_param(kind)) {
        if (!expression_) return OM_E_FAIL;
        return expression_->Expression_SetVariable(param_names[kind - SOUND_REAL_PARAM1], value);
    }
    for (const ComRef<ISound>& member : members_) member->SetParamReal(kind, value);
    return OM_S_OK;
}

OmResult MetaSound::GetParamReal(int32_t kind, float* out) {
    if (!out) return OM_E_FAIL;
    if (kind == SOUND_REAL_VOLUME) {
        *out = volume_;
        return OM_S_OK;
    }
    if (is_param(kind) && expression_) {
        *out = expression_->Expression_GetVariable(param_names[kind - SOUND_REAL_PARAM1]);
        return OM_S_OK;
    }
    return OM_E_FAIL;
}

OmResult MetaSound::Lock(int32_t, void** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

OmResult MetaSound::GetSegments(int32_t, uint32_t, uint32_t, void** part1, uint32_t* count1,
                                void** part2, uint32_t* count2) {
    if (part1) *part1 = nullptr;
    if (count1) *count1 = 0;
    if (part2) *part2 = nullptr;
    if (count2) *count2 = 0;
    return OM_E_FAIL;
}

OmResult MetaSound::Set3D(const float* frame, const float* velocity) {
    frame_.set(frame, velocity);
    for (const ComRef<ISound>& member : members_) member->Set3D(frame, velocity);
    return OM_S_OK;
}

OmResult MetaSound::Get3D(float* frame, float* velocity) {
    frame_.get(frame, velocity);
    return OM_S_OK;
}

OmResult MetaSoundSoundControl::CreateSound(ISoundCreate** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

namespace {

const OmClassRecord classes[] = {{&CLSID_MetaSoundSoundControl, nullptr, nullptr,
                                  ChannelSoundControl::create<MetaSoundSoundControl>,
                                  "MetaSoundSoundControl"}};

} // namespace

OM_DEFINE_MODULE(MetaSoundSoundControl, classes)
