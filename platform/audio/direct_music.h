// The DirectMusic stand-in's interfaces: a performance, a loader, segments and the synthesizer
// port with its property interface. Segments are standard MIDI files (format 0 or 1); the
// performance synthesises them with FluidSynth into a streaming buffer of the DirectSound
// stand-in, refilled on the service tick, so music mixes with the effects. Times: reference
// time in 100 ns units counted from the performance's start as heard at the buffer's play
// cursor; music time in the MIDI file's own ticks, counted from the last PlaySegment.
#pragma once

#include "platform/audio/dsound.h"
#include "platform/com/unknown.h"

#include <cstdint>

// Classes (made with DirectMusicCreateInstance) and interfaces.
inline constexpr GUID CLSID_DirectMusicPerformance =
    om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B01");
inline constexpr GUID CLSID_DirectMusicLoader = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B02");
inline constexpr GUID CLSID_DirectMusicSegment = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B03");
inline constexpr GUID IID_IDirectMusicPerformance = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B11");
inline constexpr GUID IID_IDirectMusicLoader = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B12");
inline constexpr GUID IID_IDirectMusicSegment = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B13");
inline constexpr GUID IID_IDirectMusicPort = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B14");
inline constexpr GUID IID_IKsControl = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B15");
// Every object type, for the loader's search directory.
inline constexpr GUID GUID_DirectMusicAllTypes = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B20");

// Global parameters of the performance.
inline constexpr GUID GUID_PerfMasterTempo = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B30");
inline constexpr GUID GUID_PerfMasterVolume = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B31");
inline constexpr GUID GUID_PerfMasterGrooveLevel = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B32");
inline constexpr GUID GUID_PerfAutoDownload = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B33");

// Port properties.
inline constexpr GUID GUID_DMUS_PROP_Effects = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B40");
inline constexpr GUID GUID_DMUS_PROP_WavesReverb = om_guid("6B4C2E10-5A3F-4C71-9E0B-3F1D8A2C5B41");
inline constexpr uint32_t DMUS_EFFECT_REVERB = 0x1;

// Results.
inline constexpr int32_t DMUS_S_OK = 0;
inline constexpr int32_t DMUS_E_FAIL = int32_t(0x80004005u);
inline constexpr int32_t DMUS_E_INVALIDARG = int32_t(0x80070057u);
inline constexpr int32_t DMUS_E_NOINTERFACE = int32_t(0x80004002u);
inline constexpr int32_t DMUS_E_NOT_INIT = int32_t(0x88781181u);
inline constexpr int32_t DMUS_E_NO_SOUNDFONT = int32_t(0x88781182u);
inline constexpr int32_t DMUS_E_LOADER_FAILEDOPEN = int32_t(0x88781183u);
inline constexpr int32_t DMUS_E_UNSUPPORTED_STREAM = int32_t(0x88781184u);
inline constexpr int32_t DMUS_E_NOT_FOUND = int32_t(0x88781185u);
inline constexpr int32_t DMUS_E_ALREADY_INITED = int32_t(0x88781186u);

// PlaySegment flags: the start time is a reference time.
inline constexpr uint32_t DMUS_SEGF_REFTIME = 0x40;

using REFERENCE_TIME = int64_t; // 100 ns units
using MUSIC_TIME = int32_t;     // MIDI ticks

// The loader's object description: class and file name.
inline constexpr uint32_t DMUS_OBJ_CLASS = 0x2;
inline constexpr uint32_t DMUS_OBJ_FILENAME = 0x10;
struct DMUS_OBJECTDESC {
    uint32_t dwSize;
    uint32_t dwValidData;
    GUID guidClass;
    wchar_t wszFileName[260];
};

// The reverb record of GUID_DMUS_PROP_WavesReverb.
struct DMUS_WAVES_REVERB_PARAMS {
    float fInGain;          // dB
    float fReverbMix;       // dB
    float fReverbTime;      // ms
    float fHighFreqRTRatio; // 0..1
};

