// The CD-audio stand-in: the drive is the track files of <program directory>/cd/, read when
// the device opens; a playing track is one DirectSound buffer holding the track's samples on
// the output handed in, so the play position is the buffer's cursor. Reaching the end of a
// track is noticed by the next command (the player polls every 200 ms), which then starts the
// next track of the play range.
#include "platform/audio/cd_audio.h"

#include "platform/paths.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

namespace platform::audio {

namespace {

constexpr mci::DeviceId cd_device_id = 1;
// A data track's length counts as CD audio of its size (44.1 kHz, 16-bit stereo).
constexpr uint64_t cd_bytes_per_second = 44100 * 4;

struct Track {
    std::string path;
    bool audio = false;
    WAVEFORMATEX format{};
    uint64_t data_offset = 0;
    uint32_t data_bytes = 0;
    uint32_t length_ms = 0;
    uint32_t start_ms = 0; // from the start of the disc
};

uint32_t le16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t le32(const uint8_t* p) {
    return le16(p) | le16(p + 2) << 16;
}

// The PCM format and data chunk of a track's WAV file; false for anything else.
bool read_wav_layout(const std::string& path, Track& track) {
    std::ifstream in(path, std::ios::binary);
    mci::TrackLayout layout;
    if (!mci::read_track_layout(in, layout)) return false;
    track.format = layout.format;
    track.data_offset = layout.data_offset;
    track.data_bytes = layout.data_bytes;
    track.length_ms = layout.length_ms;
    return true;
}

// The tracks of <program directory>/cd/ in number order; false when there is no folder.
bool scan_tracks(std::vector<Track>& tracks) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path folder = fs::path(program_dir()) / "cd";
    if (!fs::is_directory(folder, error)) return false;
    std::vector<std::pair<int, Track>> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        std::string lower = name;
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (lower.size() < 8 || lower.compare(0, 5, "track") != 0 || !std::isdigit(lower[5]) ||
            !std::isdigit(lower[6]) || lower[7] != '.')
            continue;
        int number = (lower[5] - '0') * 10 + (lower[6] - '0');
        if (number == 0) continue;
        Track track;
        track.path = entry.path().string();
        if (lower.substr(8) == "wav") {
            track.audio = read_wav_layout(track.path, track);
        }
        if (!track.audio) {
            uint64_t size = entry.file_size(error);
            track.length_ms = uint32_t(size * 1000 / cd_bytes_per_second);
        }
        found.emplace_back(number, std::move(track));
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    tracks.clear();
    uint32_t start = 0;
    for (auto& [number, track] : found) {
        track.start_ms = start;
        start += track.length_ms;
        tracks.push_back(std::move(track));
    }
    return true;
}

int32_t hundredths_db(uint32_t line_value) {
    if (line_value == 0) return DSBVOLUME_MIN;
    double db = 2000.0 * std::log10(double(line_value) / mixer::VOLUME_MAX);
    return std::clamp(int32_t(db), DSBVOLUME_MIN, DSBVOLUME_MAX);
}

class Drive {
public:
    std::recursive_mutex mutex;
    std::vector<std::string> log;
    bool open = false;
    bool tray_open = false;
    bool not_ready = false;
    bool hardware_error = false;
    bool in_use = false;
    bool milliseconds = false;
    uint32_t line_value = mixer::VOLUME_MAX / 2;
    IDirectSound* output = nullptr;
    std::vector<Track> tracks;

    // Playing: a buffer of `track` runs; stopped with a buffer: paused at its cursor.
    bool playing = false;
    size_t track = 0;
    uint32_t offset_ms = 0; // the position without a buffer
    uint32_t end_ms = 0;    // the end of the play range, from the start of the disc
    IDirectSoundBuffer* buffer = nullptr;

    uint32_t disc_ms() const {
        return tracks.empty() ? 0 : tracks.back().start_ms + tracks.back().length_ms;
    }

    void drop_buffer() {
        if (buffer) {
            buffer->Stop();
            buffer->Release();
        }
        buffer = nullptr;
    }

