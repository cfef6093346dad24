// BaseSound: samples in memory from the allocator, parameters by kind, instances that share
// or copy the samples.
#include "sound/base/base_sound.h"

#include "framework/core/com_ref.h"
#include "framework/core/memory.h"
#include "sound/base/sound_format.h"
#include "sound/base/sound_instance_from_desc.h"

#include <cstring>

namespace {

class PlainBaseSound final : public BaseSound {};

intptr_t property(ISoundCreate* maker, int32_t id) {
    intptr_t value = 0;
    maker->GetProperty(id, &value);
    return value;
}

} // namespace

OmResult BaseSound::Create(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    auto* sound = new PlainBaseSound;
    if (!sound) return OM_E_OUTOFMEMORY;
    *out = static_cast<ISound*>(sound);
    return OM_S_OK;
}

BaseSound::~BaseSound() {
    if (sample_owner_)
        sample_owner_->Release();
    else if (memory_)
        OmFreeMemory(memory_);
}

OmResult BaseSound::QueryInterface(const GUID& iid, void** out) {
    return query(IID_ISound, iid, out);
}

uint8_t* BaseSound::samples() const {
    return sample_owner_ ? sample_owner_->samples() : memory_;
}

OmResult BaseSound::Init(IUnknown* object) {
    ComRef<ISoundCreate> maker;
    if (!object || object->QueryInterface(IID_ISoundCreate, maker.put_void()) < 0) return OM_E_FAIL;
    priority_ = int32_t(property(maker.get(), MAKER_PRIORITY));
    format_ = uint32_t(property(maker.get(), MAKER_FORMAT));
    length_ = uint32_t(property(maker.get(), MAKER_LENGTH));
    frequency_ = int32_t(property(maker.get(), MAKER_RATE));
    is_3d_ = uint8_t(property(maker.get(), MAKER_3D));
    cursor_ = uint8_t(property(maker.get(), MAKER_CURSOR));
    property1_ = uint8_t(property(maker.get(), MAKER_PROPERTY1));
    property10_ = uint8_t(property(maker.get(), MAKER_PROPERTY10));
    maker->GetPropertyReal(MAKER_VOLUME, &volume_);
    maker->GetPropertyReal(MAKER_OVERALL_VOLUME, &overall_volume_);
    frame_bytes_ = uint8_t(sound_format_frame_bytes(format_));
    size_t bytes = size_t(length_) * frame_bytes_;
    if (memory_) OmFreeMemory(memory_);
    memory_ = nullptr;
    if (bytes) {
        memory_ = static_cast<uint8_t*>(OmAllocMemory(bytes));
        if (!memory_) return OM_E_OUTOFMEMORY;
        std::memset(memory_, 0, bytes);
    }
    return OM_S_OK;
}

OmResult BaseSound::copy_from(BaseSound& source, bool share) {
    frame_bytes_ = source.frame_bytes_;
    property1_ = source.property1_;
    is_3d_ = source.is_3d_;
    cursor_ = source.cursor_;
    format_ = source.format_;
    length_ = source.length_;
    frequency_ = source.frequency_;
    priority_ = source.priority_;
    volume_ = source.volume_;
    overall_volume_ = source.overall_volume_;
    pan_ = source.pan_;
    min_radius_ = source.min_radius_;
    max_radius_ = source.max_radius_;
    outer_cone_volume_ = source.outer_cone_volume_;
    outer_cone_angle_ = source.outer_cone_angle_;
    inner_cone_angle_ = source.inner_cone_angle_;
    frame_ = source.frame_;
    playing_ = source.playing_;
    paused_ = source.paused_;
    loop_control_ = source.loop_control_;
    property10_ = source.property10_;
    owner_word_ = source.owner_word_;
    if (share) {
        // The samples stay with the sound that allocated them, which outlives every sharer.
        sample_owner_ = source.sample_owner_ ? source.sample_owner_ : &source;
        sample_owner_->AddRef();
        return OM_S_OK;
    }
    size_t bytes = size_t(length_) * frame_bytes_;
    if (!bytes) return OM_S_OK;
    memory_ = static_cast<uint8_t*>(OmAllocMemory(bytes));
    if (!memory_) return OM_E_OUTOFMEMORY;
    std::memcpy(memory_, source.samples(), bytes);
    return OM_S_OK;
}

OmResult BaseSound::CreateInstance(uint32_t flags, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    auto* copy = new PlainBaseSound;
    if (!copy) return OM_E_OUTOFMEMORY;
    OmResult r = copy->copy_from(*this, flags & SOUND_INSTANCE_SHARE);
    if (r < 0) {
        copy->Release();
        return r;
    }
    *out = copy;
    return OM_S_OK;
}

OmResult BaseSound::Lock(int32_t, void** out) {
    if (!out) return OM_E_FAIL;
    *out = samples();
    return OM_S_OK;
}

OmResult BaseSound::GetSegments(int32_t, uint32_t start, uint32_t count, void** part1,
                                uint32_t* count1, void** part2, uint32_t* count2) {
    if (count > length_ || start > length_ || !part1 || !count1) return OM_E_FAIL;
    uint8_t* memory = samples();
    *part1 = memory + size_t(start) * frame_bytes_;
    if (uint64_t(start) + count >= length_) { // the ring wraps to its start
        *count1 = length_ - start;
        if (part2) *part2 = memory;
        if (count2) *count2 = count - *count1;
    } else {
        *count1 = count;
        if (part2) *part2 = nullptr;
        if (count2) *count2 = 0;
    }
    return OM_S_OK;
}

