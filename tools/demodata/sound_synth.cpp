// The demo set's sample generators: tones, filtered seeded noise and envelopes, written to
// 16-bit PCM; the music loops and the MIDI tune share one chord progression.
#include "tools/demodata/sound_synth.h"

#include <algorithm>
#include <cmath>

namespace demodata {
namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rate = SYNTH_RATE;

int16_t to_pcm(double v) {
    const double s = std::round(std::clamp(v, -1.0, 1.0) * 32767.0);
    return int16_t(s);
}

SynthSound mono(const std::vector<double>& v, double gain = 1.0) {
    SynthSound s;
    s.samples.reserve(v.size());
    for (double x : v) s.samples.push_back(to_pcm(x * gain));
    return s;
}

size_t samples_for(double seconds) {
    return size_t(std::lround(seconds * rate));
}

// Scales the signal so its peak is `peak`.
void normalise(std::vector<double>& v, double peak) {
    double most = 0;
    for (double x : v) most = std::max(most, std::fabs(x));
    if (most > 0)
        for (double& x : v) x *= peak / most;
}

// A short linear fade at both ends so a one-shot starts and stops without a click.
void fade_ends(std::vector<double>& v, size_t in, size_t out) {
    in = std::min(in, v.size());
    out = std::min(out, v.size());
    for (size_t i = 0; i < in; ++i) v[i] *= double(i) / double(in);
    for (size_t i = 0; i < out; ++i) v[v.size() - 1 - i] *= double(i) / double(out);
}

// One-pole low-pass: y += k (x - y).
struct LowPass {
    double k, y = 0;
    double operator()(double x) { return y += k * (x - y); }
};

// Makes a loop of `length` samples from a signal of length + fade samples: the last `fade`
// samples cross-fade into the first ones, so the end leads into the start without a seam.
std::vector<double> close_loop(const std::vector<double>& x, size_t length, size_t fade) {
    std::vector<double> y(x.begin(), x.begin() + std::ptrdiff_t(length));
    for (size_t i = 0; i < fade; ++i) {
        const double w = double(i) / double(fade);
        y[i] = x[i] * w + x[length + i] * (1.0 - w);
    }
    return y;
}

double note_hz(double midi_note) {
    return 440.0 * std::pow(2.0, (midi_note - 69.0) / 12.0);
}

} // namespace

SynthSound synth_menu_focus() {
    std::vector<double> v(samples_for(0.035));
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i) / rate;
        v[i] = std::sin(2 * pi * 2400 * t) * std::exp(-t / 0.008);
    }
    fade_ends(v, 8, 64);
    return mono(v, 0.5);
}

SynthSound synth_menu_click() {
    SynthNoise noise(0x51c4u);
    std::vector<double> v(samples_for(0.09));
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i) / rate;
        v[i] = 0.6 * noise.uniform() * std::exp(-t / 0.004) +
               std::sin(2 * pi * 1100 * t) * std::exp(-t / 0.02) +
               0.5 * std::sin(2 * pi * 1650 * t) * std::exp(-t / 0.012);
    }
    normalise(v, 1.0);
    fade_ends(v, 4, 128);
    return mono(v, 0.6);
}

SynthSound synth_engine(uint32_t period, uint32_t cylinders, uint32_t periods, uint32_t seed) {
    SynthNoise noise(seed);
    // Harmonic weights and phases drawn once: the same waveform repeats every period.
    double weight[16], phase[16];
    for (int k = 0; k < 16; ++k) {
        weight[k] = (0.5 + 0.5 * std::fabs(noise.uniform())) / double(k + 1);
        phase[k] = pi * noise.uniform();
    }
    const uint32_t pulse = period / cylinders;
    std::vector<double> v(size_t(period) * periods);
    LowPass rumble{0.2};
    for (size_t i = 0; i < v.size(); ++i) {
        const uint32_t p = uint32_t(i % period);
        const double cycle = double(p) / double(period);
        double tone = 0;
        for (int k = 0; k < 16; ++k)
            tone += weight[k] * std::sin(2 * pi * (k + 1) * cycle + phase[k]);
        // Each firing: a decaying knock inside its share of the period.
        const double in_pulse = double(p % pulse) / double(pulse);
        const double knock = std::exp(-in_pulse * 6.0) * std::sin(2 * pi * 3 * in_pulse);
        v[i] =
            0.55 * tone + 0.45 * knock + 0.06 * rumble(noise.uniform()) * std::exp(-in_pulse * 4.0);
    }
    normalise(v, 0.4);
    return mono(v);
}