    // The position from the start of the disc.
    uint32_t position_ms() {
        if (tracks.empty()) return 0;
        const Track& t = tracks[track];
        if (!buffer) return t.start_ms + offset_ms;
        uint32_t play = 0, write = 0;
        buffer->GetCurrentPosition(&play, &write);
        uint64_t frames = play / t.format.block_align;
        return t.start_ms + uint32_t(frames * 1000 / t.format.samples_per_second);
    }

    // Moves to a position (stopped, no buffer).
    void move_to(uint32_t absolute_ms) {
        drop_buffer();
        playing = false;
        track = 0;
        while (track + 1 < tracks.size() && absolute_ms >= tracks[track + 1].start_ms) ++track;
        offset_ms =
            tracks.empty() ? 0 : absolute_ms - std::min(absolute_ms, tracks[track].start_ms);
    }

    // A buffer of the current track from offset_ms; MCI error or 0.
    uint32_t start_buffer() {
        const Track& t = tracks[track];
        if (!t.audio) return mci::MCIERR_HARDWARE;
        if (!output) return mci::MCIERR_DEVICE_NOT_READY;
        std::vector<char> samples(t.data_bytes);
        {
            std::ifstream in(t.path, std::ios::binary);
            in.seekg(std::streamoff(t.data_offset));
            if (!in.read(samples.data(), std::streamsize(samples.size())))
                return mci::MCIERR_HARDWARE;
        }
        WAVEFORMATEX format = t.format;
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
        desc.dwBufferBytes = std::max<uint32_t>(t.data_bytes, t.format.block_align);
        desc.lpwfxFormat = &format;
        IDirectSoundBuffer* made = nullptr;
        if (output->CreateSoundBuffer(&desc, &made, nullptr) < 0) return mci::MCIERR_HARDWARE;
        void *p1 = nullptr, *p2 = nullptr;
        uint32_t b1 = 0, b2 = 0;
        if (made->Lock(0, desc.dwBufferBytes, &p1, &b1, &p2, &b2, DSBLOCK_ENTIREBUFFER) >= 0) {
            std::memset(p1, 0, b1);
            std::memcpy(p1, samples.data(), std::min<size_t>(b1, samples.size()));
            made->Unlock(p1, b1, p2, b2);
        }
        uint64_t frame = uint64_t(offset_ms) * t.format.samples_per_second / 1000;
        made->SetCurrentPosition(
            uint32_t(std::min<uint64_t>(frame * t.format.block_align, desc.dwBufferBytes - 1)) /
            t.format.block_align * t.format.block_align);
        made->SetVolume(hundredths_db(line_value));
        drop_buffer();
        buffer = made;
        buffer->Play(0, 0, 0);
        playing = true;
        return 0;
    }

    // Follows the play range: a finished track hands on to the next audio track of the range,
    // or the drive stops at the range's end.
    void refresh() {
        if (!playing || !buffer) return;
        uint32_t status = 0;
        buffer->GetStatus(&status);
        bool ended = !(status & DSBSTATUS_PLAYING);
        if (!ended && position_ms() < end_ms) return;
        size_t next = track + 1;
        // Data tracks inside the range are passed over.
        while (next < tracks.size() && tracks[next].start_ms < end_ms && !tracks[next].audio)
            ++next;
        if (ended && next < tracks.size() && tracks[next].start_ms < end_ms) {
            track = next;
            offset_ms = 0;
            if (start_buffer() == 0) return;
        }
        move_to(std::min(end_ms, disc_ms()));
    }

    // Milliseconds from the start of the disc of a position in the current format.
    bool to_absolute(uint32_t value, uint32_t* out) {
        if (milliseconds) {
            *out = value;
            return value <= disc_ms();
        }
        uint32_t number = mci::tmsf_track(value);
        if (number == 0 || number > tracks.size()) return false;
        *out = tracks[number - 1].start_ms + mci::tmsf_milliseconds(value);
        return true;
    }

    uint32_t from_absolute(uint32_t absolute) {
        if (milliseconds) return absolute;
        size_t t = 0;
        while (t + 1 < tracks.size() && absolute >= tracks[t + 1].start_ms) ++t;
        uint32_t in_track = tracks.empty() ? 0 : absolute - tracks[t].start_ms;
        uint32_t frames = uint32_t(uint64_t(in_track) * mci::CD_FRAMES_PER_SECOND / 1000);
        return mci::make_tmsf(uint32_t(t + 1), frames / (60 * 75), frames / 75 % 60, frames % 75);
    }

