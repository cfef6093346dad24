// Win32RedBookMusic: the CD player. A poll on the 200 ms timer's thread follows the end of
// tracks, an opened tray and the game window's foreground state; the main thread calls the
// same operations, so one recursive mutex guards the player's state.
#include "sound/music/win32_red_book_music.h"

#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "platform/audio/audio_backend.h"
#include "platform/audio/cd_audio.h"
#include "platform/window/window.h"
#include "sound/music/music_direct_sound.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace {

namespace mci = platform::audio::mci;
namespace mixer = platform::audio::mixer;

// Source lines searched for the CD's volume, first found first.
constexpr uint32_t cd_line_components[] = {
    mixer::COMPONENTTYPE_SRC_COMPACTDISC, mixer::COMPONENTTYPE_SRC_DIGITAL,
    mixer::COMPONENTTYPE_SRC_AUXILIARY, mixer::COMPONENTTYPE_SRC_LINE,
    mixer::COMPONENTTYPE_SRC_ANALOG};

// Reads the CD line's volume, or sets both channels to `value`; the value read or written.
uint32_t cd_line_volume(bool write, uint32_t value) {
    uint32_t handle = 0;
    if (mixer::open(0, &handle) != 0) return 0;
    uint32_t line = 0;
    bool found = false;
    for (uint32_t component : cd_line_components)
        if (mixer::line_by_component(handle, component, &line) == 0) {
            found = true;
            break;
        }
    uint32_t control = 0, channels = 0;
    if (found &&
        mixer::control_by_type(handle, line, mixer::CONTROLTYPE_VOLUME, &control, &channels) == 0) {
        uint32_t values[2] = {value, value};
        channels = channels > 2 ? 2 : channels;
        if (write) {
            mixer::set_values(handle, control, values, channels);
        } else if (mixer::get_values(handle, control, values, channels) == 0) {
            value = values[0];
        }
    }
    mixer::close(handle);
    return value;
}

OmResult mci_failure(uint32_t error) {
    return error == mci::MCIERR_HARDWARE ? REDBOOK_E_HARDWARE : OM_E_FAIL;
}

class Win32RedBookMusic;
Win32RedBookMusic* instance = nullptr;

