// Fuzzes the driver's native textures in chunks: the modes struct, the names, and the surface
// body with its description, every mip level's pixels and the palette, read on the Direct3D
// driver over the software device (palettised formats offered). A texture the driver accepts
// must report the size it writes, and what it writes must read back.
//
// Input: the stream's bytes: native textures one after another.
#include "engine/driver/lg_d3d_native_texture.h"
#include "fuzz/model_harness.h"

#include <vector>

namespace {

LgTexture* read_native(LgStream* stream) {
    LgTexture* texture = nullptr;
    const int32_t ok = LgStandardCall(LgStdNativeTextureRead, stream, &texture, 0);
    fuzzing::require((ok != 0) == (texture != nullptr), "a texture comes exactly with success");
    return texture;
}

void write_and_read_back(LgTexture* texture) {
    uint32_t size = 0;
    fuzzing::require(LgStandardCall(LgStdNativeTextureGetSize, &size, texture, 0) == 1,
                     "an accepted texture reports its size");
    fuzzing::MemoryWriteStream out;
    fuzzing::require(LgStandardCall(LgStdNativeTextureWrite, out.get(), texture, 0) == 1,
                     "an accepted texture writes");
    const std::vector<uint8_t> written = out.take();
    fuzzing::require(written.size() == size, "an accepted texture writes the size it reports");
    fuzzing::MemoryReadStream in(written.data(), written.size());
    LgTexture* back = read_native(in.get());
    fuzzing::require(back != nullptr, "what the driver writes, it reads back");
    LgTextureDestroy(back);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LgTexDictionary* dictionary = fuzzing::start_model_engine();
    fuzzing::ModelRunBalanced balanced(dictionary);
    fuzzing::MemoryReadStream in(data, size);
    std::vector<LgTexture*> textures;
    while (textures.size() < 4) {
        LgTexture* t = read_native(in.get());
        if (t == nullptr) break;
        textures.push_back(t);
    }
    for (LgTexture* t : textures) write_and_read_back(t);
    for (LgTexture* t : textures) LgTextureDestroy(t);
    return 0;
}