    uint32_t length_value(uint32_t ms) {
        if (milliseconds) return ms;
        uint32_t frames = uint32_t(uint64_t(ms) * mci::CD_FRAMES_PER_SECOND / 1000);
        return (frames / (60 * 75)) | (frames / 75 % 60) << 8 | (frames % 75) << 16;
    }

    // The checks every command on an open device makes.
    uint32_t usable(mci::DeviceId id) {
        if (!open || id != cd_device_id) return mci::MCIERR_INVALID_DEVICE_ID;
        if (hardware_error) return mci::MCIERR_HARDWARE;
        refresh();
        return 0;
    }
};

Drive& drive() {
    static Drive* d = new Drive; // lives to the end: a timer thread may still ask
    return *d;
}

} // namespace

namespace mci {

uint32_t tmsf_milliseconds(uint32_t tmsf) {
    return msf_milliseconds(tmsf >> 8);
}

uint32_t msf_milliseconds(uint32_t msf) {
    uint32_t minute = msf & 0xFF, second = (msf >> 8) & 0xFF, frame = (msf >> 16) & 0xFF;
    return (minute * 60 + second) * 1000 + frame * 1000 / CD_FRAMES_PER_SECOND;
}

uint32_t open(const char* type, DeviceId* id) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (!type || std::strcmp(type, "cdaudio") != 0) return MCIERR_CANNOT_LOAD_DRIVER;
    if (d.hardware_error) return MCIERR_HARDWARE;
    if (d.in_use) return MCIERR_DEVICE_IN_USE;
    if (!scan_tracks(d.tracks)) return MCIERR_CANNOT_LOAD_DRIVER;
    d.open = true;
    d.milliseconds = false;
    d.move_to(0);
    *id = cd_device_id;
    return 0;
}

uint32_t send_string(const char* command) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    std::string text = command ? command : "";
    d.log.push_back(text);
    if (!d.open) return MCIERR_INVALID_DEVICE_ID;
    if (text == "close cdaudio") return close(cd_device_id);
    if (uint32_t e = d.usable(cd_device_id)) return e;
    if (text == "set cdaudio time format tmsf") {
        d.milliseconds = false;
    } else if (text == "set cdaudio time format milliseconds") {
        d.milliseconds = true;
    } else if (text == "stop cdaudio") {
        return stop(cd_device_id);
    } else {
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
    return 0;
}

uint32_t status(DeviceId id, uint32_t item, uint32_t track, uint32_t* value) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (uint32_t e = d.usable(id)) return e;
    if (track > d.tracks.size()) return MCIERR_OUTOFRANGE;
    const Track* t = track ? &d.tracks[track - 1] : nullptr;
    switch (item) {
    case MCI_STATUS_LENGTH: *value = d.length_value(t ? t->length_ms : d.disc_ms()); return 0;
    case MCI_STATUS_POSITION:
        *value = d.from_absolute(t ? t->start_ms : d.position_ms());
        if (t && !d.milliseconds) *value = make_tmsf(track, 0, 0, 0);
        return 0;
    case MCI_STATUS_NUMBER_OF_TRACKS: *value = uint32_t(d.tracks.size()); return 0;
    case MCI_STATUS_MODE:
        *value = d.tray_open   ? MCI_MODE_OPEN
                 : d.not_ready ? MCI_MODE_NOT_READY
                 : d.playing   ? MCI_MODE_PLAY
                               : MCI_MODE_STOP;
        return 0;
    case MCI_STATUS_CURRENT_TRACK: *value = uint32_t(d.track + 1); return 0;
    case MCI_CDA_STATUS_TYPE_TRACK:
        if (!t) return MCIERR_OUTOFRANGE;
        *value = t->audio ? MCI_CDA_TRACK_AUDIO : MCI_CDA_TRACK_OTHER;
        return 0;
    default: return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

uint32_t play(DeviceId id, const uint32_t* from, const uint32_t* to) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (uint32_t e = d.usable(id)) return e;
    if (d.tray_open || d.not_ready || d.tracks.empty()) return MCIERR_DEVICE_NOT_READY;
    uint32_t start = 0, end = d.disc_ms();
    if (from && !d.to_absolute(*from, &start)) return MCIERR_OUTOFRANGE;
    if (to && !d.to_absolute(*to, &end)) return MCIERR_OUTOFRANGE;
    d.end_ms = end;
    if (!from && d.buffer) {
        // Resumes where the pause left the buffer.
        d.buffer->SetVolume(hundredths_db(d.line_value));
        d.buffer->Play(0, 0, 0);
        d.playing = true;
        return 0;
    }
    if (from) d.move_to(start);
    if (uint32_t e = d.start_buffer()) {
        d.playing = false;
        return e;
    }
    return 0;
}

