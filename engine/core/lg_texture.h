// Textures (named, reference-counted rasters), texture dictionaries, the texture reader with
// its mip levels, and the texture chunk of model files (engine module 0x408).
#pragma once

#include "engine/core/lg_objects.h"
#include "engine/core/lg_plugin_registry.h"

// No texture could be read for the name.
constexpr int32_t LgErrTextureNotRead = 21;

// Characters a texture or mask name keeps (the field holds one more for the terminator).
constexpr int32_t LgTextureNameMax = 31;

using LgTextureReadCallBack = LgTexture* (*)(const char* name, const char* maskName);
// Fills levels 1 and up of a mipmapped raster from level 0 (the image, or the raster's own
// level 0 when null); nonzero on success.
using LgTextureMipmapGenerationCallBack = LgRaster* (*)(LgRaster* raster, LgImage* image);
// Turns a texture name and mask name into the names of a mip level's files, in place; both
// buffers must hold two more characters.
using LgTextureMipmapNameCallBack = int32_t (*)(char* name, char* maskName, int32_t level);

struct LgTextureSlice {
    LgLink dictionaries; // newest first
    LgFreeList* textureList;
    LgFreeList* dictionaryList;
    LgTexDictionary* current;
    LgTextureReadCallBack read;
    int32_t mipmapping;
    int32_t autoMipmapping;
    LgTextureMipmapGenerationCallBack generateMipmaps;
    LgTextureMipmapNameCallBack mipLevelName;
};

// Plug-in registries of textures and dictionaries.
extern LgPluginRegistry LgTextureRegistry;
extern LgPluginRegistry LgTexDictionaryRegistry;
int32_t LgTextureRegisterPlugin(int32_t size, uint32_t pluginId,
                                LgPluginObjectConstructor constructor,
                                LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);
int32_t LgTexDictionaryRegisterPlugin(int32_t size, uint32_t pluginId,
                                      LgPluginObjectConstructor constructor,
                                      LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);

// A texture owning the raster, in no dictionary, with one reference.
LgTexture* LgTextureCreate(LgRaster* raster);
LgTexture* LgTextureAddRef(LgTexture* texture);
// Drops one reference; the last one destroys the texture and its raster.
int32_t LgTextureDestroy(LgTexture* texture);
inline const char* LgTextureGetName(const LgTexture* texture) {
    return texture->name;
}
inline const char* LgTextureGetMaskName(const LgTexture* texture) {
    return texture->mask;
}
inline LgRaster* LgTextureGetRaster(const LgTexture* texture) {
    return texture->raster;
}
// Names longer than LgTextureNameMax characters are cut to it.
LgTexture* LgTextureSetName(LgTexture* texture, const char* name);
LgTexture* LgTextureSetMaskName(LgTexture* texture, const char* name);
LgTexture* LgTextureSetFilterMode(LgTexture* texture, uint32_t mode);
LgTexture* LgTextureSetAddressingU(LgTexture* texture, uint32_t mode);
LgTexture* LgTextureSetAddressingV(LgTexture* texture, uint32_t mode);

// The texture of the name from the current dictionary (every dictionary when none is
// current) with a reference added, or read through the read callback and put in the current
// dictionary. maskName may be null.
LgTexture* LgTextureRead(const char* name, const char* maskName);
int32_t LgTextureSetMipmapping(int32_t on);
int32_t LgTextureGetMipmapping();
int32_t LgTextureSetAutoMipmapping(int32_t on);
int32_t LgTextureGetAutoMipmapping();
int32_t LgTextureGenerateMipmaps(LgRaster* raster, LgImage* image);
int32_t LgTextureMipLevelName(char* name, char* maskName, int32_t level);

// The callbacks (null restores the default).
LgTextureReadCallBack LgTextureSetReadCallBack(LgTextureReadCallBack callBack);
LgTextureMipmapGenerationCallBack
LgTextureSetMipmapGenerationCallBack(LgTextureMipmapGenerationCallBack callBack);
LgTextureMipmapNameCallBack LgTextureSetMipmapNameCallBack(LgTextureMipmapNameCallBack callBack);

// The defaults: images along the image search path, converted as the device asks.
LgTexture* LgTextureDefaultRead(const char* name, const char* maskName);
LgRaster* LgTextureDefaultGenerateMipmaps(LgRaster* raster, LgImage* image);
int32_t LgTextureDefaultMipLevelName(char* name, char* maskName, int32_t level);

LgTexDictionary* LgTexDictionaryCreate();
// Destroys every texture in it, whatever its references, then the dictionary.
int32_t LgTexDictionaryDestroy(LgTexDictionary* dictionary);
LgTexDictionary* LgTexDictionaryAddTexture(LgTexDictionary* dictionary, LgTexture* texture);
LgTexDictionary* LgTexDictionaryRemoveTexture(LgTexture* texture);
// Names compare with only the letters a-z folded to A-Z.
LgTexture* LgTexDictionaryFindNamedTexture(LgTexDictionary* dictionary, const char* name);
LgTexDictionary* LgTexDictionaryGetCurrent();
// Null makes no dictionary current.
LgTexDictionary* LgTexDictionarySetCurrent(LgTexDictionary* dictionary);
using LgTextureCallBack = LgTexture* (*)(LgTexture* texture, void* data);
LgTexDictionary* LgTexDictionaryForAllTextures(LgTexDictionary* dictionary,
                                               LgTextureCallBack callBack, void* data);

// Reads the body of a texture chunk (after its header): the texture word, name, mask name and
// the texture's extension chunk; the texture comes with a reference for the caller.
LgTexture* LgTextureStreamRead(LgStream* stream);
// out := the mean colour of a 2^n x 2^n block of palette indices starting at pixels.
LgRGBA* LgImageAverageBlock(LgRGBA* out, const uint8_t* pixels, const LgImage* image, int32_t n);

void* LgTextureOpen(void* instance, int32_t offset, int32_t size);
void* LgTextureClose(void* instance, int32_t offset, int32_t size);

// The open module's slice, or null while it is closed.
LgTextureSlice* LgTextureModuleSlice();
