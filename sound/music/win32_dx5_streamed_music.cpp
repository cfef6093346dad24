// Win32Dx5StreamedMusic: streams a WAV file through a looping DirectSound buffer. The worker
// refills the half the play cursor has just left; when the file's data ends, reading goes on
// at the start of its data, so the music loops without a gap. One mutex guards the buffer and
// the file state against Stop and Release on the main thread.
#include "sound/music/win32_dx5_streamed_music.h"

#include "framework/containers/com_hash.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/core/portable_path.h"
#include "framework/platform/os_service.h"
#include "framework/platform/sound_support.h"
#include "framework/platform/wav_reader.h"
#include "platform/audio/dsound.h"
#include "platform/audio/tick_source.h"
#include "sound/music/music_direct_sound.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

class Win32Dx5StreamedMusic final : public OmObject<Win32Dx5StreamedMusic, IMusic, IMusicTempo> {
public:
    OmResult init() {
        os_acquired_ = OmOSAcquire() >= 0;
        return OM_S_OK;
    }

    ~Win32Dx5StreamedMusic() {
        std::unique_lock lock(mutex_);
        if (buffer_) buffer_->Stop();
        lock.unlock();
        stop_worker();
        if (os_acquired_) OmOSRelease();
        if (buffer_) buffer_->Release();
        buffer_ = nullptr;
        OmWavClose(&file_, &format_);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IMusic, static_cast<IMusic*>(this)},
                                   {&IID_IMusicTempo, static_cast<IMusicTempo*>(this)}});
    }

    // --- IMusic ---

    OmResult Init(IUnknown* object) override {
        if (initialised_) return OM_S_OK;
        volume_ = 1.0f;
        ComRef<IObjHash> settings;
        if (object) object->QueryInterface(IID_IObjHash, settings.put_void());
        const char* name = settings ? settings->GetString("cpFilename", nullptr) : nullptr;
        if (!name) return OM_E_FAIL;

        ComRef<IDirectSound> ds;
        OmResult r = OmMusicDirectSound(settings.get(), ds);
        if (r < 0) return r;

        std::string path;
        if ((r = file_path(name, path)) < 0) return r;
        if (OmWavOpen(path.c_str(), &file_, &format_, &riff_) != 0) return OM_E_FAIL;
        if (OmWavSeekData(file_, &data_, &riff_) != 0 || data_.size == 0 ||
            format_->block_align == 0 || format_->samples_per_second == 0) {
            // Nothing to loop over (an empty data chunk would make every refill spin).
            OmWavClose(&file_, &format_);
            return OM_E_FAIL;
        }
        data_start_ = data_;

        uint32_t block = format_->block_align;
        uint64_t second = uint64_t(format_->samples_per_second) * block;
        half_bytes_ = uint32_t((second + block - 1) / block * block);
        DSBUFFERDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = STREAMED_MUSIC_BUFFER_FLAGS;
        desc.dwBufferBytes = half_bytes_ * 2;
        desc.lpwfxFormat = format_;
        if ((r = ds->CreateSoundBuffer(&desc, &buffer_, nullptr)) < 0) {
            buffer_ = nullptr;
            OmWavClose(&file_, &format_);
            return r;
        }
        fill(0, half_bytes_ * 2);
        waiting_half_ = 0;
        initialised_ = true;
        return OM_S_OK;
    }

    OmResult Play(uint32_t) override {
        if (!initialised_) return OM_E_FAIL;
        apply_tempo();
        if (!worker_) {
            stop_ = false;
            try {
                // The waiter is registered here, so no tick is missed before the first wait.
                waiter_.emplace(platform::audio::service_ticks());
                worker_.emplace([this] { run_worker(); });
            } catch (...) {
                waiter_.reset();
                return OM_E_FAIL;
            }
        }
        std::lock_guard lock(mutex_);
        return buffer_->Play(0, 0, DSBPLAY_LOOPING);
    }

    OmResult Pause() override {
        if (!initialised_) return OM_E_FAIL;
        std::lock_guard lock(mutex_);
        return buffer_->Stop();
    }

    OmResult Stop() override {
        if (!initialised_) return OM_E_FAIL;
        std::lock_guard lock(mutex_);
        buffer_->Stop();
        data_ = data_start_;
        OmWavSeekData(file_, &data_, &riff_);
        fill(0, half_bytes_ * 2);
        waiting_half_ = 0;
        return buffer_->SetCurrentPosition(0);
    }

    OmResult Eject() override { return Stop(); }
    int32_t GetCount() override { return 1; }
    OmResult Select(int32_t entry) override { return entry == 0 ? OM_S_OK : OM_E_FAIL; }
    int32_t GetSelection() override { return 0; }
    OmResult GetStatus(uint32_t*) override { return OM_E_FAIL; }
    int32_t GetLength() override { return 0; }
    OmResult SetPosition(int32_t) override { return OM_E_FAIL; }
    int32_t GetPosition() override { return 0; }

    OmResult SetVolume(float level) override {
        if (!initialised_ || !buffer_) return OM_E_FAIL;
        volume_ = level;
        std::lock_guard lock(mutex_);
        return buffer_->SetVolume(OmVolumeToHundredthsDb(level));
    }
    float GetVolume() override { return volume_; }

    // --- IMusicTempo ---

    OmResult SetGrooveLevel(int8_t) override { return OM_E_FAIL; }
    int8_t GetGrooveLevel() override { return 0; }
    OmResult SetTempo(float factor) override {
        tempo_ = factor;
        apply_tempo();
        return OM_S_OK;
    }
    float GetTempo() override { return tempo_; }

