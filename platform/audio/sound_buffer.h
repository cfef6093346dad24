// The stand-in's buffers: a secondary buffer (with its 3D interface) and the primary buffer
// (with the 3D listener).
#pragma once

#include "platform/audio/audio_engine.h"

#include <atomic>
#include <memory>
#include <vector>

namespace platform::audio {

class SoundBuffer final : public IDirectSoundBuffer, public IDirectSound3DBuffer {
public:
    // Made outside the engine's mutex (the samples and the staging area are allocated here);
    // attach() then lists it.
    SoundBuffer(std::shared_ptr<Engine> engine, const DSBUFFERDESC& desc,
                std::shared_ptr<SampleStore> samples, bool hardware);
    ~SoundBuffer();
    void attach();

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    int32_t GetCurrentPosition(uint32_t* play, uint32_t* write) override;
    int32_t GetFormat(WAVEFORMATEX* format, uint32_t size, uint32_t* written) override;
    int32_t GetVolume(int32_t* volume) override;
    int32_t GetPan(int32_t* pan) override;
    int32_t GetFrequency(uint32_t* frequency) override;
    int32_t GetStatus(uint32_t* status) override;
    int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                 uint32_t* bytes2, uint32_t flags) override;
    int32_t Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
    int32_t SetCurrentPosition(uint32_t position) override;
    int32_t SetFormat(const WAVEFORMATEX* format) override;
    int32_t SetVolume(int32_t volume) override;
    int32_t SetPan(int32_t pan) override;
    int32_t SetFrequency(uint32_t frequency) override;
    int32_t Stop() override;
    int32_t Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) override;
    int32_t Restore() override;

    int32_t GetAllParameters(DS3DBUFFER* out) override;
    int32_t SetPosition(float x, float y, float z, uint32_t apply) override;
    int32_t SetVelocity(float x, float y, float z, uint32_t apply) override;
    int32_t SetConeOrientation(float x, float y, float z, uint32_t apply) override;
    int32_t SetConeAngles(uint32_t inside, uint32_t outside, uint32_t apply) override;
    int32_t SetConeOutsideVolume(int32_t volume, uint32_t apply) override;
    int32_t SetMinDistance(float distance, uint32_t apply) override;
    int32_t SetMaxDistance(float distance, uint32_t apply) override;

    // Engine-side access (the caller holds the engine's mutex).
    BufferCore& core() { return core_; }
    const std::shared_ptr<Engine>& engine() const { return engine_; }
    std::shared_ptr<SampleStore> samples() const { return core_.samples; }

private:
    template <class Change>
    int32_t change_3d(uint32_t apply, Change change);

    std::atomic<uint32_t> refs_{1};
    std::shared_ptr<Engine> engine_;
    BufferCore core_;
    std::vector<uint8_t> staging_;
    bool locked_ = false;
    uint32_t lock_offset_ = 0;
    uint32_t lock_bytes1_ = 0;
    uint32_t lock_bytes2_ = 0;
};

class PrimaryBuffer final : public IDirectSoundBuffer, public IDirectSound3DListener {
public:
    PrimaryBuffer(std::shared_ptr<Engine> engine, bool listener);
    ~PrimaryBuffer();
    void enable_listener(bool on) { listener_ = listener_ || on; }

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    int32_t GetCurrentPosition(uint32_t* play, uint32_t* write) override;
    int32_t GetFormat(WAVEFORMATEX* format, uint32_t size, uint32_t* written) override;
    int32_t GetVolume(int32_t* volume) override;
    int32_t GetPan(int32_t* pan) override;
    int32_t GetFrequency(uint32_t* frequency) override;
    int32_t GetStatus(uint32_t* status) override;
    int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1, void** part2,
                 uint32_t* bytes2, uint32_t flags) override;
    int32_t Play(uint32_t reserved, uint32_t priority, uint32_t flags) override;
    int32_t SetCurrentPosition(uint32_t position) override;
    int32_t SetFormat(const WAVEFORMATEX* format) override;
    int32_t SetVolume(int32_t volume) override;
    int32_t SetPan(int32_t pan) override;
    int32_t SetFrequency(uint32_t frequency) override;
    int32_t Stop() override;
    int32_t Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) override;
    int32_t Restore() override;

    int32_t GetAllParameters(DS3DLISTENER* out) override;
    int32_t SetPosition(float x, float y, float z, uint32_t apply) override;
    int32_t SetOrientation(float fx, float fy, float fz, float tx, float ty, float tz,
                           uint32_t apply) override;
    int32_t SetVelocity(float x, float y, float z, uint32_t apply) override;
    int32_t SetRolloffFactor(float factor, uint32_t apply) override;
    int32_t SetDopplerFactor(float factor, uint32_t apply) override;
    int32_t SetDistanceFactor(float factor, uint32_t apply) override;
    int32_t CommitDeferredSettings() override;

    const std::shared_ptr<Engine>& engine() const { return engine_; }

private:
    template <class Change>
    int32_t change_listener(uint32_t apply, Change change);

    std::atomic<uint32_t> refs_{1};
    std::shared_ptr<Engine> engine_;
    bool listener_ = false;
    int32_t volume_ = 0;
    int32_t pan_ = 0;
};

} // namespace platform::audio
