// Sound helper conversions.
#include "framework/platform/sound_support.h"

#include <cmath>

namespace {

// The sound devices' decibel factor (8.656, not 20 / ln 10 = 8.686): their volume curve
// depends on it.
constexpr double decibel_factor = 8.656;
constexpr float quietest_volume = 0.0001f;

constexpr uint32_t code_base_bit = 0x100;
constexpr uint32_t code_signed_bit = 0x1000000;

} // namespace

int32_t OmVolumeToHundredthsDb(float volume) {
    float v = volume;
    if (v > 1.0f) v = 1.0f;
    if (!(v >= quietest_volume)) v = quietest_volume; // NaN too
    return int32_t(std::log(double(v)) * decibel_factor * 100.0);
}

OmResult OmWaveFormatFromCode(uint32_t code, uint32_t sample_rate, WAVEFORMATEX* out) {
    if (!out) return OM_E_FAIL;
    out->format_tag = WAVE_FORMAT_PCM;
    out->channels = uint16_t(code & 0xFF);
    out->bits_per_sample = uint16_t((code >> 16) & 31);
    out->block_align = uint16_t((out->bits_per_sample * out->channels) >> 3);
    out->samples_per_second = sample_rate;
    out->average_bytes_per_second = out->block_align * sample_rate;
    out->extra_size = 0;
    return OM_S_OK;
}

OmResult OmWaveFormatToCode(const WAVEFORMATEX* format, uint32_t* code, uint32_t* sample_rate) {
    if (!format || !code || !sample_rate) return OM_E_FAIL;
    *sample_rate = format->samples_per_second;
    if (format->bits_per_sample == 16)
        *code = format->channels | code_signed_bit | (16u << 16) | code_base_bit;
    else if (format->bits_per_sample == 8)
        *code = format->channels | (8u << 16) | code_base_bit;
    return OM_S_OK;
}
