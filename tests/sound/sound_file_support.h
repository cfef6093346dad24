// Shared set-up of the sound-file and processing tests: every module group, plain sounds made
// by BaseSoundCreate, sample access, memory streams, and a RIFF builder for hand-made WAV
// files.
#pragma once

#include "framework/io/memory_stream.h"
#include "framework/io/object_rw.h"
#include "sound/files/riff_stream.h"
#include "sound/sound_modules.h"
#include "tests/sound/sound_test_support.h"
#include "tests/support/framework_classes.h"

#include <string>
#include <vector>

namespace soundtest {

class SoundFileTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        IObjectManager* manager = OmGetObjectManager();
        testsupport::register_container_classes(manager);
        OmRegisterSoundModules(manager);
        testsupport::register_storage_classes(manager);
        testsupport::register_system_classes(manager);
    }
};

// A BaseSound of the code, length and rate with sample i (of the interleaved samples) = f(i).
template <class Fill>
ComRef<ISound> plain_sound(uint32_t code, uint32_t length, uint32_t hz, Fill f) {
    ComRef<ISoundCreate> maker;
    EXPECT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put()), OM_S_OK);
    maker->SetProperty(MAKER_FORMAT, code);
    maker->SetProperty(MAKER_LENGTH, length);
    maker->SetProperty(MAKER_RATE, hz);
    ComRef<ISound> sound;
    EXPECT_EQ(maker->CreateSound(sound.put()), OM_S_OK);
    void* memory = nullptr;
    EXPECT_EQ(sound->Lock(1, &memory), OM_S_OK);
    const size_t count = size_t(length) * sound_format_channels(code);
    for (size_t i = 0; i < count; ++i) {
        if (sound_format_bits(code) == 16)
            static_cast<int16_t*>(memory)[i] = int16_t(f(i));
        else
            static_cast<uint8_t*>(memory)[i] = uint8_t(f(i));
    }
    sound->Unlock();
    return sound;
}

inline ComRef<ISound> plain_sound(uint32_t code, uint32_t length, uint32_t hz) {
    return plain_sound(code, length, hz, [](size_t) { return 0; });
}

// The interleaved samples of a sound (8-bit ones as their byte values).
inline std::vector<int32_t> samples_of(ISound* sound) {
    std::vector<int32_t> out;
    void* memory = nullptr;
    if (sound->Lock(2, &memory) < 0) return out;
    const uint32_t code = sound->GetFormat();
    const size_t count = size_t(sound->GetLength()) * sound_format_channels(code);
    for (size_t i = 0; i < count; ++i)
        out.push_back(sound_format_bits(code) == 16 ? static_cast<int16_t*>(memory)[i]
                                                    : static_cast<uint8_t*>(memory)[i]);
    sound->Unlock();
    return out;
}

inline intptr_t frequency_of(ISound* sound) {
    intptr_t hz = 0;
    sound->GetParamInt(SOUND_INT_FREQUENCY, &hz);
    return hz;
}

// A memory stream holding the bytes, positioned at its start.
inline ComRef<IByteStream> stream_of(const std::string& bytes) {
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    if (!bytes.empty()) {
        EXPECT_EQ(stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr), OM_S_OK);
    }
    stream->Seek(0, OM_SEEK_START, nullptr);
    return stream;
}

// Everything written to a memory stream.
inline std::string bytes_of(IByteStream* stream) {
    uint32_t end = 0;
    stream->Seek(0, OM_SEEK_END, &end);
    stream->Seek(0, OM_SEEK_START, nullptr);
    std::string out(end, '\0');
    if (end) stream->Read(out.data(), end, nullptr);
    return out;
}

// Reads the bytes through the reader with a fresh BaseSoundCreate, on the plain path unless
// `convert` (option 2).
inline OmResult read_file(IObjectRW* reader, const char* extension, const std::string& bytes,
                          ComRef<ISound>& sound, bool convert) {
    reader->SetOption(2, convert ? 1 : 0);
    ComRef<ISoundCreate> maker;
    EXPECT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put()), OM_S_OK);
    auto stream = stream_of(bytes);
    return reader->ReadStream(stream.get(), extension, maker.get(), IID_ISound, sound.put_void());
}

inline std::string le16(uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
inline std::string le32(uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A PCM "fmt " body: 16 bytes, plus the extra-size word and extra bytes when `extra` >= 0.
inline std::string pcm_format(uint32_t channels, uint32_t hz, uint32_t bits, int32_t extra = -1,
                              uint32_t block_align = 0) {
    const uint32_t align = block_align ? block_align : channels * bits / 8;
    std::string f =
        le16(1) + le16(channels) + le32(hz) + le32(hz * align) + le16(align) + le16(bits);
    if (extra >= 0) f += le16(uint32_t(extra)) + std::string(size_t(extra), '\0');
    return f;
}

// A RIFF WAVE file of chunks in order; an odd-sized chunk gets its pad byte unless told not.
class RiffBuilder {
public:
    RiffBuilder& chunk(const char* id, const std::string& body, bool pad = true) {
        body_ += std::string(id, 4) + le32(uint32_t(body.size())) + body;
        if (pad && (body.size() & 1)) body_ += '\0';
        return *this;
    }
    // A chunk header claiming `size` bytes followed by `body` (for hostile headers).
    RiffBuilder& claim(const char* id, uint32_t size, const std::string& body) {
        body_ += std::string(id, 4) + le32(size) + body;
        return *this;
    }
    std::string bytes() const { return "RIFF" + le32(uint32_t(body_.size() + 4)) + "WAVE" + body_; }

private:
    std::string body_;
};

} // namespace soundtest
