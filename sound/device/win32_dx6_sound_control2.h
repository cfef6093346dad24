// Win32Dx6SoundControl2: the streaming sound device. It owns the DirectSound object, the
// primary buffer with the 3D listener and a table of streaming voices serviced by a worker
// thread; the sounds it makes compete for the voices by audibility, priority and distance.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/class_ids.h"
#include "platform/audio/dsound.h"
#include "platform/audio/tick_source.h"
#include "sound/device/direct_sound_control_base.h"
#include "sound/device/voice.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

inline constexpr uint32_t DEVICE_DEFAULT_VOICES = 16;
inline constexpr int32_t DEVICE_MAX_VOICES = 256;
// Without free hardware mixing buffers the output rate is held at this.
inline constexpr uint32_t DEVICE_SOFTWARE_RATE_LIMIT = 22050;

class Win32Dx6SoundControl2 final : public DirectSoundControlBase {
public:
    static OmResult Create(IUnknown* outer, IUnknown** out);

    // DirectSound object or null (then the program-wide one, or a new one registered as
    // such), flags bit 0 exclusive, bit 1 3D; then the default output and 16 voices.
    OmResult Init(IUnknown* object, uint32_t flags) override;
    // Restores a lost primary buffer, steps every sound, re-ranks, assigns voices and commits
    // the 3D settings. OM_E_FAIL without a primary buffer.
    OmResult Update(uint32_t elapsed) override;
    // A sound maker of the device.
    OmResult CreateSound(ISoundCreate** out) override;
    // CONTROL_INT_VOICES: the number of voices (0..256).
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // (Re)creates the primary buffer and the listener in the format; the format actually set
    // is kept.
    OmResult SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) override;
    // List 1 keeps the device's sounds in ranking order.
    OmResult AddObject(int32_t list, IUnknown* object) override;

    // ---- The device sounds' side ----
    // Takes a free voice or steals one for `sound` (listed and ranked already). OM_E_FAIL when
    // there is none.
    OmResult acquire_voice(DeviceSound* sound);
    // Starts the sound's voice. OM_E_FAIL without a buffer.
    OmResult start_voice(DeviceSound* sound);
    // Detaches the sound from its voice (nothing when it has none).
    void release_voice(DeviceSound* sound);
    // Bytes of the sound heard on its voice since it was attached (0 without a voice).
    uint64_t bytes_played(const DeviceSound* sound);
    // The buffers of the sound's voice (null when it has none).
    IDirectSoundBuffer* voice_buffer(const DeviceSound* sound);
    IDirectSound3DBuffer* voice_buffer_3d(const DeviceSound* sound);
    const SoundFrame& listener_frame() const { return frame_; }
    // Serial of a new sound: equal-distance ranking ties go to the later one.
    uint64_t next_sound_serial() { return ++sound_serial_; }

    // ---- Inspection ----
    uint32_t voice_count();
    // The sound on voice `index` (no reference added) or null.
    DeviceSound* voice_sound(uint32_t index);
    IDirectSoundBuffer* voice_buffer_at(uint32_t index);

private:
    Win32Dx6SoundControl2();
    ~Win32Dx6SoundControl2() override;
    void final_release() override;

    OmResult set_voice_count(int32_t count);
    OmResult start_worker();
    void stop_worker();
    void worker_loop(platform::audio::TickWaiter* waiter);
    void service_voice(Voice& voice);
    // Free every voice: sounds detached, buffers released.
    void release_all_voices();
    // Under the critical section: a buffer for the format, stopping what plays on it.
    OmResult prepare_voice(uint32_t index, uint32_t code, uint32_t rate, bool is_3d,
                           std::vector<ISound*>& released);
    void attach_sound(uint32_t index, DeviceSound* sound);
    void detach_voice(Voice& voice, std::vector<ISound*>& released);
    OmResult fill_next_half(Voice& voice);
    // Under the critical section: the free voice for a sound (one made for its format first),
    // or the voice of the lowest-ranked sound ranked below it; -1 for none.
    int64_t free_voice(const DeviceSound* sound) const;
    int64_t stealable_voice(const DeviceSound* sound) const;
    // Takes the free (or stolen) voice for the sound. OM_E_FAIL when there is none.
    OmResult claim_voice(DeviceSound* sound, bool steal);
    void rank_active_sounds();
    void release_pending();
    static void release_all(std::vector<ISound*>& sounds);

    DSCAPS caps_{};
    uint64_t sound_serial_ = 0;

    std::recursive_mutex cs_; // the voices, their buffers and the sounds' read state
    std::vector<Voice> voices_;
    std::vector<ISound*> pending_releases_; // dropped by the worker, released on Update
    std::thread worker_;
    std::unique_ptr<platform::audio::TickWaiter> waiter_;
    std::atomic<bool> stop_{false};
};

OM_DECLARE_MODULE(Win32Dx6SoundControl2);