SynthSound synth_gun_burst(uint32_t shots, uint32_t spacing, double pitch, uint32_t seed) {
    SynthNoise noise(seed);
    std::vector<double> v(size_t(shots) * spacing);
    LowPass body{0.35};
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i % spacing) / rate;
        const double crack = noise.uniform() * std::exp(-t / 0.012);
        const double thump = std::sin(2 * pi * pitch * t * (1.0 - 2.0 * t)) * std::exp(-t / 0.03);
        v[i] = body(crack) * 1.4 + 0.6 * thump;
    }
    normalise(v, 0.55);
    fade_ends(v, 2, 64);
    return mono(v);
}

SynthSound synth_hit(double ring_hz, double seconds, uint32_t seed) {
    SynthNoise noise(seed);
    std::vector<double> v(samples_for(seconds));
    LowPass thud{0.25};
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i) / rate;
        v[i] = thud(noise.uniform()) * std::exp(-t / 0.02) * 1.5 +
               0.5 * std::sin(2 * pi * ring_hz * t) * std::exp(-t / (seconds / 4));
    }
    normalise(v, 0.7);
    fade_ends(v, 2, 256);
    return mono(v);
}

SynthSound synth_explosion(double seconds, double darkness, uint32_t seed) {
    SynthNoise noise(seed);
    std::vector<double> v(samples_for(seconds));
    LowPass a{darkness}, b{darkness};
    double rumble_hz = 45, rumble_phase = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i) / rate;
        // Loud at once, then a long roll that is still heard in the last quarter.
        const double env =
            std::min(1.0, t / 0.008) * (0.25 + 0.75 * std::exp(-t / 0.35)) * (1.0 - t / seconds);
        rumble_hz = std::clamp(rumble_hz + 0.02 * noise.uniform(), 30.0, 70.0);
        rumble_phase += 2 * pi * rumble_hz / rate;
        v[i] = env * (b(a(noise.uniform())) * 4.0 + 0.35 * std::sin(rumble_phase));
    }
    normalise(v, 0.6);
    fade_ends(v, 2, 512);
    return mono(v);
}

SynthSound synth_breakage(double seconds, uint32_t seed) {
    SynthNoise noise(seed);
    std::vector<double> v(samples_for(seconds));
    LowPass tone{0.5};
    double crack = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = double(i) / rate;
        // Cracks grow sparser as the thing comes apart.
        const double chance = 0.004 * std::exp(-t / (seconds / 3));
        if (double(noise.next() % 1000000u) / 1e6 < chance) crack = 1.0;
        crack *= 0.9985;
        v[i] = tone(noise.uniform()) * crack + 0.2 * noise.uniform() * std::exp(-t / 0.05);
    }
    normalise(v, 0.7);
    fade_ends(v, 2, 256);
    return mono(v);
}

SynthSound synth_whoosh(double seconds, double from_hz, double to_hz, uint32_t seed) {
    SynthNoise noise(seed);
    std::vector<double> v(samples_for(seconds));
    // A resonant band-pass (state-variable filter) sweeping from one centre to the other.
    double low = 0, band = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double u = double(i) / double(v.size());
        const double hz = from_hz * std::pow(to_hz / from_hz, u);
        const double f = 2 * std::sin(pi * hz / rate);
        const double high = noise.uniform() - low - 0.3 * band;
        band += f * high;
        low += f * band;
        v[i] = band * std::sin(pi * u) + 0.3 * std::sin(2 * pi * hz * double(i) / rate) * (1 - u);
    }
    normalise(v, 0.7);
    fade_ends(v, 64, 256);
    return mono(v);
}

