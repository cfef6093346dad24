// Records shared by every engine module and by the game: maths types, lists, errors, the
// device record, the OS routine tables and the engine instance head.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

struct LgAtomic;
struct LgCamera;
struct LgFrame;
struct LgFreeList;
struct LgStream;

// --- Maths -------------------------------------------------------------------------------

struct LgVector2 {
    float x, y;
};

struct LgVector {
    float x, y, z;
};

// Row-vector 4x3 matrix (a point p maps to p x M). Game code writes the rows directly, so the
// layout is fixed: right, flags, up, pad, at, pad, position, pad.
struct LgMatrix {
    LgVector right;
    uint32_t flags;
    LgVector up;
    uint32_t pad1;
    LgVector at;
    uint32_t pad2;
    LgVector pos;
    uint32_t pad3;
};
static_assert(sizeof(LgMatrix) == 64, "LgMatrix is read and written row by row");

// Matrix flag bits.
constexpr uint32_t LgMatrixFlagOrthonormal = 0x3;
constexpr uint32_t LgMatrixFlagIdentity = 0x20000;

// --- Lists -------------------------------------------------------------------------------

// Node of a circular doubly linked list; an empty list's head points at itself.
struct LgLink {
    LgLink* next;
    LgLink* prev;
};

// Every frame-attached object (camera, light, atomic) begins with this header.
struct LgObjectHeader {
    uint8_t type;
    uint8_t subType;
    uint8_t flags;
    uint8_t privateFlags;
    LgFrame* parent;
};

// Object type bytes of the header.
constexpr uint8_t LgObjectTypeFrame = 0;
constexpr uint8_t LgObjectTypeAtomic = 1;
constexpr uint8_t LgObjectTypeClump = 2;
constexpr uint8_t LgObjectTypeLight = 3;
constexpr uint8_t LgObjectTypeCamera = 4;
constexpr uint8_t LgObjectTypeTexDictionary = 6;

// Called by the full frame synchronisation when the object's frame moved.
using LgFrameObjectSyncCallBack = void* (*)(void* object);

// The common head of a frame-attached object: header, link in its frame's object list, and
// its sync callback.
struct LgFrameObject {
    LgObjectHeader header;
    LgLink frameLink;
    LgFrameObjectSyncCallBack sync;
};

// --- Errors ------------------------------------------------------------------------------

// First error since start: plug-in group (1 core engine and driver, 2 world plug-in, 0 for
// generic codes with bit 31 set) and code.
struct LgError {
    uint32_t pluginId;
    int32_t code;

    bool operator==(const LgError&) const = default;
};

// --- Memory, file and string routines ------------------------------------------------------

using LgMemAllocFunc = void* (*)(size_t size);
using LgMemFreeFunc = int32_t (*)(void* block);
using LgMemReallocFunc = void* (*)(void* block, size_t size);
using LgMemCallocFunc = void* (*)(size_t count, size_t size);

// The four memory functions handed to LgEngineInit.
struct LgMemoryFunctions {
    LgMemAllocFunc alloc;
    LgMemFreeFunc free;
    LgMemReallocFunc realloc;
    LgMemCallocFunc calloc;
};

// File routines of the instance; engine streams reach files only through these. A file is
// an opaque handle.
struct LgFileFunctions {
    int32_t (*exists)(const char* path);
    void* (*open)(const char* path, const char* mode);
    int32_t (*close)(void* file);
    size_t (*read)(void* buffer, size_t size, size_t count, void* file);
    size_t (*write)(const void* buffer, size_t size, size_t count, void* file);
    char* (*readLine)(char* buffer, int32_t size, void* file);
    int32_t (*writeString)(const char* text, void* file);
    int32_t (*atEnd)(void* file);
    int32_t (*seek)(void* file, long offset, int32_t origin);
    int32_t (*flush)(void* file);
};

