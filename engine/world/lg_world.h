// Worlds: the static scene as a BSP of axis-aligned planes whose leaves (atomic sectors) hold
// the landscape triangles, plus the clumps and lights living in it (engine module 0x507);
// the world chunk reader, traversal, sector rendering and destruction.
#pragma once

#include "engine/world/lg_geometry.h"
#include "engine/world/lg_material_list.h"

struct LgMeshHeader;

constexpr uint32_t LgModuleWorld = 0x507;
// Modules of the world plug-in that only count their opens.
constexpr uint32_t LgModuleWorldCounterA = 0x50a;
constexpr uint32_t LgModuleWorldCounterB = 0x50b;
constexpr uint32_t LgModuleWorldCounterC = 0x50c;

constexpr uint8_t LgObjectTypeWorld = 7;

// World flags (the low byte of the stream's flag word).
constexpr uint32_t LgWorldTriStrip = 0x01;
constexpr uint32_t LgWorldTextured = 0x04;
constexpr uint32_t LgWorldPrelit = 0x08;
constexpr uint32_t LgWorldNormals = 0x10;
constexpr uint32_t LgWorldLight = 0x20;
constexpr uint32_t LgWorldModulateMaterialColor = 0x40;
// Stream flag bit 30: plane sectors carry their own left and right values.
constexpr uint32_t LgWorldSectorOverlap = 0x40000000;
// World private flag: the world and all its sectors live in one block.
constexpr uint8_t LgWorldSingleBlock = 0x01;

// Render orders.
constexpr int32_t LgWorldRenderFrontToBack = 1;
constexpr int32_t LgWorldRenderBackToFront = 2;

// Sector kinds: a plane sector's type is the byte offset of its axis in an LgVector.
constexpr int32_t LgSectorAtomic = -1;
constexpr int32_t LgSectorPlaneX = 0;
constexpr int32_t LgSectorPlaneY = 4;
constexpr int32_t LgSectorPlaneZ = 8;

// Every walk keeps its pending children on a stack of this many entries, so a BSP deeper than
// this is refused.
constexpr int32_t LgWorldMaxBspDepth = 59;
// The largest count or index a sector can hold (16-bit fields).
constexpr uint32_t LgWorldSectorMaxCount = 0xffff;

// Engine-instance stamps the world plug-in keeps (indices into LgEngineInstance::stamps).
constexpr int32_t LgStampFrame = 0;
constexpr int32_t LgStampLight = 1;

// Error codes of the world plug-in (group 2).
constexpr int32_t LgErrBoxBelowZero = 0;
constexpr int32_t LgErrUnsupportedPrimitive = 1;
constexpr int32_t LgErrClumpInWorld = 3;
constexpr int32_t LgErrClumpNotInWorld = 4;

struct LgWorldSector {
    int32_t type;
};

struct LgPlaneSector {
    int32_t type; // LgSectorPlaneX, Y or Z
    float value;
    LgWorldSector* leftSubTree;
    LgWorldSector* rightSubTree;
    float leftValue;  // upper end of the left child's extent
    float rightValue; // lower end of the right child's extent
};

struct LgWorldTriangle {
    uint16_t matIndex; // relative to the sector's material window base
    uint16_t vertIndex[3];
};

// A stored normal: x, y, z in units of 1/128.
struct LgWorldNormal {
    int8_t x, y, z;
    uint8_t pad;
};

struct LgResEntry;

struct LgAtomicSector {
    int32_t type; // LgSectorAtomic
    LgWorldTriangle* triangles;
    LgVector* vertices;
    LgWorldNormal* normals; // with LgWorldNormals
    LgTexCoords* texCoords; // with LgWorldTextured
    LgRGBA* preLitLum;      // with LgWorldPrelit
    LgResEntry* instancedResource;
    LgLink collAtomicsInWorldSector;   // ties of atomics that take part in collision
    LgLink noCollAtomicsInWorldSector; // ties of the other atomics
    LgLink lightsInWorldSector;        // ties of local lights
    LgBBox boundingBox;
    uint8_t* collisionTree; // the used part of the stored tree, or null
    LgMeshHeader* mesh;
    uint16_t matListWindowBase;
    uint16_t numVertices;
    uint16_t numTriangles;
};

using LgWorldSectorCallBackRender = LgAtomicSector* (*)(LgAtomicSector* sector);

