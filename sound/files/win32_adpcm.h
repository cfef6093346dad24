// Win32Adpcm: the "adpcm" reader/writer of the category "SoundObjectRW": RIFF WAVE files of
// IMA ADPCM (read and written with the codec of ima_adpcm.h) or PCM.
#pragma once

#include "framework/io/object_rw.h"

inline constexpr GUID CLSID_Win32Adpcm = om_guid("7C1E2A5D-4B1F-4E8A-9D3C-5A0B6E2F1D47");

// Option 1 is the format tag files are written in: 0 (the fresh value) or 17 for IMA ADPCM,
// 1 for PCM; any other tag makes writing fail with OM_E_FAIL.
inline constexpr uint32_t ADPCM_OPTION_WRITE_TAG = 1;
// Samples per channel and block align per channel of the blocks written.
inline constexpr uint32_t ADPCM_WRITE_SAMPLES_PER_BLOCK = 1017;
inline constexpr uint32_t ADPCM_WRITE_BLOCK_ALIGN = 512;

OM_DECLARE_MODULE(Win32Adpcm);