private:
    // The program directory joined with the name, unless the name is an absolute path.
    static OmResult file_path(const char* name, std::string& out) {
        if (name[0] == '/') {
            out = name;
            return OM_S_OK;
        }
        char directory[OM_MAX_PATH];
        if (OmOSGetAppPath(directory, sizeof directory) < 0) return OM_E_FAIL;
        out = std::string(directory) + name;
        return out.size() < OM_MAX_PATH ? OM_S_OK : OM_E_FAIL;
    }

    void apply_tempo() {
        std::lock_guard lock(mutex_);
        if (buffer_ && format_)
            buffer_->SetFrequency(uint32_t(float(format_->samples_per_second) * tempo_));
    }

    // Fills `bytes` from `offset` with the file's data, rewinding to the start of the data
    // as often as the region needs. Called with the mutex held.
    void fill(uint32_t offset, uint32_t bytes) {
        void* part1 = nullptr;
        void* part2 = nullptr;
        uint32_t bytes1 = 0, bytes2 = 0;
        if (buffer_->Lock(offset, bytes, &part1, &bytes1, &part2, &bytes2, 0) < 0) return;
        read_looping(static_cast<uint8_t*>(part1), bytes1);
        if (part2) read_looping(static_cast<uint8_t*>(part2), bytes2);
        buffer_->Unlock(part1, bytes1, part2, bytes2);
    }

    void read_looping(uint8_t* out, uint32_t bytes) {
        bool rewound_without_data = false;
        while (bytes > 0) {
            uint32_t got = 0;
            OmWavRead(file_, bytes, out, &data_, &got);
            out += got;
            bytes -= got;
            if (bytes == 0) break;
            if (got == 0 && rewound_without_data) {
                // The file gives nothing even from the start of its data (cut short on
                // disk since Init): silence rather than a spin.
                std::memset(out, format_->bits_per_sample == 8 ? 0x80 : 0, bytes);
                break;
            }
            data_ = data_start_;
            OmWavSeekData(file_, &data_, &riff_);
            rewound_without_data = got == 0;
        }
    }

    void run_worker() {
        while (waiter_->wait(stop_)) {
            std::lock_guard lock(mutex_);
            uint32_t play = 0, write = 0;
            if (buffer_->GetCurrentPosition(&play, &write) < 0) continue;
            uint32_t playing_half = play < half_bytes_ ? 0 : 1;
            if (playing_half == waiting_half_) continue;
            // The cursor has left the half it was in: that half is refilled.
            fill(waiting_half_ * half_bytes_, half_bytes_);
            waiting_half_ = playing_half;
        }
    }

    void stop_worker() {
        if (!worker_) return;
        stop_ = true;
        platform::audio::service_ticks().wake();
        worker_->join();
        worker_.reset();
        waiter_.reset();
    }

    std::mutex mutex_;
    IDirectSoundBuffer* buffer_ = nullptr;
    OmWavFile* file_ = nullptr;
    WAVEFORMATEX* format_ = nullptr;
    OmRiffChunk riff_{};
    OmRiffChunk data_{};       // counts down as the data is read
    OmRiffChunk data_start_{}; // the data chunk as found
    uint32_t half_bytes_ = 0;
    uint32_t waiting_half_ = 0; // the half the cursor plays, refilled once it leaves
    float volume_ = 1.0f;
    float tempo_ = 1.0f;
    bool initialised_ = false;
    bool os_acquired_ = false;
    std::atomic<bool> stop_{false};
    std::optional<platform::audio::TickWaiter> waiter_;
    std::optional<std::thread> worker_;
};

const OmClassRecord classes[] = {{&CLSID_Win32Dx5StreamedMusic, nullptr, nullptr,
                                  OmCreateComponent<Win32Dx5StreamedMusic>,
                                  "Win32Dx5StreamedMusic"}};

} // namespace

OM_DEFINE_MODULE(Win32Dx5StreamedMusic, classes)
