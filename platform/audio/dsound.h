// The DirectSound stand-in's interfaces, records and codes: the sound object, its buffers and
// the 3D listener and buffer interfaces, mixed in software (platform/audio/).
#pragma once

#include "platform/com/unknown.h"
#include "platform/wave_format.h"

#include <cstdint>

// The stand-in's interfaces derive from the framework's IUnknown, so the sound object can be
// kept program-wide among the framework's global objects.
inline constexpr GUID IID_IDirectSound = om_guid("279AFA83-4981-11CE-A521-0020AF0BE560");
inline constexpr GUID IID_IDirectSoundBuffer = om_guid("279AFA85-4981-11CE-A521-0020AF0BE560");
inline constexpr GUID IID_IDirectSound3DListener = om_guid("279AFA84-4981-11CE-A521-0020AF0BE560");
inline constexpr GUID IID_IDirectSound3DBuffer = om_guid("279AFA86-4981-11CE-A521-0020AF0BE560");

// Results.
inline constexpr int32_t DS_OK = 0;
inline constexpr int32_t DSERR_ALLOCATED = int32_t(0x8878000Au);
inline constexpr int32_t DSERR_CONTROLUNAVAIL = int32_t(0x8878001Eu);
inline constexpr int32_t DSERR_INVALIDPARAM = int32_t(0x80070057u);
inline constexpr int32_t DSERR_INVALIDCALL = int32_t(0x88780032u);
inline constexpr int32_t DSERR_PRIOLEVELNEEDED = int32_t(0x88780046u);
inline constexpr int32_t DSERR_BADFORMAT = int32_t(0x88780064u);
inline constexpr int32_t DSERR_NODRIVER = int32_t(0x88780078u);
inline constexpr int32_t DSERR_BUFFERLOST = int32_t(0x88780096u);
inline constexpr int32_t DSERR_OUTOFMEMORY = int32_t(0x8007000Eu);
inline constexpr int32_t DSERR_NOAGGREGATION = int32_t(0x80040110u);
inline constexpr int32_t DSERR_NOINTERFACE = int32_t(0x80004002u);

// Cooperative levels.
inline constexpr uint32_t DSSCL_NORMAL = 1;
inline constexpr uint32_t DSSCL_PRIORITY = 2;
inline constexpr uint32_t DSSCL_EXCLUSIVE = 3;
inline constexpr uint32_t DSSCL_WRITEPRIMARY = 4;

// Buffer description flags.
inline constexpr uint32_t DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr uint32_t DSBCAPS_STATIC = 0x2;
inline constexpr uint32_t DSBCAPS_LOCHARDWARE = 0x4;
inline constexpr uint32_t DSBCAPS_LOCSOFTWARE = 0x8;
inline constexpr uint32_t DSBCAPS_CTRL3D = 0x10;
inline constexpr uint32_t DSBCAPS_CTRLFREQUENCY = 0x20;
inline constexpr uint32_t DSBCAPS_CTRLPAN = 0x40;
inline constexpr uint32_t DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr uint32_t DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;
inline constexpr uint32_t DSBCAPS_GETCURRENTPOSITION2 = 0x10000;
inline constexpr uint32_t DSBCAPS_MUTE3DATMAXDISTANCE = 0x20000;
inline constexpr uint32_t DSBCAPS_LOCDEFER = 0x40000;

// Play flags and status bits.
inline constexpr uint32_t DSBPLAY_LOOPING = 0x1;
inline constexpr uint32_t DSBSTATUS_PLAYING = 0x1;
inline constexpr uint32_t DSBSTATUS_BUFFERLOST = 0x2;
inline constexpr uint32_t DSBSTATUS_LOOPING = 0x4;

// Lock flags.
inline constexpr uint32_t DSBLOCK_FROMWRITECURSOR = 0x1;
inline constexpr uint32_t DSBLOCK_ENTIREBUFFER = 0x2;

// Volume in hundredths of a decibel, pan likewise (negative attenuates the right channel),
// frequency in Hz (0 restores the buffer's own rate).
inline constexpr int32_t DSBVOLUME_MIN = -10000;
inline constexpr int32_t DSBVOLUME_MAX = 0;
inline constexpr int32_t DSBPAN_LEFT = -10000;
inline constexpr int32_t DSBPAN_RIGHT = 10000;
inline constexpr uint32_t DSBFREQUENCY_ORIGINAL = 0;
inline constexpr uint32_t DSBFREQUENCY_MIN = 100;
inline constexpr uint32_t DSBFREQUENCY_MAX = 100000;

