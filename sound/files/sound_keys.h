// The sound keys of sound descriptions (sounds.ini sections and INI sound files): the value
// readers and the two appliers, one for a sound maker, one for a made sound.
#pragma once

#include "framework/containers/property_sheet.h"
#include "sound/base/sound_create.h"

// Bytes of the buffers values are read into, terminator included: names, choice words and
// booleans; numbers and lists. A longer value counts as absent.
inline constexpr uint32_t SOUND_KEY_WORD_SIZE = 80;
inline constexpr uint32_t SOUND_KEY_NUMBER_SIZE = 128;

// The text as the C runtime's text-to-double conversion reads it in the "C" locale, whatever
// the process's locale (leading blanks skipped, trailing text ignored; no number gives 0.0).
float OmParseSoundReal(const char* text);

// Value readers over the current section; each fails (the target unchanged) when the key is
// absent or longer than its buffer, or its text is not of the kind (an empty value is present).
// The value as text into a buffer of `size` bytes.
OmResult OmReadSoundKeyText(IPropertySheet* sheet, const char* key, char* buffer, uint32_t size);
// Real: OmParseSoundReal stored as float (text that is no number gives 0.0); `size` is the
// buffer the text is read into.
OmResult OmReadSoundKeyReal(IPropertySheet* sheet, const char* key, float* out,
                            uint32_t size = SOUND_KEY_NUMBER_SIZE);
// Integer: OmParseInteger.
OmResult OmReadSoundKeyInteger(IPropertySheet* sheet, const char* key, int32_t* out);
// Boolean: OmParseBool's words in any case.
OmResult OmReadSoundKeyBool(IPropertySheet* sheet, const char* key, int32_t* out);
// Flag list: the value split at '|' (fields of up to 19 characters); 1 when one field equals
// `word` (case-sensitive), else 0.
OmResult OmReadSoundKeyFlag(IPropertySheet* sheet, const char* key, const char* word, int32_t* out);
// "Format": "MONO16", "STEREO16", "MONO8", "STEREO8" in any case, as format codes. OM_E_FAIL
// (after a warning naming the key and value) for another word.
OmResult OmReadSoundKeyFormat(IPropertySheet* sheet, const char* key, uint32_t* out);
// "Frequency": "44khz", "22khz", "11khz" in any case, else the text as a decimal number.
OmResult OmReadSoundKeyFrequency(IPropertySheet* sheet, const char* key, int32_t* out);
// "LoopControl": "Always" 1, "Never" -1, "Default" 0 in any case; OM_E_FAIL (after a warning)
// for another word.
OmResult OmReadSoundKeyLoopControl(IPropertySheet* sheet, const char* key, int32_t* out);
// Three reals from <key>X, <key>Y, <key>Z; nothing changes unless all three are present.
OmResult OmReadSoundKeyVector(IPropertySheet* sheet, const char* key, float* out);

// Priority, 3d, Cursor, Format, Frequency as maker properties 5, 6, 7, 2, 4 (in that order;
// absent or unreadable keys leave the property). The format applied goes to *format when
// given (0 when none was). 0.
OmResult OmApplySoundMakerKeys(IPropertySheet* sheet, ISoundCreate* maker,
                               uint32_t* format = nullptr);
// Priority, 3d, Volume, Pan, OverallVolume, MinRadius, MaxRadius, InnerConeAngle,
// OuterConeAngle, OuterConeVolume, Param1..Param4, Frequency, the frame (At, Up, Position,
// Velocity) and LoopControl, in that order; the sound's results are not looked at. 0.
OmResult OmApplySoundKeys(IPropertySheet* sheet, ISound* sound);
