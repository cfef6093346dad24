// The stand-in's secondary and primary buffers.
#include "platform/audio/sound_buffer.h"

#include <algorithm>
#include <cstring>

namespace platform::audio {

namespace {

template <class Object>
uint32_t release_object(Object* self, std::atomic<uint32_t>& refs) {
    uint32_t n = refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete self;
    return n;
}

} // namespace

// ---- Secondary buffers ----

SoundBuffer::SoundBuffer(std::shared_ptr<Engine> engine, const DSBUFFERDESC& desc,
                         std::shared_ptr<SampleStore> samples, bool hardware)
    : engine_(std::move(engine)) {
    const WAVEFORMATEX& f = *desc.lpwfxFormat;
    core_.format = f;
    core_.format.extra_size = 0;
    core_.frame_bytes = f.block_align;
    core_.frames = desc.dwBufferBytes / f.block_align;
    core_.size = core_.frames * f.block_align;
    core_.flags = desc.dwFlags;
    core_.frequency = f.samples_per_second;
    core_.hardware = hardware;
    core_.samples = samples ? std::move(samples) : std::make_shared<SampleStore>();
    if (core_.samples->bytes.size() < core_.size)
        core_.samples->bytes.assign(core_.size, f.bits_per_sample == 8 ? 0x80 : 0);
    staging_.resize(core_.size);
}

void SoundBuffer::attach() {
    std::lock_guard lock(engine_->mutex);
    engine_->buffers.push_back(this);
}

SoundBuffer::~SoundBuffer() {
    std::lock_guard lock(engine_->mutex);
    auto& list = engine_->buffers;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    if (core_.hardware) ++engine_->free_hardware;
}

int32_t SoundBuffer::QueryInterface(const GUID& iid, void** out) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDirectSoundBuffer)
        *out = static_cast<IDirectSoundBuffer*>(this);
    else if (iid == IID_IDirectSound3DBuffer && (core_.flags & DSBCAPS_CTRL3D))
        *out = static_cast<IDirectSound3DBuffer*>(this);
    else
        return DSERR_NOINTERFACE;
    AddRef();
    return DS_OK;
}

uint32_t SoundBuffer::AddRef() {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t SoundBuffer::Release() {
    return release_object(this, refs_);
}

int32_t SoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
    std::lock_guard lock(engine_->mutex);
    uint32_t position = uint32_t(core_.cursor >> 32) * core_.frame_bytes;
    if (play) *play = position;
    if (write) *write = position;
    return DS_OK;
}

int32_t SoundBuffer::GetFormat(WAVEFORMATEX* format, uint32_t size, uint32_t* written) {
    uint32_t n = std::min<uint32_t>(size, sizeof(WAVEFORMATEX));
    if (format) std::memcpy(format, &core_.format, n);
    if (written) *written = format ? n : uint32_t(sizeof(WAVEFORMATEX));
    return DS_OK;
}

int32_t SoundBuffer::GetVolume(int32_t* volume) {
    if (!volume) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    *volume = core_.volume;
    return DS_OK;
}

int32_t SoundBuffer::GetPan(int32_t* pan) {
    if (!pan) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    *pan = core_.pan;
    return DS_OK;
}

int32_t SoundBuffer::GetFrequency(uint32_t* frequency) {
    if (!frequency) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    *frequency = core_.frequency;
    return DS_OK;
}

int32_t SoundBuffer::GetStatus(uint32_t* status) {
    if (!status) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    uint32_t s = 0;
    if (core_.playing) s |= DSBSTATUS_PLAYING | (core_.looping ? DSBSTATUS_LOOPING : 0);
    if (core_.lost) s |= DSBSTATUS_BUFFERLOST;
    *status = s;
    return DS_OK;
}

int32_t SoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1,
                          void** part2, uint32_t* bytes2, uint32_t flags) {
    if (!part1 || !bytes1) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    if (core_.lost) return DSERR_BUFFERLOST;
    if (locked_) return DSERR_INVALIDCALL;
    if (flags & DSBLOCK_ENTIREBUFFER) {
        offset = 0;
        bytes = core_.size;
    } else if (flags & DSBLOCK_FROMWRITECURSOR) {
        offset = uint32_t(core_.cursor >> 32) * core_.frame_bytes;
    }
    if (offset >= core_.size || bytes == 0 || bytes > core_.size) return DSERR_INVALIDPARAM;
    uint32_t first = std::min(bytes, core_.size - offset);
    uint32_t second = part2 ? bytes - first : 0;
    const uint8_t* store = core_.samples->bytes.data();
    std::memcpy(staging_.data() + offset, store + offset, first);
    if (second) std::memcpy(staging_.data(), store, second);
    *part1 = staging_.data() + offset;
    *bytes1 = first;
    if (part2) *part2 = second ? staging_.data() : nullptr;
    if (bytes2) *bytes2 = second;
    locked_ = true;
    lock_offset_ = offset;
    lock_bytes1_ = first;
    lock_bytes2_ = second;
    return DS_OK;
}