// String routines of the instance; engine code calls string operations only through these.
struct LgStringFunctions {
    int32_t (*format)(char* buffer, const char* format, ...);
    int32_t (*formatList)(char* buffer, const char* format, va_list args);
    char* (*copy)(char* dst, const char* src);
    char* (*copyBounded)(char* dst, const char* src, size_t count);
    char* (*append)(char* dst, const char* src);
    char* (*appendBounded)(char* dst, const char* src, size_t count);
    char* (*findLast)(const char* text, int32_t c);
    char* (*findFirst)(const char* text, int32_t c);
    char* (*findSubstring)(const char* text, const char* sub);
    int32_t (*compare)(const char* a, const char* b);
    int32_t (*compareNoCase)(const char* a, const char* b);
    size_t (*length)(const char* text);
    char* (*toUpper)(char* text);
    char* (*toLower)(char* text);
    char* (*tokenise)(char* text, const char* delimiters);
    int32_t (*scan)(const char* text, const char* format, ...);
};

// --- Device ------------------------------------------------------------------------------

// The device's request function: (request, out, in, number) -> nonzero on success.
using LgSystemFunc = int32_t (*)(int32_t request, void* out, void* in, int32_t number);
using LgRenderStateSetFunc = int32_t (*)(int32_t state, void* value);
using LgRenderStateGetFunc = int32_t (*)(int32_t state, void* value);
// Screen-space drawing (vertices are LgIm3DScreenVertex records).
using LgIm2DRenderLineFunc = int32_t (*)(void* vertices, int32_t i0, int32_t i1);
using LgIm2DRenderTriangleFunc = int32_t (*)(void* vertices, int32_t i0, int32_t i1, int32_t i2);
using LgIm2DRenderPrimitiveFunc = int32_t (*)(int32_t type, void* vertices, int32_t count);
using LgIm2DRenderIndexedPrimitiveFunc = int32_t (*)(int32_t type, void* vertices,
                                                     int32_t vertexCount, const uint16_t* indices,
                                                     int32_t indexCount);
// Immediate-mode 3D drawing of the transformed buffer.
using LgIm3DRenderTriangleFunc = int32_t (*)(int32_t i0, int32_t i1, int32_t i2);
using LgIm3DRenderPrimitiveFunc = int32_t (*)(int32_t type);
using LgIm3DRenderIndexedPrimitiveFunc = int32_t (*)(int32_t type, const uint16_t* indices,
                                                     int32_t indexCount);
using LgIm3DRenderLineFunc = int32_t (*)(int32_t i0, int32_t i1);

// The device record the driver copies into the instance on device request 4.
struct LgDeviceRecord {
    float gamma;
    LgSystemFunc system;
    float zBufferNear;
    float zBufferFar;
    LgRenderStateSetFunc setRenderState;
    LgRenderStateGetFunc getRenderState;
    LgIm2DRenderLineFunc im2DRenderLine;
    LgIm2DRenderTriangleFunc im2DRenderTriangle;
    LgIm2DRenderPrimitiveFunc im2DRenderPrimitive;
    LgIm2DRenderIndexedPrimitiveFunc im2DRenderIndexedPrimitive;
    LgIm3DRenderTriangleFunc im3DRenderTriangle;
    LgIm3DRenderPrimitiveFunc im3DRenderPrimitive;
    LgIm3DRenderIndexedPrimitiveFunc im3DRenderIndexedPrimitive;
    LgIm3DRenderLineFunc im3DRenderLine;
};

// Device request codes.
enum LgDeviceRequest : int32_t {
    LgDeviceRequestOpen = 0,
    LgDeviceRequestClose = 1,
    LgDeviceRequestStart = 2,
    LgDeviceRequestStop = 3,
    LgDeviceRequestGetDevice = 4,
    LgDeviceRequestNumVideoModes = 5,
    LgDeviceRequestVideoModeInfo = 6,
    LgDeviceRequestSetVideoMode = 7,
    LgDeviceRequestExclusiveMode = 8,
    LgDeviceRequestPipeline = 9,
    LgDeviceRequestCurrentVideoMode = 0xa,
    LgDeviceRequestStandardFunctions = 0xb,
    LgDeviceRequestFreeTextureMemory = 0xc,
    LgDeviceRequestNumSubSystems = 0xd,
    LgDeviceRequestSubSystemInfo = 0xe,
    LgDeviceRequestCurrentSubSystem = 0xf,
    LgDeviceRequestSetSubSystem = 0x10,
    LgDeviceRequestAfterStart = 0x11,
    LgDeviceRequestBeforeStop = 0x12,
    LgDeviceRequestMaxTextureSize = 0x13,
};

