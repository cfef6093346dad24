// The texture chunk of model files: texture word, name and mask name, read through the
// texture module with the word's mipmap switches; and the palette block average.
#include "engine/core/lg_error.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_string_stream.h"
#include "engine/core/lg_texture.h"

namespace {

constexpr uint32_t textureWordSize = 4;
constexpr uint32_t mipLevelsFromFile = 0x10000;
constexpr uint32_t nameBufferSize = 128;

// The texture module's two mipmap switches, put back on every way out.
class MipmapSwitches {
public:
    MipmapSwitches()
        : mipmapping_(LgTextureGetMipmapping()), automatic_(LgTextureGetAutoMipmapping()) {}
    ~MipmapSwitches() {
        LgTextureSetMipmapping(mipmapping_);
        LgTextureSetAutoMipmapping(automatic_);
    }
    MipmapSwitches(const MipmapSwitches&) = delete;
    MipmapSwitches& operator=(const MipmapSwitches&) = delete;

private:
    int32_t mipmapping_;
    int32_t automatic_;
};

bool read_texture_word(LgStream* stream, uint32_t& word) {
    uint32_t length = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr)) return false;
    // The struct holds the one word; anything shorter is not a texture.
    if (length < textureWordSize) {
        LgErrorRaise(LgErrorGroupCore, LgErrInvalidArgument);
        return false;
    }
    uint8_t bytes[textureWordSize];
    if (LgStreamRead(stream, bytes, textureWordSize) != textureWordSize) return false;
    word = static_cast<uint32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16) |
           static_cast<uint32_t>(bytes[3]) << 24;
    return LgStreamSkip(stream, length - textureWordSize) != nullptr;
}

} // namespace

LgTexture* LgTextureStreamRead(LgStream* stream) {
    if (stream == nullptr || LgTextureModuleSlice() == nullptr) return nullptr;
    uint32_t word = 0;
    if (!read_texture_word(stream, word)) return nullptr;
    LgTexture* texture = nullptr;
    {
        const MipmapSwitches saved;
        LgTextureSetMipmapping(1);
        LgTextureSetAutoMipmapping((word & mipLevelsFromFile) == 0 ? 1 : 0);
        char name[nameBufferSize];
        char mask[nameBufferSize];
        if (LgStringStreamRead(name, sizeof(name), stream) == nullptr ||
            LgStringStreamRead(mask, sizeof(mask), stream) == nullptr)
            return nullptr;
        texture = LgTextureRead(name, mask);
        // A texture already in use keeps the modes its first reader gave it.
        if (texture != nullptr && texture->refCount == 1) {
            const uint32_t u = (word >> 8) & 0x0f;
            const uint32_t v = (word >> 12) & 0x0f;
            LgTextureSetFilterMode(texture, word & 0xff);
            LgTextureSetAddressingU(texture, u);
            LgTextureSetAddressingV(texture, v != 0 ? v : u);
        }
    }
    if (texture == nullptr) {
        LgPluginRegistryStreamSkipExtension(nullptr, stream);
        return nullptr;
    }
    if (LgPluginRegistryStreamReadExtension(&LgTextureRegistry, stream, texture) == nullptr) {
        LgTextureDestroy(texture); // the caller never sees it, so its reference goes too
        return nullptr;
    }
    return texture;
}

LgRGBA* LgImageAverageBlock(LgRGBA* out, const uint8_t* pixels, const LgImage* image, int32_t n) {
    if (out == nullptr || pixels == nullptr || image == nullptr || image->palette == nullptr ||
        n < 0 || n > 15)
        return nullptr;
    const int32_t side = 1 << n;
    const uint8_t mask = image->depth == 4 ? 0x0f : 0xff;
    uint64_t sum[4] = {0, 0, 0, 0};
    for (int32_t y = 0; y < side; ++y) {
        const uint8_t* row = pixels + static_cast<size_t>(y) * image->stride;
        for (int32_t x = 0; x < side; ++x) {
            const LgRGBA& c = image->palette[row[x] & mask];
            sum[0] += c.red;
            sum[1] += c.green;
            sum[2] += c.blue;
            sum[3] += c.alpha;
        }
    }
    const int shift = 2 * n;
    *out = {static_cast<uint8_t>(sum[0] >> shift), static_cast<uint8_t>(sum[1] >> shift),
            static_cast<uint8_t>(sum[2] >> shift), static_cast<uint8_t>(sum[3] >> shift)};
    return out;
}
