// BaseSoundCreate: the description, its defaults and checks, and the BaseSound it makes.
#include "sound/base/base_sound_create.h"

#include "sound/base/base_sound.h"
#include "sound/base/sound_format.h"

#include <cmath>

namespace {

class PlainBaseSoundCreate final : public BaseSoundCreate {};

constexpr uint32_t default_length = 1024;

} // namespace

bool sound_maker_format_ok(uint32_t format) {
    uint32_t bits = sound_format_bits(format);
    return (bits == 8 || bits == 16) && (format & SOUND_FORMAT_PCM_BIT) &&
           sound_format_channels(format) != 0;
}

OmResult BaseSoundCreate::Create(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    auto* maker = new PlainBaseSoundCreate;
    if (!maker) return OM_E_OUTOFMEMORY;
    *out = static_cast<ISoundCreate*>(maker);
    return OM_S_OK;
}

OmResult BaseSoundCreate::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out, {{&IID_ISoundCreate, static_cast<ISoundCreate*>(this)}});
}

uint32_t BaseSoundCreate::AddRef() {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t BaseSoundCreate::Release() {
    uint32_t n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (n == 0) delete this;
    return n;
}

OmResult BaseSoundCreate::Validate() {
    SoundMakerRecord& r = record_;
    if (r.property1 == 0) r.property1 = 1;
    if (r.length == 0) r.length = default_length;
    if (r.rate == 0) r.rate = SOUND_DEFAULT_OUTPUT_RATE;
    if (!(r.volume >= 0.0f)) r.volume = 0.0f; // NaN too
    if (r.volume > 1.0f) r.volume = 1.0f;
    if (r.format == 0) r.format = SOUND_FORMAT_MONO8;
    if (r.is_3d && sound_format_channels(r.format) > 1) r.format = sound_format_mono(r.format);
    if (!sound_maker_format_ok(r.format)) return OM_E_FAIL;
    r.valid = 1;
    return OM_S_OK;
}

OmResult BaseSoundCreate::ensure_valid() {
    return record_.valid ? OM_S_OK : Validate();
}

OmResult BaseSoundCreate::CreateSound(ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    OmResult r = ensure_valid();
    if (r < 0) return r;
    IUnknown* object = nullptr;
    r = BaseSound::Create(nullptr, &object);
    if (r < 0) return r;
    auto* sound = static_cast<ISound*>(object);
    r = sound->Init(static_cast<ISoundCreate*>(this));
    if (r < 0) {
        sound->Release();
        return r;
    }
    *out = sound;
    return OM_S_OK;
}

OmResult BaseSoundCreate::SetProperty(int32_t id, intptr_t value) {
    SoundMakerRecord& r = record_;
    switch (id) {
    case MAKER_PROPERTY1: r.property1 = uint8_t(value); break;
    case MAKER_FORMAT: r.format = uint32_t(value); break;
    case MAKER_LENGTH: r.length = uint32_t(value); break;
    case MAKER_RATE: r.rate = uint32_t(value); break;
    case MAKER_PRIORITY: r.priority = int32_t(value); break;
    case MAKER_3D: r.is_3d = uint8_t(value != 0); break;
    case MAKER_CURSOR: r.cursor = uint8_t(value != 0); break;
    case MAKER_PROPERTY10: r.property10 = uint8_t(value); break;
    default: return OM_E_FAIL;
    }
    r.valid = 0;
    return OM_S_OK;
}

OmResult BaseSoundCreate::GetProperty(int32_t id, intptr_t* out) {
    if (!out) return OM_E_FAIL;
    const SoundMakerRecord& r = record_;
    switch (id) {
    case MAKER_PROPERTY1: *out = r.property1; return OM_S_OK;
    case MAKER_FORMAT: *out = intptr_t(r.format); return OM_S_OK;
    case MAKER_LENGTH: *out = intptr_t(r.length); return OM_S_OK;
    case MAKER_RATE: *out = intptr_t(r.rate); return OM_S_OK;
    case MAKER_PRIORITY: *out = r.priority; return OM_S_OK;
    case MAKER_3D: *out = r.is_3d; return OM_S_OK;
    case MAKER_CURSOR: *out = r.cursor; return OM_S_OK;
    case MAKER_VOLUME: *out = intptr_t(std::lround(r.volume * 1000.0f)); return OM_S_OK;
    case MAKER_OVERALL_VOLUME:
        *out = intptr_t(std::lround(r.overall_volume * 1000.0f));
        return OM_S_OK;
    case MAKER_PROPERTY10: *out = r.property10; return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult BaseSoundCreate::SetPropertyReal(int32_t id, float value) {
    if (id == MAKER_VOLUME)
        record_.volume = value;
    else if (id == MAKER_OVERALL_VOLUME)
        record_.overall_volume = value;
    else
        return OM_E_FAIL;
    record_.valid = 0;
    return OM_S_OK;
}

OmResult BaseSoundCreate::GetPropertyReal(int32_t id, float* out) {
    if (!out) return OM_E_FAIL;
    if (id == MAKER_VOLUME)
        *out = record_.volume;
    else if (id == MAKER_OVERALL_VOLUME)
        *out = record_.overall_volume;
    else
        return OM_E_FAIL;
    return OM_S_OK;
}

OmResult BaseSoundCreate::Reset() {
    record_ = SoundMakerRecord{};
    return OM_S_OK;
}

OmResult BaseSoundCreate::Clone(ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    auto* copy = new PlainBaseSoundCreate;
    if (!copy) return OM_E_OUTOFMEMORY;
    copy->record_ = record_;
    *out = copy;
    return OM_S_OK;
}

namespace {
const OmClassRecord classes[] = {
    {&CLSID_BaseSoundCreate, nullptr, nullptr, BaseSoundCreate::Create, "BaseSoundCreate"}};
} // namespace

OM_DEFINE_MODULE(BaseSoundCreate, classes)
