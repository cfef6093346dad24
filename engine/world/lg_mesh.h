// Mesh headers: triangles regrouped by material into index lists or strips for rendering
// (engine module 0x502), the mesh builder, and the mesh header's binary form (plug-in 0x50e).
#pragma once

#include "engine/world/lg_material_list.h"

constexpr uint32_t LgModuleMesh = 0x502;
constexpr uint32_t LgPluginMeshHeader = 0x50e;

// Mesh header flag bit 0: each mesh is one triangle strip (else a triangle list).
constexpr uint32_t LgMeshHeaderTriStrip = 0x1;

struct LgMesh {
    uint16_t* indices;
    uint32_t numIndices;
    LgMaterial* material;
};

// One block: this head, the mesh records, then every mesh's indices.
struct LgMeshHeader {
    uint32_t flags;
    uint16_t numMeshes;
    uint16_t serialNum; // renderers rebuild their instanced data when it changes
    uint32_t totalIndicesInMesh;
    uint32_t firstMeshOffset; // behind this head; always 0
};

inline LgMesh* LgMeshHeaderGetMeshes(LgMeshHeader* header) {
    return reinterpret_cast<LgMesh*>(header + 1);
}

struct LgMeshBuilderTriangle {
    uint16_t vertices[3];
    LgMaterial* material;
};

struct LgMeshBuilder {
    uint32_t capacity;
    uint32_t numTriangles;
    LgMeshBuilderTriangle* triangles;
};

struct LgMeshSlice {
    uint16_t nextSerialNum;
};

// The header of a mesh without triangles; never freed.
LgMeshHeader* LgMeshHeaderEmpty();

LgMeshBuilder* LgMeshBuilderCreate(uint32_t expectedTriangles);
LgMeshBuilder* LgMeshBuilderAddTriangle(LgMeshBuilder* builder, LgMaterial* material, uint16_t a,
                                        uint16_t b, uint16_t c);
// Builds the header (flags bit 0: strips) and frees the builder; with no triangles the empty
// header; null on failure, the builder then left to the caller. Meshes come opaque first,
// then transparent, each class in the order of the materials' first entries in `order` (the
// owner's material list); materials missing from it follow in order of first use.
LgMeshHeader* LgMeshBuilderFinish(LgMeshBuilder* builder, uint32_t flags,
                                  const LgMaterialList* order = nullptr);
int32_t LgMeshBuilderDestroy(LgMeshBuilder* builder);
int32_t LgMeshHeaderDestroy(LgMeshHeader* header);

using LgMeshCallBack = LgMesh* (*)(LgMesh* mesh, LgMeshHeader* header, void* data);
LgMeshHeader* LgMeshHeaderForAllMeshes(LgMeshHeader* header, LgMeshCallBack callBack, void* data);

// Binary form: `length` bytes are available; every index must be below `numVertices` and every
// material index below the list's count. The header, or null.
LgMeshHeader* LgMeshHeaderStreamRead(LgStream* stream, uint32_t length,
                                     const LgMaterialList* materials, uint32_t numVertices);
LgMeshHeader* LgMeshHeaderStreamWrite(LgMeshHeader* header, LgStream* stream,
                                      const LgMaterialList* materials);
int32_t LgMeshHeaderStreamSize(const LgMeshHeader* header);

// The builders behind LgMeshBuilderFinish, over triangles already in material order;
// `groupEnds` holds the end of each material's run.
LgMeshHeader* LgMeshBuildLists(const LgMeshBuilderTriangle* const* sorted, uint32_t count,
                               const uint32_t* groupEnds, uint32_t numGroups);
LgMeshHeader* LgMeshBuildStrips(const LgMeshBuilderTriangle* const* sorted, uint32_t count,
                                const uint32_t* groupEnds, uint32_t numGroups);
// A header block for the meshes and indices, with a new serial number; null with
// {0, 0x80000013}.
LgMeshHeader* LgMeshHeaderAllocate(uint32_t flags, uint32_t numMeshes, uint32_t totalIndices);

int32_t LgMeshModuleRegister();
