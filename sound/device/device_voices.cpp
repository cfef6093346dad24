// The streaming device's voices: their buffers, attaching and stealing, and the worker thread
// that refills each buffer half a second at a time.
#include "framework/platform/sound_support.h"
#include "sound/base/sound_format.h"
#include "sound/device/device_sound.h"
#include "sound/device/win32_dx6_sound_control2.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t voice_buffer_flags_3d = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME |
                                           DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRL3D |
                                           DSBCAPS_LOCHARDWARE; // 0x100B4
constexpr uint32_t voice_buffer_flags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLVOLUME |
                                        DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY |
                                        DSBCAPS_LOCHARDWARE; // 0x100E4

// What a one-shot leaves after its end: 0x00 for signed samples and 0x7F for unsigned ones
// (one step below their centre, as the device has always written it).
uint8_t silence_byte(uint32_t code) {
    return sound_format_signed(code) ? 0x00 : 0x7F;
}

} // namespace

void Win32Dx6SoundControl2::release_all(std::vector<ISound*>& sounds) {
    for (ISound* s : sounds) s->Release();
    sounds.clear();
}

void Win32Dx6SoundControl2::release_pending() {
    std::vector<ISound*> sounds;
    {
        std::lock_guard lock(cs_);
        sounds.swap(pending_releases_);
    }
    release_all(sounds);
}

uint32_t Win32Dx6SoundControl2::voice_count() {
    std::lock_guard lock(cs_);
    return uint32_t(voices_.size());
}

DeviceSound* Win32Dx6SoundControl2::voice_sound(uint32_t index) {
    std::lock_guard lock(cs_);
    return index < voices_.size() ? voices_[index].sound : nullptr;
}

IDirectSoundBuffer* Win32Dx6SoundControl2::voice_buffer_at(uint32_t index) {
    std::lock_guard lock(cs_);
    return index < voices_.size() ? voices_[index].buffer : nullptr;
}

IDirectSoundBuffer* Win32Dx6SoundControl2::voice_buffer(const DeviceSound* sound) {
    int32_t index = sound->voice_index();
    std::lock_guard lock(cs_);
    return index >= 0 && size_t(index) < voices_.size() ? voices_[index].buffer : nullptr;
}

IDirectSound3DBuffer* Win32Dx6SoundControl2::voice_buffer_3d(const DeviceSound* sound) {
    int32_t index = sound->voice_index();
    std::lock_guard lock(cs_);
    return index >= 0 && size_t(index) < voices_.size() ? voices_[index].buffer_3d : nullptr;
}

uint64_t Win32Dx6SoundControl2::bytes_played(const DeviceSound* sound) {
    int32_t index = sound->voice_index();
    std::lock_guard lock(cs_);
    if (index < 0 || size_t(index) >= voices_.size()) return 0;
    const Voice& v = voices_[index];
    uint32_t cursor = 0;
    if (!v.buffer || v.buffer->GetCurrentPosition(&cursor, nullptr) < 0) return 0;
    uint32_t wraps = v.wraps + (cursor < v.last_cursor ? 1 : 0); // a wrap since the last tick
    return uint64_t(wraps) * v.buffer_size + cursor;
}

OmResult Win32Dx6SoundControl2::set_voice_count(int32_t count) {
    if (count < 0 || count > DEVICE_MAX_VOICES) return OM_E_FAIL;
    StopAll(0);
    Update(0);
    release_all_voices();
    {
        std::lock_guard lock(cs_);
        voices_.assign(size_t(count), Voice{});
    }
    // The worker touches the voices only under the lock, so a running one goes on over the new
    // list: a count change costs no thread.
    return worker_.joinable() ? OM_S_OK : start_worker();
}

void Win32Dx6SoundControl2::release_all_voices() {
    std::vector<ISound*> released;
    {
        std::lock_guard lock(cs_);
        for (Voice& v : voices_) {
            detach_voice(v, released);
            if (v.buffer_3d) v.buffer_3d->Release();
            if (v.buffer) v.buffer->Release();
            v = Voice{};
        }
        voices_.clear();
    }
    release_all(released);
}