uint32_t pause(DeviceId id) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (uint32_t e = d.usable(id)) return e;
    if (d.buffer) d.buffer->Stop();
    d.playing = false;
    return 0;
}

uint32_t seek(DeviceId id, uint32_t to) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (uint32_t e = d.usable(id)) return e;
    if (d.tray_open || d.not_ready) return MCIERR_DEVICE_NOT_READY;
    uint32_t target = 0;
    if (!d.to_absolute(to, &target)) return MCIERR_OUTOFRANGE;
    d.move_to(target);
    return 0;
}

uint32_t stop(DeviceId id) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (uint32_t e = d.usable(id)) return e;
    d.move_to(d.position_ms());
    return 0;
}

uint32_t set_door(DeviceId id, bool open_door) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (uint32_t e = d.usable(id)) return e;
    if (open_door) d.move_to(0);
    d.tray_open = open_door;
    return 0;
}

uint32_t close(DeviceId id) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (!d.open || id != cd_device_id) return MCIERR_INVALID_DEVICE_ID;
    d.drop_buffer();
    d.playing = false;
    d.open = false;
    return 0;
}

bool read_track_layout(std::istream& in, TrackLayout& layout) {
    uint8_t header[12];
    if (!in.read(reinterpret_cast<char*>(header), 12)) return false;
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    bool have_format = false;
    uint8_t chunk[8];
    while (in.read(reinterpret_cast<char*>(chunk), 8)) {
        uint32_t size = le32(chunk + 4);
        uint64_t body = uint64_t(in.tellg());
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            uint8_t f[16];
            if (!in.read(reinterpret_cast<char*>(f), 16)) return false;
            layout.format.format_tag = uint16_t(le16(f));
            layout.format.channels = uint16_t(le16(f + 2));
            layout.format.samples_per_second = le32(f + 4);
            layout.format.average_bytes_per_second = le32(f + 8);
            layout.format.block_align = uint16_t(le16(f + 12));
            layout.format.bits_per_sample = uint16_t(le16(f + 14));
            have_format = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && have_format) {
            in.seekg(0, std::ios::end);
            uint64_t end = uint64_t(in.tellg());
            layout.data_offset = body;
            layout.data_bytes = uint32_t(std::min<uint64_t>(size, end - body));
            const WAVEFORMATEX& f = layout.format;
            if (f.format_tag != WAVE_FORMAT_PCM || f.block_align == 0 ||
                f.samples_per_second == 0 ||
                f.block_align != uint32_t(f.channels) * f.bits_per_sample / 8)
                return false;
            layout.data_bytes -= layout.data_bytes % f.block_align;
            layout.length_ms =
                uint32_t(uint64_t(layout.data_bytes / f.block_align) * 1000 / f.samples_per_second);
            return true;
        }
        in.seekg(std::streamoff(body + size + (size & 1)));
    }
    return false;
}

bool error_text(uint32_t error, char* buffer, uint32_t size) {
    const char* text = nullptr;
    switch (error) {
    case MCIERR_INVALID_DEVICE_ID: text = "Invalid MCI device ID."; break;
    case MCIERR_UNRECOGNIZED_COMMAND: text = "Unknown command."; break;
    case MCIERR_HARDWARE: text = "There is a problem with your media device."; break;
    case MCIERR_CANNOT_LOAD_DRIVER: text = "The specified device driver cannot be loaded."; break;
    case MCIERR_DEVICE_NOT_READY: text = "The device is not ready."; break;
    case MCIERR_OUTOFRANGE: text = "The specified parameter is out of range."; break;
    case MCIERR_DEVICE_IN_USE: text = "The device is in use by another application."; break;
    default: return false;
    }
    if (buffer && size) std::snprintf(buffer, size, "%s", text);
    return true;
}