class Win32RedBookMusic final : public OmObject<Win32RedBookMusic, IMusic> {
public:
    ~Win32RedBookMusic() {
        stop_timer();
        std::lock_guard lock(mutex_);
        if (active_) cd_line_volume(true, system_volume_);
        if (open_) mci::send_string("close cdaudio");
        mci::set_output(nullptr);
        if (os_acquired_) OmOSServiceRelease();
        instance = nullptr;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IMusic, this}});
    }

    OmResult Init(IUnknown*) override {
        std::lock_guard lock(mutex_);
        if (initialised_) return OM_E_FAIL;
        if (!os_acquired_) os_acquired_ = OmOSServiceAcquire() >= 0;
        IOmWindow* window = OmOSServiceGetShared();
        window_ = window ? window->GetHandle() : nullptr;

        uint32_t e = mci::open("cdaudio", &device_);
        if (e != 0) return e == mci::MCIERR_DEVICE_IN_USE ? REDBOOK_E_IN_USE : REDBOOK_E_NO_DRIVE;
        if (mci::send_string("set cdaudio time format tmsf") != 0) {
            mci::send_string("close cdaudio");
            return OM_E_FAIL;
        }
        open_ = true;
        // Track audio plays on the program's DirectSound object.
        ComRef<IDirectSound> output;
        if (OmMusicDirectSound(nullptr, output) >= 0) mci::set_output(output.get());
        OmResult r = Select(0);
        if (r < 0) return r;
        start_timer();
        initialised_ = true;
        if (platform::is_foreground(window_)) {
            active_ = true;
            system_volume_ = cd_line_volume(false, 0);
            cd_line_volume(true, scaled_volume());
        }
        return OM_S_OK;
    }

    OmResult Play(uint32_t flags) override {
        std::lock_guard lock(mutex_);
        if (!open_ || !initialised_) return REDBOOK_S_NOT_OPEN;
        play_flags_ = flags;
        if (!active_) {
            resume_pending_ = true;
            return OM_S_OK;
        }
        uint32_t count = 0, type = 0;
        if (uint32_t e = mci::status(device_, mci::MCI_STATUS_NUMBER_OF_TRACKS, 0, &count))
            return mci_failure(e);
        if (track_ < 0 || uint32_t(track_) >= count) return REDBOOK_E_BAD_TRACK;
        if (uint32_t e =
                mci::status(device_, mci::MCI_CDA_STATUS_TYPE_TRACK, uint32_t(track_ + 1), &type))
            return mci_failure(e);
        if (type != mci::MCI_CDA_TRACK_AUDIO) return REDBOOK_E_NOT_AUDIO;
        uint32_t from = mci::make_tmsf(uint32_t(track_ + 1), 0, 0, 0);
        uint32_t to = mci::make_tmsf(uint32_t(track_ + 2), 0, 0, 0);
        bool to_next = (flags & REDBOOK_PLAY_TO_END) == 0 && uint32_t(track_ + 1) < count;
        uint32_t e = mci::play(device_, (flags & REDBOOK_PLAY_RESUME) ? nullptr : &from,
                               to_next ? &to : nullptr);
        if (e != 0) return mci_failure(e);
        playing_ = true;
        paused_ = false;
        return OM_S_OK;
    }

    OmResult Pause() override {
        std::lock_guard lock(mutex_);
        if (!open_ || !initialised_) return REDBOOK_S_NOT_OPEN;
        if (paused_) {
            if (!active_) {
                resume_pending_ = true;
                return OM_S_OK;
            }
            return Play(play_flags_ | REDBOOK_PLAY_RESUME);
        }
        uint32_t mode = 0;
        if (mci::status(device_, mci::MCI_STATUS_MODE, 0, &mode) == 0 &&
            mode == mci::MCI_MODE_PLAY) {
            if (uint32_t e = mci::pause(device_)) return mci_failure(e);
            playing_ = false;
            resume_pending_ = false;
            paused_ = true;
        }
        return OM_S_OK;
    }

    OmResult Stop() override {
        std::lock_guard lock(mutex_);
        if (!open_) return REDBOOK_S_NOT_OPEN;
        uint32_t e = mci::send_string("stop cdaudio");
        playing_ = paused_ = resume_pending_ = false;
        return e == 0 ? OM_S_OK : mci_failure(e);
    }

    OmResult Eject() override {
        std::lock_guard lock(mutex_);
        if (!open_) return REDBOOK_S_NOT_OPEN;
        uint32_t mode = 0;
        if (uint32_t e = mci::status(device_, mci::MCI_STATUS_MODE, 0, &mode))
            return mci_failure(e);
        bool tray_open = mode == mci::MCI_MODE_OPEN;
        if (uint32_t e = mci::set_door(device_, !tray_open)) return mci_failure(e);
        if (!tray_open) playing_ = paused_ = resume_pending_ = false;
        mci::status(device_, mci::MCI_STATUS_MODE, 0, &mode);
        return OM_S_OK;
    }

    int32_t GetCount() override {
        std::lock_guard lock(mutex_);
        uint32_t count = 0;
        if (!open_ || mci::status(device_, mci::MCI_STATUS_NUMBER_OF_TRACKS, 0, &count) != 0)
            return 0;
        return int32_t(count);
    }

    OmResult Select(int32_t track) override {
        std::lock_guard lock(mutex_);
        if (!open_) return REDBOOK_S_NOT_OPEN;
        uint32_t count = uint32_t(GetCount());
        if (track < 0 || uint32_t(track) >= count) return REDBOOK_E_BAD_TRACK;
        if (uint32_t e = mci::seek(device_, mci::make_tmsf(uint32_t(track + 1), 0, 0, 0)))
            return mci_failure(e);
        track_ = track;
        if (playing_) return Play(play_flags_);
        return OM_S_OK;
    }

    int32_t GetSelection() override {
        std::lock_guard lock(mutex_);
        uint32_t current = 0;
        if (!open_ || mci::status(device_, mci::MCI_STATUS_CURRENT_TRACK, 0, &current) != 0)
            return 0;
        return int32_t(current) - 1;
    }

    OmResult GetStatus(uint32_t* flags) override {
        std::lock_guard lock(mutex_);
        if (!open_ || !initialised_) return REDBOOK_S_NOT_OPEN;
        if (!flags) return OM_E_FAIL;
        uint32_t mode = 0, type = 0;
        if (uint32_t e = mci::status(device_, mci::MCI_STATUS_MODE, 0, &mode))
            return mci_failure(e);
        if (mode == mci::MCI_MODE_OPEN) return REDBOOK_E_TRAY_OPEN;
        if (mode == mci::MCI_MODE_NOT_READY) return REDBOOK_E_NOT_READY;
        if (mci::status(device_, mci::MCI_CDA_STATUS_TYPE_TRACK, uint32_t(track_ + 1), &type) ==
                0 &&
            type != mci::MCI_CDA_TRACK_AUDIO)
            return REDBOOK_E_NOT_AUDIO;
        uint32_t result = play_flags_ & 3;
        if (mode == mci::MCI_MODE_PLAY) result |= REDBOOK_STATUS_PLAYING;
        if (mode == mci::MCI_MODE_STOP)
            result |= paused_ ? REDBOOK_STATUS_PAUSED : REDBOOK_STATUS_STOPPED;
        *flags = result;
        return OM_S_OK;
    }

    int32_t GetLength() override {
        std::lock_guard lock(mutex_);
        if (!open_) return 0;
        uint32_t length = 0;
        mci::send_string("set cdaudio time format milliseconds");
        if (mci::status(device_, mci::MCI_STATUS_LENGTH, uint32_t(track_ + 1), &length) != 0)
            length = 0;
        mci::send_string("set cdaudio time format tmsf");
        return int32_t(length);
    }

    OmResult SetPosition(int32_t milliseconds) override {
        std::lock_guard lock(mutex_);
        if (!open_) return REDBOOK_S_NOT_OPEN;
        int32_t length = GetLength();
        if (milliseconds < 0 || milliseconds >= length) return REDBOOK_E_BAD_POSITION;
        uint32_t start = 0;
        mci::send_string("set cdaudio time format milliseconds");
        uint32_t e = mci::status(device_, mci::MCI_STATUS_POSITION, uint32_t(track_ + 1), &start);
        if (e == 0) e = mci::seek(device_, start + uint32_t(milliseconds));
        mci::send_string("set cdaudio time format tmsf");
        if (e != 0) return mci_failure(e);
        if (playing_) return Play(play_flags_ | REDBOOK_PLAY_RESUME);
        return OM_S_OK;
    }

    int32_t GetPosition() override {
        std::lock_guard lock(mutex_);
        if (!open_) return 0;
        uint32_t start = 0, position = 0;
        mci::send_string("set cdaudio time format milliseconds");
        bool ok =
            mci::status(device_, mci::MCI_STATUS_POSITION, uint32_t(track_ + 1), &start) == 0 &&
            mci::status(device_, mci::MCI_STATUS_POSITION, 0, &position) == 0;
        mci::send_string("set cdaudio time format tmsf");
        return ok ? int32_t(position) - int32_t(start) : 0;
    }

    OmResult SetVolume(float level) override {
        if (!(level >= 0.0f && level <= 1.0f)) return OM_E_FAIL;
        std::lock_guard lock(mutex_);
        factor_ = level;
        if (active_) cd_line_volume(true, scaled_volume());
        return OM_S_OK;
    }

    float GetVolume() override {
        std::lock_guard lock(mutex_);
        return factor_;
    }

