// One streaming voice of the sound device: a one-second DirectSound buffer fed half a second at
// a time from the sample memory of the sound playing on it.
#pragma once

#include "platform/audio/dsound.h"
#include "sound/base/sound.h"

#include <cstdint>

class DeviceSound;

struct Voice {
    DeviceSound* sound = nullptr; // referenced; null when free
    IDirectSoundBuffer* buffer = nullptr;
    IDirectSound3DBuffer* buffer_3d = nullptr;
    uint32_t rate = 0;          // Hz the buffer was made for
    uint32_t format = 0;        // format code the buffer was made for
    uint32_t half_size = 0;     // bytes in half a second
    uint32_t buffer_size = 0;   // bytes in one second
    uint32_t read_position = 0; // next byte of the sound's samples to copy
    uint32_t next_half = 0;     // 0: the first half is filled next
    uint32_t fill_start = 0;    // read position at the start of the latest fill
    bool playing = false;
    // The play cursor at the previous tick and the number of times it has wrapped since the
    // sound was attached: the bytes played are wraps x buffer size + cursor.
    uint32_t last_cursor = 0;
    uint32_t wraps = 0;
};
