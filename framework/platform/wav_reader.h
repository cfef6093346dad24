// Reading PCM WAV files: a small RIFF parser with the error numbers of the multimedia file
// functions that the sound code expects (0 is success).
#pragma once

#include "platform/wave_format.h"

#include <cstdint>

inline constexpr int32_t OM_WAV_ERROR_OPEN = 57600;
inline constexpr int32_t OM_WAV_ERROR_NOT_WAVE = 57601; // not RIFF/WAVE, or "fmt " < 16 bytes
inline constexpr int32_t OM_WAV_ERROR_SHORT_FORMAT = 57602;
inline constexpr int32_t OM_WAV_ERROR_EXHAUSTED = 57603; // the file ends inside the data
inline constexpr int32_t OM_WAV_ERROR_NO_MEMORY = 261;
inline constexpr int32_t OM_WAV_ERROR_CHUNK_NOT_FOUND = 265;

// A chunk as the reader walks it: four-character id, size of its data, form type (of a RIFF
// chunk) and the file offset of its data. OmWavRead counts `size` down as it reads.
struct OmRiffChunk {
    uint32_t id;
    uint32_t size;
    uint32_t form;
    uint32_t data_offset;
};

struct OmWavFile;

// Opens a WAV file (a path in the program's form) and reads its format into a new block of
// 18 + extra bytes from the allocator. On failure nothing stays open and both outputs are
// null.
int32_t OmWavOpen(const char* path, OmWavFile** file, WAVEFORMATEX** format, OmRiffChunk* riff);
// Positions the file at the start of the "data" chunk and describes it. 0 or -1.
int32_t OmWavSeekData(OmWavFile* file, OmRiffChunk* data, const OmRiffChunk* riff);
// Reads min(count, bytes left in the chunk); `read` gets the count (0 on error).
int32_t OmWavRead(OmWavFile* file, uint32_t count, uint8_t* buffer, OmRiffChunk* data,
                  uint32_t* read);
// Frees the format and closes the file, clearing both. 0.
int32_t OmWavClose(OmWavFile** file, WAVEFORMATEX** format);