SynthSound synth_pickup(double base_hz) {
    const size_t note = samples_for(0.08);
    const double steps[3] = {1.0, 1.25, 1.5};
    std::vector<double> v(note * 3 + samples_for(0.12));
    for (int n = 0; n < 3; ++n)
        for (size_t i = 0; i < v.size() - note * n; ++i) {
            const double t = double(i) / rate, hz = base_hz * steps[n];
            v[note * n + i] +=
                (std::sin(2 * pi * hz * t) + 0.3 * std::sin(4 * pi * hz * t)) * std::exp(-t / 0.06);
        }
    normalise(v, 0.6);
    fade_ends(v, 8, 256);
    return mono(v);
}

SynthSound synth_boost(uint32_t period, uint32_t periods, uint32_t seed) {
    SynthNoise noise(seed);
    std::vector<double> v(size_t(period) * periods);
    LowPass hiss{0.6};
    for (size_t i = 0; i < v.size(); ++i) {
        const double cycle = double(i % period) / double(period);
        const double saw = 2.0 * cycle - 1.0;
        const double roar = std::sin(2 * pi * 3 * cycle) * 0.4;
        v[i] = 0.4 * saw + roar + 0.5 * hiss(noise.uniform());
    }
    normalise(v, 0.6);
    return mono(v);
}

SynthSound synth_wind(double seconds, uint32_t seed) {
    SynthNoise noise(seed);
    const size_t length = samples_for(seconds), fade = samples_for(0.5);
    std::vector<double> x(length + fade);
    LowPass a{0.02}, b{0.05};
    for (size_t i = 0; i < x.size(); ++i) {
        // Gusts: a slow swell that repeats twice over the loop.
        const double gust = 0.6 + 0.4 * std::sin(2 * pi * 2.0 * double(i) / double(length));
        x[i] = b(a(noise.uniform())) * gust;
    }
    std::vector<double> v = close_loop(x, length, fade);
    normalise(v, 0.5);
    return mono(v);
}

SynthSound synth_forest(double seconds, uint32_t seed) {
    SynthNoise noise(seed);
    const size_t length = samples_for(seconds), fade = samples_for(0.5);
    std::vector<double> x(length + fade);
    LowPass leaves_low{0.3}, leaves_high{0.05};
    for (size_t i = 0; i < x.size(); ++i) {
        const double n = noise.uniform();
        const double rustle = leaves_low(n) - leaves_high(n); // a band of leaf noise
        x[i] = rustle * (0.7 + 0.3 * std::sin(2 * pi * 3.0 * double(i) / double(length)));
    }
    // Birds: short chirps placed clear of the cross-faded part.
    const size_t chirp = samples_for(0.12);
    for (int bird = 0; bird < 6; ++bird) {
        const size_t at = fade + size_t(noise.next() % uint32_t(length - fade - 3 * chirp));
        const double hz = 2500.0 + 1500.0 * std::fabs(noise.uniform());
        for (int call = 0; call < 2; ++call)
            for (size_t i = 0; i < chirp; ++i) {
                const double t = double(i) / rate, u = double(i) / double(chirp);
                x[at + call * chirp * 3 / 2 + i] +=
                    0.5 * std::sin(2 * pi * hz * t * (1.0 + 0.3 * u)) * std::sin(pi * u);
            }
    }
    std::vector<double> v = close_loop(x, length, fade);
    normalise(v, 0.45);
    return mono(v);
}

