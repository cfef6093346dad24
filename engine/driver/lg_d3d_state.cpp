// The driver's state, its memory and error helpers and the slice accessors.
#include "engine/driver/lg_d3d_state.h"

#include "engine/core/lg_error.h"

#include <cstdio>
#include <cstring>

LgD3DDriverState LgD3DDriver{};

void* LgD3DAlloc(size_t size) {
    if (LgD3DDriver.alloc != nullptr) return LgD3DDriver.alloc(size);
    if (LgEngineInstancePtr == nullptr || LgEngineInstancePtr->memoryFunctions.alloc == nullptr)
        return nullptr;
    return LgEngineInstancePtr->memoryFunctions.alloc(size);
}

void LgD3DFree(void* block) {
    if (block == nullptr) return;
    if (LgD3DDriver.free != nullptr)
        LgD3DDriver.free(block);
    else if (LgEngineInstancePtr != nullptr && LgEngineInstancePtr->memoryFunctions.free != nullptr)
        LgEngineInstancePtr->memoryFunctions.free(block);
}

void* LgD3DRealloc(void* block, size_t size) {
    if (LgD3DDriver.realloc != nullptr) return LgD3DDriver.realloc(block, size);
    if (LgEngineInstancePtr == nullptr || LgEngineInstancePtr->memoryFunctions.realloc == nullptr)
        return nullptr;
    return LgEngineInstancePtr->memoryFunctions.realloc(block, size);
}

void LgD3DRaiseDriverError(const char* message) {
    std::snprintf(LgD3DDriver.lastError, sizeof(LgD3DDriver.lastError), "%s", message);
    LgErrorRaise(LgErrorGroupCore, LgErrorCode(LgErrDriver, message));
}

const char* LgD3DGetLastErrorMessage() {
    return LgD3DDriver.lastError;
}

LgD3DRasterSlice* LgD3DRasterSliceOf(const LgRaster* raster) {
    return reinterpret_cast<LgD3DRasterSlice*>(
        reinterpret_cast<uintptr_t>(raster) +
        static_cast<uintptr_t>(LgD3DDriver.rasterSliceOffset));
}

LgRaster* LgD3DRasterOfSlice(const LgD3DRasterSlice* slice) {
    return reinterpret_cast<LgRaster*>(reinterpret_cast<uintptr_t>(slice) -
                                       static_cast<uintptr_t>(LgD3DDriver.rasterSliceOffset));
}

LgD3DRenderTarget* LgD3DCameraSliceOf(const LgCamera* camera) {
    return reinterpret_cast<LgD3DRenderTarget*>(
        reinterpret_cast<uintptr_t>(camera) +
        static_cast<uintptr_t>(LgD3DDriver.cameraSliceOffset));
}

void LgD3DReleasePixelFormat(LgD3DPixelFormatRecord* record) {
    if (record == nullptr) return;
    if (--record->refCount <= 0) LgD3DFree(record);
}
