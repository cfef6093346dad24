// The texture chain over the driver's memory functions.
#include "engine/driver/lg_d3d_texture_chain.h"

#include <cstdio>

namespace {

LgD3DTexChainElement* head = nullptr;

} // namespace

int32_t LgTexChainReset() {
    // Elements left behind belong to rasters of an earlier device that were never destroyed;
    // give their memory back rather than forget it.
    while (head != nullptr) {
        LgD3DTexChainElement* next = head->next;
        LgD3DFree(head);
        head = next;
    }
    return 1;
}

void LgTexChainAdd(LgRaster* raster) {
    auto* element = static_cast<LgD3DTexChainElement*>(LgD3DAlloc(sizeof(LgD3DTexChainElement)));
    if (element == nullptr) {
        std::fputs("Failed to allocate tex chain element\n", stderr);
        return;
    }
    const LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    element->next = nullptr;
    element->surface = slice->surface;
    element->slice = const_cast<LgD3DRasterSlice*>(slice);
    LgD3DTexChainElement** tail = &head;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = element;
}

void LgTexChainRemove(LgRaster* raster) {
    const LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    for (LgD3DTexChainElement** link = &head; *link != nullptr;) {
        LgD3DTexChainElement* element = *link;
        if (element->slice == slice) {
            *link = element->next;
            LgD3DFree(element);
        } else {
            link = &element->next;
        }
    }
}

const LgD3DTexChainElement* LgTexChainFirst() {
    return head;
}

platform::IDirect3DTexture2* LgD3DGetTextureInterface(const LgRaster* raster) {
    return LgD3DRasterSliceOf(raster)->texture;
}

int32_t LgD3DEvictManagedTextures() {
    if (LgD3DDriver.direct3D == nullptr) return 0;
    return platform::succeeded(LgD3DDriver.direct3D->EvictManagedTextures()) ? 1 : 0;
}
