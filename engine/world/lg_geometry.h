// Geometries: triangles, morph targets of positions and normals, texture coordinates, pre-lit
// colours, a material list and the mesh header built at unlock (engine module 0x503), and the
// geometry chunk reader.
#pragma once

#include "engine/world/lg_material_list.h"

constexpr uint32_t LgModuleGeometry = 0x503;
constexpr uint8_t LgObjectTypeGeometry = 8;

// Geometry flags (the low byte of the stream's format word).
constexpr uint32_t LgGeometryTriStrip = 0x01;
constexpr uint32_t LgGeometryTextured = 0x04;
constexpr uint32_t LgGeometryPrelit = 0x08;
constexpr uint32_t LgGeometryNormals = 0x10;
constexpr uint32_t LgGeometryLight = 0x20;
constexpr uint32_t LgGeometryModulateMaterialColor = 0x40;

// Lock bits; triangles discard the mesh header until the unlock.
constexpr uint16_t LgGeometryLockTriangles = 0x01;
constexpr uint16_t LgGeometryLockAll = 0x3f;

constexpr uint16_t LgTriangleNoMaterial = 0xffff;

struct LgTriangle {
    uint16_t vertIndex[3];
    uint16_t matIndex; // LgTriangleNoMaterial: none
};

struct LgTexCoords {
    float u, v;
};

struct LgMeshHeader;

struct LgMorphTarget {
    LgGeometry* parentGeom;
    LgSphere boundingSphere;
    LgVector* verts;   // numVertices entries; with normals, one block with them behind
    LgVector* normals; // null without LgGeometryNormals
};

struct LgGeometry {
    LgObjectHeader header; // type LgObjectTypeGeometry; flags = geometry flags; no frame
    uint16_t lockFlags;
    int16_t refCount;
    LgMaterialList matList;
    int32_t numTriangles;
    int32_t numVertices;
    int32_t numMorphTargets;
    LgTriangle* triangles;
    LgRGBA* preLitLum;      // with LgGeometryPrelit
    LgTexCoords* texCoords; // with LgGeometryTextured
    LgSurfaceProperties surfaceProps;
    LgMeshHeader* mesh; // null until unlocked
    LgMorphTarget* morphTarget;
};

struct LgGeometrySlice {
    LgFreeList* geometryList;
};

extern LgPluginRegistry LgGeometryRegistry;
int32_t LgGeometryRegisterPlugin(int32_t size, uint32_t pluginId,
                                 LgPluginObjectConstructor constructor,
                                 LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);
int32_t LgGeometrySetStreamFunctions(uint32_t pluginId, LgPluginDataChunkReadCallBack read,
                                     LgPluginDataChunkWriteCallBack write,
                                     LgPluginDataChunkGetSizeCallBack getSize);

// Counts must not be negative, nor above 65536 vertices (16-bit indices). One morph target.
LgGeometry* LgGeometryCreate(int32_t numVertices, int32_t numTriangles, uint32_t flags);
LgGeometry* LgGeometryAddRef(LgGeometry* geometry);
// Drops one reference; the last destroys the geometry. 1.
int32_t LgGeometryRelease(LgGeometry* geometry);
int32_t LgGeometryAddMorphTarget(LgGeometry* geometry);
LgGeometry* LgGeometryRemoveMorphTarget(LgGeometry* geometry, int32_t index);
inline int32_t LgGeometryGetNumMorphTargets(const LgGeometry* geometry) {
    return geometry->numMorphTargets;
}
inline LgMorphTarget* LgGeometryGetMorphTarget(const LgGeometry* geometry, int32_t index) {
    return &geometry->morphTarget[index];
}
inline int32_t LgGeometryGetNumVertices(const LgGeometry* geometry) {
    return geometry->numVertices;
}
inline LgTriangle* LgGeometryGetTriangles(const LgGeometry* geometry) {
    return geometry->triangles;
}
inline LgRGBA* LgGeometryGetPrelitColors(const LgGeometry* geometry) {
    return geometry->preLitLum;
}
// Null for a triangle without material.
LgMaterial* LgGeometryGetTriangleMaterial(const LgGeometry* geometry, const LgTriangle* triangle);
using LgMaterialCallBack = LgMaterial* (*)(LgMaterial* material, void* data);
LgGeometry* LgGeometryForAllMaterials(LgGeometry* geometry, LgMaterialCallBack callBack,
                                      void* data);
LgGeometry* LgGeometryLock(LgGeometry* geometry, uint16_t lockFlags);
// Rebuilds the mesh header when there is none; null when the build fails.
LgGeometry* LgGeometryUnlock(LgGeometry* geometry);
LgGeometry* LgGeometrySetSurfaceProperties(LgGeometry* geometry,
                                           const LgSurfaceProperties* properties);

// Reads the body of a geometry chunk (after its header); the geometry has one reference.
LgGeometry* LgGeometryStreamRead(LgStream* stream);

int32_t LgGeometryModuleRegister();
// The mesh header's stream functions on geometries (plug-in 0x50e, no slice).
int32_t LgGeometryMeshHeaderPluginAttach();
