// The software mixer: each playing buffer is resampled by linear interpolation with a 32.32
// fixed-point cursor (at its rate, shifted by Doppler for 3D buffers), scaled by its volume and
// pan or its 3D placement (distance law, cone, side), and summed in 32 bits; the sums are
// saturated to the output format at the end.
#include "platform/audio/audio_engine.h"

#include <algorithm>
#include <cmath>

namespace platform::audio {

namespace {

constexpr int32_t unity_gain = 65536;
// The far channel of a 3D source fully to one side keeps half its gain (-6 dB).
constexpr float far_side_attenuation = 0.5f;

// A level in hundredths of a decibel as a linear gain: 10^(v / 2000); the minimum (-100 dB)
// is silence, as a buffer at minimum volume or panned fully to one side is.
double db_gain(int32_t hundredths) {
    if (hundredths <= DSBVOLUME_MIN) return 0.0;
    return hundredths >= 0 ? 1.0 : std::pow(10.0, hundredths / 2000.0);
}

float dot(const D3DVECTOR& a, const D3DVECTOR& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DVECTOR cross(const D3DVECTOR& a, const D3DVECTOR& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Speed of sound in metres per second; positions and velocities are in units of
// distance-factor metres.
constexpr float speed_of_sound = 343.3f;
constexpr float min_doppler_ratio = 0.25f;
constexpr float max_doppler_ratio = 4.0f;

struct Placement {
    float gain = 1.0f;
    float side = 0.0f;    // -1 left .. 1 right
    float doppler = 1.0f; // frequency ratio
};

// The cone: full level within half the inside angle of the orientation, the outside volume
// beyond half the outside angle, and a straight line in decibels between the two.
float cone_gain(const Buffer3DParams& source, const D3DVECTOR& to_listener, float d) {
    if (source.inside_cone >= 360 && source.outside_cone >= 360) return 1.0f;
    float length = std::sqrt(dot(source.cone_orientation, source.cone_orientation));
    if (length <= 0.0f || d <= 0.0f) return 1.0f;
    float c = std::clamp(dot(source.cone_orientation, to_listener) / (length * d), -1.0f, 1.0f);
    float angle = std::acos(c) * 180.0f / 3.14159265f;
    float inside = source.inside_cone / 2.0f;
    float outside = std::max(source.outside_cone / 2.0f, inside);
    if (angle <= inside) return 1.0f;
    float share = angle >= outside ? 1.0f : (angle - inside) / (outside - inside);
    return float(db_gain(int32_t(source.cone_outside_volume * share)));
}

// Distance law, cone, side and Doppler shift of a 3D buffer against the listener.
Placement place_3d(const Buffer3DParams& source, const ListenerParams& listener,
                   bool mute_beyond_max) {
    Placement p;
    D3DVECTOR delta{source.position.x - listener.position.x,
                    source.position.y - listener.position.y,
                    source.position.z - listener.position.z};
    float d = std::sqrt(dot(delta, delta));
    float min = std::max(source.min_distance, 0.0f);
    float max = std::max(source.max_distance, min);
    if (mute_beyond_max && d > max) {
        p.gain = 0.0f;
    } else if (d > min) {
        float held = std::min(d, max); // the gain stays at its maximum-distance value
        float denominator = min + listener.rolloff_factor * (held - min);
        p.gain = denominator > 0.0f ? min / denominator : 1.0f;
    }
    if (d <= 0.0f) return p; // centred: equal on both sides, no cone, no shift
    D3DVECTOR to_listener{-delta.x, -delta.y, -delta.z};
    p.gain *= cone_gain(source, to_listener, d);
    D3DVECTOR right = cross(listener.top, listener.front);
    float length = std::sqrt(dot(right, right));
    if (length > 0.0f) p.side = std::clamp(dot(delta, right) / (length * d), -1.0f, 1.0f);
    // Doppler: speeds along the line from source to listener, in metres per second.
    float scale = listener.distance_factor * listener.doppler_factor;
    float source_speed = dot(source.velocity, to_listener) / d * scale;
    float listener_speed = dot(listener.velocity, to_listener) / d * scale;
    float denominator = speed_of_sound - source_speed;
    if (denominator > 0.0f)
        p.doppler = std::clamp((speed_of_sound - listener_speed) / denominator, min_doppler_ratio,
                               max_doppler_ratio);
    else
        p.doppler = max_doppler_ratio;
    return p;
}

template <int Bits>
inline int32_t sample_at(const uint8_t* data, uint32_t index) {
    if constexpr (Bits == 8) {
        return (int32_t(data[index]) - 128) << 8;
    } else {
        int16_t v;
        __builtin_memcpy(&v, data + 2 * index, 2);
        return v;
    }
}

template <int Bits, int Channels>
void mix_frames(BufferCore& b, int32_t gain_left, int32_t gain_right, uint64_t step, int32_t* sums,
                uint32_t frames) {
    const uint8_t* data = b.samples->bytes.data();
    const uint64_t end = uint64_t(b.frames) << 32;
    uint64_t cursor = b.cursor;
    for (uint32_t i = 0; i < frames; ++i) {
        uint32_t index = uint32_t(cursor >> 32);
        uint32_t fraction = uint32_t(cursor);
        int32_t left = sample_at<Bits>(data, index * Channels);
        int32_t right = Channels == 2 ? sample_at<Bits>(data, index * Channels + 1) : left;
        if (fraction) {
            uint32_t next = index + 1 < b.frames ? index + 1 : (b.looping ? 0 : index);
            int32_t next_left = sample_at<Bits>(data, next * Channels);
            int32_t next_right =
                Channels == 2 ? sample_at<Bits>(data, next * Channels + 1) : next_left;
            left += int32_t((int64_t(next_left - left) * fraction) >> 32);
            right += int32_t((int64_t(next_right - right) * fraction) >> 32);
        }
        sums[2 * i] += int32_t((int64_t(left) * gain_left) >> 16);
        sums[2 * i + 1] += int32_t((int64_t(right) * gain_right) >> 16);
        cursor += step;
        if (cursor >= end) {
            if (!b.looping) {
                b.playing = false;
                cursor = 0;
                break;
            }
            cursor %= end;
        }
    }
    b.cursor = cursor;
}

} // namespace

bool valid_pcm_format(const WAVEFORMATEX& f) {
    if (f.format_tag != WAVE_FORMAT_PCM) return false;
    if (f.channels != 1 && f.channels != 2) return false;
    if (f.bits_per_sample != 8 && f.bits_per_sample != 16) return false;
    if (f.block_align != f.channels * f.bits_per_sample / 8) return false;
    return f.samples_per_second >= DSBFREQUENCY_MIN && f.samples_per_second <= DSBFREQUENCY_MAX;
}

void buffer_gains(const BufferCore& b, const ListenerParams& listener, int32_t* left,
                  int32_t* right) {
    // Each channel's gain is worked out in floating point and rounded once, so that full
    // volume at centre pan is exactly 65536 and the samples pass through unchanged.
    double volume = db_gain(b.volume);
    double l = volume, r = volume;
    if (b.flags & DSBCAPS_CTRL3D) {
        Placement p = place_3d(b.committed, listener, b.flags & DSBCAPS_MUTE3DATMAXDISTANCE);
        l *= p.gain * (p.side > 0.0f ? 1.0f - far_side_attenuation * p.side : 1.0f);
        r *= p.gain * (p.side < 0.0f ? 1.0f + far_side_attenuation * p.side : 1.0f);
    } else {
        if (b.pan > 0) l *= db_gain(-b.pan);
        if (b.pan < 0) r *= db_gain(b.pan);
    }
    *left = int32_t(std::lround(l * unity_gain));
    *right = int32_t(std::lround(r * unity_gain));
}

void mix_buffer(BufferCore& b, const ListenerParams& listener, uint32_t out_rate, int32_t* sums,
                uint32_t frames) {
    if (!b.playing || b.frames == 0 || out_rate == 0) return;
    double rate = b.frequency;
    if (b.flags & DSBCAPS_CTRL3D) rate *= place_3d(b.committed, listener, false).doppler;
    uint64_t step = uint64_t(rate * 4294967296.0) / out_rate;
    if (b.lost) { // plays on, silently, so the cursor the worker watches keeps moving
        uint64_t end = uint64_t(b.frames) << 32;
        uint64_t cursor = b.cursor + step * frames;
        if (cursor >= end && !b.looping) {
            b.playing = false;
            cursor = 0;
        }
        b.cursor = cursor % end;
        return;
    }
    int32_t left, right;
    buffer_gains(b, listener, &left, &right);
    bool wide = b.format.bits_per_sample == 16;
    bool stereo = b.format.channels == 2;
    if (wide && stereo)
        mix_frames<16, 2>(b, left, right, step, sums, frames);
    else if (wide)
        mix_frames<16, 1>(b, left, right, step, sums, frames);
    else if (stereo)
        mix_frames<8, 2>(b, left, right, step, sums, frames);
    else
        mix_frames<8, 1>(b, left, right, step, sums, frames);
}

void write_output(const int32_t* sums, uint32_t frames, const WAVEFORMATEX& format, void* out) {
    auto saturate = [](int32_t v) { return std::clamp(v, -32768, 32767); };
    bool stereo = format.channels == 2;
    if (format.bits_per_sample == 16) {
        auto* o = static_cast<int16_t*>(out);
        for (uint32_t i = 0; i < frames; ++i) {
            if (stereo) {
                o[2 * i] = int16_t(saturate(sums[2 * i]));
                o[2 * i + 1] = int16_t(saturate(sums[2 * i + 1]));
            } else {
                o[i] = int16_t(saturate((sums[2 * i] + sums[2 * i + 1]) / 2));
            }
        }
    } else {
        auto* o = static_cast<uint8_t*>(out);
        auto to8 = [&](int32_t v) { return uint8_t((saturate(v) >> 8) + 128); };
        for (uint32_t i = 0; i < frames; ++i) {
            if (stereo) {
                o[2 * i] = to8(sums[2 * i]);
                o[2 * i + 1] = to8(sums[2 * i + 1]);
            } else {
                o[i] = to8((sums[2 * i] + sums[2 * i + 1]) / 2);
            }
        }
    }
}

} // namespace platform::audio
