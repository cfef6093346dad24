// The DirectMusic stand-in: MIDI segments synthesised by FluidSynth with no audio driver of
// its own. The performance renders on one core with the MIDI player timed by the rendered
// samples (so the same input always renders the same samples) into a looping DirectSound
// buffer of one second, keeping half a second rendered ahead of the play cursor; the service
// tick tops it up. Starting or stopping music discards what was rendered ahead, so the change
// is heard at once.
#include "platform/audio/direct_music.h"

#include "platform/audio/tick_source.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace platform::audio {

namespace {

constexpr uint32_t frame_bytes = 4; // 16-bit stereo
constexpr uint32_t buffer_frames = music_rate;
constexpr uint32_t lead_frames = music_rate / 2;
constexpr uint32_t block_frames = 64;
// FluidSynth times its player in whole milliseconds of rendered samples: after this many
// samples (a whole number of blocks and of 20 ms) the pattern of block times repeats, so a
// player started on such a boundary plays every event at the same sample.
constexpr uint64_t clock_period_frames = 28224;
// FluidSynth's own default output gain, the level of master volume 0.
constexpr float base_gain = 0.2f;
constexpr int64_t reference_per_second = 10'000'000;

// FluidSynth loads a SoundFont's samples in OpenMP tasks, on a team of the OpenMP runtime's
// worker threads. The music needs nothing done in parallel, and those threads hand memory to
// each other through the runtime's own barriers, which the thread sanitizer cannot see into (a
// sample allocated by one and freed by another reads as a race): the calling thread loads alone.
// The runtime is the one FluidSynth was linked with, found by name, so nothing here links an
// OpenMP of its own; without one (a FluidSynth built without OpenMP) there is nothing to limit.
class OneOpenMpThread {
public:
    OneOpenMpThread()
        : set_(reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "omp_set_num_threads"))) {
        const auto get = reinterpret_cast<int (*)()>(dlsym(RTLD_DEFAULT, "omp_get_max_threads"));
        if (!set_ || !get) {
            set_ = nullptr;
            return;
        }
        previous_ = get();
        set_(1); // for this thread's parallel regions only
    }
    ~OneOpenMpThread() {
        if (set_) set_(previous_);
    }
    OneOpenMpThread(const OneOpenMpThread&) = delete;
    OneOpenMpThread& operator=(const OneOpenMpThread&) = delete;

private:
    void (*set_)(int);
    int previous_ = 1;
};

void silence_fluid_logging() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) {
        uint32_t c = uint32_t(*text);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

uint32_t be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A standard MIDI file of format 0 or 1 with at least one track.
bool is_standard_midi(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 22 || std::memcmp(bytes.data(), "MThd", 4) != 0) return false;
    uint32_t header = be32(&bytes[4]);
    if (header < 6 || uint64_t(8) + header + 8 > bytes.size()) return false;
    uint32_t format = uint32_t(bytes[8]) << 8 | bytes[9];
    uint32_t tracks = uint32_t(bytes[10]) << 8 | bytes[11];
    uint32_t division = uint32_t(bytes[12]) << 8 | bytes[13];
    if (format > 1 || tracks == 0 || division == 0) return false;
    return std::memcmp(&bytes[8 + header], "MTrk", 4) == 0;
}

// A COM-style object with an atomic count.
template <class Derived>
class Counted {
public:
    uint32_t add_ref() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t release() {
        uint32_t n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (n == 0) delete static_cast<Derived*>(this);
        return n;
    }

private:
    std::atomic<uint32_t> refs_{1};
};

class Segment final : public IDirectMusicSegment, public Counted<Segment> {
public:
    explicit Segment(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return DMUS_E_INVALIDARG;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDirectMusicSegment) return DMUS_E_NOINTERFACE;
        *out = static_cast<IDirectMusicSegment*>(this);
        AddRef();
        return DMUS_S_OK;
    }
    uint32_t AddRef() override { return add_ref(); }
    uint32_t Release() override { return release(); }

    int32_t SetRepeats(uint32_t repeats) override {
        repeats_ = repeats;
        return DMUS_S_OK;
    }
    int32_t GetRepeats(uint32_t* repeats) override {
        if (!repeats) return DMUS_E_INVALIDARG;
        *repeats = repeats_;
        return DMUS_S_OK;
    }
    int32_t SetStartPoint(MUSIC_TIME start) override {
        if (start < 0) return DMUS_E_INVALIDARG;
        start_ = start;
        return DMUS_S_OK;
    }
    int32_t GetStartPoint(MUSIC_TIME* start) override {
        if (!start) return DMUS_E_INVALIDARG;
        *start = start_;
        return DMUS_S_OK;
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    uint32_t repeats() const { return repeats_; }
    MUSIC_TIME start() const { return start_; }

private:
    std::vector<uint8_t> bytes_;
    uint32_t repeats_ = 0;
    MUSIC_TIME start_ = 0;
};

