// Fuzzes the CD stand-in's own reader of its track files (cd/trackNN.wav): the layout of a
// track read from a stream in memory.
// Checks: a track that reads is PCM with a block alignment of its channels and bits and a
// nonzero rate; its data lies within the file and holds whole frames; its length in
// milliseconds is what the frames give at the rate.
//
// Input: the track file.
#include "fuzz/fuzz_support.h"
#include "platform/audio/cd_audio.h"

#include <sstream>
#include <string>

using fuzzing::require;
namespace mci = platform::audio::mci;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    mci::TrackLayout layout;
    if (!mci::read_track_layout(in, layout)) return 0;
    const WAVEFORMATEX& f = layout.format;
    require(f.format_tag == WAVE_FORMAT_PCM && f.block_align != 0 && f.samples_per_second != 0 &&
                f.block_align == uint32_t(f.channels) * f.bits_per_sample / 8,
            "a track is PCM with a matching block alignment");
    require(layout.data_offset <= size && layout.data_bytes <= size - layout.data_offset,
            "a track's data lies within the file");
    require(layout.data_bytes % f.block_align == 0, "a track's data holds whole frames");
    require(layout.length_ms ==
                uint32_t(uint64_t(layout.data_bytes / f.block_align) * 1000 / f.samples_per_second),
            "a track's length is its frames at its rate");
    return 0;
}
