// Immediate mode (engine module 0x40e): render states, screen-space drawing, and 3D vertices
// transformed through the immediate-mode pipeline and drawn as primitives, with index
// batching of the triangles and lines that reach the device.
#pragma once

#include "engine/core/lg_objects.h"

// Render states immediate mode itself sets or watches.
constexpr int32_t LgRenderStateTextureRaster = 1;
constexpr int32_t LgRenderStateZTest = 4;
constexpr int32_t LgRenderStateShadeMode = 5;
constexpr int32_t LgRenderStateZWrite = 6;
constexpr uintptr_t LgShadeModeFlat = 1;
constexpr uintptr_t LgShadeModeGouraud = 2;

// Sets a device render state; only while a camera is current (else 0 and {1, 15}).
int32_t LgRenderStateSet(int32_t state, void* value);
// The device's answer; value points at a pointer-sized word the device fills.
int32_t LgRenderStateGet(int32_t state, void* value);

// Screen-space drawing of LgIm3DScreenVertex arrays; the device's results.
int32_t LgIm2DRenderPrimitive(int32_t type, void* vertices, int32_t count);
int32_t LgIm2DRenderIndexedPrimitive(int32_t type, void* vertices, int32_t vertexCount,
                                     const uint16_t* indices, int32_t indexCount);
float LgDeviceGetNearDepth();
float LgDeviceGetFarDepth();

// Transforms count LgIm3DVertex records (36 bytes; 28 when no texture coordinates are asked
// for) by matrix (or none) and the current camera's view. Returns the vertices, with the
// transform open until LgIm3DEnd, or null. flags & LgIm3DTransformTextured: copy u, v.
void* LgIm3DTransform(const void* vertices, int32_t count, const LgMatrix* matrix, uint32_t flags);
// Draw the open transform's vertices (numbers count from its first vertex).
int32_t LgIm3DRenderTriangle(int32_t i0, int32_t i1, int32_t i2);
int32_t LgIm3DRenderLine(int32_t i0, int32_t i1);
int32_t LgIm3DRenderPrimitive(int32_t type);
int32_t LgIm3DRenderIndexedPrimitive(int32_t type, const uint16_t* indices, int32_t count);
// Closes the innermost transform; 1 when one was open.
int32_t LgIm3DEnd();

// Index batching over the current transform's screen vertices: triangles and lines collect
// in two lists that a flush draws (triangles as primitive 3, then lines as primitive 1).
// The adds return 0 when a list cannot grow (the primitive is not added).
int32_t LgIm3DAddTriangle(int32_t i0, int32_t i1, int32_t i2);
int32_t LgIm3DAddLine(int32_t i0, int32_t i1);
int32_t LgIm3DReserveIndices(int32_t triangles);
int32_t LgIm3DFlush();
void LgIm3DResetIndices();

// Copies the camera's projection into immediate mode (run at camera begin update) and
// switches depth test and depth write on.
LgCamera* LgImmediateCameraSetup(LgCamera* camera);

void* LgImmediateOpen(void* instance, int32_t offset, int32_t size);
void* LgImmediateClose(void* instance, int32_t offset, int32_t size);