// A property request.
struct KSPROPERTY {
    GUID Set;
    uint32_t Id;
    uint32_t Flags;
};
inline constexpr uint32_t KSPROPERTY_TYPE_GET = 0x1;
inline constexpr uint32_t KSPROPERTY_TYPE_SET = 0x2;

struct IDirectMusicSegment : IUnknown {
    // Plays this many more times after the first.
    virtual int32_t SetRepeats(uint32_t repeats) = 0;
    virtual int32_t GetRepeats(uint32_t* repeats) = 0;
    // Where the next play starts, in music time.
    virtual int32_t SetStartPoint(MUSIC_TIME start) = 0;
    virtual int32_t GetStartPoint(MUSIC_TIME* start) = 0;
};

struct IDirectMusicPort : IUnknown {};

struct IKsControl : IUnknown {
    // Reads (TYPE_GET) or writes (TYPE_SET) a property of the port. DMUS_E_NOT_FOUND for an
    // unknown property, DMUS_E_INVALIDARG for a short record.
    virtual int32_t KsProperty(const KSPROPERTY* property, uint32_t property_size, void* data,
                               uint32_t data_size, uint32_t* returned) = 0;
};

struct IDirectMusicPerformance : IUnknown {
    // Opens the synthesizer on `direct_sound` (null: a DirectSound object of its own). The
    // soundfont is CORVEL_SOUNDFONT's path when set, else the General MIDI set installed with
    // the system; none found: DMUS_E_NO_SOUNDFONT. `music` (out) is not provided (null).
    virtual int32_t Init(IUnknown** music, IDirectSound* direct_sound, void* window) = 0;
    // Null adds the default synthesizer port.
    virtual int32_t AddPort(IDirectMusicPort* port) = 0;
    // Channel block `block` (16 performance channels) goes to `group` of the port.
    virtual int32_t AssignPChannelBlock(uint32_t block, IDirectMusicPort* port, uint32_t group) = 0;
    // The port (one reference) that plays a performance channel.
    virtual int32_t PChannelInfo(uint32_t pchannel, IDirectMusicPort** port, uint32_t* group,
                                 uint32_t* mchannel) = 0;
    virtual int32_t SetGlobalParam(const GUID& type, const void* data, uint32_t size) = 0;
    virtual int32_t GetGlobalParam(const GUID& type, void* data, uint32_t size) = 0;
    // Plays the segment now from its start point (the only segment: it replaces one playing).
    virtual int32_t PlaySegment(IDirectMusicSegment* segment, uint32_t flags, REFERENCE_TIME start,
                                IUnknown** state) = 0;
    // Null segment and state: stops everything playing at once.
    virtual int32_t Stop(IDirectMusicSegment* segment, IUnknown* state, MUSIC_TIME time,
                         uint32_t flags) = 0;
    virtual int32_t GetTime(REFERENCE_TIME* now, MUSIC_TIME* music) = 0;
    // The music time that was playing at a reference time since the last PlaySegment.
    virtual int32_t ReferenceToMusicTime(REFERENCE_TIME time, MUSIC_TIME* music) = 0;
    // Stops and lets go of the synthesizer and the buffer.
    virtual int32_t CloseDown() = 0;
};

struct IDirectMusicLoader : IUnknown {
    // The directory (portable path) in which files of `class_id` (or of every type) are found.
    virtual int32_t SetSearchDirectory(const GUID& class_id, const wchar_t* directory,
                                       int32_t clear) = 0;
    // Loads a segment from a standard MIDI file of format 0 or 1. DMUS_E_LOADER_FAILEDOPEN,
    // DMUS_E_UNSUPPORTED_STREAM for anything else.
    virtual int32_t GetObject(const DMUS_OBJECTDESC* desc, const GUID& iid, void** out) = 0;
};

// The stand-in's in-process creation: the performance and the loader.
int32_t DirectMusicCreateInstance(const GUID& clsid, const GUID& iid, void** out);

namespace platform::audio {
// The General MIDI soundfont used when CORVEL_SOUNDFONT names none.
inline constexpr char default_soundfont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";
// Rendering format of the performance: 16-bit stereo at 22050 Hz.
inline constexpr uint32_t music_rate = 22050;
} // namespace platform::audio