private:
    uint32_t scaled_volume() const { return uint32_t(float(system_volume_) * factor_); }

    void start_timer() {
        stop_ = false;
        waiter_.emplace(mci::poll_ticks());
        if (platform::audio::backend() == platform::audio::Backend::sdl) {
            mci::poll_ticks().hold_real_clock();
            holds_clock_ = true;
        }
        timer_ = std::thread([this] {
            while (waiter_->wait(stop_)) poll();
        });
    }

    void stop_timer() {
        if (!timer_.joinable()) return;
        stop_ = true;
        mci::poll_ticks().wake();
        timer_.join();
        waiter_.reset();
        if (holds_clock_) mci::poll_ticks().release_real_clock();
        holds_clock_ = false;
    }

    void poll() {
        std::lock_guard lock(mutex_);
        bool foreground = platform::is_foreground(window_);
        if (foreground && !active_) {
            active_ = true;
            system_volume_ = cd_line_volume(false, 0);
            cd_line_volume(true, scaled_volume());
            if (resume_pending_) {
                resume_pending_ = false;
                Play(paused_ ? play_flags_ | REDBOOK_PLAY_RESUME : play_flags_);
            }
        } else if (!foreground && active_) {
            active_ = false;
            cd_line_volume(true, system_volume_);
            uint32_t mode = 0;
            if (mci::status(device_, mci::MCI_STATUS_MODE, 0, &mode) == 0 &&
                mode == mci::MCI_MODE_PLAY) {
                Pause();
                resume_pending_ = true;
            }
        }
        if (!playing_) return;
        uint32_t mode = 0;
        uint32_t e = mci::status(device_, mci::MCI_STATUS_MODE, 0, &mode);
        if (e != 0 || mode == mci::MCI_MODE_OPEN || mode == mci::MCI_MODE_NOT_READY) {
            Stop();
            return;
        }
        if (mode != mci::MCI_MODE_STOP) return;
        // The track (modes 0, 1) or the disc (modes 2, 3) ended: play again.
        if (play_flags_ & REDBOOK_PLAY_TO_END) track_ = 0;
        uint32_t flags = play_flags_ & ~REDBOOK_PLAY_RESUME;
        OmResult r = Play(flags);
        while (r < 0 && r != REDBOOK_E_NOT_AUDIO && track_ < REDBOOK_LAST_RETRY_TRACK) {
            ++track_;
            r = Play(flags);
        }
        if (r < 0) playing_ = false;
    }

    friend OmResult create_red_book(IUnknown*, IUnknown**);

    std::recursive_mutex mutex_;
    uint32_t system_volume_ = 0;
    float factor_ = 1.0f;
    bool active_ = false;
    bool resume_pending_ = false;
    uint32_t play_flags_ = 0;
    bool initialised_ = false;
    bool open_ = false;
    int32_t track_ = 0;
    bool paused_ = false;
    bool playing_ = false;
    platform::Window* window_ = nullptr;
    mci::DeviceId device_ = 0;
    bool os_acquired_ = false;
    std::atomic<bool> stop_{false};
    std::optional<platform::audio::TickWaiter> waiter_;
    std::thread timer_;
    bool holds_clock_ = false;
};

// One player per process: a second creation shares the first.
OmResult create_red_book(IUnknown* outer, IUnknown** out) {
    return OmCreateSingleton(instance, outer, out);
}

const OmClassRecord classes[] = {
    {&CLSID_Win32RedBookMusic, nullptr, nullptr, create_red_book, "Win32RedBookMusic"}};

} // namespace

OM_DEFINE_MODULE(Win32RedBookMusic, classes)
