// Cameras (engine module 0x405): projection, view window, clip planes, the view matrix and
// frustum that follow the camera's frame, and the begin/end update that brackets drawing.
#pragma once

#include "engine/core/lg_objects.h"
#include "engine/core/lg_plugin_registry.h"

struct LgFrame;

struct LgCameraSlice {
    LgFreeList* cameraList;
};

// What a sphere is to the frustum.
constexpr int32_t LgFrustumOutside = 0;
constexpr int32_t LgFrustumBoundary = 1;
constexpr int32_t LgFrustumInside = 2;

// Clear flag bits of LgCameraClear.
constexpr int32_t LgCameraClearImage = 0x1;
constexpr int32_t LgCameraClearZ = 0x2;
constexpr int32_t LgCameraClearStencil = 0x4;

// The camera registry: plug-ins add slices to every camera before the engine opens.
extern LgPluginRegistry LgCameraRegistry;
int32_t LgCameraRegisterPlugin(int32_t size, uint32_t pluginId,
                               LgPluginObjectConstructor constructor,
                               LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);

// Perspective, 1 x 1 window, near 0.05, far 10, fog 5, no frame and no rasters.
LgCamera* LgCameraCreate();
int32_t LgCameraDestroy(LgCamera* camera);
LgCamera* LgCameraSetFrame(LgCamera* camera, LgFrame* frame);
LgFrame* LgCameraGetFrame(const LgCamera* camera);
LgCamera* LgCameraSetRaster(LgCamera* camera, LgRaster* raster);
LgRaster* LgCameraGetRaster(const LgCamera* camera);
LgCamera* LgCameraSetZRaster(LgCamera* camera, LgRaster* raster);
LgRaster* LgCameraGetZRaster(const LgCamera* camera);
LgCamera* LgCameraSetNearClipPlane(LgCamera* camera, float distance);
float LgCameraGetNearClipPlane(const LgCamera* camera);
LgCamera* LgCameraSetFarClipPlane(LgCamera* camera, float distance);
float LgCameraGetFarClipPlane(const LgCamera* camera);
LgCamera* LgCameraSetFogDistance(LgCamera* camera, float distance);
float LgCameraGetFogDistance(const LgCamera* camera);
// LgCameraPerspective or LgCameraParallel; anything else: null, {1, 0x80000003}, no change.
LgCamera* LgCameraSetProjection(LgCamera* camera, uint32_t projection);
uint32_t LgCameraGetProjection(const LgCamera* camera);
// Half width and half height of the window at unit distance.
LgCamera* LgCameraSetViewWindow(LgCamera* camera, const LgVector2* window);
const LgVector2* LgCameraGetViewWindow(const LgCamera* camera);
LgCamera* LgCameraSetViewOffset(LgCamera* camera, const LgVector2* offset);
const LgVector2* LgCameraGetViewOffset(const LgCamera* camera);
LgMatrix* LgCameraGetViewMatrix(LgCamera* camera);

// Run the camera's begin and end update callbacks; drawing happens between them.
LgCamera* LgCameraBeginUpdate(LgCamera* camera);
LgCamera* LgCameraEndUpdate(LgCamera* camera);
LgCamera* LgCameraSetBeginUpdateCallBack(LgCamera* camera, LgCameraUpdateCallBack callBack);
LgCamera* LgCameraSetEndUpdateCallBack(LgCamera* camera, LgCameraUpdateCallBack callBack);
// The camera between begin and end update, or null.
LgCamera* LgCameraGetCurrent();

// flags: LgCameraClear... bits. Null when the device refuses.
LgCamera* LgCameraClear(LgCamera* camera, const LgRGBA* colour, int32_t flags);
// Shows the frame-buffer raster in the window (flags bit 0: wait for vertical sync).
LgCamera* LgCameraShowRaster(LgCamera* camera, void* window, uint32_t flags);

// LgFrustumOutside, LgFrustumBoundary or LgFrustumInside.
int32_t LgCameraFrustumTestSphere(const LgCamera* camera, const LgSphere* sphere);

// The default callbacks every new camera starts with.
void* LgCameraSyncDefault(void* camera);
LgCamera* LgCameraBeginUpdateDefault(LgCamera* camera);
LgCamera* LgCameraEndUpdateDefault(LgCamera* camera);

void* LgCameraOpen(void* instance, int32_t offset, int32_t size);
void* LgCameraClose(void* instance, int32_t offset, int32_t size);