int32_t SoundBuffer::Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) {
    std::lock_guard lock(engine_->mutex);
    if (!locked_ || part1 != staging_.data() + lock_offset_) return DSERR_INVALIDCALL;
    uint8_t* store = core_.samples->bytes.data();
    std::memcpy(store + lock_offset_, part1, std::min(bytes1, lock_bytes1_));
    if (part2 && lock_bytes2_) std::memcpy(store, part2, std::min(bytes2, lock_bytes2_));
    locked_ = false;
    return DS_OK;
}

int32_t SoundBuffer::Play(uint32_t, uint32_t, uint32_t flags) {
    std::lock_guard lock(engine_->mutex);
    if (core_.lost) return DSERR_BUFFERLOST;
    core_.playing = true;
    core_.looping = flags & DSBPLAY_LOOPING;
    return DS_OK;
}

int32_t SoundBuffer::SetCurrentPosition(uint32_t position) {
    std::lock_guard lock(engine_->mutex);
    if (position >= core_.size) return DSERR_INVALIDPARAM;
    core_.cursor = uint64_t(position / core_.frame_bytes) << 32;
    return DS_OK;
}

int32_t SoundBuffer::SetFormat(const WAVEFORMATEX*) {
    return DSERR_INVALIDCALL; // only the primary buffer has a settable format
}

