// Reading the models and shadow textures that object kinds name in their INI files.
#include "game/world/tv_model_files.h"

#include "engine/core/lg_image.h"
#include "engine/core/lg_stream.h"
#include "game/tv_frontend_services.h"

#include <algorithm>
#include <cctype>

TvImagePath::TvImagePath(const char* path) {
    const char* current = LgImageGetPath();
    saved_ = current ? current : "";
    LgImageSetPath(path);
}

TvImagePath::~TvImagePath() {
    LgImageSetPath(saved_.c_str());
}

LgClump* TvReadClump(const char* source, int line, const std::string& path) {
    LgStream* stream = LgStreamOpen(LgStreamTypeFileName, LgStreamAccessRead, path.c_str());
    if (!stream) {
        TvLogError2(source, line, "Couldn't open clump file", path.c_str());
        return nullptr;
    }
    LgClump* clump = nullptr;
    if (!LgStreamFindChunk(stream, LgChunkClump, nullptr, nullptr))
        TvLogError2(source, line, "Was not a clump file", path.c_str());
    else if (!(clump = LgClumpStreamRead(stream)))
        TvLogError2(source, line, "Clump file corrupt.", path.c_str());
    LgStreamClose(stream, nullptr);
    return clump;
}

LgTexture* TvLoadShadowTexture(const char* name, const char* folder) {
    if (LgTexDictionary* dictionary = LgTexDictionaryGetCurrent())
        if (LgTexture* found = LgTexDictionaryFindNamedTexture(dictionary, name))
            return LgTextureAddRef(found);
    LgTexture* texture = nullptr;
    {
        TvImagePath images(folder);
        texture = LgTextureRead("CLEAR", name);
    }
    if (!texture) return nullptr;
    std::string base(name);
    base = base.substr(0, base.find('.'));
    std::transform(base.begin(), base.end(), base.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    LgTextureSetName(texture, base.c_str());
    LgTextureSetFilterMode(texture, 2);
    return texture;
}