SynthSound synth_water(double seconds, uint32_t seed) {
    SynthNoise noise(seed);
    const size_t length = samples_for(seconds), fade = samples_for(0.5);
    std::vector<double> x(length + fade);
    LowPass a{0.08};
    for (size_t i = 0; i < x.size(); ++i) {
        const double lap = 0.5 + 0.5 * std::sin(2 * pi * 4.0 * double(i) / double(length));
        x[i] = a(noise.uniform()) * (0.4 + 0.6 * lap * lap);
    }
    std::vector<double> v = close_loop(x, length, fade);
    normalise(v, 0.45);
    return mono(v);
}

SynthSound synth_music(const std::vector<int>& chord_roots, uint32_t bars, uint32_t out_rate,
                       uint32_t seed) {
    SynthNoise noise(seed);
    const size_t beat = out_rate / 2, bar = beat * 4, frames = bar * bars;
    std::vector<double> left(frames), right(frames);
    // One note: a few harmonics, a quick attack and a decay, silent at `length`.
    auto note = [&](double midi, size_t start, size_t length, double level, double pan,
                    int harmonics, double decay) {
        const double hz = note_hz(midi);
        for (size_t i = 0; i < length && start + i < frames; ++i) {
            const double t = double(i) / out_rate;
            const double end = double(length - i) / double(std::min<size_t>(length, 220));
            const double env = std::min(1.0, t / 0.006) * std::exp(-t / decay) * std::min(1.0, end);
            double s = 0;
            for (int h = 1; h <= harmonics; ++h) s += std::sin(2 * pi * hz * h * t) / (h * h);
            s *= env * level;
            left[start + i] += s * (1.0 - pan);
            right[start + i] += s * (1.0 + pan);
        }
    };
    for (uint32_t b = 0; b < bars; ++b) {
        const int root = chord_roots[b % chord_roots.size()];
        const bool minor = (root % 12 == 9) || (root % 12 == 2) || (root % 12 == 4);
        const int third = minor ? 3 : 4;
        const size_t at = size_t(b) * bar;
        // Pad: the chord held over the bar, spread apart.
        note(root, at, bar, 0.12, -0.3, 3, 1.6);
        note(root + third, at, bar, 0.10, 0.3, 3, 1.6);
        note(root + 7, at, bar, 0.10, 0.0, 3, 1.6);
        // Bass on beats one and three.
        note(root - 12, at, beat * 2, 0.30, 0.0, 4, 0.5);
        note(root - 12, at + beat * 2, beat * 2, 0.26, 0.0, 4, 0.5);
        // Melody: eighth notes from the chord, a little to the left.
        const int tones[4] = {0, third, 7, 12};
        for (int e = 0; e < 8; ++e) {
            if (noise.next() % 4 == 0) continue; // a rest
            const int pitch = root + 12 + tones[noise.next() % 4];
            note(pitch, at + size_t(e) * beat / 2, beat / 2, 0.16, -0.4, 2, 0.15);
        }
        // A hi-hat tick on every beat, to the right.
        for (int q = 0; q < 4; ++q) {
            const size_t s = at + size_t(q) * beat;
            for (size_t i = 0; i < out_rate / 40; ++i) {
                const double v = 0.05 * noise.uniform() * std::exp(-double(i) / (out_rate / 200.0));
                left[s + i] += v * 0.6;
                right[s + i] += v * 1.4;
            }
        }
    }
    double most = 0;
    for (size_t i = 0; i < frames; ++i)
        most = std::max({most, std::fabs(left[i]), std::fabs(right[i])});
    const double gain = most > 0 ? 0.6 / most : 1.0;
    SynthSound s;
    s.channels = 2;
    s.rate = out_rate;
    s.samples.reserve(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        s.samples.push_back(to_pcm(left[i] * gain));
        s.samples.push_back(to_pcm(right[i] * gain));
    }
    return s;
}

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
void put_be16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
void put_be32(std::vector<uint8_t>& b, uint32_t v) {
    put_be16(b, v >> 16);
    put_be16(b, v & 0xffff);
}
void tag(std::vector<uint8_t>& b, const char* t) {
    b.insert(b.end(), t, t + 4);
}

