// Choosing how the DirectSound stand-in produces sound, the device profile it reports, and the
// manual backend's mixing entry and inspection accessors.
#pragma once

#include "platform/audio/dsound.h"

#include <cstdint>

namespace platform::audio {

enum class Backend {
    // An SDL audio device in the primary buffer's format (SDL converts to what the device
    // takes); headless runs get SDL's dummy driver.
    sdl,
    // No thread and no device: render() mixes on request and advances every cursor.
    manual,
};

// The backend of the sound objects created from now on (SDL unless changed).
void set_backend(Backend backend);
Backend backend();

// What the stand-in reports about the sound hardware and which failures it produces.
struct DeviceProfile {
    // Hardware mixing buffers free at creation; each hardware buffer takes one. 0 refuses
    // every hardware (DSBCAPS_LOCHARDWARE) buffer with DSERR_ALLOCATED.
    uint32_t free_hardware_buffers = 32;
    // Refuses every hardware buffer whatever the count says.
    bool refuse_hardware = false;
    // DirectSoundCreate fails with DSERR_NODRIVER, as on a machine without audio.
    bool no_device = false;
};

// The profile of the sound objects created from now on.
void set_device_profile(const DeviceProfile& profile);
DeviceProfile device_profile();

// Manual backend: mixes `frames` frames of the newest live manual sound object into `out` in
// its primary buffer's format, advancing every playing cursor. Every 100 ms of mixed audio the
// service ticks are pumped and the call waits until every tick waiter has serviced the tick
// (platform/audio/tick_source.h). Returns the frames written (0 and nothing written when no
// manual sound object lives).
uint32_t render(void* out, uint32_t frames);
// Bytes per output frame and rate of the newest manual sound object (0 when none).
uint32_t render_frame_bytes();
uint32_t render_rate();
// The output format of the newest manual sound object (all zero when none).
WAVEFORMATEX render_format();

// Output buffers (SDL callbacks or render calls' chunks) of the newest sound object that held
// a non-zero sample, counted since it was created.
uint64_t audible_output_chunks();

// The committed (audible) 3D values of a buffer.
struct Committed3D {
    D3DVECTOR position;
    float min_distance;
    float max_distance;
};

// A buffer as the mixer sees it.
struct BufferSnapshot {
    bool playing;
    bool looping;
    bool lost;
    bool hardware;
    uint32_t play_cursor; // bytes
    uint32_t size;        // bytes
    int32_t volume;
    int32_t pan;
    uint32_t frequency; // the rate it plays at
    bool has_3d;
    Committed3D committed;
};

// Fills `out` for a buffer made by the stand-in. false for anything else.
bool inspect(IDirectSoundBuffer* buffer, BufferSnapshot* out);
// Marks a buffer lost (the primary buffer too): it plays silence, GetStatus reports
// DSBSTATUS_BUFFERLOST and Lock fails with DSERR_BUFFERLOST until Restore.
void mark_lost(IDirectSoundBuffer* buffer);
// Secondary buffers alive in the newest sound object (of either backend).
uint32_t live_buffer_count();

} // namespace platform::audio