// The synthesizer and its output, shared by the performance and its port.
struct Synth {
    std::mutex mutex;
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    IDirectSound* direct_sound = nullptr;
    IDirectSoundBuffer* buffer = nullptr;
    uint64_t rendered = 0; // frames written into the buffer since it started
    // (frame at which a block began, the MIDI tick then) since the last PlaySegment.
    std::deque<std::pair<uint64_t, int>> ticks;
    MUSIC_TIME start_tick = 0;
    bool seeking = false;
    uint64_t synth_frames = 0; // every sample the synthesizer rendered
    uint32_t effects = DMUS_EFFECT_REVERB;
    DMUS_WAVES_REVERB_PARAMS reverb{0.0f, -10.0f, 1000.0f, 0.001f};

    ~Synth() { close(); }

    void close() {
        if (player) {
            fluid_player_stop(player);
            delete_fluid_player(player);
        }
        player = nullptr;
        if (synth) delete_fluid_synth(synth);
        synth = nullptr;
        if (settings) delete_fluid_settings(settings);
        settings = nullptr;
        if (buffer) {
            buffer->Stop();
            buffer->Release();
        }
        buffer = nullptr;
        if (direct_sound) direct_sound->Release();
        direct_sound = nullptr;
    }

    // The frame being heard: what was rendered less what still waits ahead of the cursor.
    uint64_t heard() {
        if (!buffer) return rendered;
        uint32_t play = 0, write = 0;
        buffer->GetCurrentPosition(&play, &write);
        uint64_t cursor = play / frame_bytes;
        uint64_t position = rendered % buffer_frames;
        uint64_t ahead = (position + buffer_frames - cursor) % buffer_frames;
        return rendered - std::min(ahead, rendered);
    }

    int tick_at(uint64_t frame) const {
        auto it = std::upper_bound(
            ticks.begin(), ticks.end(), frame,
            [](uint64_t f, const std::pair<uint64_t, int>& entry) { return f < entry.first; });
        if (it == ticks.begin()) return start_tick;
        return std::prev(it)->second;
    }

    // Renders until half a second waits ahead of the cursor.
    void render_ahead() {
        if (!buffer || !synth) return;
        uint64_t wanted = heard() + lead_frames;
        if (rendered >= wanted) return;
        uint32_t frames = uint32_t(wanted - rendered);
        frames = (frames + block_frames - 1) / block_frames * block_frames;
        std::vector<int16_t> out(size_t(frames) * 2);
        float left[block_frames], right[block_frames];
        for (uint32_t done = 0; done < frames; done += block_frames) {
            if (player) ticks.emplace_back(rendered + done, fluid_player_get_current_tick(player));
            write_block(left, right);
            for (uint32_t i = 0; i < block_frames; ++i) {
                out[2 * (done + i)] = to_sample(left[i]);
                out[2 * (done + i) + 1] = to_sample(right[i]);
            }
        }
        // Ticks older than the buffer can still be asked about are let go.
        while (ticks.size() > 2 * buffer_frames / block_frames) ticks.pop_front();
        void *p1 = nullptr, *p2 = nullptr;
        uint32_t b1 = 0, b2 = 0;
        uint32_t offset = uint32_t(rendered % buffer_frames) * frame_bytes;
        if (buffer->Lock(offset, frames * frame_bytes, &p1, &b1, &p2, &b2, 0) >= 0) {
            std::memcpy(p1, out.data(), b1);
            if (p2) std::memcpy(p2, reinterpret_cast<uint8_t*>(out.data()) + b1, b2);
            buffer->Unlock(p1, b1, p2, b2);
        }
        rendered += frames;
    }

    // What was rendered ahead is replaced from the cursor on.
    void rerender() {
        rendered = heard();
        render_ahead();
    }

    static int16_t to_sample(float v) {
        float s = std::nearbyint(v * 32767.0f);
        return int16_t(std::clamp(s, -32768.0f, 32767.0f));
    }

