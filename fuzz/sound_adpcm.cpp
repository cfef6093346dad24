// Fuzzes our IMA ADPCM decoder: whole files through the ADPCM reader's plain read (at the
// file's own format, as OmWaveConvert's nested read does), and single blocks straight into
// ima_decode_block with a channel count and block size of the input's choosing, into an output
// of exactly the samples a block may hold (ASan sees any write past it).
// Checks: a read hands out a 16-bit sound exactly when it succeeds and every sample reads; a
// block decodes at most its samples per block, into at most the output, and re-encoding the
// decoded frames gives a block of the size the layout says.
//
// Input: a byte (bit 0: a single block; else a file), for a block a channel-count byte and a
// samples-per-block byte, then the bytes.
#include "fuzz/data_harness.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound.h"
#include "sound/base/sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/files/ima_adpcm.h"
#include "sound/files/win32_adpcm.h"

#include <vector>

using fuzzing::require;

namespace {

struct Fixture {
    ComRef<IObjectRW> adpcm;
    Fixture() {
        fuzzing::start_data_framework();
        require(OmCreate(CLSID_Win32Adpcm, IID_IObjectRW, adpcm.put()) >= 0, "the ADPCM reader");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void decode_block(fuzzing::FuzzInput& input) {
    const uint32_t channels = input.byte() % 8 + 1;
    const uint32_t per_block = input.byte() + 1u;
    const auto bytes = input.rest();
    std::vector<uint8_t> block(bytes.begin(), bytes.end());
    std::vector<int16_t> out(size_t(per_block) * channels);
    uint32_t frames = 0;
    if (!ima_decode_block(block.data(), uint32_t(block.size()), channels, per_block, out.data(),
                          &frames))
        return;
    require(frames <= per_block, "a block decodes at most its samples per block");
    if (frames == 0) return;
    ImaEncoderState state;
    std::vector<uint8_t> encoded(ima_block_bytes(frames, channels));
    ima_encode_block(out.data(), frames, channels, state, encoded.data());
    std::vector<int16_t> again(size_t(frames) * channels);
    uint32_t decoded = 0;
    require(ima_decode_block(encoded.data(), uint32_t(encoded.size()), channels, frames,
                             again.data(), &decoded) &&
                decoded == frames,
            "an encoded block decodes whole");
}

void read_file(std::span<const uint8_t> bytes) {
    Fixture& f = fixture();
    fuzzing::FrameworkBlocksBalanced balanced;
    f.adpcm->SetOption(2, 0);
    ComRef<ISoundCreate> maker;
    require(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put()) >= 0, "a maker");
    auto stream = fuzzing::stream_of(bytes);
    ComRef<ISound> sound;
    const OmResult r =
        f.adpcm->ReadStream(stream.get(), "adpcm", maker.get(), IID_ISound, sound.put_void());
    require((r >= 0) == bool(sound), "a read hands out a sound exactly when it succeeds");
    if (!sound) return;
    const uint32_t code = sound->GetFormat();
    require(sound_format_bits(code) == 16 || sound_format_bits(code) == 8,
            "an ADPCM file reads as 8 or 16-bit samples");
    void* memory = nullptr;
    if (sound->Lock(2, &memory) < 0) return;
    const uint64_t bytes_held =
        uint64_t(sound->GetLength()) * sound_format_channels(code) * sound_format_bits(code) / 8;
    volatile uint8_t sum = 0;
    for (uint64_t i = 0; i < bytes_held; ++i) sum = sum + static_cast<const uint8_t*>(memory)[i];
    sound->Unlock();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fixture();
    fuzzing::FuzzInput input(data, size);
    if (input.byte() & 1)
        decode_block(input);
    else
        read_file(input.rest());
    return 0;
}
