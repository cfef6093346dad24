// BaseSoundCreate: the sound maker that collects a description and makes a BaseSound from it;
// the base of the device's maker.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/base/sound_create.h"

#include <atomic>

inline constexpr GUID CLSID_BaseSoundCreate = om_guid("FDFCAA84-F1C6-11D4-8DAA-0010B58247E7");

// The description a maker collects (copied whole by Clone).
struct SoundMakerRecord {
    int32_t valid = 0; // set by Validate, cleared by every SetProperty
    int32_t priority = 0;
    uint32_t format = 0;
    uint32_t length = 0; // frames
    uint32_t rate = 0;   // Hz
    float volume = 1.0f;
    float overall_volume = 1.0f;
    uint8_t is_3d = 0;
    uint8_t cursor = 0;
    uint8_t property1 = 0;
    uint8_t property10 = 0;
};

// Checks the format code of a validated description: 8 or 16 bits, PCM bit set.
bool sound_maker_format_ok(uint32_t format);

class BaseSoundCreate : public ISoundCreate, public OmAllocated {
public:
    static OmResult Create(IUnknown* outer, IUnknown** out);

    OmResult QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // Property 1 0 -> 1; length 0 -> 1024; rate 0 -> 22050; volume limited to 0..1; format
    // 0 -> 8-bit mono; a 3D description becomes mono. OM_E_FAIL for a bad format.
    OmResult Validate() override;
    // A BaseSound made from the description.
    OmResult CreateSound(ISound** out) override;
    OmResult SetProperty(int32_t id, intptr_t value) override;
    OmResult GetProperty(int32_t id, intptr_t* out) override;
    OmResult SetPropertyReal(int32_t id, float value) override;
    OmResult GetPropertyReal(int32_t id, float* out) override;
    OmResult Reset() override;
    OmResult Clone(ISoundCreate** out) override;

    const SoundMakerRecord& record() const { return record_; }

protected:
    BaseSoundCreate() = default;
    virtual ~BaseSoundCreate() = default;
    // Validates when the description is not valid yet.
    OmResult ensure_valid();

    std::atomic<uint32_t> refs_{1};
    SoundMakerRecord record_;
};

OM_DECLARE_MODULE(BaseSoundCreate);
