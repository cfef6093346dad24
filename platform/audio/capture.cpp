// The capture file and its clock: elapsed milliseconds of the platform clock (wrap-safe)
// become a frame target at 22050 Hz; the newest manual sound object's output is rendered in
// its own format and converted (8 to 16 bits, mono to both sides, nearest frame for another
// rate).
#include "platform/audio/capture.h"

#include "platform/audio/audio_backend.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform::audio {
namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v & 0xffff);
    put16(p + 2, v >> 16);
}

class Capture {
public:
    ~Capture() { stop(); }

    bool start(const std::string& path) {
        std::lock_guard lock(mutex_);
        close();
        frames_ = 0;
        file_ = std::fopen(path.c_str(), "wb");
        if (!file_) return false;
        marks_ = std::fopen((path + ".frames").c_str(), "w");
        elapsed_ms_ = 0;
        last_ms_ = timeGetTime();
        source_rate_ = 0;
        write_header();
        return true;
    }

    void stop() {
        std::lock_guard lock(mutex_);
        close();
    }

    bool active() {
        std::lock_guard lock(mutex_);
        return file_ != nullptr;
    }

    uint64_t frames() {
        std::lock_guard lock(mutex_);
        return frames_;
    }

    void to_now() {
        std::lock_guard lock(mutex_);
        if (!file_) return;
        const uint32_t now = timeGetTime();
        elapsed_ms_ += uint32_t(now - last_ms_);
        last_ms_ = now;
        const uint64_t target = elapsed_ms_ * capture_rate / 1000;
        if (target > frames_) {
            append(target - frames_);
            write_header();
            std::fflush(file_);
        }
        if (marks_) {
            std::fprintf(marks_, "%llu\n", static_cast<unsigned long long>(frames_));
            std::fflush(marks_);
        }
    }

private:
    void close() {
        if (marks_) std::fclose(marks_);
        marks_ = nullptr;
        if (!file_) return;
        write_header();
        std::fclose(file_);
        file_ = nullptr;
    }

    // The RIFF header for the frames written so far; the file position stays at its end.
    void write_header() {
        uint8_t h[44];
        const uint64_t data = frames_ * 4;
        const uint32_t bytes = data > 0xffffffffu - 36 ? 0xffffffffu - 36 : uint32_t(data);
        std::memcpy(h, "RIFF", 4);
        put32(h + 4, 36 + bytes);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(h + 16, 16);
        put16(h + 20, 1);
        put16(h + 22, 2);
        put32(h + 24, capture_rate);
        put32(h + 28, capture_rate * 4);
        put16(h + 32, 4);
        put16(h + 34, 16);
        std::memcpy(h + 36, "data", 4);
        put32(h + 40, bytes);
        std::fseek(file_, 0, SEEK_SET);
        std::fwrite(h, 1, sizeof(h), file_);
        std::fseek(file_, 0, SEEK_END);
    }

    // Appends `count` frames: the sound object's output, or silence when none lives.
    void append(uint64_t count) {
        std::vector<int16_t> out(size_t(count) * 2, 0);
        const WAVEFORMATEX format = render_format();
        const uint32_t rate = format.samples_per_second, frame_bytes = format.block_align;
        if (rate != 0 && frame_bytes != 0) {
            if (rate != source_rate_) {
                // A new sound object, or one whose rate changed: its timeline starts here.
                source_rate_ = rate;
                source_start_ = frames_;
                source_done_ = 0;
            }
            const uint64_t end = frames_ + count;
            const uint64_t want = (end - source_start_) * rate / capture_rate - source_done_;
            raw_.assign(size_t(want) * frame_bytes, 0);
            const uint32_t got = want ? render(raw_.data(), uint32_t(want)) : 0;
            convert(got, rate, format, out);
            source_done_ += got;
        }
        std::fwrite(out.data(), sizeof(int16_t), out.size(), file_);
        frames_ += count;
    }

    // The rendered frames spread over the output by nearest frame.
    void convert(uint32_t got, uint32_t rate, const WAVEFORMATEX& format,
                 std::vector<int16_t>& out) {
        if (got == 0) return;
        const size_t count = out.size() / 2;
        const bool eight = format.bits_per_sample == 8;
        const uint32_t channels = std::max<uint32_t>(1, format.channels);
        auto sample = [&](size_t frame, uint32_t channel) -> int16_t {
            const size_t at = frame * channels + std::min(channel, channels - 1);
            if (eight) return int16_t((int32_t(raw_[at]) - 128) << 8);
            int16_t s;
            std::memcpy(&s, raw_.data() + at * 2, 2);
            return s;
        };
        for (size_t i = 0; i < count; ++i) {
            const size_t frame =
                rate == capture_rate ? i : std::min<size_t>(i * got / count, got - 1);
            if (frame >= got) break;
            out[i * 2] = sample(frame, 0);
            out[i * 2 + 1] = sample(frame, 1);
        }
    }

    std::mutex mutex_;
    std::FILE* file_ = nullptr;
    std::FILE* marks_ = nullptr; // one line per shown frame: the frames captured by then
    uint64_t frames_ = 0;
    uint64_t elapsed_ms_ = 0;
    uint32_t last_ms_ = 0;
    uint32_t source_rate_ = 0;
    uint64_t source_start_ = 0;
    uint64_t source_done_ = 0;
    std::vector<uint8_t> raw_;
};

Capture& capture() {
    static Capture c;
    return c;
}

} // namespace

bool start_capture(const std::string& path) {
    set_backend(Backend::manual);
    if (!capture().start(path)) return false;
    set_frame_shown_hook(capture_to_now);
    return true;
}

void stop_capture() {
    set_frame_shown_hook(nullptr);
    capture().stop();
}

bool capture_active() {
    return capture().active();
}

void capture_to_now() {
    capture().to_now();
}

uint64_t captured_frames() {
    return capture().frames();
}

} // namespace platform::audio
