// The texture module: texture records, dictionaries, the current dictionary and reading
// textures by name.
#include "engine/core/lg_texture.h"

#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_raster.h"

#include <cstddef>
#include <cstring>

LgPluginRegistry LgTextureRegistry = LgPluginRegistryMake(sizeof(LgTexture));
LgPluginRegistry LgTexDictionaryRegistry = LgPluginRegistryMake(sizeof(LgTexDictionary));

namespace {

LgModule textureModule;

constexpr int32_t texturesPerBlock = 20;
constexpr int32_t dictionariesPerBlock = 5;

LgTexture* texture_of(LgLink* link) {
    return reinterpret_cast<LgTexture*>(reinterpret_cast<char*>(link) -
                                        offsetof(LgTexture, inDictionary));
}

LgTexDictionary* dictionary_of(LgLink* link) {
    return reinterpret_cast<LgTexDictionary*>(reinterpret_cast<char*>(link) -
                                              offsetof(LgTexDictionary, inModule));
}

char fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Names compare on the characters a texture keeps, so a long name finds the texture that
// stored it cut short.
bool same_name(const char* stored, const char* wanted) {
    for (int32_t i = 0; i < LgTextureNameMax; ++i) {
        if (fold(stored[i]) != fold(wanted[i])) return false;
        if (stored[i] == '\0') return true;
    }
    return true;
}

void copy_name(char* field, const char* name) {
    const size_t length = name != nullptr ? strnlen(name, LgTextureNameMax) : 0;
    if (length > 0) std::memcpy(field, name, length);
    field[length] = '\0';
}

void free_texture(LgTextureSlice* s, LgTexture* texture) {
    LgPluginRegistryDeinitObject(&LgTextureRegistry, texture);
    LgTexDictionaryRemoveTexture(texture);
    if (texture->raster != nullptr) LgRasterDestroy(texture->raster);
    LgFreeListGive(s->textureList, texture);
}

void free_dictionary(LgTextureSlice* s, LgTexDictionary* dictionary) {
    while (dictionary->textures.next != &dictionary->textures)
        free_texture(s, texture_of(dictionary->textures.next));
    LgPluginRegistryDeinitObject(&LgTexDictionaryRegistry, dictionary);
    LgLinkRemove(&dictionary->inModule);
    if (s->current == dictionary) s->current = nullptr;
    LgFreeListGive(s->dictionaryList, dictionary);
}

} // namespace

LgTextureSlice* LgTextureModuleSlice() {
    return textureModule.slice<LgTextureSlice>();
}

int32_t LgTextureRegisterPlugin(int32_t size, uint32_t pluginId,
                                LgPluginObjectConstructor constructor,
                                LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgTextureRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

int32_t LgTexDictionaryRegisterPlugin(int32_t size, uint32_t pluginId,
                                      LgPluginObjectConstructor constructor,
                                      LgPluginObjectDestructor destructor,
                                      LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgTexDictionaryRegistry, size, pluginId, constructor,
                                     destructor, copy);
}

LgTexture* LgTextureCreate(LgRaster* raster) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return nullptr;
    }
    auto* texture = static_cast<LgTexture*>(LgFreeListTake(s->textureList));
    if (texture == nullptr) return nullptr;
    std::memset(static_cast<void*>(texture), 0, sizeof(LgTexture));
    texture->raster = raster;
    LgLinkInitialise(&texture->inDictionary);
    texture->refCount = 1;
    texture->filterMode = texture->addressingU = texture->addressingV = 1;
    if (LgPluginRegistryInitObject(&LgTextureRegistry, texture) == nullptr) {
        LgFreeListGive(s->textureList, texture);
        return nullptr;
    }
    return texture;
}

LgTexture* LgTextureAddRef(LgTexture* texture) {
    if (texture != nullptr) ++texture->refCount;
    return texture;
}

int32_t LgTextureDestroy(LgTexture* texture) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (texture == nullptr || s == nullptr) return 0;
    if (--texture->refCount <= 0) free_texture(s, texture);
    return 1;
}