// 3D settings: made now, or kept until CommitDeferredSettings.
inline constexpr uint32_t DS3D_IMMEDIATE = 0;
inline constexpr uint32_t DS3D_DEFERRED = 1;
inline constexpr uint32_t DS3DMODE_NORMAL = 0;
inline constexpr float DS3D_DEFAULTMINDISTANCE = 1.0f;
inline constexpr float DS3D_DEFAULTMAXDISTANCE = 1000000000.0f;

struct D3DVECTOR {
    float x, y, z;
};

// Capabilities of the sound object (96 bytes).
struct DSCAPS {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwMinSecondarySampleRate;
    uint32_t dwMaxSecondarySampleRate;
    uint32_t dwPrimaryBuffers;
    uint32_t dwMaxHwMixingAllBuffers;
    uint32_t dwMaxHwMixingStaticBuffers;
    uint32_t dwMaxHwMixingStreamingBuffers;
    uint32_t dwFreeHwMixingAllBuffers;
    uint32_t dwFreeHwMixingStaticBuffers;
    uint32_t dwFreeHwMixingStreamingBuffers;
    uint32_t dwMaxHw3DAllBuffers;
    uint32_t dwMaxHw3DStaticBuffers;
    uint32_t dwMaxHw3DStreamingBuffers;
    uint32_t dwFreeHw3DAllBuffers;
    uint32_t dwFreeHw3DStaticBuffers;
    uint32_t dwFreeHw3DStreamingBuffers;
    uint32_t dwTotalHwMemBytes;
    uint32_t dwFreeHwMemBytes;
    uint32_t dwMaxContigFreeHwMemBytes;
    uint32_t dwUnlockTransferRateHwBuffers;
    uint32_t dwPlayCpuOverheadSwBuffers;
    uint32_t dwReserved1;
    uint32_t dwReserved2;
};
static_assert(sizeof(DSCAPS) == 96);

// A buffer description. dwSize is sizeof(DSBUFFERDESC) (the native layout holds a pointer).
struct DSBUFFERDESC {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwBufferBytes; // 0 for the primary buffer
    uint32_t dwReserved;
    WAVEFORMATEX* lpwfxFormat; // null for the primary buffer
    GUID guid3DAlgorithm;
};

// The listener's parameters (64 bytes).
struct DS3DLISTENER {
    uint32_t dwSize;
    D3DVECTOR vPosition;
    D3DVECTOR vVelocity;
    D3DVECTOR vOrientFront;
    D3DVECTOR vOrientTop;
    float flDistanceFactor;
    float flRolloffFactor;
    float flDopplerFactor;
};
static_assert(sizeof(DS3DLISTENER) == 64);

// A 3D buffer's parameters (64 bytes).
struct DS3DBUFFER {
    uint32_t dwSize;
    D3DVECTOR vPosition;
    D3DVECTOR vVelocity;
    uint32_t dwInsideConeAngle;
    uint32_t dwOutsideConeAngle;
    D3DVECTOR vConeOrientation;
    int32_t lConeOutsideVolume;
    float flMinDistance;
    float flMaxDistance;
    uint32_t dwMode;
};
static_assert(sizeof(DS3DBUFFER) == 64);

struct IDirectSoundBuffer;

struct IDirectSound : IUnknown {
    // A secondary buffer (or the primary with DSBCAPS_PRIMARYBUFFER, one object shared by every
    // caller). DSERR_INVALIDPARAM, DSERR_BADFORMAT, DSERR_ALLOCATED when hardware mixing is
    // asked and none is free, DSERR_NOAGGREGATION, DSERR_OUTOFMEMORY.
    virtual int32_t CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out,
                                      IUnknown* outer) = 0;
    // Fills caps (dwSize must be 96). DSERR_INVALIDPARAM.
    virtual int32_t GetCaps(DSCAPS* caps) = 0;
    // A second buffer over the same samples, with its own cursor, volume, pan and frequency.
    virtual int32_t DuplicateSoundBuffer(IDirectSoundBuffer* original,
                                         IDirectSoundBuffer** out) = 0;
    // Stores the level (1 normal .. 4 write-primary); the window is opaque. DSERR_INVALIDPARAM.
    virtual int32_t SetCooperativeLevel(void* window, uint32_t level) = 0;
};

