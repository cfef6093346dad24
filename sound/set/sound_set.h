// ISoundSet: the component through which the game plays every sound by name. It owns the
// sound device, the channel tree read from channels.ini and the sounds read from sounds.ini
// of one sound directory.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/unknown.h"
#include "sound/base/sound.h"
#include "sound/base/sound_play_desc.h"

#include <cstdint>

inline constexpr GUID CLSID_SoundSet = om_guid("574D4728-FCAC-11D4-A4A2-00010239331A");
inline constexpr GUID IID_ISoundSet = om_guid("574D4727-FCAC-11D4-A4A2-00010239331A");

// Every operation naming a sound or a channel that is not in its table (or a channel without a
// control) answers OM_E_FAIL; otherwise the forwarded operation's result.
struct ISoundSet : IUnknown {
    // Keeps the device's ISoundControl; without one, creates the platform's sound device and
    // initialises it with `flags`.
    virtual OmResult Init(IUnknown* device, uint32_t flags) = 0;
    // One time step (0..200 ms) of every channel.
    virtual OmResult Update() = 0;
    // The channel control's frame: rows right, up, at, position (12 floats) and velocity.
    virtual OmResult SetChannelParams(const char* channel, const float* rows,
                                      const float* velocity) = 0;
    virtual OmResult GetChannelParams(const char* channel, float* rows, float* velocity) = 0;
    // Reads channels.ini and sounds.ini from the program path followed by `path`.
    virtual OmResult Load(const char* path) = 0;
    virtual OmResult GetPath(char* buffer, uint32_t size) = 0;
    virtual OmResult PlaySound(const char* sound, int32_t argument) = 0;
    // An instance made from the description (may be null), played and released.
    virtual OmResult PlaySoundWith(const char* sound, const SoundPlayDesc* desc,
                                   int32_t argument) = 0;
    virtual OmResult CreateSoundInstance(const char* sound, const SoundPlayDesc* desc,
                                         ISound** out) = 0;
    virtual OmResult SetChannelVolume(const char* channel, float volume) = 0;
    virtual OmResult GetChannelVolume(const char* channel, float* out) = 0;
    virtual OmResult StopChannel(const char* channel) = 0;
    virtual OmResult StopAllSounds() = 0;
};

// Bytes of the path given to Load and of the base directory, terminator included, and the
// longest section (sound or channel) name.
inline constexpr uint32_t SOUND_SET_PATH_SIZE = 128;
inline constexpr uint32_t SOUND_SET_DIRECTORY_SIZE = 260;
inline constexpr uint32_t SOUND_SET_NAME_MAX = 79;
// A time step never exceeds this many milliseconds.
inline constexpr int64_t SOUND_SET_MAX_STEP = 200;

inline constexpr char SOUND_SET_CHANNELS_FILE[] = "channels.ini";
inline constexpr char SOUND_SET_SOUNDS_FILE[] = "sounds.ini";

OM_DECLARE_MODULE(SoundSet);
