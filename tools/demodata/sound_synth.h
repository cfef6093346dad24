// Seeded synthesis of the demo set's samples and music: every sample comes from integer-seeded
// generators and plain double arithmetic, so the same build always writes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demodata {

inline constexpr uint32_t SYNTH_RATE = 22050;

// Mono 16-bit samples, or interleaved stereo ones (left, right).
struct SynthSound {
    uint16_t channels = 1;
    uint32_t rate = SYNTH_RATE;
    std::vector<int16_t> samples;
    uint32_t frames() const { return uint32_t(samples.size() / channels); }
};

// A small deterministic generator (xorshift32); uniform() is in [-1, 1).
class SynthNoise {
public:
    explicit SynthNoise(uint32_t seed) : state_(seed ? seed : 0x9e3779b9u) {}
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    double uniform() { return double(next() >> 8) / double(1u << 23) - 1.0; }

private:
    uint32_t state_;
};

// The effects, all mono at SYNTH_RATE.
SynthSound synth_menu_focus();
SynthSound synth_menu_click();
// A loop of a whole number of periods of `period` samples (the firing rate), `cylinders`
// pulses per period, `periods` periods long.
SynthSound synth_engine(uint32_t period, uint32_t cylinders, uint32_t periods, uint32_t seed);
// `shots` gunshots `spacing` samples apart.
SynthSound synth_gun_burst(uint32_t shots, uint32_t spacing, double pitch, uint32_t seed);
SynthSound synth_hit(double ring_hz, double seconds, uint32_t seed);
// Rumbling noise that decays over `seconds` (above 2 s for the big ones).
SynthSound synth_explosion(double seconds, double darkness, uint32_t seed);
SynthSound synth_breakage(double seconds, uint32_t seed);
SynthSound synth_whoosh(double seconds, double from_hz, double to_hz, uint32_t seed);
// Three rising notes.
SynthSound synth_pickup(double base_hz);
// A rushing loop of whole periods of `period` samples.
SynthSound synth_boost(uint32_t period, uint32_t periods, uint32_t seed);
// Filtered noise loops whose end runs into their start without a seam.
SynthSound synth_wind(double seconds, uint32_t seed);
SynthSound synth_forest(double seconds, uint32_t seed);
SynthSound synth_water(double seconds, uint32_t seed);

// Stereo music loops: `bars` bars of four beats of SYNTH_RATE / 2 samples (120 beats a
// minute), every note ending inside its bar so the loop has no seam. `rate` is the output rate.
SynthSound synth_music(const std::vector<int>& chord_roots, uint32_t bars, uint32_t rate,
                       uint32_t seed);

// A RIFF/WAVE PCM file of the sound.
std::vector<uint8_t> wav_bytes(const SynthSound& sound);

// A standard MIDI file (format 0, 480 ticks a beat) of a short tune over the chord roots.
std::vector<uint8_t> midi_bytes(const std::vector<int>& chord_roots, uint32_t bars);

} // namespace demodata
