// Inside the DirectSound stand-in: the state one sound object shares with its buffers and its
// output (the mixer, the listener, the primary format), all guarded by one mutex.
#pragma once

#include "platform/audio/audio_backend.h"
#include "platform/audio/dsound.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::audio {

// Samples shared by a buffer and its duplicates.
struct SampleStore {
    std::vector<uint8_t> bytes;
};

struct ListenerParams {
    D3DVECTOR position{0, 0, 0};
    D3DVECTOR velocity{0, 0, 0};
    D3DVECTOR front{0, 0, 1};
    D3DVECTOR top{0, 1, 0};
    float distance_factor = 1.0f;
    float rolloff_factor = 1.0f;
    float doppler_factor = 1.0f;
};

struct Buffer3DParams {
    D3DVECTOR position{0, 0, 0};
    D3DVECTOR velocity{0, 0, 0};
    D3DVECTOR cone_orientation{0, 0, 1};
    uint32_t inside_cone = 360;
    uint32_t outside_cone = 360;
    int32_t cone_outside_volume = 0;
    float min_distance = DS3D_DEFAULTMINDISTANCE;
    float max_distance = DS3D_DEFAULTMAXDISTANCE;
    uint32_t mode = DS3DMODE_NORMAL;
};

// What the mixer reads of a secondary buffer.
struct BufferCore {
    std::shared_ptr<SampleStore> samples;
    WAVEFORMATEX format{};
    uint32_t frame_bytes = 0;
    uint32_t frames = 0;
    uint32_t size = 0; // bytes, a whole number of frames
    uint32_t flags = 0;
    uint32_t frequency = 0; // the rate it plays at
    int32_t volume = 0;
    int32_t pan = 0;
    bool playing = false;
    bool looping = false;
    bool lost = false;
    bool hardware = false;
    uint64_t cursor = 0; // frames in the upper 32 bits, fraction in the lower
    Buffer3DParams pending;
    Buffer3DParams committed;
};

// Mixes every playing buffer into `frames` stereo frames of 32-bit sums (added to `sums`),
// advancing their cursors; `out_rate` is the output rate.
void mix_buffer(BufferCore& buffer, const ListenerParams& listener, uint32_t out_rate,
                int32_t* sums, uint32_t frames);
// Writes the sums, saturated, in the output format.
void write_output(const int32_t* sums, uint32_t frames, const WAVEFORMATEX& format, void* out);
// Left and right gains of a buffer in 1/65536 (65536 = full), from volume, pan and 3D
// placement.
void buffer_gains(const BufferCore& buffer, const ListenerParams& listener, int32_t* left,
                  int32_t* right);
// A playable PCM format: 1 or 2 channels of 8 or 16 bits, 100..100000 Hz, consistent block.
bool valid_pcm_format(const WAVEFORMATEX& format);

class SoundBuffer;
class PrimaryBuffer;

class Engine {
public:
    Engine(Backend backend, const DeviceProfile& profile);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Opens the output device (SDL) or registers for render() (manual). false: no device.
    bool open();
    // Mixes `frames` output frames into `out` (the caller holds the mutex).
    void mix(void* out, uint32_t frames);
    // Reopens the SDL device after the primary format changed (the caller does not hold the
    // mutex: closing waits for the device's callback, which takes it).
    void reopen_output();

    std::mutex mutex;
    const Backend backend;
    const DeviceProfile profile;
    uint32_t free_hardware = 0;
    uint32_t cooperative_level = 0;
    WAVEFORMATEX output{};
    ListenerParams pending_listener;
    ListenerParams committed_listener;
    std::vector<SoundBuffer*> buffers;
    PrimaryBuffer* primary = nullptr;
    bool primary_playing = false;
    bool primary_lost = false;
    uint32_t frames_to_tick = 0; // manual backend: output frames until the next service tick
    std::atomic<uint64_t> audible_chunks{0}; // mixed chunks holding a non-zero sum

private:
    void close_output();
    std::vector<int32_t> sums_;
    uint32_t sdl_device_ = 0;
    bool sdl_audio_started_ = false;
    bool holds_real_clock_ = false;
};

// Registers and finds the newest live manual engine.
void register_manual_engine(const std::shared_ptr<Engine>& engine);
std::shared_ptr<Engine> newest_manual_engine();
void note_engine(const std::shared_ptr<Engine>& engine);
std::shared_ptr<Engine> newest_engine();

// Accessor for the buffer classes (sound_buffer.cpp).
bool inspect_buffer(IDirectSoundBuffer* buffer, BufferSnapshot* out);
void mark_buffer_lost(IDirectSoundBuffer* buffer);

} // namespace platform::audio