OmResult BaseSound::SetParamInt(int32_t kind, intptr_t value) {
    switch (kind) {
    case SOUND_INT_FREQUENCY: frequency_ = int32_t(value); return OM_S_OK;
    case SOUND_INT_PRIORITY: priority_ = int32_t(value); return OM_S_OK;
    case SOUND_INT_OWNER: owner_word_ = value; return OM_S_OK;
    case SOUND_INT_LOOP_CONTROL: loop_control_ = int8_t(value); return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult BaseSound::GetParamInt(int32_t kind, intptr_t* out) {
    if (!out) return OM_E_FAIL;
    switch (kind) {
    case SOUND_INT_FRAME_BYTES: *out = frame_bytes_; return OM_S_OK;
    case SOUND_INT_FORMAT: *out = intptr_t(format_); return OM_S_OK;
    case SOUND_INT_LENGTH: *out = intptr_t(length_); return OM_S_OK;
    case SOUND_INT_FREQUENCY: *out = frequency_; return OM_S_OK;
    case SOUND_INT_PRIORITY: *out = priority_; return OM_S_OK;
    case SOUND_INT_3D: *out = is_3d_; return OM_S_OK;
    case SOUND_INT_CURSOR: *out = cursor_; return OM_S_OK;
    case SOUND_INT_PAUSED: *out = paused_; return OM_S_OK;
    case SOUND_INT_PROPERTY1: *out = property1_; return OM_S_OK;
    case SOUND_INT_PROPERTY10: *out = property10_; return OM_S_OK;
    case SOUND_INT_OWNER: *out = owner_word_; return OM_S_OK;
    case SOUND_INT_LOOP_CONTROL: *out = loop_control_; return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult BaseSound::SetParamReal(int32_t kind, float value) {
    switch (kind) {
    case SOUND_REAL_VOLUME: volume_ = value; return OM_S_OK;
    case SOUND_REAL_OVERALL_VOLUME: overall_volume_ = value; return OM_S_OK;
    case SOUND_REAL_PAN: pan_ = value; return OM_S_OK;
    case SOUND_REAL_MIN_RADIUS: min_radius_ = value; return OM_S_OK;
    case SOUND_REAL_MAX_RADIUS: max_radius_ = value; return OM_S_OK;
    case SOUND_REAL_INNER_CONE_ANGLE: inner_cone_angle_ = value; return OM_S_OK;
    case SOUND_REAL_OUTER_CONE_ANGLE: outer_cone_angle_ = value; return OM_S_OK;
    case SOUND_REAL_OUTER_CONE_VOLUME: outer_cone_volume_ = value; return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult BaseSound::GetParamReal(int32_t kind, float* out) {
    if (!out) return OM_E_FAIL;
    switch (kind) {
    case SOUND_REAL_VOLUME: *out = volume_; return OM_S_OK;
    case SOUND_REAL_OVERALL_VOLUME: *out = overall_volume_; return OM_S_OK;
    case SOUND_REAL_PAN: *out = pan_; return OM_S_OK;
    case SOUND_REAL_MIN_RADIUS: *out = min_radius_; return OM_S_OK;
    case SOUND_REAL_MAX_RADIUS: *out = max_radius_; return OM_S_OK;
    case SOUND_REAL_INNER_CONE_ANGLE: *out = inner_cone_angle_; return OM_S_OK;
    case SOUND_REAL_OUTER_CONE_ANGLE: *out = outer_cone_angle_; return OM_S_OK;
    case SOUND_REAL_OUTER_CONE_VOLUME: *out = outer_cone_volume_; return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult BaseSound::CreateInstanceFrom(const SoundPlayDesc* desc, ISound** out) {
    return OmSoundInstanceFromDesc(this, desc, out);
}

OmResult BaseSound::Play(int32_t) {
    playing_ = 1;
    paused_ = 0;
    return OM_S_OK;
}

OmResult BaseSound::PlayInstance(const SoundPlayDesc* desc, int32_t argument) {
    ISound* instance = nullptr;
    OmResult r = CreateInstanceFrom(desc, &instance);
    if (r < 0) return r;
    r = instance->Play(argument);
    instance->Release();
    return r;
}

OmResult BaseSound::Pause() {
    paused_ = 1;
    return OM_S_OK;
}

OmResult BaseSound::Stop() {
    paused_ = 0;
    playing_ = 0;
    return OM_S_OK;
}

OmResult BaseSound::Set3D(const float* frame, const float* velocity) {
    frame_.set(frame, velocity);
    return OM_S_OK;
}

OmResult BaseSound::Get3D(float* frame, float* velocity) {
    frame_.get(frame, velocity);
    return OM_S_OK;
}

OmResult BaseSound::SetPlayPosition(uint32_t) {
    return OM_E_FAIL;
}

OmResult BaseSound::GetPlayPosition(uint32_t*) {
    return OM_E_FAIL;
}

namespace {
const OmClassRecord classes[] = {
    {&CLSID_BaseSound, nullptr, nullptr, BaseSound::Create, "BaseSound"}};
} // namespace

OM_DEFINE_MODULE(BaseSound, classes)
