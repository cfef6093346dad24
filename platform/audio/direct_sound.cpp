// The stand-in's sound object: DirectSoundCreate, buffer creation and capabilities.
#include "platform/audio/sound_buffer.h"

#include <atomic>
#include <memory>

namespace platform::audio {

namespace {

class DirectSoundObject final : public IDirectSound {
public:
    explicit DirectSoundObject(std::shared_ptr<Engine> engine) : engine_(std::move(engine)) {}

    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDirectSound) return DSERR_NOINTERFACE;
        *out = static_cast<IDirectSound*>(this);
        AddRef();
        return DS_OK;
    }
    uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t Release() override {
        uint32_t n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (n == 0) delete this;
        return n;
    }

    int32_t CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out,
                              IUnknown* outer) override {
        if (!out) return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (outer) return DSERR_NOAGGREGATION;
        if (!desc || desc->dwSize != sizeof(DSBUFFERDESC)) return DSERR_INVALIDPARAM;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) return primary(*desc, out);
        uint32_t flags = desc->dwFlags;
        if (!desc->lpwfxFormat) return DSERR_INVALIDPARAM;
        if (!valid_pcm_format(*desc->lpwfxFormat)) return DSERR_BADFORMAT;
        if ((flags & DSBCAPS_LOCHARDWARE) && (flags & DSBCAPS_LOCSOFTWARE))
            return DSERR_INVALIDPARAM;
        if ((flags & DSBCAPS_CTRL3D) && desc->lpwfxFormat->channels != 1) return DSERR_INVALIDPARAM;
        uint32_t align = desc->lpwfxFormat->block_align;
        if (desc->dwBufferBytes < 4 || desc->dwBufferBytes > 0x0FFFFFFF ||
            desc->dwBufferBytes < align)
            return DSERR_INVALIDPARAM;
        bool hardware = flags & DSBCAPS_LOCHARDWARE;
        if (hardware && !take_hardware_slot()) return DSERR_ALLOCATED;
        // Made outside the mutex: the mixer never waits on an allocation.
        auto* buffer = new (std::nothrow) SoundBuffer(engine_, *desc, nullptr, hardware);
        if (!buffer) {
            if (hardware) give_hardware_slot();
            return DSERR_OUTOFMEMORY;
        }
        buffer->attach();
        *out = buffer;
        return DS_OK;
    }

    int32_t GetCaps(DSCAPS* caps) override {
        if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
        std::lock_guard lock(engine_->mutex);
        *caps = DSCAPS{};
        caps->dwSize = sizeof(DSCAPS);
        // Primary and secondary mono, stereo, 8 and 16 bits; continuous rates.
        caps->dwFlags = 0x0F | 0x10 | 0x100 | 0x200 | 0x400 | 0x800;
        caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
        caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
        caps->dwPrimaryBuffers = 1;
        uint32_t total =
            engine_->profile.refuse_hardware ? 0 : engine_->profile.free_hardware_buffers;
        uint32_t free = engine_->profile.refuse_hardware ? 0 : engine_->free_hardware;
        caps->dwMaxHwMixingAllBuffers = caps->dwMaxHwMixingStaticBuffers =
            caps->dwMaxHwMixingStreamingBuffers = total;
        caps->dwFreeHwMixingAllBuffers = caps->dwFreeHwMixingStaticBuffers =
            caps->dwFreeHwMixingStreamingBuffers = free;
        caps->dwMaxHw3DAllBuffers = caps->dwMaxHw3DStaticBuffers = caps->dwMaxHw3DStreamingBuffers =
            total;
        caps->dwFreeHw3DAllBuffers = caps->dwFreeHw3DStaticBuffers =
            caps->dwFreeHw3DStreamingBuffers = free;
        return DS_OK;
    }

    int32_t DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** out) override {
        if (!out) return DSERR_INVALIDPARAM;
        *out = nullptr;
        auto* source = dynamic_cast<SoundBuffer*>(original);
        if (!source || source->engine() != engine_) return DSERR_INVALIDPARAM;
        BufferCore copy;
        {
            std::lock_guard lock(engine_->mutex);
            copy = source->core();
        }
        bool hardware = copy.hardware;
        if (hardware && !take_hardware_slot()) return DSERR_ALLOCATED;
        WAVEFORMATEX format = copy.format;
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), copy.flags, copy.size, 0, &format, {}};
        auto* buffer = new (std::nothrow) SoundBuffer(engine_, desc, copy.samples, hardware);
        if (!buffer) {
            if (hardware) give_hardware_slot();
            return DSERR_OUTOFMEMORY;
        }
        {
            std::lock_guard lock(engine_->mutex);
            BufferCore& c = buffer->core();
            c.volume = copy.volume;
            c.pan = copy.pan;
            c.frequency = copy.frequency;
            c.pending = c.committed = copy.pending;
        }
        buffer->attach();
        *out = buffer;
        return DS_OK;
    }

    int32_t SetCooperativeLevel(void*, uint32_t level) override {
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
        std::lock_guard lock(engine_->mutex);
        engine_->cooperative_level = level;
        return DS_OK;
    }

private:
    int32_t primary(const DSBUFFERDESC& desc, IDirectSoundBuffer** out) {
        if (desc.dwBufferBytes != 0 || desc.lpwfxFormat) return DSERR_INVALIDPARAM;
        bool listener = desc.dwFlags & DSBCAPS_CTRL3D;
        {
            std::lock_guard lock(engine_->mutex);
            if (PrimaryBuffer* p = engine_->primary) {
                p->AddRef();
                p->enable_listener(listener);
                *out = p;
                return DS_OK;
            }
        }
        auto* p = new (std::nothrow) PrimaryBuffer(engine_, listener);
        if (!p) return DSERR_OUTOFMEMORY;
        std::lock_guard lock(engine_->mutex);
        if (PrimaryBuffer* other = engine_->primary) { // made meanwhile by another thread
            other->AddRef();
            other->enable_listener(listener);
            *out = other;
            delete p;
            return DS_OK;
        }
        engine_->primary = p;
        *out = p;
        return DS_OK;
    }

    bool take_hardware_slot() {
        std::lock_guard lock(engine_->mutex);
        if (engine_->profile.refuse_hardware || engine_->free_hardware == 0) return false;
        --engine_->free_hardware;
        return true;
    }
    void give_hardware_slot() {
        std::lock_guard lock(engine_->mutex);
        ++engine_->free_hardware;
    }

    std::atomic<uint32_t> refs_{1};
    std::shared_ptr<Engine> engine_;
};

} // namespace

int32_t create_sound_object(const GUID* device, IDirectSound** out, IUnknown* outer) {
    if (!out) return DSERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    if (device && !om_guid_is_null(*device)) return DSERR_NODRIVER;
    DeviceProfile profile = device_profile();
    if (profile.no_device) return DSERR_NODRIVER;
    auto engine = std::make_shared<Engine>(backend(), profile);
    if (!engine->open()) return DSERR_NODRIVER;
    if (engine->backend == Backend::manual) register_manual_engine(engine);
    note_engine(engine);
    auto* object = new (std::nothrow) DirectSoundObject(engine);
    if (!object) return DSERR_OUTOFMEMORY;
    *out = object;
    return DS_OK;
}

} // namespace platform::audio

// DirectSoundCreate lives in the global namespace like the interfaces it hands out.
int32_t DirectSoundCreate(const GUID* device, IDirectSound** out, IUnknown* outer) {
    return platform::audio::create_sound_object(device, out, outer);
}
