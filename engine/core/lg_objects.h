// Layouts of the engine objects that later modules build and the game reaches into directly:
// images, rasters, textures, cameras, pipelines, atomics, clumps and the immediate-mode
// vertices with their clip codes. Their operations come with their own modules.
#pragma once

#include "engine/core/lg_types.h"

struct LgClump;
struct LgGeometry;
struct LgMaterial;
struct LgWorld;
struct LgLight;

// --- Images, rasters, textures -------------------------------------------------------------

struct LgRGBA {
    uint8_t red, green, blue, alpha;
};

// Image flag bits.
constexpr uint32_t LgImageOwnsPixels = 0x1;
constexpr uint32_t LgImageGammaCorrected = 0x2;

struct LgImage {
    uint32_t flags;
    int32_t width;
    int32_t height;
    int32_t depth; // 4, 8 (palette indices, one byte each) or 32 (R, G, B, A)
    int32_t stride;
    uint8_t* pixels;
    LgRGBA* palette;
};

struct LgRaster {
    LgRaster* parent; // the raster that owns the storage (itself when it owns its own)
    uintptr_t deviceWords[2];
    int32_t width;
    int32_t height;
    int32_t depth;
    int32_t stride;
    int16_t offsetX;
    int16_t offsetY;
    uint8_t type;
    uint8_t creationFlags; // bit 7: created without storage of its own
    uint8_t privateFlags;  // bit 0: gamma corrected; bits 3-4: palette locked
    uint8_t format;        // bit 7: has mip levels
    uintptr_t deviceData[4];
};

struct LgTexDictionary;

struct LgTexture {
    LgRaster* raster;
    LgTexDictionary* dictionary;
    LgLink inDictionary;
    char name[32];
    char mask[32];
    int32_t refCount;
    uint32_t filterMode;
    uint32_t addressingU;
    uint32_t addressingV;
};

struct LgTexDictionary {
    LgObjectHeader header; // type LgObjectTypeTexDictionary, no frame
    LgLink textures;
    LgLink inModule;
};

// --- Cameras and volumes -------------------------------------------------------------------

struct LgBBox {
    LgVector sup; // maximum corner
    LgVector inf; // minimum corner
};

struct LgSphere {
    LgVector center;
    float radius;
};

struct LgFrustumPlane {
    LgVector normal; // unit, pointing out of the frustum
    float distance;
    uint8_t closestX, closestY, closestZ; // nonzero where the normal's component is >= 0
    uint8_t pad;
};

constexpr uint32_t LgCameraPerspective = 1;
constexpr uint32_t LgCameraParallel = 2;

using LgCameraUpdateCallBack = LgCamera* (*)(LgCamera* camera);

struct LgCamera {
    LgFrameObject object; // header type LgObjectTypeCamera
    uint32_t projection;
    LgCameraUpdateCallBack beginUpdate;
    LgCameraUpdateCallBack endUpdate;
    LgMatrix viewMatrix;
    LgRaster* frameBuffer;
    LgRaster* zBuffer;
    LgVector2 viewWindow; // half width, half height
    LgVector2 recipViewWindow;
    LgVector2 viewOffset;
    float nearPlane;
    float farPlane;
    float fogPlane;
    float zScale;
    float zShift;
    LgFrustumPlane frustumPlanes[6]; // far, near, then the four sides
    LgBBox frustumBoundBox;
    LgVector frustumCorners[8]; // near plane four, then far plane four
};

// --- Pipelines -------------------------------------------------------------------------------

struct LgPipeline {
    void* (*stage0)(void* object); // returns the work record or null
    void (*stage1)(void* work);
    void (*stage2)(void* work);
    void* parameter; // handed to stage 4
    void (*stage4)(void* work, void* parameter);
    void (*stage5)(void* work);
    void (*stage6)(void* work);
};

// --- Atomics and clumps ----------------------------------------------------------------------

using LgAtomicCallBackRender = LgAtomic* (*)(LgAtomic* atomic);
using LgClumpCallBack = LgClump* (*)(LgClump* clump, void* data);

struct LgInterpolator {
    uint32_t flags; // bit 0x02: the local sphere must be recomputed from the morph targets
    int16_t startMorphTarget;
    int16_t endMorphTarget;
    float time;
    float recipTime;
    float position;
};

struct LgAtomic {
    LgFrameObject object; // header type LgObjectTypeAtomic; flag 0x04 render
    void* instancedResource;
    LgGeometry* geometry;
    LgSphere boundingSphere; // in the geometry's space
    LgSphere worldBoundingSphere;
    LgClump* clump;
    LgLink inClumpLink;
    LgAtomicCallBackRender renderCallBack;
    LgInterpolator interpolator;
    uint16_t renderFrame;    // the world renderer's pass stamp
    uint32_t collisionFrame; // the collision queries' pass stamp
    LgLink sectorTies;
};

struct LgClump {
    LgObjectHeader header; // type LgObjectTypeClump; parent is the root frame
    LgLink atomics;
    LgLink inWorldLink;
    LgClumpCallBack callBack;
};

// --- Immediate mode ------------------------------------------------------------------------

// Clip code bits of a camera-space vertex (limit: z for perspective, 1 for parallel).
constexpr uint32_t LgClipLeft = 0x01;   // x < 0
constexpr uint32_t LgClipRight = 0x02;  // x > limit
constexpr uint32_t LgClipTop = 0x04;    // y < 0
constexpr uint32_t LgClipBottom = 0x08; // y > limit
constexpr uint32_t LgClipNear = 0x10;
constexpr uint32_t LgClipFar = 0x20;

// Primitive types of immediate mode.
constexpr int32_t LgPrimLineList = 1;
constexpr int32_t LgPrimLineStrip = 2;
constexpr int32_t LgPrimTriList = 3;
constexpr int32_t LgPrimTriStrip = 4;
constexpr int32_t LgPrimTriFan = 5;

struct LgIm3DCameraVertex {
    float x, y, z; // in the camera's normalised space
    uint32_t clipFlags;
    uint32_t data[3];
    float u, v;
    uint32_t extra;
};
static_assert(sizeof(LgIm3DCameraVertex) == 40);

// The device's transformed-and-lit vertex.
struct LgIm3DScreenVertex {
    float x, y, z;
    float recipZ;
    uint32_t colour;   // alpha, red, green, blue from the top byte down
    uint32_t specular; // its alpha byte carries the fog factor
    float u, v;
};
static_assert(sizeof(LgIm3DScreenVertex) == 32);