    void write_block(float* left, float* right) {
        fluid_synth_write_float(synth, int(block_frames), left, 0, 1, right, 0, 1);
        synth_frames += block_frames;
    }

    // A fresh voice renders its first note a little differently from a voice used before: every
    // voice is used once (silently) so that the first Play sounds as every later one does.
    void warm_up() {
        float left[block_frames], right[block_frames];
        for (int key = 0; key < 128; ++key) fluid_synth_noteon(synth, 0, key, 1);
        write_block(left, right);
        stop_player();
    }

    // Renders (and drops) silence up to the next clock period boundary.
    void align_clock() {
        float left[block_frames], right[block_frames];
        while (synth_frames % clock_period_frames != 0) write_block(left, right);
    }

    // Stops the file and silences every voice at once; channels go back to their defaults.
    void stop_player() {
        if (player) {
            fluid_player_stop(player);
            delete_fluid_player(player);
        }
        player = nullptr;
        if (!synth) return;
        fluid_synth_all_sounds_off(synth, -1);
        fluid_synth_system_reset(synth);
        fluid_synth_all_sounds_off(synth, -1);
    }

    // The player hands its events here; while the start point is being reached no note
    // starts.
    static int handle_event(void* data, fluid_midi_event_t* event) {
        auto* self = static_cast<Synth*>(data);
        if (self->seeking && fluid_midi_event_get_type(event) == 0x90 &&
            fluid_midi_event_get_velocity(event) > 0)
            return FLUID_OK;
        return fluid_synth_handle_midi_event(self->synth, event);
    }

    // The player only seeks once it runs: blocks are rendered (and dropped) without notes until
    // it does, then it moves to the start point. The few milliseconds rendered on the way do
    // not count as music time.
    void seek_to(int tick) {
        fluid_player_set_playback_callback(player, handle_event, this);
        if (tick <= 0) return;
        seeking = true;
        float scratch_left[block_frames], scratch_right[block_frames];
        // At least one step: the player takes a seek only once it has loaded the file.
        int steps = 0;
        do {
            write_block(scratch_left, scratch_right);
        } while (++steps < 16 && fluid_player_get_status(player) != FLUID_PLAYER_PLAYING);
        fluid_player_seek(player, tick);
        // The seek is made at the player's next step, still without notes.
        write_block(scratch_left, scratch_right);
        seeking = false;
        fluid_synth_all_sounds_off(synth, -1);
    }

    void apply_reverb() {
        if (!synth) return;
        fluid_synth_reverb_on(synth, -1, (effects & DMUS_EFFECT_REVERB) ? 1 : 0);
        double level = std::pow(10.0, (double(reverb.fInGain) + reverb.fReverbMix) / 20.0);
        fluid_synth_set_reverb_group_level(synth, -1, std::clamp(level, 0.0, 1.0));
        fluid_synth_set_reverb_group_roomsize(
            synth, -1, std::clamp(double(reverb.fReverbTime) / 3000.0, 0.0, 1.0));
        fluid_synth_set_reverb_group_damp(
            synth, -1, std::clamp(1.0 - double(reverb.fHighFreqRTRatio), 0.0, 1.0));
    }
};

class Port final : public IDirectMusicPort, public IKsControl, public Counted<Port> {
public:
    explicit Port(std::shared_ptr<Synth> synth) : synth_(std::move(synth)) {}

    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return DMUS_E_INVALIDARG;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDirectMusicPort)
            *out = static_cast<IDirectMusicPort*>(this);
        else if (iid == IID_IKsControl)
            *out = static_cast<IKsControl*>(this);
        else
            return DMUS_E_NOINTERFACE;
        add_ref();
        return DMUS_S_OK;
    }
    uint32_t AddRef() override { return add_ref(); }
    uint32_t Release() override { return release(); }

    int32_t KsProperty(const KSPROPERTY* property, uint32_t property_size, void* data,
                       uint32_t data_size, uint32_t* returned) override {
        if (!property || property_size < sizeof(KSPROPERTY) || !data) return DMUS_E_INVALIDARG;
        if (returned) *returned = 0;
        std::lock_guard lock(synth_->mutex);
        if (!synth_->synth) return DMUS_E_NOT_INIT;
        bool set = property->Flags & KSPROPERTY_TYPE_SET;
        if (property->Set == GUID_DMUS_PROP_Effects) {
            if (data_size < sizeof(uint32_t)) return DMUS_E_INVALIDARG;
            if (set)
                std::memcpy(&synth_->effects, data, sizeof(uint32_t));
            else
                std::memcpy(data, &synth_->effects, sizeof(uint32_t));
        } else if (property->Set == GUID_DMUS_PROP_WavesReverb) {
            if (data_size < sizeof(DMUS_WAVES_REVERB_PARAMS)) return DMUS_E_INVALIDARG;
            if (set)
                std::memcpy(&synth_->reverb, data, sizeof(DMUS_WAVES_REVERB_PARAMS));
            else
                std::memcpy(data, &synth_->reverb, sizeof(DMUS_WAVES_REVERB_PARAMS));
        } else {
            return DMUS_E_NOT_FOUND;
        }
        if (set) synth_->apply_reverb();
        if (returned && !set) *returned = data_size;
        return DMUS_S_OK;
    }