struct LgWorld {
    LgObjectHeader header; // type LgObjectTypeWorld, flags = world flags, no frame
    int32_t renderOrder;
    LgMaterialList matList;
    LgWorldSector* rootSector;
    int32_t numClumpsInWorld;
    LgLink* currentClumpLink; // the clump a running walk visits next
    LgLink clumpList;
    LgLink localLightList;  // lights of subtype 0x80 and above
    LgLink globalLightList; // the others
    LgVector worldOrigin;
    LgBBox boundingBox;
    LgSurfaceProperties surfaceProps;
    LgWorldSectorCallBackRender renderCallBack;
};

// The record that ties a world to the memory it owns, so a sector pointer finds its world.
struct LgWorldBlock {
    LgWorld* world;
    size_t size;
    LgLink link;
};

struct LgWorldSlice {
    LgPipeline* defaultSectorPipeline;
    LgFreeList* blockList;
    LgLink blocks;
};

extern LgPluginRegistry LgWorldRegistry;
extern LgPluginRegistry LgWorldSectorRegistry;

int32_t LgWorldRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);
int32_t LgWorldSectorRegisterPlugin(int32_t size, uint32_t pluginId,
                                    LgPluginObjectConstructor constructor,
                                    LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);
int32_t LgWorldSectorRegisterPluginStream(uint32_t pluginId, LgPluginDataChunkReadCallBack read,
                                          LgPluginDataChunkWriteCallBack write,
                                          LgPluginDataChunkGetSizeCallBack getSize);

// A new empty world of one empty atomic sector, shifted so the box's inf corner lands at
// (L, L, L) with L = |sup - inf|; null on failure.
LgWorld* LgWorldCreate(const LgBBox* box);
// Reads the body of a world chunk (after its header); null on failure.
LgWorld* LgWorldStreamRead(LgStream* stream);
// Frees the world with its sectors. Clumps, lights and cameras still in the world are not
// detached: remove them first. 1.
int32_t LgWorldDestroy(LgWorld* world);

inline LgBBox* LgWorldGetBoundingBox(LgWorld* world) {
    return &world->boundingBox;
}
inline LgVector* LgWorldGetOrigin(LgWorld* world) {
    return &world->worldOrigin;
}
inline LgBBox* LgWorldSectorGetBoundingBox(LgAtomicSector* sector) {
    return &sector->boundingBox;
}
inline void LgWorldSetSectorRenderCallback(LgWorld* world, LgWorldSectorCallBackRender callBack) {
    world->renderCallBack = callBack;
}
inline LgWorldSectorCallBackRender LgWorldGetSectorRenderCallback(const LgWorld* world) {
    return world->renderCallBack;
}

// Newest first; the callback may remove the clump it is given.
LgWorld* LgWorldForAllClumps(LgWorld* world, LgClumpCallBack callBack, void* data);
using LgWorldSectorCallBack = LgAtomicSector* (*)(LgAtomicSector* sector, void* data);
// Depth first, left before right.
LgWorld* LgWorldForAllAtomicSectors(LgWorld* world, LgWorldSectorCallBack callBack, void* data);
using LgLightCallBack = LgLight* (*)(LgLight* light, void* data);
// The current world's global lights (only between a camera's begin and end update). 1.
int32_t LgWorldForAllLights(LgLightCallBack callBack, void* data);
LgAtomicSector* LgWorldSectorForAllLights(LgAtomicSector* sector, LgLightCallBack callBack,
                                          void* data);
// The world that holds the pointer (a sector), or null.
LgWorld* LgWorldFindBySector(const void* pointer);

// Draws the atomic sectors in the current camera's view and the atomics tied to them.
LgWorld* LgWorldRenderAtomicsInView(LgWorld* world);
LgAtomicSector* LgWorldSectorRender(LgAtomicSector* sector);
LgAtomicSector* LgWorldSectorRenderDefault(LgAtomicSector* sector);
LgPipeline* LgWorldGetDefaultSectorPipeline();

inline void LgObjectSetFlags(void* object, uint8_t flags) {
    static_cast<LgObjectHeader*>(object)->flags = flags;
}
inline uint8_t LgObjectGetFlags(const void* object) {
    return static_cast<const LgObjectHeader*>(object)->flags;
}

// The mesh header's stream functions on sectors (plug-in 0x50e, no slice).
int32_t LgWorldSectorMeshHeaderPluginAttach();

// Builds the mesh header of every atomic sector that has none; false on failure.
bool LgWorldSetupSectors(LgWorld* world);

int32_t LgWorldModuleRegister();
int32_t LgWorldCounterModulesRegister(uint32_t moduleId);
// The open module's slice, or null while it is closed.
LgWorldSlice* LgWorldModuleSlice();
// Block records of the worlds alive: added at create and read, removed at destroy.
void LgWorldBlockAdd(LgWorld* world, size_t size);
void LgWorldBlockRemove(const LgWorld* world);
