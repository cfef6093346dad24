// Materials: colour, texture and surface coefficients shared by reference count between
// triangles and material lists (engine modules 0x501 and 0x506), and the material chunk reader.
#pragma once

#include "engine/core/lg_objects.h"
#include "engine/core/lg_plugin_registry.h"

constexpr uint32_t LgModuleMaterial = 0x501;
constexpr uint32_t LgModuleMaterialStateless = 0x506;

// Lighting coefficients in their stream order.
struct LgSurfaceProperties {
    float ambient;
    float specular;
    float diffuse;
};

struct LgMaterial {
    LgTexture* texture; // counted reference, null when untextured
    LgRGBA color;
    LgSurfaceProperties surfaceProps;
    int16_t refCount;
};

struct LgMaterialSlice {
    LgFreeList* materialList;
};

// Material struct chunk sizes: the short form carries no surface coefficients.
constexpr uint32_t LgMaterialStructShortSize = 16;
constexpr uint32_t LgMaterialStructSize = 28;

extern LgPluginRegistry LgMaterialRegistry;
int32_t LgMaterialRegisterPlugin(int32_t size, uint32_t pluginId,
                                 LgPluginObjectConstructor constructor,
                                 LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);

// A white, untextured material with the default coefficients and one reference.
LgMaterial* LgMaterialCreate();
LgMaterial* LgMaterialAddRef(LgMaterial* material);
// Drops one reference; the last one destroys the material and releases its texture. 1.
int32_t LgMaterialRelease(LgMaterial* material);
LgMaterial* LgMaterialSetColor(LgMaterial* material, const LgRGBA* color);
inline const LgRGBA* LgMaterialGetColor(const LgMaterial* material) {
    return &material->color;
}
// Adds a reference to the new texture and releases the old one.
LgMaterial* LgMaterialSetTexture(LgMaterial* material, LgTexture* texture);
inline LgTexture* LgMaterialGetTexture(const LgMaterial* material) {
    return material->texture;
}
LgMaterial* LgMaterialSetSurfaceProperties(LgMaterial* material,
                                           const LgSurfaceProperties* properties);
// Transparent materials draw after opaque ones: alpha below 255, or a texture whose raster
// format carries alpha. Null counts as opaque.
bool LgMaterialIsTransparent(const LgMaterial* material);

// Reads the body of a material chunk (after its header); the material comes with one reference.
LgMaterial* LgMaterialStreamRead(LgStream* stream);

// Module registration of 0x501 and 0x506; offsets or -1.
int32_t LgMaterialModuleRegister();
int32_t LgMaterialStatelessModuleRegister();