private:
    std::shared_ptr<Synth> synth_;
};

class Performance final : public IDirectMusicPerformance, public Counted<Performance> {
public:
    Performance() : synth_(std::make_shared<Synth>()) {}
    ~Performance() { CloseDown(); }

    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return DMUS_E_INVALIDARG;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDirectMusicPerformance) return DMUS_E_NOINTERFACE;
        *out = static_cast<IDirectMusicPerformance*>(this);
        AddRef();
        return DMUS_S_OK;
    }
    uint32_t AddRef() override { return add_ref(); }
    uint32_t Release() override { return release(); }

    int32_t Init(IUnknown** music, IDirectSound* direct_sound, void*) override {
        if (music) *music = nullptr;
        std::lock_guard lock(synth_->mutex);
        Synth& s = *synth_;
        if (s.synth) return DMUS_E_ALREADY_INITED;
        silence_fluid_logging();
        const char* named = std::getenv("CORVEL_SOUNDFONT");
        std::string font = named && *named ? named : default_soundfont;
        if (!fluid_is_soundfont(font.c_str())) return DMUS_E_NO_SOUNDFONT;

        if (direct_sound) {
            direct_sound->AddRef();
            s.direct_sound = direct_sound;
        } else if (int32_t r = DirectSoundCreate(nullptr, &s.direct_sound, nullptr); r < 0) {
            s.direct_sound = nullptr;
            return r;
        }
        s.settings = new_fluid_settings();
        if (!s.settings) return fail(DMUS_E_FAIL);
        fluid_settings_setnum(s.settings, "synth.sample-rate", double(music_rate));
        fluid_settings_setint(s.settings, "synth.cpu-cores", 1);
        fluid_settings_setint(s.settings, "synth.threadsafe-api", 0);
        fluid_settings_setstr(s.settings, "player.timing-source", "sample");
        fluid_settings_setint(s.settings, "player.reset-synth", 1);
        // No chorus: only the reverb is a property of the port.
        fluid_settings_setint(s.settings, "synth.chorus.active", 0);
        s.synth = new_fluid_synth(s.settings);
        if (!s.synth) return fail(DMUS_E_FAIL);
        const bool loaded = [&] {
            const OneOpenMpThread alone;
            return fluid_synth_sfload(s.synth, font.c_str(), 1) != FLUID_FAILED;
        }();
        if (!loaded) return fail(DMUS_E_NO_SOUNDFONT);
        fluid_synth_set_gain(s.synth, base_gain);
        s.apply_reverb();
        s.warm_up();

        WAVEFORMATEX format{WAVE_FORMAT_PCM,       2,  music_rate, music_rate * frame_bytes,
                            uint16_t(frame_bytes), 16, 0};
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
        desc.dwBufferBytes = buffer_frames * frame_bytes;
        desc.lpwfxFormat = &format;
        if (int32_t r = s.direct_sound->CreateSoundBuffer(&desc, &s.buffer, nullptr); r < 0) {
            s.buffer = nullptr;
            return fail(r);
        }
        s.rendered = 0;
        s.render_ahead();
        s.buffer->Play(0, 0, DSBPLAY_LOOPING);
        stop_ = false;
        waiter_.emplace(service_ticks());
        worker_ = std::thread([this] {
            while (waiter_->wait(stop_)) {
                std::lock_guard worker_lock(synth_->mutex);
                synth_->render_ahead();
            }
        });
        return DMUS_S_OK;
    }

    int32_t AddPort(IDirectMusicPort* port) override {
        std::lock_guard lock(synth_->mutex);
        if (!synth_->synth) return DMUS_E_NOT_INIT;
        if (port) return DMUS_E_INVALIDARG; // only the default port exists here
        if (!port_) port_ = new Port(synth_);
        return DMUS_S_OK;
    }

    int32_t AssignPChannelBlock(uint32_t block, IDirectMusicPort* port, uint32_t group) override {
        if (!port || port != static_cast<IDirectMusicPort*>(port_) || group == 0 || block > 1000)
            return DMUS_E_INVALIDARG;
        return DMUS_S_OK;
    }

    int32_t PChannelInfo(uint32_t pchannel, IDirectMusicPort** port, uint32_t* group,
                         uint32_t* mchannel) override {
        if (!port_) return DMUS_E_NOT_INIT;
        if (port) {
            port_->AddRef();
            *port = port_;
        }
        if (group) *group = pchannel / 16 + 1;
        if (mchannel) *mchannel = pchannel % 16;
        return DMUS_S_OK;
    }

    int32_t SetGlobalParam(const GUID& type, const void* data, uint32_t size) override {
        if (!data) return DMUS_E_INVALIDARG;
        std::lock_guard lock(synth_->mutex);
        if (type == GUID_PerfMasterVolume && size == sizeof(int32_t)) {
            std::memcpy(&volume_, data, size);
            if (synth_->synth)
                fluid_synth_set_gain(synth_->synth,
                                     base_gain * float(std::pow(10.0, volume_ / 2000.0)));
        } else if (type == GUID_PerfMasterTempo && size == sizeof(float)) {
            std::memcpy(&tempo_, data, size);
            if (synth_->player)
                fluid_player_set_tempo(synth_->player, FLUID_PLAYER_TEMPO_INTERNAL, tempo_);
        } else if (type == GUID_PerfMasterGrooveLevel && size == 1) {
            std::memcpy(&groove_, data, size);
        } else if (type == GUID_PerfAutoDownload && size == sizeof(uint32_t)) {
            std::memcpy(&auto_download_, data, size);
        } else {
            return DMUS_E_INVALIDARG;
        }
        return DMUS_S_OK;
    }

    int32_t GetGlobalParam(const GUID& type, void* data, uint32_t size) override {
        if (!data) return DMUS_E_INVALIDARG;
        std::lock_guard lock(synth_->mutex);
        if (type == GUID_PerfMasterVolume && size == sizeof(int32_t))
            std::memcpy(data, &volume_, size);
        else if (type == GUID_PerfMasterTempo && size == sizeof(float))
            std::memcpy(data, &tempo_, size);
        else if (type == GUID_PerfMasterGrooveLevel && size == 1)
            std::memcpy(data, &groove_, size);
        else if (type == GUID_PerfAutoDownload && size == sizeof(uint32_t))
            std::memcpy(data, &auto_download_, size);
        else
            return DMUS_E_INVALIDARG;
        return DMUS_S_OK;
    }

    int32_t PlaySegment(IDirectMusicSegment* segment, uint32_t, REFERENCE_TIME,
                        IUnknown** state) override {
        if (state) *state = nullptr;
        auto* own = dynamic_cast<Segment*>(segment);
        if (!own) return DMUS_E_INVALIDARG;
        std::lock_guard lock(synth_->mutex);
        Synth& s = *synth_;
        if (!s.synth) return DMUS_E_NOT_INIT;
        s.stop_player();
        s.align_clock();
        s.player = new_fluid_player(s.synth);
        if (!s.player) return DMUS_E_FAIL;
        const std::vector<uint8_t>& bytes = own->bytes();
        if (fluid_player_add_mem(s.player, bytes.data(), bytes.size()) == FLUID_FAILED) {
            s.stop_player();
            return DMUS_E_UNSUPPORTED_STREAM;
        }
        // Repeats count the plays after the first.
        fluid_player_set_loop(s.player, int(std::min<uint32_t>(own->repeats(), 100000)) + 1);
        fluid_player_set_tempo(s.player, FLUID_PLAYER_TEMPO_INTERNAL, tempo_);
        fluid_player_play(s.player);
        s.seek_to(own->start());
        s.ticks.clear();
        s.start_tick = own->start();
        s.rerender();
        return DMUS_S_OK;
    }

    int32_t Stop(IDirectMusicSegment*, IUnknown*, MUSIC_TIME, uint32_t) override {
        std::lock_guard lock(synth_->mutex);
        if (!synth_->synth) return DMUS_E_NOT_INIT;
        // The music clock stays readable at the time it stopped.
        uint64_t now = synth_->heard();
        int tick = synth_->tick_at(now);
        synth_->stop_player();
        synth_->ticks.clear();
        synth_->ticks.emplace_back(now, tick);
        synth_->start_tick = tick;
        synth_->rerender();
        return DMUS_S_OK;
    }

    int32_t GetTime(REFERENCE_TIME* now, MUSIC_TIME* music) override {
        std::lock_guard lock(synth_->mutex);
        uint64_t frame = synth_->heard();
        if (now) *now = REFERENCE_TIME(frame * reference_per_second / music_rate);
        if (music) *music = synth_->tick_at(frame);
        return DMUS_S_OK;
    }

    int32_t ReferenceToMusicTime(REFERENCE_TIME time, MUSIC_TIME* music) override {
        if (!music || time < 0) return DMUS_E_INVALIDARG;
        std::lock_guard lock(synth_->mutex);
        // Rounded, so a time read with GetTime maps back to the frame it came from.
        *music = synth_->tick_at((uint64_t(time) * music_rate + reference_per_second / 2) /
                                 reference_per_second);
        return DMUS_S_OK;
    }

    int32_t CloseDown() override {
        if (worker_.joinable()) {
            stop_ = true;
            service_ticks().wake();
            worker_.join();
        }
        waiter_.reset();
        std::lock_guard lock(synth_->mutex);
        synth_->close();
        if (port_) port_->Release();
        port_ = nullptr;
        return DMUS_S_OK;
    }

