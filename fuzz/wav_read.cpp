// Fuzzes the WAV reader: hostile RIFF files opened, their format read, the data chunk found
// and read to its end in pieces. The format block must be as large as it says, and reads must
// stay inside the data chunk and the caller's buffer.
//
// Input: a byte giving the read size (times 7, plus 1), then the file. The file is written to
// one path in a directory of the harness's own, reused for every input.
#include "framework/platform/wav_reader.h"
#include "fuzz/framework_harness.h"
#include "fuzz/scratch_directory.h"

#include <cstring>
#include <vector>

using fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    static fuzzing::ScratchDirectory scratch;
    fuzzing::FrameworkBlocksBalanced balanced;

    fuzzing::FuzzInput input(data, size);
    const uint32_t piece = input.byte() * 7u + 1;
    const auto file_bytes = input.rest();
    const std::string path = scratch.write("input.wav", file_bytes);

    OmWavFile* file = nullptr;
    WAVEFORMATEX* format = nullptr;
    OmRiffChunk riff{};
    const int32_t opened = OmWavOpen(path.c_str(), &file, &format, &riff);
    require((opened == 0) == (file != nullptr && format != nullptr),
            "an open hands out a file and a format exactly when it succeeds");
    if (opened != 0) return 0;
    // The whole record and its extra bytes are there to read.
    std::vector<uint8_t> copy(sizeof(WAVEFORMATEX) + format->extra_size);
    std::memcpy(copy.data(), format, copy.size());

    OmRiffChunk chunk{};
    if (OmWavSeekData(file, &chunk, &riff) == 0) {
        std::vector<uint8_t> buffer(piece);
        uint64_t total = 0;
        const uint32_t announced = chunk.size;
        for (;;) {
            uint32_t read = 0;
            const int32_t r = OmWavRead(file, piece, buffer.data(), &chunk, &read);
            require(read <= piece, "a read fills at most the buffer");
            total += read;
            require(total <= announced, "reads stay inside the data chunk");
            if (r != 0 || read == 0) break;
        }
    }
    require(OmWavClose(&file, &format) == 0 && !file && !format, "closing clears both");
    return 0;
}
