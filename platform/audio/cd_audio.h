// The CD-audio stand-in: an MCI-like "cdaudio" device answering from track files in
// <program directory>/cd/, the first mixer device with its CD line, and the 200 ms poll tick.
// trackNN.wav (NN from 01) are audio tracks in order; any other trackNN.* is a data track; no
// cd/ folder means no drive. Track audio plays through a DirectSound buffer on the output the
// caller hands in, scaled by the CD line's volume.
#pragma once

#include "platform/audio/dsound.h"
#include "platform/audio/tick_source.h"

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace platform::audio::mci {

// Errors (0 is success).
inline constexpr uint32_t MCIERR_INVALID_DEVICE_ID = 257;
inline constexpr uint32_t MCIERR_UNRECOGNIZED_COMMAND = 261;
inline constexpr uint32_t MCIERR_HARDWARE = 262;
inline constexpr uint32_t MCIERR_CANNOT_LOAD_DRIVER = 266;
inline constexpr uint32_t MCIERR_DEVICE_NOT_READY = 276;
inline constexpr uint32_t MCIERR_OUTOFRANGE = 282;
inline constexpr uint32_t MCIERR_DEVICE_IN_USE = 291;

// Drive modes.
inline constexpr uint32_t MCI_MODE_NOT_READY = 524;
inline constexpr uint32_t MCI_MODE_STOP = 525;
inline constexpr uint32_t MCI_MODE_PLAY = 526;
inline constexpr uint32_t MCI_MODE_OPEN = 529;

// Status items.
inline constexpr uint32_t MCI_STATUS_LENGTH = 1;   // the disc's, or a track's
inline constexpr uint32_t MCI_STATUS_POSITION = 2; // the current one, or a track's start
inline constexpr uint32_t MCI_STATUS_NUMBER_OF_TRACKS = 3;
inline constexpr uint32_t MCI_STATUS_MODE = 4;
inline constexpr uint32_t MCI_STATUS_CURRENT_TRACK = 8;
inline constexpr uint32_t MCI_CDA_STATUS_TYPE_TRACK = 0x4001;
inline constexpr uint32_t MCI_CDA_TRACK_AUDIO = 1088;
inline constexpr uint32_t MCI_CDA_TRACK_OTHER = 1089;

// Time formats: tmsf packs track (1-based), minute, second and frame (75 a second) into the
// bytes from low to high; a track length in tmsf is msf (minute, second, frame). Milliseconds
// count from the start of the disc.
inline constexpr uint32_t CD_FRAMES_PER_SECOND = 75;
constexpr uint32_t make_tmsf(uint32_t track, uint32_t minute, uint32_t second, uint32_t frame) {
    return track | (minute << 8) | (second << 16) | (frame << 24);
}
constexpr uint32_t tmsf_track(uint32_t tmsf) {
    return tmsf & 0xFF;
}
// The minute, second and frame of a tmsf (or the msf of a length) as milliseconds.
uint32_t tmsf_milliseconds(uint32_t tmsf);
uint32_t msf_milliseconds(uint32_t msf);

using DeviceId = uint32_t;

// Opens the device by its type name ("cdaudio" only). MCIERR_CANNOT_LOAD_DRIVER without a
// drive, MCIERR_DEVICE_IN_USE, MCIERR_HARDWARE.
uint32_t open(const char* type, DeviceId* id);
// The string commands: "set cdaudio time format tmsf", "set cdaudio time format
// milliseconds", "stop cdaudio", "close cdaudio". Every string is kept in the command log.
uint32_t send_string(const char* command);
// `track` (1-based) for the per-track items, else 0.
uint32_t status(DeviceId id, uint32_t item, uint32_t track, uint32_t* value);
// From (or the current position when null) to (or the end of the disc when null), in the
// current time format. MCIERR_OUTOFRANGE, MCIERR_DEVICE_NOT_READY (tray open, not ready).
uint32_t play(DeviceId id, const uint32_t* from, const uint32_t* to);
uint32_t pause(DeviceId id);
// Stops and moves to the position.
uint32_t seek(DeviceId id, uint32_t to);
uint32_t stop(DeviceId id);
uint32_t set_door(DeviceId id, bool open);
uint32_t close(DeviceId id);
// The error's text (cut to the buffer). false for an unknown number.
bool error_text(uint32_t error, char* buffer, uint32_t size);

// The DirectSound object track audio plays on (a reference is kept; null lets it go).
void set_output(IDirectSound* output);
// The poll timer's ticks: every 200 ms on the real clock while held.
inline constexpr uint32_t poll_tick_ms = 200;
TickSource& poll_ticks();

// Test hooks.
std::vector<std::string> command_log();
void clear_command_log();
void set_tray_open(bool open);
void set_not_ready(bool not_ready);
void set_hardware_error(bool failing);
void set_in_use(bool in_use);
// Forgets the drive (closed, tray shut, hooks cleared, output released).
void reset();

// Where an audio track's samples are: the PCM format and the data chunk of a WAV file.
struct TrackLayout {
    WAVEFORMATEX format{};
    uint64_t data_offset = 0;
    uint32_t data_bytes = 0; // whole frames, within the file
    uint32_t length_ms = 0;
};
// Reads the layout of the track file in `in` (read from its start); false for anything but a
// PCM WAV file whose block alignment matches its channels and bits.
bool read_track_layout(std::istream& in, TrackLayout& layout);

} // namespace platform::audio::mci

namespace platform::audio::mixer {

inline constexpr uint32_t MMSYSERR_BADDEVICEID = 2;
inline constexpr uint32_t MIXERR_INVALLINE = 1024;
inline constexpr uint32_t MIXERR_INVALCONTROL = 1025;

// Source line component types.
inline constexpr uint32_t COMPONENTTYPE_SRC_DIGITAL = 0x1001;
inline constexpr uint32_t COMPONENTTYPE_SRC_LINE = 0x1002;
inline constexpr uint32_t COMPONENTTYPE_SRC_COMPACTDISC = 0x1005;
inline constexpr uint32_t COMPONENTTYPE_SRC_AUXILIARY = 0x1009;
inline constexpr uint32_t COMPONENTTYPE_SRC_ANALOG = 0x100A;
inline constexpr uint32_t CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr uint32_t VOLUME_MAX = 65535;

// The first device (0) is the only one; it has one source line, the CD line, with a
// two-channel volume control 0..65535.
uint32_t open(uint32_t device, uint32_t* handle);
uint32_t line_by_component(uint32_t handle, uint32_t component_type, uint32_t* line);
uint32_t control_by_type(uint32_t handle, uint32_t line, uint32_t control_type, uint32_t* control,
                         uint32_t* channels);
uint32_t get_values(uint32_t handle, uint32_t control, uint32_t* values, uint32_t channels);
uint32_t set_values(uint32_t handle, uint32_t control, const uint32_t* values, uint32_t channels);
uint32_t close(uint32_t handle);

// Test hooks: the user's CD line volume (both channels).
void set_cd_line_volume(uint32_t value);
uint32_t cd_line_volume();

} // namespace platform::audio::mixer