private:
    // Lets go of what Init made so far (the mutex is held).
    int32_t fail(int32_t result) {
        synth_->close();
        return result;
    }

    std::shared_ptr<Synth> synth_;
    Port* port_ = nullptr;
    int32_t volume_ = 0;
    float tempo_ = 1.0f;
    int8_t groove_ = 0;
    uint32_t auto_download_ = 0;
    std::atomic<bool> stop_{false};
    std::optional<TickWaiter> waiter_;
    std::thread worker_;
};

class Loader final : public IDirectMusicLoader, public Counted<Loader> {
public:
    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return DMUS_E_INVALIDARG;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDirectMusicLoader) return DMUS_E_NOINTERFACE;
        *out = static_cast<IDirectMusicLoader*>(this);
        AddRef();
        return DMUS_S_OK;
    }
    uint32_t AddRef() override { return add_ref(); }
    uint32_t Release() override { return release(); }

    int32_t SetSearchDirectory(const GUID&, const wchar_t* directory, int32_t) override {
        if (!directory) return DMUS_E_INVALIDARG;
        directory_ = narrow(directory);
        if (!directory_.empty() && directory_.back() != '/') directory_ += '/';
        return DMUS_S_OK;
    }

    int32_t GetObject(const DMUS_OBJECTDESC* desc, const GUID& iid, void** out) override {
        if (!out) return DMUS_E_INVALIDARG;
        *out = nullptr;
        if (!desc || !(desc->dwValidData & DMUS_OBJ_FILENAME)) return DMUS_E_INVALIDARG;
        if ((desc->dwValidData & DMUS_OBJ_CLASS) && desc->guidClass != CLSID_DirectMusicSegment)
            return DMUS_E_UNSUPPORTED_STREAM;
        std::string name = narrow(desc->wszFileName);
        std::string path = !name.empty() && name[0] == '/' ? name : directory_ + name;
        std::ifstream in(path, std::ios::binary);
        if (!in) return DMUS_E_LOADER_FAILEDOPEN;
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
        if (!is_standard_midi(bytes)) return DMUS_E_UNSUPPORTED_STREAM;
        auto* segment = new Segment(std::move(bytes));
        int32_t r = segment->QueryInterface(iid, out);
        segment->Release();
        return r;
    }

private:
    std::string directory_;
};

} // namespace

} // namespace platform::audio

int32_t DirectMusicCreateInstance(const GUID& clsid, const GUID& iid, void** out) {
    using namespace platform::audio;
    if (!out) return DMUS_E_INVALIDARG;
    *out = nullptr;
    IUnknown* object = nullptr;
    if (clsid == CLSID_DirectMusicPerformance)
        object = static_cast<IDirectMusicPerformance*>(new Performance);
    else if (clsid == CLSID_DirectMusicLoader)
        object = static_cast<IDirectMusicLoader*>(new Loader);
    else
        return int32_t(0x80040154u); // class not registered
    int32_t r = object->QueryInterface(iid, out);
    object->Release();
    return r;
}