int32_t SoundBuffer::SetVolume(int32_t volume) {
    if (!(core_.flags & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    core_.volume = volume;
    return DS_OK;
}

int32_t SoundBuffer::SetPan(int32_t pan) {
    if (!(core_.flags & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    core_.pan = pan;
    return DS_OK;
}

int32_t SoundBuffer::SetFrequency(uint32_t frequency) {
    if (!(core_.flags & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    uint32_t rate = frequency == DSBFREQUENCY_ORIGINAL
                        ? core_.format.samples_per_second
                        : std::clamp(frequency, DSBFREQUENCY_MIN, DSBFREQUENCY_MAX);
    std::lock_guard lock(engine_->mutex);
    core_.frequency = rate;
    return DS_OK;
}

int32_t SoundBuffer::Stop() {
    std::lock_guard lock(engine_->mutex);
    core_.playing = false;
    return DS_OK;
}

int32_t SoundBuffer::Restore() {
    std::lock_guard lock(engine_->mutex);
    if (core_.lost) {
        core_.lost = false;
        std::fill(core_.samples->bytes.begin(), core_.samples->bytes.end(),
                  core_.format.bits_per_sample == 8 ? 0x80 : 0);
    }
    return DS_OK;
}

template <class Change>
int32_t SoundBuffer::change_3d(uint32_t apply, Change change) {
    if (apply != DS3D_IMMEDIATE && apply != DS3D_DEFERRED) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    change(core_.pending);
    if (apply == DS3D_IMMEDIATE) change(core_.committed);
    return DS_OK;
}

int32_t SoundBuffer::GetAllParameters(DS3DBUFFER* out) {
    if (!out || out->dwSize != sizeof(DS3DBUFFER)) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    const Buffer3DParams& p = core_.pending;
    out->vPosition = p.position;
    out->vVelocity = p.velocity;
    out->dwInsideConeAngle = p.inside_cone;
    out->dwOutsideConeAngle = p.outside_cone;
    out->vConeOrientation = p.cone_orientation;
    out->lConeOutsideVolume = p.cone_outside_volume;
    out->flMinDistance = p.min_distance;
    out->flMaxDistance = p.max_distance;
    out->dwMode = p.mode;
    return DS_OK;
}

int32_t SoundBuffer::SetPosition(float x, float y, float z, uint32_t apply) {
    return change_3d(apply, [&](Buffer3DParams& p) { p.position = {x, y, z}; });
}

int32_t SoundBuffer::SetVelocity(float x, float y, float z, uint32_t apply) {
    return change_3d(apply, [&](Buffer3DParams& p) { p.velocity = {x, y, z}; });
}

int32_t SoundBuffer::SetConeOrientation(float x, float y, float z, uint32_t apply) {
    return change_3d(apply, [&](Buffer3DParams& p) { p.cone_orientation = {x, y, z}; });
}

int32_t SoundBuffer::SetConeAngles(uint32_t inside, uint32_t outside, uint32_t apply) {
    if (inside > 360 || outside > 360) return DSERR_INVALIDPARAM;
    return change_3d(apply, [&](Buffer3DParams& p) {
        p.inside_cone = inside;
        p.outside_cone = outside;
    });
}

int32_t SoundBuffer::SetConeOutsideVolume(int32_t volume, uint32_t apply) {
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    return change_3d(apply, [&](Buffer3DParams& p) { p.cone_outside_volume = volume; });
}

int32_t SoundBuffer::SetMinDistance(float distance, uint32_t apply) {
    if (!(distance >= 0.0f)) return DSERR_INVALIDPARAM;
    return change_3d(apply, [&](Buffer3DParams& p) { p.min_distance = distance; });
}

int32_t SoundBuffer::SetMaxDistance(float distance, uint32_t apply) {
    if (!(distance >= 0.0f)) return DSERR_INVALIDPARAM;
    return change_3d(apply, [&](Buffer3DParams& p) { p.max_distance = distance; });
}

// ---- The primary buffer ----

PrimaryBuffer::PrimaryBuffer(std::shared_ptr<Engine> engine, bool listener)
    : engine_(std::move(engine)), listener_(listener) {}

PrimaryBuffer::~PrimaryBuffer() {
    std::lock_guard lock(engine_->mutex);
    if (engine_->primary == this) engine_->primary = nullptr;
}

int32_t PrimaryBuffer::QueryInterface(const GUID& iid, void** out) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDirectSoundBuffer)
        *out = static_cast<IDirectSoundBuffer*>(this);
    else if (iid == IID_IDirectSound3DListener && listener_)
        *out = static_cast<IDirectSound3DListener*>(this);
    else
        return DSERR_NOINTERFACE;
    AddRef();
    return DS_OK;
}

uint32_t PrimaryBuffer::AddRef() {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t PrimaryBuffer::Release() {
    // The engine's pointer is cleared under its mutex before the object can be handed out
    // again, so a concurrent CreateSoundBuffer never revives a dying primary.
    std::shared_ptr<Engine> engine = engine_;
    std::unique_lock lock(engine->mutex);
    uint32_t n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0 && engine->primary == this) engine->primary = nullptr;
    lock.unlock();
    if (n == 0) delete this;
    return n;
}

int32_t PrimaryBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
    if (play) *play = 0;
    if (write) *write = 0;
    return DS_OK;
}

int32_t PrimaryBuffer::GetFormat(WAVEFORMATEX* format, uint32_t size, uint32_t* written) {
    std::lock_guard lock(engine_->mutex);
    uint32_t n = std::min<uint32_t>(size, sizeof(WAVEFORMATEX));
    if (format) std::memcpy(format, &engine_->output, n);
    if (written) *written = format ? n : uint32_t(sizeof(WAVEFORMATEX));
    return DS_OK;
}

int32_t PrimaryBuffer::GetVolume(int32_t* volume) {
    if (!volume) return DSERR_INVALIDPARAM;
    *volume = volume_;
    return DS_OK;
}

int32_t PrimaryBuffer::GetPan(int32_t* pan) {
    if (!pan) return DSERR_INVALIDPARAM;
    *pan = pan_;
    return DS_OK;
}

int32_t PrimaryBuffer::GetFrequency(uint32_t* frequency) {
    if (!frequency) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    *frequency = engine_->output.samples_per_second;
    return DS_OK;
}

int32_t PrimaryBuffer::GetStatus(uint32_t* status) {
    if (!status) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    *status = (engine_->primary_playing ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0) |
              (engine_->primary_lost ? DSBSTATUS_BUFFERLOST : 0);
    return DS_OK;
}

int32_t PrimaryBuffer::Lock(uint32_t, uint32_t, void**, uint32_t*, void**, uint32_t*, uint32_t) {
    return DSERR_INVALIDCALL; // the output is written by the mixer only
}

int32_t PrimaryBuffer::Unlock(void*, uint32_t, void*, uint32_t) {
    return DSERR_INVALIDCALL;
}

int32_t PrimaryBuffer::Play(uint32_t, uint32_t, uint32_t) {
    std::lock_guard lock(engine_->mutex);
    if (engine_->primary_lost) return DSERR_BUFFERLOST;
    engine_->primary_playing = true;
    return DS_OK;
}

int32_t PrimaryBuffer::SetCurrentPosition(uint32_t) {
    return DSERR_INVALIDCALL;
}

int32_t PrimaryBuffer::SetFormat(const WAVEFORMATEX* format) {
    if (!format) return DSERR_INVALIDPARAM;
    if (!valid_pcm_format(*format)) return DSERR_BADFORMAT;
    bool changed;
    {
        std::lock_guard lock(engine_->mutex);
        if (engine_->cooperative_level < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
        WAVEFORMATEX f = *format;
        f.extra_size = 0;
        f.average_bytes_per_second = f.samples_per_second * f.block_align;
        changed = std::memcmp(&f, &engine_->output, sizeof f) != 0;
        engine_->output = f;
    }
    if (changed) engine_->reopen_output();
    return DS_OK;
}

int32_t PrimaryBuffer::SetVolume(int32_t volume) {
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    volume_ = volume;
    return DS_OK;
}

int32_t PrimaryBuffer::SetPan(int32_t pan) {
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    pan_ = pan;
    return DS_OK;
}

int32_t PrimaryBuffer::SetFrequency(uint32_t) {
    return DSERR_CONTROLUNAVAIL;
}

int32_t PrimaryBuffer::Stop() {
    std::lock_guard lock(engine_->mutex);
    engine_->primary_playing = false;
    return DS_OK;
}

int32_t PrimaryBuffer::Restore() {
    std::lock_guard lock(engine_->mutex);
    engine_->primary_lost = false;
    return DS_OK;
}

template <class Change>
int32_t PrimaryBuffer::change_listener(uint32_t apply, Change change) {
    if (apply != DS3D_IMMEDIATE && apply != DS3D_DEFERRED) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    change(engine_->pending_listener);
    if (apply == DS3D_IMMEDIATE) change(engine_->committed_listener);
    return DS_OK;
}

int32_t PrimaryBuffer::GetAllParameters(DS3DLISTENER* out) {
    if (!out || out->dwSize != sizeof(DS3DLISTENER)) return DSERR_INVALIDPARAM;
    std::lock_guard lock(engine_->mutex);
    const ListenerParams& p = engine_->pending_listener;
    out->vPosition = p.position;
    out->vVelocity = p.velocity;
    out->vOrientFront = p.front;
    out->vOrientTop = p.top;
    out->flDistanceFactor = p.distance_factor;
    out->flRolloffFactor = p.rolloff_factor;
    out->flDopplerFactor = p.doppler_factor;
    return DS_OK;
}

int32_t PrimaryBuffer::SetPosition(float x, float y, float z, uint32_t apply) {
    return change_listener(apply, [&](ListenerParams& p) { p.position = {x, y, z}; });
}

int32_t PrimaryBuffer::SetOrientation(float fx, float fy, float fz, float tx, float ty, float tz,
                                      uint32_t apply) {
    return change_listener(apply, [&](ListenerParams& p) {
        p.front = {fx, fy, fz};
        p.top = {tx, ty, tz};
    });
}

int32_t PrimaryBuffer::SetVelocity(float x, float y, float z, uint32_t apply) {
    return change_listener(apply, [&](ListenerParams& p) { p.velocity = {x, y, z}; });
}

int32_t PrimaryBuffer::SetRolloffFactor(float factor, uint32_t apply) {
    if (!(factor >= 0.0f && factor <= 10.0f)) return DSERR_INVALIDPARAM;
    return change_listener(apply, [&](ListenerParams& p) { p.rolloff_factor = factor; });
}

int32_t PrimaryBuffer::SetDopplerFactor(float factor, uint32_t apply) {
    if (!(factor >= 0.0f && factor <= 10.0f)) return DSERR_INVALIDPARAM;
    return change_listener(apply, [&](ListenerParams& p) { p.doppler_factor = factor; });
}

int32_t PrimaryBuffer::SetDistanceFactor(float factor, uint32_t apply) {
    if (!(factor > 0.0f)) return DSERR_INVALIDPARAM;
    return change_listener(apply, [&](ListenerParams& p) { p.distance_factor = factor; });
}

int32_t PrimaryBuffer::CommitDeferredSettings() {
    std::lock_guard lock(engine_->mutex);
    engine_->committed_listener = engine_->pending_listener;
    for (SoundBuffer* b : engine_->buffers) b->core().committed = b->core().pending;
    return DS_OK;
}

// ---- Inspection ----

bool inspect_buffer(IDirectSoundBuffer* buffer, BufferSnapshot* out) {
    auto* b = dynamic_cast<SoundBuffer*>(buffer);
    if (!b || !out) return false;
    std::lock_guard lock(b->engine()->mutex);
    const BufferCore& c = b->core();
    *out =
        BufferSnapshot{c.playing,
                       c.playing && c.looping,
                       c.lost,
                       c.hardware,
                       uint32_t(c.cursor >> 32) * c.frame_bytes,
                       c.size,
                       c.volume,
                       c.pan,
                       c.frequency,
                       bool(c.flags & DSBCAPS_CTRL3D),
                       {c.committed.position, c.committed.min_distance, c.committed.max_distance}};
    return true;
}

void mark_buffer_lost(IDirectSoundBuffer* buffer) {
    if (auto* b = dynamic_cast<SoundBuffer*>(buffer)) {
        std::lock_guard lock(b->engine()->mutex);
        b->core().lost = true;
    } else if (auto* p = dynamic_cast<PrimaryBuffer*>(buffer)) {
        std::lock_guard lock(p->engine()->mutex);
        p->engine()->primary_lost = true;
    }
}

} // namespace platform::audio
