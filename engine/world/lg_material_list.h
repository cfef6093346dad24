// Material lists: the growable array of counted material references that geometries and
// worlds own, and the material list chunk reader.
#pragma once

#include "engine/world/lg_material.h"

struct LgMaterialList {
    LgMaterial** materials; // null when empty
    int32_t numMaterials;
    int32_t space;
};

constexpr int32_t LgMaterialListGrowth = 20;

LgMaterialList* LgMaterialListInit(LgMaterialList* list);
// Releases each entry's reference and frees the array.
LgMaterialList* LgMaterialListDeinit(LgMaterialList* list);
// No bounds check: the caller keeps index < count.
inline LgMaterial* LgMaterialListGet(const LgMaterialList* list, int32_t index) {
    return list->materials[index];
}
// Adds the list's own reference; the new index, or -1 with {0, 0x80000013}.
int32_t LgMaterialListAppend(LgMaterialList* list, LgMaterial* material);
// The highest index holding the material, or -1.
int32_t LgMaterialListFind(const LgMaterialList* list, const LgMaterial* material);
// The lowest index holding the material, or -1.
int32_t LgMaterialListFindFirst(const LgMaterialList* list, const LgMaterial* material);
// Reads the body of a material list chunk into an empty list; null on failure (list emptied).
LgMaterialList* LgMaterialListStreamRead(LgStream* stream, LgMaterialList* list);