// A device standard function: every raster, camera and image operation reaches the driver
// through one of these as (out, in, number) -> nonzero on success.
using LgStandardFunc = int32_t (*)(void* out, void* in, int32_t number);

constexpr int32_t LgStandardFunctionCount = 29;

// Slots of the standard-function table.
enum LgStandardFunction : int32_t {
    LgStdNotSupported = 0,
    LgStdCameraBeginUpdate = 1,
    LgStdRGBAToPixel = 2,
    LgStdPixelToRGBA = 3,
    LgStdRasterCreate = 4,
    LgStdRasterDestroy = 5,
    LgStdImageFromRaster = 6,
    LgStdRasterFromImage = 7,
    LgStdStoreValue = 8,
    LgStdRasterFormatForImage = 9,
    LgStdCameraEndUpdate = 10,
    LgStdSetDrawingTarget = 11,
    LgStdSubRaster = 12,
    LgStdClearRect = 13,
    LgStdClear = 14,
    LgStdRasterLock = 15,
    LgStdRasterUnlock = 16,
    LgStdRasterRenderTransparent = 17,
    LgStdRasterRenderScaled = 18,
    LgStdRasterRenderFast = 19,
    LgStdRasterShow = 20,
    LgStdCameraClear = 21,
    LgStdTranslucentReplayOrder = 22,
    LgStdPaletteLock = 23,
    LgStdPaletteUnlock = 24,
    LgStdNativeTextureGetSize = 25,
    LgStdNativeTextureRead = 26,
    LgStdNativeTextureWrite = 27,
    LgStdRasterNumLevels = 28,
};

struct LgStandardFunctions {
    LgStandardFunc slot[LgStandardFunctionCount];
};

// A rendering sub-system's display name (request 0xe).
struct LgSubSystemInfo {
    char name[80];
};
static_assert(sizeof(LgSubSystemInfo) == 80);

// Video mode flag bit 0: full screen (exclusive); clear: windowed on the desktop.
constexpr uint32_t LgVideoModeFullScreen = 0x1;

struct LgVideoMode {
    int32_t width;
    int32_t height;
    int32_t depth;
    uint32_t flags;
};
static_assert(sizeof(LgVideoMode) == 16);

// --- Engine instance -----------------------------------------------------------------------

// Engine states.
enum LgEngineState : int32_t {
    LgEngineStateNone = 0,
    LgEngineStateInitialised = 1,
    LgEngineStateOpened = 2,
    LgEngineStateStarted = 3,
};

// Head of the engine instance; the module and plug-in slices follow it at the offsets their
// registration returned.
struct LgEngineInstance {
    LgCamera* currentCamera;
    void* currentWorld;
    uint16_t stamps[4];
    // The collision queries' pass stamp: wide, so that an atomic left unvisited for many
    // queries never meets its old stamp again and is skipped as already seen.
    uint32_t collisionStamp;
    LgDeviceRecord device;
    LgStandardFunctions standardFunctions;
    LgLink dirtyFrames;
    LgFileFunctions fileFunctions;
    LgStringFunctions stringFunctions;
    LgMemoryFunctions memoryFunctions;
    void* (*freeListAlloc)(LgFreeList* list);
    LgFreeList* (*freeListFree)(LgFreeList* list, void* entry);
    uintptr_t reserved;
    int32_t state;
};

// The current engine instance: the static head from init to open and after close, the open
// instance (head and slices) from open to close.
extern LgEngineInstance* LgEngineInstancePtr;
