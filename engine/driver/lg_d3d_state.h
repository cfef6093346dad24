// The driver's state between requests: the open DirectDraw/Direct3D objects, sub-systems and
// video modes, texture formats, render targets, and the per-raster and per-camera slices.
#pragma once

#include "engine/core/lg_objects.h"
#include "engine/driver/lg_d3d_driver.h"
#include "engine/driver/lg_deferred_buffer.h"

struct LgFreeList;
struct LgRaster;
struct LgCamera;

// Pixel format shared by a raster and its sub-rasters.
struct LgD3DPixelFormatRecord {
    int32_t refCount;
    platform::DDPIXELFORMAT format;
};

struct LgD3DRasterSlice;

// A render target: the full-screen device's, or a windowed camera's (its camera slice).
struct LgD3DRenderTarget {
    platform::IDirectDrawSurface4* colour;
    platform::IDirectDrawSurface4* zBuffer;
    platform::IDirect3DDevice3* device;
    platform::IDirect3DViewport3* viewport;
    platform::IDirect3DMaterial3* material;
    uint8_t background[3];         // cached background red, green, blue
    LgD3DRenderTarget* nextInRing; // cameras drawing into the same raster; alone: itself
    LgD3DRasterSlice* raster;      // the raster slice it draws into, null when not attached
};

// The driver's slice of every raster (plug-in id 0x40c).
struct LgD3DRasterSlice {
    LgRGBA background;      // background colour of the cameras drawing into this raster
    uint32_t backgroundSet; // non-zero once a camera clear stored the colour
    uint32_t colourKey;     // non-zero when the texture has a source colour key
    platform::IDirectDrawSurface4* surface; // level 0
    platform::IDirect3DTexture2* texture;
    LgD3DPixelFormatRecord* format;
    platform::IDirectDrawPalette* palette;
    LgD3DRenderTarget* firstCamera;
    uint32_t* paletteBuffer; // the words handed out by a palette lock
    int32_t lockedLevel;
    // What a lock changed, restored by the unlock.
    int32_t savedWidth, savedHeight, savedStride;
};

// A texture pixel format the device offers, with the surface template to create it.
struct LgD3DTextureFormat {
    platform::DDSURFACEDESC2 desc;
    uint32_t paletteCaps;
    int32_t code;
    // Smallest red, green and blue values the device does not take for the colour key (0 when
    // not measured).
    uint8_t smallestChannel[3];
    LgD3DTextureFormat* next;
};

// Alpha classes and palette depths of an image: the choice table's rows and columns.
enum LgD3DAlphaClass : int32_t {
    LgD3DFullAlpha = 0,
    LgD3DOneBitAlpha = 1,
    LgD3DOpaque = 2,
};
enum LgD3DPaletteClass : int32_t {
    LgD3DNoPalette = 0,
    LgD3DPalette4 = 1,
    LgD3DPalette8 = 2,
};

struct LgD3DTextureFormats {
    LgFreeList* entryList;
    LgD3DTextureFormat* list; // newest first
    LgD3DTextureFormat* f555;
    LgD3DTextureFormat* f1555;
    LgD3DTextureFormat* f4444;
    LgD3DTextureFormat* f565;
    LgD3DTextureFormat* f8888;
    LgD3DTextureFormat* f888;
    LgD3DTextureFormat* pal4;
    LgD3DTextureFormat* pal4Alpha;
    LgD3DTextureFormat* pal8;
    LgD3DTextureFormat* pal8Alpha;
    LgD3DTextureFormat* first;
    LgD3DTextureFormat* format24;
    LgD3DTextureFormat* format32;
    LgD3DTextureFormat* choice[3][3]; // [alpha class][palette class]
    platform::DDSURFACEDESC2 zTemplate;
    int32_t zCode;
    int32_t zDepth;
    platform::DDSURFACEDESC2 cameraTemplate;
    int32_t cameraCode;
    platform::DDSURFACEDESC2 plainTemplate;
};