void put_variable(std::vector<uint8_t>& b, uint32_t v) {
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = uint8_t(v & 0x7f);
    while (v >>= 7) bytes[n++] = uint8_t(0x80 | (v & 0x7f));
    while (n) b.push_back(bytes[--n]);
}

} // namespace

std::vector<uint8_t> wav_bytes(const SynthSound& sound) {
    const uint32_t bytes = uint32_t(sound.samples.size() * 2);
    const uint32_t align = sound.channels * 2u;
    std::vector<uint8_t> b;
    b.reserve(44 + bytes);
    tag(b, "RIFF");
    put32(b, 36 + bytes);
    tag(b, "WAVE");
    tag(b, "fmt ");
    put32(b, 16);
    put16(b, 1); // PCM
    put16(b, sound.channels);
    put32(b, sound.rate);
    put32(b, sound.rate * align);
    put16(b, align);
    put16(b, 16);
    tag(b, "data");
    put32(b, bytes);
    for (int16_t s : sound.samples) put16(b, uint16_t(s));
    return b;
}

std::vector<uint8_t> midi_bytes(const std::vector<int>& chord_roots, uint32_t bars) {
    constexpr uint32_t beat = 480;
    struct Event {
        uint32_t tick;
        int order; // note-offs before note-ons at the same tick
        uint8_t status, a, b;
    };
    std::vector<Event> events;
    auto add = [&](uint8_t channel, int pitch, uint32_t start, uint32_t length, uint8_t velocity) {
        events.push_back({start, 1, uint8_t(0x90 | channel), uint8_t(pitch), velocity});
        events.push_back({start + length, 0, uint8_t(0x80 | channel), uint8_t(pitch), 0});
    };
    SynthNoise noise(0x3d1du);
    for (uint32_t b = 0; b < bars; ++b) {
        const int root = chord_roots[b % chord_roots.size()];
        const bool minor = (root % 12 == 9) || (root % 12 == 2) || (root % 12 == 4);
        const int third = minor ? 3 : 4;
        const uint32_t at = b * beat * 4;
        for (int tone : {0, third, 7}) add(1, root + tone, at, beat * 4 - 10, 60);
        add(2, root - 12, at, beat * 2 - 10, 90);
        add(2, root - 12, at + beat * 2, beat * 2 - 10, 80);
        const int tones[4] = {0, third, 7, 12};
        for (uint32_t e = 0; e < 8; ++e) {
            if (noise.next() % 4 == 0) continue;
            add(0, root + 12 + tones[noise.next() % 4], at + e * beat / 2, beat / 2 - 10, 100);
        }
    }
    std::stable_sort(events.begin(), events.end(), [](const Event& x, const Event& y) {
        return x.tick != y.tick ? x.tick < y.tick : x.order < y.order;
    });
    std::vector<uint8_t> track;
    // Tempo 120 beats a minute; trumpet-like lead, strings, bass.
    const uint8_t head[] = {0x00, 0xff, 0x51, 0x03, 0x07, 0xa1, 0x20, 0x00,
                            0xc0, 56,   0x00, 0xc1, 48,   0x00, 0xc2, 32};
    track.insert(track.end(), std::begin(head), std::end(head));
    uint32_t now = 0;
    for (const Event& e : events) {
        put_variable(track, e.tick - now);
        now = e.tick;
        track.push_back(e.status);
        track.push_back(e.a);
        track.push_back(e.b);
    }
    const uint8_t end[] = {0x00, 0xff, 0x2f, 0x00};
    track.insert(track.end(), std::begin(end), std::end(end));

    std::vector<uint8_t> file;
    tag(file, "MThd");
    put_be32(file, 6);
    put_be16(file, 0); // one track
    put_be16(file, 1);
    put_be16(file, beat);
    tag(file, "MTrk");
    put_be32(file, uint32_t(track.size()));
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

} // namespace demodata
