// OmRectPacker: hands out rectangular areas of a fixed-size surface and takes them back, so
// that many small images (font glyphs) share one large one.
#pragma once

#include "framework/core/memory.h"
#include "framework/core/om_rect.h"

struct OmRectPackerNode;

// Embedded by its owner, starting zero-filled (or after OmRectPackerRelease).
struct OmRectPacker {
    int32_t width;
    int32_t height;
    IMemoryPool* pool; // the tree's nodes
    OmRectPackerNode* root;
    int32_t count; // rectangles handed out
};

// Stores the size and resets. OM_E_FAIL for a negative size; else as OmRectPackerReset (a
// failure leaves the packer as it was).
OmResult OmRectPackerInit(OmRectPacker* packer, int32_t width, int32_t height);
// Starts again with one free area of the full size in a new node pool (the old one goes with
// every node). The pool's failure, or OM_E_OUTOFMEMORY for the root; either leaves the
// packer as it was.
OmResult OmRectPackerReset(OmRectPacker* packer);
// Takes a width x height area from the free area that fits best, cutting it so that the rest
// stays free. 0 with *out; OM_E_FAIL when no free area is large enough (or for a size below
// 1); OM_E_OUTOFMEMORY when a node cannot be had (nothing changed).
OmResult OmRectPackerAlloc(OmRectPacker* packer, int32_t width, int32_t height, OmRect* out);
// Gives back exactly a rectangle that Alloc handed out, merging free neighbours from the same
// cut into one free area again. 1 when found, 0 when not (also when it is already free).
int32_t OmRectPackerFree(OmRectPacker* packer, const OmRect* rect);
// Releases the node pool with every node; the packer then holds nothing.
void OmRectPackerRelease(OmRectPacker* packer);