void set_output(IDirectSound* output) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (output) output->AddRef();
    if (d.output) {
        d.drop_buffer();
        d.playing = false;
        d.output->Release();
    }
    d.output = output;
}

TickSource& poll_ticks() {
    static TickSource* source = new TickSource(poll_tick_ms);
    return *source;
}

std::vector<std::string> command_log() {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    return d.log;
}

void clear_command_log() {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    d.log.clear();
}

void set_tray_open(bool open) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    if (open) d.move_to(0);
    d.tray_open = open;
}

void set_not_ready(bool not_ready) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    d.not_ready = not_ready;
}

void set_hardware_error(bool failing) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    d.hardware_error = failing;
}

void set_in_use(bool in_use) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    d.in_use = in_use;
}

void reset() {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    set_output(nullptr);
    d.open = d.tray_open = d.not_ready = d.hardware_error = d.in_use = false;
    d.milliseconds = d.playing = false;
    d.tracks.clear();
    d.track = 0;
    d.offset_ms = d.end_ms = 0;
    d.log.clear();
    d.line_value = mixer::VOLUME_MAX / 2;
}

} // namespace mci

namespace mixer {

namespace {
constexpr uint32_t mixer_handle = 1;
constexpr uint32_t cd_line = 0x10000;
constexpr uint32_t cd_volume_control = 1;

void apply_line_value(Drive& d) {
    if (d.buffer) d.buffer->SetVolume(hundredths_db(d.line_value));
}
} // namespace

uint32_t open(uint32_t device, uint32_t* handle) {
    if (device != 0) return MMSYSERR_BADDEVICEID;
    *handle = mixer_handle;
    return 0;
}

uint32_t line_by_component(uint32_t handle, uint32_t component_type, uint32_t* line) {
    if (handle != mixer_handle) return MMSYSERR_BADDEVICEID;
    if (component_type != COMPONENTTYPE_SRC_COMPACTDISC) return MIXERR_INVALLINE;
    *line = cd_line;
    return 0;
}

uint32_t control_by_type(uint32_t handle, uint32_t line, uint32_t control_type, uint32_t* control,
                         uint32_t* channels) {
    if (handle != mixer_handle) return MMSYSERR_BADDEVICEID;
    if (line != cd_line) return MIXERR_INVALLINE;
    if (control_type != CONTROLTYPE_VOLUME) return MIXERR_INVALCONTROL;
    *control = cd_volume_control;
    *channels = 2;
    return 0;
}

uint32_t get_values(uint32_t handle, uint32_t control, uint32_t* values, uint32_t channels) {
    if (handle != mixer_handle) return MMSYSERR_BADDEVICEID;
    if (control != cd_volume_control || channels == 0 || channels > 2) return MIXERR_INVALCONTROL;
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    for (uint32_t c = 0; c < channels; ++c) values[c] = d.line_value;
    return 0;
}

uint32_t set_values(uint32_t handle, uint32_t control, const uint32_t* values, uint32_t channels) {
    if (handle != mixer_handle) return MMSYSERR_BADDEVICEID;
    if (control != cd_volume_control || channels == 0 || channels > 2) return MIXERR_INVALCONTROL;
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    uint64_t sum = 0;
    for (uint32_t c = 0; c < channels; ++c) sum += std::min(values[c], VOLUME_MAX);
    d.line_value = uint32_t(sum / channels);
    apply_line_value(d);
    return 0;
}

uint32_t close(uint32_t handle) {
    return handle == mixer_handle ? 0 : MMSYSERR_BADDEVICEID;
}

void set_cd_line_volume(uint32_t value) {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    d.line_value = std::min(value, VOLUME_MAX);
    apply_line_value(d);
}

uint32_t cd_line_volume() {
    Drive& d = drive();
    std::lock_guard lock(d.mutex);
    return d.line_value;
}

} // namespace mixer

} // namespace platform::audio
