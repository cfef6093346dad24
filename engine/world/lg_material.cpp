// Materials: creation from the module's free list, reference counts, textures, transparency,
// and the material chunk (struct record, optional texture chunk, extension).
#include "engine/world/lg_material.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_texture.h"

#include <cstring>

LgPluginRegistry LgMaterialRegistry = LgPluginRegistryMake(sizeof(LgMaterial));

namespace {

LgModule materialModule;
LgModule statelessModule;

constexpr int32_t materialsPerBlock = 20;
constexpr LgSurfaceProperties defaultSurface = {1.0f, 1.0f, 1.0f};
constexpr LgRGBA opaqueWhite = {255, 255, 255, 255};

// Raster formats (the format byte << 8, without the mip bits) whose pixels carry alpha.
bool format_has_alpha(int32_t format) {
    const int32_t pixel = format & 0x0f00;
    return pixel == 0x100 || pixel == 0x300 || pixel == 0x500;
}

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

float le_float(const uint8_t* p) {
    const uint32_t bits = le32(p);
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
}

void* material_open(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgMaterialSlice>(instance, offset);
    s->materialList = LgFreeListCreate(LgMaterialRegistry.sizeOfStruct, materialsPerBlock, 0);
    if (s->materialList == nullptr) return nullptr;
    materialModule.offset = offset;
    ++materialModule.openCount;
    return instance;
}

void* material_close(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgMaterialSlice>(instance, offset);
    if (s->materialList != nullptr) LgFreeListDestroy(s->materialList);
    s->materialList = nullptr;
    if (materialModule.openCount > 0) --materialModule.openCount;
    return instance;
}

void* stateless_open(void* instance, int32_t, int32_t) {
    ++statelessModule.openCount;
    return instance;
}

void* stateless_close(void* instance, int32_t, int32_t) {
    if (statelessModule.openCount > 0) --statelessModule.openCount;
    return instance;
}

// The struct record; a longer struct is read up to the record and the rest skipped, so a
// bigger record from a later writer cannot overflow it.
bool read_material_struct(LgStream* stream, uint8_t (&record)[LgMaterialStructSize],
                          uint32_t& length) {
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr)) return false;
    if (length < LgMaterialStructShortSize) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrShortRead);
        return false;
    }
    const uint32_t kept = length < LgMaterialStructSize ? length : LgMaterialStructSize;
    std::memset(record, 0, sizeof(record));
    if (LgStreamRead(stream, record, kept) != kept) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrShortRead);
        return false;
    }
    return LgStreamSkip(stream, length - kept) != nullptr;
}

} // namespace

int32_t LgMaterialRegisterPlugin(int32_t size, uint32_t pluginId,
                                 LgPluginObjectConstructor constructor,
                                 LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgMaterialRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

LgMaterial* LgMaterialCreate() {
    const LgMaterialSlice* s = materialModule.slice<LgMaterialSlice>();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrBadState);
        return nullptr;
    }
    auto* material = static_cast<LgMaterial*>(LgFreeListTake(s->materialList));
    if (material == nullptr) return nullptr;
    std::memset(static_cast<void*>(material), 0, sizeof(LgMaterial));
    material->color = opaqueWhite;
    material->surfaceProps = defaultSurface;
    material->refCount = 1;
    if (LgPluginRegistryInitObject(&LgMaterialRegistry, material) == nullptr) {
        LgFreeListGive(s->materialList, material);
        return nullptr;
    }
    return material;
}

LgMaterial* LgMaterialAddRef(LgMaterial* material) {
    if (material != nullptr) ++material->refCount;
    return material;
}

int32_t LgMaterialRelease(LgMaterial* material) {
    const LgMaterialSlice* s = materialModule.slice<LgMaterialSlice>();
    if (material == nullptr || s == nullptr) return 0;
    if (--material->refCount > 0) return 1;
    LgPluginRegistryDeinitObject(&LgMaterialRegistry, material);
    if (material->texture != nullptr) LgTextureDestroy(material->texture);
    LgFreeListGive(s->materialList, material);
    return 1;
}

LgMaterial* LgMaterialSetColor(LgMaterial* material, const LgRGBA* color) {
    if (material != nullptr && color != nullptr) material->color = *color;
    return material;
}

LgMaterial* LgMaterialSetTexture(LgMaterial* material, LgTexture* texture) {
    if (material == nullptr) return nullptr;
    LgTextureAddRef(texture);
    if (material->texture != nullptr) LgTextureDestroy(material->texture);
    material->texture = texture;
    return material;
}

LgMaterial* LgMaterialSetSurfaceProperties(LgMaterial* material,
                                           const LgSurfaceProperties* properties) {
    if (material != nullptr && properties != nullptr) material->surfaceProps = *properties;
    return material;
}

bool LgMaterialIsTransparent(const LgMaterial* material) {
    if (material == nullptr) return false;
    if (material->color.alpha < 255) return true;
    const LgTexture* texture = material->texture;
    return texture != nullptr && texture->raster != nullptr &&
           format_has_alpha(LgRasterGetFormat(texture->raster));
}

LgMaterial* LgMaterialStreamRead(LgStream* stream) {
    if (stream == nullptr) return nullptr;
    uint8_t record[LgMaterialStructSize];
    uint32_t length = 0;
    if (!read_material_struct(stream, record, length)) return nullptr;
    LgMaterial* material = LgMaterialCreate();
    if (material == nullptr) return nullptr;
    material->color = {record[4], record[5], record[6], record[7]};
    if (length > LgMaterialStructShortSize)
        material->surfaceProps = {le_float(record + 16), le_float(record + 20),
                                  le_float(record + 24)};
    if (le32(record + 12) != 0) {
        if (!LgStreamFindChunk(stream, LgChunkTexture, nullptr, nullptr)) {
            LgMaterialRelease(material);
            return nullptr;
        }
        // A texture that cannot be read leaves the material untextured; its chunk was used up.
        material->texture = LgTextureStreamRead(stream);
    }
    if (LgPluginRegistryStreamReadExtension(&LgMaterialRegistry, stream, material) == nullptr) {
        LgMaterialRelease(material);
        return nullptr;
    }
    return material;
}

int32_t LgMaterialModuleRegister() {
    return LgEngineRegisterPlugin(sizeof(LgMaterialSlice), LgModuleMaterial, material_open,
                                  material_close);
}

int32_t LgMaterialStatelessModuleRegister() {
    return LgEngineRegisterPlugin(0, LgModuleMaterialStateless, stateless_open, stateless_close);
}
