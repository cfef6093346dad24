// Fuzzes the texture chunk of model files: texture word, name and mask name, read through the
// texture module's default reader, which finds the names' images along the image path (a
// directory of small BMPs with masks and mip level files), and the texture's extension.
// Textures go to the current dictionary, so a name read twice is shared; every one is
// released at the end and the dictionary must be empty again.
//
// Input: the stream's bytes: texture chunks (type 6), possibly among other chunks.
#include "fuzz/model_harness.h"

#include <cstring>

namespace {

void check_texture(const LgTexture* texture) {
    fuzzing::require(texture->refCount >= 1, "a texture read holds the caller's reference");
    fuzzing::require(texture->raster != nullptr, "a texture read has a raster");
    fuzzing::require(std::memchr(texture->name, 0, sizeof(texture->name)) != nullptr &&
                         std::memchr(texture->mask, 0, sizeof(texture->mask)) != nullptr,
                     "names end inside their fields");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LgTexDictionary* dictionary = fuzzing::start_model_engine();
    fuzzing::ModelRunBalanced balanced(dictionary);
    fuzzing::MemoryReadStream in(data, size);
    const int32_t mipmapping = LgTextureGetMipmapping();
    const int32_t automatic = LgTextureGetAutoMipmapping();
    const auto textures =
        fuzzing::read_each_chunk<LgTexture>(in.get(), LgChunkTexture, 8, LgTextureStreamRead);
    fuzzing::require(LgTextureGetMipmapping() == mipmapping &&
                         LgTextureGetAutoMipmapping() == automatic,
                     "the mipmap switches are put back");
    for (LgTexture* t : textures) check_texture(t);
    for (LgTexture* t : textures) LgTextureDestroy(t);
    return 0;
}
