// IMA ADPCM files of synthesised sounds, written by the program's own ADPCM writer so the
// demo set exercises that reader.
#pragma once

#include "tools/demodata/sound_synth.h"

#include <string>

namespace demodata {

// The bytes of an ".adpcm" file of the 16-bit sound; false with `error` set on failure.
bool adpcm_bytes(const SynthSound& sound, std::vector<uint8_t>& out, std::string& error);

} // namespace demodata
