// The sound object's engine: its output (an SDL device or the manual render entry), the mix of
// its buffers, and the backend selection and inspection entry points.
#include "platform/audio/audio_engine.h"
#include "platform/audio/sound_buffer.h"
#include "platform/audio/tick_source.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

namespace platform::audio {

namespace {

std::mutex settings_mutex;
Backend current_backend = Backend::sdl;
DeviceProfile current_profile;

std::mutex engines_mutex;
std::weak_ptr<Engine> newest_manual;
std::weak_ptr<Engine> newest_any;

constexpr uint32_t mix_chunk_frames = 1024;

WAVEFORMATEX default_output() {
    WAVEFORMATEX f{};
    f.format_tag = WAVE_FORMAT_PCM;
    f.channels = 2;
    f.bits_per_sample = 16;
    f.block_align = 4;
    f.samples_per_second = 22050;
    f.average_bytes_per_second = 22050 * 4;
    return f;
}

void sdl_callback(void* user, Uint8* stream, int length) {
    auto* engine = static_cast<Engine*>(user);
    std::lock_guard lock(engine->mutex);
    uint32_t frame_bytes = engine->output.block_align;
    engine->mix(stream, uint32_t(length) / frame_bytes);
}

} // namespace

void set_backend(Backend b) {
    std::lock_guard lock(settings_mutex);
    current_backend = b;
}

Backend backend() {
    std::lock_guard lock(settings_mutex);
    return current_backend;
}

void set_device_profile(const DeviceProfile& profile) {
    std::lock_guard lock(settings_mutex);
    current_profile = profile;
}

DeviceProfile device_profile() {
    std::lock_guard lock(settings_mutex);
    return current_profile;
}

Engine::Engine(Backend b, const DeviceProfile& p)
    : backend(b), profile(p), free_hardware(p.free_hardware_buffers), output(default_output()) {
    frames_to_tick = output.samples_per_second * service_tick_ms / 1000;
}

Engine::~Engine() {
    close_output();
    if (holds_real_clock_) service_ticks().release_real_clock();
}

bool Engine::open() {
    if (backend == Backend::manual) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    sdl_audio_started_ = true;
    reopen_output();
    if (!sdl_device_) return false;
    service_ticks().hold_real_clock();
    holds_real_clock_ = true;
    return true;
}

void Engine::close_output() {
    if (sdl_device_) SDL_CloseAudioDevice(sdl_device_); // waits for a running callback
    sdl_device_ = 0;
    if (sdl_audio_started_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sdl_audio_started_ = false;
}

void Engine::reopen_output() {
    if (backend != Backend::sdl || !sdl_audio_started_) {
        std::lock_guard lock(mutex);
        frames_to_tick = output.samples_per_second * service_tick_ms / 1000;
        return;
    }
    if (sdl_device_) SDL_CloseAudioDevice(sdl_device_);
    sdl_device_ = 0;
    SDL_AudioSpec want{};
    {
        std::lock_guard lock(mutex);
        want.freq = int(output.samples_per_second);
        want.format = output.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
        want.channels = Uint8(output.channels);
    }
    want.samples = 1024;
    want.callback = sdl_callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    sdl_device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0); // SDL converts
    if (sdl_device_) SDL_PauseAudioDevice(sdl_device_, 0);
}

void Engine::mix(void* out, uint32_t frames) {
    uint32_t frame_bytes = output.block_align;
    auto* bytes = static_cast<uint8_t*>(out);
    sums_.resize(2 * mix_chunk_frames);
    while (frames > 0) {
        uint32_t n = std::min(frames, mix_chunk_frames);
        std::fill(sums_.begin(), sums_.begin() + 2 * n, 0);
        for (SoundBuffer* b : buffers)
            mix_buffer(b->core(), committed_listener, output.samples_per_second, sums_.data(), n);
        if (primary_lost) std::fill(sums_.begin(), sums_.begin() + 2 * n, 0);
        if (std::any_of(sums_.begin(), sums_.begin() + 2 * n, [](int32_t v) { return v != 0; }))
            audible_chunks.fetch_add(1, std::memory_order_relaxed);
        write_output(sums_.data(), n, output, bytes);
        bytes += n * frame_bytes;
        frames -= n;
    }
}

void register_manual_engine(const std::shared_ptr<Engine>& engine) {
    std::lock_guard lock(engines_mutex);
    newest_manual = engine;
}

std::shared_ptr<Engine> newest_manual_engine() {
    std::lock_guard lock(engines_mutex);
    return newest_manual.lock();
}

void note_engine(const std::shared_ptr<Engine>& engine) {
    std::lock_guard lock(engines_mutex);
    newest_any = engine;
}

std::shared_ptr<Engine> newest_engine() {
    std::lock_guard lock(engines_mutex);
    return newest_any.lock();
}

uint32_t render(void* out, uint32_t frames) {
    std::shared_ptr<Engine> engine = newest_manual_engine();
    if (!engine || !out) return 0;
    auto* bytes = static_cast<uint8_t*>(out);
    uint32_t done = 0;
    while (done < frames) {
        bool tick = false;
        uint32_t n;
        {
            std::lock_guard lock(engine->mutex);
            uint32_t per_tick =
                std::max(1u, engine->output.samples_per_second * service_tick_ms / 1000);
            if (engine->frames_to_tick == 0 || engine->frames_to_tick > per_tick)
                engine->frames_to_tick = per_tick;
            n = std::min(frames - done, engine->frames_to_tick);
            engine->mix(bytes + size_t(done) * engine->output.block_align, n);
            engine->frames_to_tick -= n;
            if (engine->frames_to_tick == 0) {
                tick = true;
                engine->frames_to_tick = per_tick;
            }
        }
        done += n;
        if (tick) service_ticks().tick(true); // outside the mutex: the workers take it
    }
    return done;
}

uint64_t audible_output_chunks() {
    std::shared_ptr<Engine> engine = newest_engine();
    return engine ? engine->audible_chunks.load(std::memory_order_relaxed) : 0;
}

uint32_t render_frame_bytes() {
    std::shared_ptr<Engine> engine = newest_manual_engine();
    if (!engine) return 0;
    std::lock_guard lock(engine->mutex);
    return engine->output.block_align;
}

uint32_t render_rate() {
    std::shared_ptr<Engine> engine = newest_manual_engine();
    if (!engine) return 0;
    std::lock_guard lock(engine->mutex);
    return engine->output.samples_per_second;
}

WAVEFORMATEX render_format() {
    std::shared_ptr<Engine> engine = newest_manual_engine();
    if (!engine) return WAVEFORMATEX{};
    std::lock_guard lock(engine->mutex);
    return engine->output;
}

bool inspect(IDirectSoundBuffer* buffer, BufferSnapshot* out) {
    return inspect_buffer(buffer, out);
}

void mark_lost(IDirectSoundBuffer* buffer) {
    mark_buffer_lost(buffer);
}

uint32_t live_buffer_count() {
    std::shared_ptr<Engine> engine = newest_engine();
    if (!engine) return 0;
    std::lock_guard lock(engine->mutex);
    return uint32_t(engine->buffers.size());
}

} // namespace platform::audio
