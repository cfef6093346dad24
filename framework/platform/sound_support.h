// Sound helpers: linear volume to hundredths of a decibel, and PCM formats to and from the
// packed format code (bits 0-7 channels, bit 8 set, bits 16-20 bits per sample, bit 24 signed).
#pragma once

#include "framework/core/result_codes.h"
#include "platform/wave_format.h"

// ln(volume) x 865.6 truncated toward zero, the volume limited to 0.0001..1 (so -7972..0).
int32_t OmVolumeToHundredthsDb(float volume);
// A PCM format from a code and sample rate. 0.
OmResult OmWaveFormatFromCode(uint32_t code, uint32_t sample_rate, WAVEFORMATEX* out);
// The code (for 8 and 16 bits; other sizes leave it as it was) and the sample rate. 0.
OmResult OmWaveFormatToCode(const WAVEFORMATEX* format, uint32_t* code, uint32_t* sample_rate);