// Every render-state value last sent to the device, so only changes reach it.
struct LgD3DRenderStateCache {
    uint32_t vertexAlpha;
    uint32_t textureAlpha;
    uint32_t perspective;
    uint32_t zTest;
    uint32_t zWrite;
    uint32_t shadeMode;
    uint32_t sourceBlend;
    uint32_t destinationBlend;
    uint32_t fogEnable;
    uint32_t fogColour;
    uint32_t alphaBlend;
    uint32_t colourKey;
    uint32_t alphaTest;
    // Texture stage 0.
    uint32_t address;
    uint32_t borderColour;
    uint32_t magFilter;
    uint32_t minFilter;
    uint32_t mipFilter;
    uint32_t colourOp;
    uint32_t alphaOp;
    LgRaster* textureRaster;
    int32_t fogType;
    float fogDensity;
    uint32_t deferral;
    uint32_t deferralSub;
    uint32_t stencilEnable;
    uint32_t stencilFail;
    uint32_t stencilZFail;
    uint32_t stencilPass;
    uint32_t stencilFunction;
    uint32_t stencilReference;
    uint32_t stencilMask;
    uint32_t alphaTestAllowed;
};

// The raster that 2-D clears and copies draw into, with its offsets inside its surface and
// its clip rectangle (in the raster's own coordinates).
struct LgD3DDrawingTarget {
    LgRaster* raster;
    int32_t offsetX, offsetY;
    int32_t clipX, clipY, clipWidth, clipHeight;
};

struct LgD3DDriverState {
    // Kept from the engine at open.
    void* window;
    LgMemAllocFunc alloc;
    LgMemFreeFunc free;
    LgMemReallocFunc realloc;
    LgDeviceRecord* engineRecord;
    int32_t rasterSliceOffset;
    int32_t cameraSliceOffset;

    LgD3DSubSystem subSystems[LgD3DMaxSubSystems];
    int32_t subSystemCount;
    int32_t currentSubSystem;
    LgVideoMode* modes;
    int32_t modeCount;
    int32_t currentMode;

    // The started device.
    bool started;
    bool fullScreen;
    bool cooperativeChanged;
    bool displayModeChanged;
    int32_t noZBuffer;
    platform::IDirectDraw4* directDraw;
    platform::IDirect3D3* direct3D;
    platform::IDirectDrawSurface4* primary;
    platform::IDirectDrawClipper* clipper;
    platform::DDSURFACEDESC2 primaryDesc;
    platform::DDSURFACEDESC2 zBufferDesc;
    LgD3DRenderTarget fullScreenTarget; // colour = the back buffer
    platform::D3DMATERIALHANDLE backgroundHandle;

    LgD3DTextureFormats formats;

    // Camera updates.
    LgD3DRenderTarget* currentTarget;
    LgCamera* currentCamera;
    bool fpuSwitched;
    bool flipPending;
    int32_t replayOrder;
    LgDeferredBuffer* deferred;

    LgD3DRenderStateCache renderStates;
    LgD3DDrawingTarget drawingTarget;

    // Fog (camera begin update and the fog render states).
    float fogStart;
    float fogScale;
    float fogTablesFar;
    uint8_t fogTableExp[256];
    uint8_t fogTableExp2[256];
    uint8_t fogTableCurrent[256];
    uint32_t fogTableDevice[256];

    char lastError[96];
};

extern LgD3DDriverState LgD3DDriver;

// The engine's memory functions as the driver keeps them (the instance's before request 4).
void* LgD3DAlloc(size_t size);
void LgD3DFree(void* block);
void* LgD3DRealloc(void* block, size_t size);

// Records driver error code 2 with its message.
void LgD3DRaiseDriverError(const char* message);

// The driver slices of a raster and a camera.
LgD3DRasterSlice* LgD3DRasterSliceOf(const LgRaster* raster);
LgD3DRenderTarget* LgD3DCameraSliceOf(const LgCamera* camera);
LgRaster* LgD3DRasterOfSlice(const LgD3DRasterSlice* slice);

// A locked raster's pixels (at its sub-raster offset) live in the raster's first device word.
inline void LgD3DSetRasterPixels(LgRaster* raster, uint8_t* pixels) {
    raster->deviceWords[0] = reinterpret_cast<uintptr_t>(pixels);
}
inline uint8_t* LgD3DGetRasterPixels(const LgRaster* raster) {
    return reinterpret_cast<uint8_t*>(raster->deviceWords[0]);
}

// Drops one reference of a shared pixel-format record (freed at zero).
void LgD3DReleasePixelFormat(LgD3DPixelFormatRecord* record);

// Releases a COM pointer held in a driver field and clears the field.
template <class T>
void LgD3DReleaseField(T*& field) {
    if (field != nullptr) field->Release();
    field = nullptr;
}