LgTexture* LgTextureSetName(LgTexture* texture, const char* name) {
    if (texture != nullptr) copy_name(texture->name, name);
    return texture;
}

LgTexture* LgTextureSetMaskName(LgTexture* texture, const char* name) {
    if (texture != nullptr) copy_name(texture->mask, name);
    return texture;
}

LgTexture* LgTextureSetFilterMode(LgTexture* texture, uint32_t mode) {
    if (texture != nullptr) texture->filterMode = mode;
    return texture;
}

LgTexture* LgTextureSetAddressingU(LgTexture* texture, uint32_t mode) {
    if (texture != nullptr) texture->addressingU = mode;
    return texture;
}

LgTexture* LgTextureSetAddressingV(LgTexture* texture, uint32_t mode) {
    if (texture != nullptr) texture->addressingV = mode;
    return texture;
}

LgTexture* LgTextureRead(const char* name, const char* maskName) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr || name == nullptr) return nullptr;
    if (maskName == nullptr) maskName = "";
    LgTexture* found = nullptr;
    if (s->current != nullptr) {
        found = LgTexDictionaryFindNamedTexture(s->current, name);
    } else {
        for (LgLink* l = s->dictionaries.next; l != &s->dictionaries && found == nullptr;
             l = l->next)
            found = LgTexDictionaryFindNamedTexture(dictionary_of(l), name);
    }
    if (found != nullptr) return LgTextureAddRef(found);
    LgTexture* texture = s->read(name, maskName);
    if (texture == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrTextureNotRead);
        return nullptr;
    }
    if (s->current != nullptr) LgTexDictionaryAddTexture(s->current, texture);
    return texture;
}

int32_t LgTextureSetMipmapping(int32_t on) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr) return 0;
    s->mipmapping = on;
    return 1;
}

int32_t LgTextureGetMipmapping() {
    const LgTextureSlice* s = LgTextureModuleSlice();
    return s != nullptr ? s->mipmapping : 0;
}

int32_t LgTextureSetAutoMipmapping(int32_t on) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr) return 0;
    s->autoMipmapping = on;
    return 1;
}

int32_t LgTextureGetAutoMipmapping() {
    const LgTextureSlice* s = LgTextureModuleSlice();
    return s != nullptr ? s->autoMipmapping : 0;
}

int32_t LgTextureGenerateMipmaps(LgRaster* raster, LgImage* image) {
    const LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr || raster == nullptr) return 0;
    return s->generateMipmaps(raster, image) != nullptr ? 1 : 0;
}

int32_t LgTextureMipLevelName(char* name, char* maskName, int32_t level) {
    const LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr || name == nullptr) return 0;
    return s->mipLevelName(name, maskName, level);
}

LgTextureReadCallBack LgTextureSetReadCallBack(LgTextureReadCallBack callBack) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr) return nullptr;
    const LgTextureReadCallBack previous = s->read;
    s->read = callBack != nullptr ? callBack : LgTextureDefaultRead;
    return previous;
}

LgTextureMipmapGenerationCallBack
LgTextureSetMipmapGenerationCallBack(LgTextureMipmapGenerationCallBack callBack) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr) return nullptr;
    const LgTextureMipmapGenerationCallBack previous = s->generateMipmaps;
    s->generateMipmaps = callBack != nullptr ? callBack : LgTextureDefaultGenerateMipmaps;
    return previous;
}

LgTextureMipmapNameCallBack LgTextureSetMipmapNameCallBack(LgTextureMipmapNameCallBack callBack) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr) return nullptr;
    const LgTextureMipmapNameCallBack previous = s->mipLevelName;
    s->mipLevelName = callBack != nullptr ? callBack : LgTextureDefaultMipLevelName;
    return previous;
}

LgTexDictionary* LgTexDictionaryCreate() {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return nullptr;
    }
    auto* dictionary = static_cast<LgTexDictionary*>(LgFreeListTake(s->dictionaryList));
    if (dictionary == nullptr) return nullptr;
    std::memset(static_cast<void*>(dictionary), 0, sizeof(LgTexDictionary));
    dictionary->header.type = LgObjectTypeTexDictionary;
    LgLinkInitialise(&dictionary->textures);
    LgLinkAddAtHead(&s->dictionaries, &dictionary->inModule);
    LgPluginRegistryInitObject(&LgTexDictionaryRegistry, dictionary);
    return dictionary;
}