struct IDirectSoundBuffer : IUnknown {
    // Play cursor and write cursor in bytes. DSERR_INVALIDPARAM.
    virtual int32_t GetCurrentPosition(uint32_t* play, uint32_t* write) = 0;
    // Copies up to `size` bytes of the buffer's WAVEFORMATEX; `written` gets the count.
    virtual int32_t GetFormat(WAVEFORMATEX* format, uint32_t size, uint32_t* written) = 0;
    virtual int32_t GetVolume(int32_t* volume) = 0;
    virtual int32_t GetPan(int32_t* pan) = 0;
    virtual int32_t GetFrequency(uint32_t* frequency) = 0;
    // DSBSTATUS_* bits.
    virtual int32_t GetStatus(uint32_t* status) = 0;
    // Hands out a staging area for `bytes` from `offset` (two parts where it wraps), copied
    // into the buffer at Unlock. DSERR_BUFFERLOST while lost, DSERR_INVALIDCALL when locked.
    virtual int32_t Lock(uint32_t offset, uint32_t bytes, void** part1, uint32_t* bytes1,
                         void** part2, uint32_t* bytes2, uint32_t flags) = 0;
    // Starts (or keeps) playing; DSBPLAY_LOOPING loops, other flags are accepted.
    virtual int32_t Play(uint32_t reserved, uint32_t priority, uint32_t flags) = 0;
    // Moves the play cursor (bytes, below the size). DSERR_INVALIDPARAM.
    virtual int32_t SetCurrentPosition(uint32_t position) = 0;
    // Primary buffer only: the output format. DSERR_BADFORMAT, DSERR_PRIOLEVELNEEDED.
    virtual int32_t SetFormat(const WAVEFORMATEX* format) = 0;
    // -10000..0. DSERR_CONTROLUNAVAIL without DSBCAPS_CTRLVOLUME, DSERR_INVALIDPARAM.
    virtual int32_t SetVolume(int32_t volume) = 0;
    // -10000..10000. DSERR_CONTROLUNAVAIL without DSBCAPS_CTRLPAN, DSERR_INVALIDPARAM.
    virtual int32_t SetPan(int32_t pan) = 0;
    // 0 = the buffer's own rate; other values clamped to 100..100000.
    virtual int32_t SetFrequency(uint32_t frequency) = 0;
    // Stops; the play cursor stays where it is.
    virtual int32_t Stop() = 0;
    // Copies the staging parts of the last Lock into the buffer. DSERR_INVALIDCALL.
    virtual int32_t Unlock(void* part1, uint32_t bytes1, void* part2, uint32_t bytes2) = 0;
    // Gives a lost buffer its memory back (silence); 0 also for a buffer that is not lost.
    virtual int32_t Restore() = 0;
};

struct IDirectSound3DListener : IUnknown {
    virtual int32_t GetAllParameters(DS3DLISTENER* out) = 0;
    virtual int32_t SetPosition(float x, float y, float z, uint32_t apply) = 0;
    // Front and top vectors.
    virtual int32_t SetOrientation(float fx, float fy, float fz, float tx, float ty, float tz,
                                   uint32_t apply) = 0;
    virtual int32_t SetVelocity(float x, float y, float z, uint32_t apply) = 0;
    virtual int32_t SetRolloffFactor(float factor, uint32_t apply) = 0;
    virtual int32_t SetDopplerFactor(float factor, uint32_t apply) = 0;
    virtual int32_t SetDistanceFactor(float factor, uint32_t apply) = 0;
    // Every deferred listener and 3D-buffer setting of this sound object takes effect.
    virtual int32_t CommitDeferredSettings() = 0;
};

struct IDirectSound3DBuffer : IUnknown {
    virtual int32_t GetAllParameters(DS3DBUFFER* out) = 0;
    virtual int32_t SetPosition(float x, float y, float z, uint32_t apply) = 0;
    virtual int32_t SetVelocity(float x, float y, float z, uint32_t apply) = 0;
    virtual int32_t SetConeOrientation(float x, float y, float z, uint32_t apply) = 0;
    virtual int32_t SetConeAngles(uint32_t inside, uint32_t outside, uint32_t apply) = 0;
    virtual int32_t SetConeOutsideVolume(int32_t volume, uint32_t apply) = 0;
    virtual int32_t SetMinDistance(float distance, uint32_t apply) = 0;
    virtual int32_t SetMaxDistance(float distance, uint32_t apply) = 0;
};

// Opens the default output (the device argument must be null) under the current backend
// (platform/audio/audio_backend.h). DSERR_NODRIVER when no audio device opens,
// DSERR_NOAGGREGATION for an outer object.
int32_t DirectSoundCreate(const GUID* device, IDirectSound** out, IUnknown* outer);
