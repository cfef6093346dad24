// The channel base every channel type builds on: reference count, control, storage, sound
// directory and type name, with the base forms of the channel operations.
#pragma once

#include "framework/core/allocated.h"
#include "framework/core/com_ref.h"
#include "sound/channel/sound_channel.h"

#include <string>

// A real key that counts only when it is present and not empty (the factors of the 3D and
// device channels). OM_E_FAIL otherwise, `out` unchanged.
OmResult OmReadChannelFactor(IPropertySheet* sheet, const char* key, float* out);

class SoundChannelBase : public ISoundChannel, public OmAllocated {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return ++ref_count_; }
    uint32_t Release() override;

    // 0: the base makes no control.
    OmResult ReadKeys(ISoundControl* parent, ICOMHash* channels, IPropertySheet* sheet) override;
    OmResult SetStorage(IFileStorage* storage, const char* directory) override;
    // OM_E_FAIL: only some channel types make sounds from scratch.
    OmResult CreateSound(IPropertySheet* sheet, ICOMHash* sounds, ISound** out) override;
    // The control's CreateSoundFrom (null), then the new sound wraps `source` (integer 12).
    // OM_E_FAIL without a control or source.
    OmResult Inherit(ISound* source, IPropertySheet* sheet, ISound** out) override;
    ISoundControl* GetControl() override { return control_.get(); }
    const char* GetName() override { return name_; }

    // The class's create function for its class record.
    template <class Channel>
    static OmResult create(IUnknown* outer, IUnknown** out) {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (outer) return OM_E_NOAGGREGATION;
        auto* channel = new Channel;
        if (!channel) return OM_E_OUTOFMEMORY;
        const OmResult r = static_cast<SoundChannelBase*>(channel)->init();
        if (r < 0) {
            channel->Release();
            return r;
        }
        *out = static_cast<ISoundChannel*>(channel);
        return OM_S_OK;
    }

protected:
    explicit SoundChannelBase(const char* name) : name_(name) {}
    virtual ~SoundChannelBase() = default;
    SoundChannelBase(const SoundChannelBase&) = delete;
    SoundChannelBase& operator=(const SoundChannelBase&) = delete;

    // Run once after construction; a failure destroys the channel.
    virtual OmResult init() { return OM_S_OK; }

    ComRef<ISoundControl> control_;
    ComRef<IFileStorage> storage_;
    std::string directory_;

private:
    const char* name_;
    uint32_t ref_count_ = 1;
};
