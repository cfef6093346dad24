// The sound front end over the sound device, the SoundSet and MetaMusic.
#include "frontend/sound/sound_front_end.h"

#include "engine/core/lg_matrix.h"
#include "framework/core/class_ids.h"
#include "framework/core/object_manager.h"
#include "sound/base/sound_control.h"
#include "sound/music/music.h"
#include "sound/set/sound_set.h"

#include <cstring>

namespace tvfe {

namespace {

ISoundControl* sound_device = nullptr;
ISoundSet* sound_set = nullptr;
IMusic* music = nullptr;

template <class T>
void release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

void copy_row(float* out, const LgVector& v, float sign) {
    out[0] = sign * v.x;
    out[1] = sign * v.y;
    out[2] = sign * v.z;
}

LgVector row(const float* in, float sign) {
    return {sign * in[0], sign * in[1], sign * in[2]};
}

// The listener's rows: the frame's right and up negated, its at and position as they are.
void listener_rows(const LgMatrix& frame, float* rows) {
    copy_row(rows, frame.right, -1.0f);
    copy_row(rows + 3, frame.up, -1.0f);
    copy_row(rows + 6, frame.at, 1.0f);
    copy_row(rows + 9, frame.pos, 1.0f);
}

// The sound-at-a-frame block: frame and volume 1.0, and the velocity when one is given.
SoundPlayDesc frame_desc(const LgMatrix& frame, const LgVector* velocity) {
    SoundPlayDesc desc{};
    desc.flags = SOUND_DESC_FRAME | SOUND_DESC_VOLUME | (velocity ? SOUND_DESC_VELOCITY : 0);
    desc.volume = 1.0f;
    copy_row(desc.frame, frame.right, 1.0f);
    copy_row(desc.frame + 3, frame.up, 1.0f);
    copy_row(desc.frame + 6, frame.at, 1.0f);
    copy_row(desc.frame + 9, frame.pos, 1.0f);
    if (velocity) copy_row(desc.velocity, *velocity, 1.0f);
    return desc;
}

} // namespace

OmResult TvOpenSound() {
    TvCloseSound();
    OmResult r = OmCreate(CLSID_SoundDevice, IID_ISoundControl, &sound_device);
    if (r < 0) {
        sound_device = nullptr;
        return r;
    }
    if ((r = sound_device->Init(nullptr, TV_SOUND_INIT_FLAGS)) < 0) return r;
    if ((r = OmCreate(CLSID_SoundSet, IID_ISoundSet, &sound_set)) < 0) {
        sound_set = nullptr;
        return r;
    }
    if ((r = sound_set->Init(sound_device, TV_SOUND_INIT_FLAGS)) < 0) return r;
    if ((r = sound_set->Load(TV_SOUND_DIRECTORY)) < 0) return r;
    if ((r = OmCreate(CLSID_MetaMusic, IID_IMusic, &music)) < 0) {
        music = nullptr;
        return r;
    }
    return music->Init(nullptr);
}

void TvCloseSound() {
    release(sound_set);
    release(sound_device);
    release(music);
}

OmResult TvUpdateSounds() {
    return sound_set ? sound_set->Update() : OM_S_OK;
}

OmResult TvPlaySound(const char* name) {
    return sound_set ? sound_set->PlaySound(name, 0) : OM_S_OK;
}

OmResult TvStartSound(const char* name) {
    return sound_set ? sound_set->PlaySoundWith(name, nullptr, 0) : OM_S_OK;
}

ISound* TvGetSoundObject(const char* name) {
    ISound* instance = nullptr;
    if (!sound_set || sound_set->CreateSoundInstance(name, nullptr, &instance) < 0) return nullptr;
    return instance;
}

OmResult TvSetListenerFrame(const LgMatrix* frame, const LgVector* velocity, float* out_rows) {
    if (!sound_set || !frame) return OM_S_OK;
    float rows[12];
    listener_rows(*frame, rows);
    float v[3] = {};
    if (velocity) copy_row(v, *velocity, 1.0f);
    const OmResult r = sound_set->SetChannelParams(TV_CHANNEL_DEVICE, rows, velocity ? v : nullptr);
    if (out_rows) std::memcpy(out_rows, rows, sizeof rows);
    return r;
}

OmResult TvGetListenerFrame(LgMatrix* frame) {
    if (!sound_set || !frame) return OM_E_FAIL;
    float rows[12] = {};
    const OmResult r = sound_set->GetChannelParams(TV_CHANNEL_DEVICE, rows, nullptr);
    if (r < 0) return r;
    frame->right = row(rows, -1.0f);
    frame->up = row(rows + 3, -1.0f);
    frame->at = row(rows + 6, 1.0f);
    frame->pos = row(rows + 9, 1.0f);
    LgMatrixMarkChanged(frame);
    return r;
}

OmResult TvPlaySoundAt(const char* name, const LgMatrix* frame, const LgVector* velocity) {
    if (!sound_set || !frame) return OM_E_FAIL;
    const SoundPlayDesc desc = frame_desc(*frame, velocity);
    return sound_set->PlaySoundWith(name, &desc, 0);
}

OmResult TvSetChannelVolume(const char* channel, float level) {
    return sound_set ? sound_set->SetChannelVolume(channel, level) : OM_S_OK;
}

float TvGetChannelVolume(const char* channel) {
    if (!sound_set) return -1.0f;
    float level = -1.0f;
    sound_set->GetChannelVolume(channel, &level);
    return level;
}

OmResult TvStopAllSounds() {
    return sound_set ? sound_set->StopAllSounds() : OM_S_OK;
}

void TvSelectMusic(int32_t entry) {
    if (music) music->Select(entry);
}

void TvStartMusic() {
    if (music) music->Play(1);
}

void TvPauseMusic() {
    if (music) music->Pause();
}

void TvStopMusic() {
    if (music) music->Stop();
}

void TvSetMusicVolume(float level) {
    if (music) music->SetVolume(level);
}

int32_t TvGetMusicCount() {
    return music ? music->GetCount() : 0;
}

ISoundControl* TvGetSoundDevice() {
    return sound_device;
}

ISoundSet* TvGetSoundSet() {
    return sound_set;
}

IMusic* TvGetMusic() {
    return music;
}

} // namespace tvfe
