// ObjectRWWav: the "wav" reader/writer of the category "SoundObjectRW": RIFF WAVE files of
// 8-bit unsigned or 16-bit signed PCM.
#pragma once

#include "framework/io/object_rw.h"
#include "sound/base/sound_create.h"

inline constexpr GUID CLSID_ObjectRWWav = om_guid("3A61241B-F28C-11D4-A498-00010239331A");

// Reads a WAV header up to the first sample byte and tells the maker the rate (property 4),
// the format code (2: 0 for depths other than 8 and 16) and the length in frames (3).
// OM_E_FAIL for a malformed header (not RIFF WAVE, not PCM, no or inconsistent block align,
// 0 or more than 255 channels, a data chunk larger than the rest of the stream); the stream's
// result when it ends before "fmt " or "data".
OmResult OmWavReadHeader(IByteStream* stream, ISoundCreate* maker);

OM_DECLARE_MODULE(ObjectRWWav);