OmResult Win32Dx6SoundControl2::start_worker() {
    stop_ = false;
    // Registered here, before the thread runs, so that no tick is missed in between.
    auto waiter = std::make_unique<platform::audio::TickWaiter>(platform::audio::service_ticks());
    try {
        worker_ = std::thread(&Win32Dx6SoundControl2::worker_loop, this, waiter.get());
    } catch (...) {
        return OM_E_FAIL;
    }
    waiter_ = std::move(waiter);
    return OM_S_OK;
}

void Win32Dx6SoundControl2::stop_worker() {
    if (!worker_.joinable()) return;
    stop_ = true;
    platform::audio::service_ticks().wake();
    worker_.join();
    waiter_.reset();
}

void Win32Dx6SoundControl2::worker_loop(platform::audio::TickWaiter* waiter) {
    while (waiter->wait(stop_)) {
        std::lock_guard lock(cs_);
        for (Voice& v : voices_)
            if (v.playing && v.sound) service_voice(v);
    }
}

void Win32Dx6SoundControl2::service_voice(Voice& v) {
    uint32_t cursor = 0;
    if (v.buffer->GetCurrentPosition(&cursor, nullptr) < 0) return;
    if (cursor < v.last_cursor) ++v.wraps;
    v.last_cursor = cursor;
    if (!v.sound->looping()) {
        // Counting the cursor's wraps gives the bytes played exactly; the sound is let go
        // within one tick of its last sample, never before it.
        uint64_t played = uint64_t(v.wraps) * v.buffer_size + cursor;
        if (played >= v.sound->byte_length()) {
            detach_voice(v, pending_releases_); // released on the main thread
            return;
        }
    }
    if ((v.next_half == 0 && cursor > v.half_size) || (v.next_half == 1 && cursor < v.half_size))
        fill_next_half(v);
}

OmResult Win32Dx6SoundControl2::fill_next_half(Voice& v) {
    uint32_t offset = v.next_half ? v.half_size : 0;
    uint32_t bytes = v.next_half ? v.buffer_size - v.half_size : v.half_size;
    void* part1 = nullptr;
    void* part2 = nullptr;
    uint32_t bytes1 = 0, bytes2 = 0;
    OmResult r = v.buffer->Lock(offset, bytes, &part1, &bytes1, &part2, &bytes2, 0);
    if (r < 0) {
        if (r == DSERR_BUFFERLOST) v.buffer->Restore(); // the next tick fills again
        return r;
    }
    v.next_half ^= 1;
    DeviceSound* sound = v.sound;
    void* memory = nullptr;
    sound->Lock(0, &memory);
    v.fill_start = v.read_position;
    const auto* samples = static_cast<const uint8_t*>(memory);
    uint32_t length = sound->byte_length();
    auto copy = [&](uint8_t* dst, uint32_t n) {
        while (n > 0) {
            if (v.read_position >= length) {
                if (!sound->looping() || length == 0 || !samples) {
                    std::memset(dst, silence_byte(sound->format()), n);
                    return;
                }
                v.read_position = 0; // a looping sound continues from its start
            }
            uint32_t chunk = std::min(n, length - v.read_position);
            std::memcpy(dst, samples + v.read_position, chunk);
            v.read_position += chunk;
            dst += chunk;
            n -= chunk;
        }
    };
    copy(static_cast<uint8_t*>(part1), bytes1);
    if (part2) copy(static_cast<uint8_t*>(part2), bytes2);
    v.buffer->Unlock(part1, bytes1, part2, bytes2);
    sound->Unlock();
    return OM_S_OK;
}

void Win32Dx6SoundControl2::detach_voice(Voice& v, std::vector<ISound*>& released) {
    if (!v.sound) return;
    v.sound->set_voice_index(-1);
    v.playing = false;
    if (v.buffer) v.buffer->Stop();
    released.push_back(v.sound);
    v.sound = nullptr;
}

void Win32Dx6SoundControl2::release_voice(DeviceSound* sound) {
    std::vector<ISound*> released;
    {
        std::lock_guard lock(cs_);
        int32_t index = sound->voice_index();
        if (index >= 0 && size_t(index) < voices_.size()) detach_voice(voices_[index], released);
    }
    release_all(released);
}