int32_t LgTexDictionaryDestroy(LgTexDictionary* dictionary) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr || dictionary == nullptr) return 0;
    free_dictionary(s, dictionary);
    return 1;
}

LgTexDictionary* LgTexDictionaryAddTexture(LgTexDictionary* dictionary, LgTexture* texture) {
    if (dictionary == nullptr || texture == nullptr) return nullptr;
    LgTexDictionaryRemoveTexture(texture);
    LgLinkAddAtHead(&dictionary->textures, &texture->inDictionary);
    texture->dictionary = dictionary;
    return dictionary;
}

LgTexDictionary* LgTexDictionaryRemoveTexture(LgTexture* texture) {
    if (texture == nullptr || texture->dictionary == nullptr) return nullptr;
    LgTexDictionary* dictionary = texture->dictionary;
    LgLinkRemove(&texture->inDictionary);
    texture->dictionary = nullptr;
    return dictionary;
}

LgTexture* LgTexDictionaryFindNamedTexture(LgTexDictionary* dictionary, const char* name) {
    if (dictionary == nullptr || name == nullptr) return nullptr;
    for (LgLink* l = dictionary->textures.next; l != &dictionary->textures; l = l->next)
        if (same_name(texture_of(l)->name, name)) return texture_of(l);
    return nullptr;
}

LgTexDictionary* LgTexDictionaryGetCurrent() {
    const LgTextureSlice* s = LgTextureModuleSlice();
    return s != nullptr ? s->current : nullptr;
}

LgTexDictionary* LgTexDictionarySetCurrent(LgTexDictionary* dictionary) {
    LgTextureSlice* s = LgTextureModuleSlice();
    if (s == nullptr) return nullptr;
    s->current = dictionary;
    return dictionary;
}

LgTexDictionary* LgTexDictionaryForAllTextures(LgTexDictionary* dictionary,
                                               LgTextureCallBack callBack, void* data) {
    if (dictionary == nullptr || callBack == nullptr) return nullptr;
    for (LgLink* l = dictionary->textures.next; l != &dictionary->textures;) {
        LgLink* next = l->next; // the callback may destroy the texture
        if (callBack(texture_of(l), data) == nullptr) break;
        l = next;
    }
    return dictionary;
}

void* LgTextureOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgTextureSlice>(instance, offset);
    std::memset(static_cast<void*>(s), 0, sizeof(LgTextureSlice));
    LgLinkInitialise(&s->dictionaries);
    s->textureList = LgFreeListCreate(LgTextureRegistry.sizeOfStruct, texturesPerBlock, 0);
    s->dictionaryList =
        LgFreeListCreate(LgTexDictionaryRegistry.sizeOfStruct, dictionariesPerBlock, 0);
    s->read = LgTextureDefaultRead;
    s->generateMipmaps = LgTextureDefaultGenerateMipmaps;
    s->mipLevelName = LgTextureDefaultMipLevelName;
    textureModule.offset = offset;
    ++textureModule.openCount;
    if (s->textureList != nullptr && s->dictionaryList != nullptr)
        s->current = LgTexDictionaryCreate();
    if (s->current == nullptr) {
        LgTextureClose(instance, offset, 0);
        return nullptr;
    }
    return instance;
}

void* LgTextureClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgTextureSlice>(instance, offset);
    while (s->dictionaries.next != &s->dictionaries && s->dictionaries.next != nullptr)
        free_dictionary(s, dictionary_of(s->dictionaries.next));
    s->current = nullptr;
    LgFreeListDestroy(s->textureList);
    LgFreeListDestroy(s->dictionaryList);
    s->textureList = nullptr;
    s->dictionaryList = nullptr;
    if (textureModule.openCount > 0) --textureModule.openCount;
    return instance;
}
