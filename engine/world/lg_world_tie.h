// The world-tie plug-in (engine module 0x509): cameras, clumps, atomics and lights joined to
// worlds; the ties that record which atomic sectors each atomic and local light overlaps; and
// each camera's list of sectors in view.
#pragma once

#include "engine/world/lg_light.h"
#include "engine/world/lg_world.h"

#include <cstddef>

constexpr uint32_t LgPluginWorldTie = 0x509;

// A tie between an object (atomic or light) and an atomic sector. A tie with neither end set
// is a marker a running walk keeps in a sector's list.
struct LgSectorTie {
    LgLink inSector;
    void* object;
    LgLink inObject;
    LgAtomicSector* sector;
};

struct LgWorldTieSlice {
    LgFreeList* atomicTies;
    LgFreeList* lightTies;
};

struct LgCameraTieSlice {
    LgAtomicSector** sectors; // in view, in render order
    int32_t capacity;
    int32_t count;
    LgWorld* world;
    LgCameraUpdateCallBack beginUpdate;
    LgCameraUpdateCallBack endUpdate;
    LgFrameObjectSyncCallBack sync;
};

struct LgAtomicTieSlice {
    LgWorld* world;
    LgFrameObjectSyncCallBack sync;
};

struct LgClumpTieSlice {
    LgWorld* world;
};

struct LgLightTieSlice {
    LgWorld* world;
    LgFrameObjectSyncCallBack sync;
};

LgCameraTieSlice* LgCameraTies(LgCamera* camera);
LgAtomicTieSlice* LgAtomicTies(LgAtomic* atomic);
LgClumpTieSlice* LgClumpTies(LgClump* clump);
LgLightTieSlice* LgLightTies(LgLight* light);

inline LgSectorTie* LgTieOfSectorLink(LgLink* link) {
    return reinterpret_cast<LgSectorTie*>(link);
}
inline LgSectorTie* LgTieOfObjectLink(LgLink* link) {
    return reinterpret_cast<LgSectorTie*>(reinterpret_cast<char*>(link) -
                                          offsetof(LgSectorTie, inObject));
}

// Unlinks a light tie from both its lists and frees it. 1.
int32_t LgTieDestroy(LgSectorTie* tie);
// The same for an atomic tie, when both its ends are set (markers are left alone). 1.
int32_t LgTieDestroyLinked(LgSectorTie* tie);
// Frees every tie of the sector's three lists.
void LgWorldSectorFreeTies(LgAtomicSector* sector);

void LgWorldAddCamera(LgWorld* world, LgCamera* camera);
LgWorld* LgWorldRemoveCamera(LgWorld* world, LgCamera* camera);
LgWorld* LgCameraGetWorld(LgCamera* camera);
using LgWorldSectorInViewCallBack = LgAtomicSector* (*)(LgAtomicSector* sector, void* data);
LgCamera* LgCameraForAllSectorsInView(LgCamera* camera, LgWorldSectorInViewCallBack callBack,
                                      void* data);

LgWorld* LgWorldAddClump(LgWorld* world, LgClump* clump);
LgWorld* LgWorldRemoveClump(LgWorld* world, LgClump* clump);
LgWorld* LgClumpGetWorld(LgClump* clump);
LgWorld* LgAtomicGetWorld(LgAtomic* atomic);
LgWorld* LgWorldAddLight(LgWorld* world, LgLight* light);
LgWorld* LgWorldRemoveLight(LgWorld* world, LgLight* light);

// Registers the tie module and plug-ins, the mesh-header stream plug-in on geometries and
// sectors, and runs the world pipelines' initialisation. True when all succeeded.
bool LgWorldTiePluginAttach();