OmResult Win32Dx6SoundControl2::prepare_voice(uint32_t index, uint32_t code, uint32_t rate,
                                              bool is_3d, std::vector<ISound*>& released) {
    Voice& v = voices_[index];
    detach_voice(v, released);
    if (v.buffer) {
        v.buffer->Stop();
        if (v.format == code && (v.buffer_3d != nullptr) == is_3d && v.rate == rate) {
            v.buffer->SetCurrentPosition(0);
            return OM_S_OK;
        }
        if (v.buffer_3d) v.buffer_3d->Release();
        v.buffer->Release();
        v.buffer_3d = nullptr;
        v.buffer = nullptr;
    }
    uint32_t frame_bytes = sound_format_frame_bytes(code);
    WAVEFORMATEX format{};
    OmWaveFormatFromCode(code, rate, &format);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC),
                      is_3d ? voice_buffer_flags_3d : voice_buffer_flags,
                      rate * frame_bytes,
                      0,
                      &format,
                      {}};
    OmResult r = direct_sound_->CreateSoundBuffer(&desc, &v.buffer, nullptr);
    if (r < 0) { // no hardware mixing left: once more in software
        desc.dwFlags = (desc.dwFlags & ~DSBCAPS_LOCHARDWARE) | DSBCAPS_LOCSOFTWARE;
        r = direct_sound_->CreateSoundBuffer(&desc, &v.buffer, nullptr);
        if (r < 0) {
            v.buffer = nullptr;
            return r;
        }
    }
    if (is_3d && v.buffer->QueryInterface(IID_IDirectSound3DBuffer,
                                          reinterpret_cast<void**>(&v.buffer_3d)) < 0)
        v.buffer_3d = nullptr;
    v.half_size = (rate / 2) * frame_bytes;
    v.format = code;
    v.buffer_size = rate * frame_bytes;
    v.rate = rate;
    return OM_S_OK;
}

void Win32Dx6SoundControl2::attach_sound(uint32_t index, DeviceSound* sound) {
    Voice& v = voices_[index];
    v.sound = sound;
    sound->AddRef();
    v.read_position = 0;
    v.next_half = 0;
    v.last_cursor = 0;
    v.wraps = 0;
    fill_next_half(v);
    fill_next_half(v);
    v.fill_start = 0;
    sound->set_voice_index(int32_t(index));
}

int64_t Win32Dx6SoundControl2::free_voice(const DeviceSound* sound) const {
    int64_t chosen = -1;
    for (size_t i = 0; i < voices_.size(); ++i) {
        const Voice& v = voices_[i];
        if (v.sound) continue;
        if (chosen < 0) chosen = int64_t(i);
        if (v.buffer && v.format == sound->format() && v.rate == sound->buffer_rate() &&
            (v.buffer_3d != nullptr) == sound->is_3d())
            return int64_t(i); // reused as it is
    }
    return chosen;
}

int64_t Win32Dx6SoundControl2::stealable_voice(const DeviceSound* sound) const {
    int64_t chosen = -1;
    int32_t worst = sound->rank;
    for (size_t i = 0; i < voices_.size(); ++i) {
        const DeviceSound* holder = voices_[i].sound;
        if (holder && holder->rank > worst) {
            worst = holder->rank;
            chosen = int64_t(i);
        }
    }
    return chosen;
}

OmResult Win32Dx6SoundControl2::claim_voice(DeviceSound* sound, bool steal) {
    std::vector<ISound*> released;
    OmResult r = OM_E_FAIL;
    {
        std::lock_guard lock(cs_);
        int64_t chosen = steal ? stealable_voice(sound) : free_voice(sound);
        if (chosen >= 0) {
            r = prepare_voice(uint32_t(chosen), sound->format(), sound->buffer_rate(),
                              sound->is_3d(), released);
            if (r >= 0) attach_sound(uint32_t(chosen), sound);
        }
    }
    release_all(released);
    return r;
}

OmResult Win32Dx6SoundControl2::start_voice(DeviceSound* sound) {
    std::lock_guard lock(cs_);
    int32_t index = sound->voice_index();
    if (index < 0 || size_t(index) >= voices_.size() || !voices_[index].buffer) return OM_E_FAIL;
    Voice& v = voices_[index];
    OmResult r = v.buffer->Play(0, 0, DSBPLAY_LOOPING);
    if (r >= 0) v.playing = true;
    return r;
}
