// The palette quantiser: a 5-bit RGBA colour histogram in a 16-way tree, cut into boxes of
// least colour variance to make a palette of at most 256 colours, and the pixel mapping.
#pragma once

#include "engine/core/lg_objects.h"

union LgPaletteQuantiserNode;

struct LgPaletteQuantiser {
    LgPaletteQuantiserNode* root[16];
    LgFreeList* nodeList;
};

// Prepares an empty quantiser; 0 when its node list cannot be made.
int32_t LgPaletteQuantiserCreate(LgPaletteQuantiser* quantiser);
// Frees every node and the node list.
int32_t LgPaletteQuantiserDestroy(LgPaletteQuantiser* quantiser);
// Adds every pixel (depth 32) or every pixel's palette entry (depths 4 and 8) with weight 1.
LgPaletteQuantiser* LgPaletteQuantiserAddImage(LgPaletteQuantiser* quantiser, const LgImage* image);
// Fills palette with at most `count` (up to 256) colours; returns how many were made. Images
// with no more distinct 5-bit colours than that come out exact.
int32_t LgPaletteQuantiserMakePalette(LgRGBA* palette, int32_t count,
                                      LgPaletteQuantiser* quantiser);
// Writes the palette index of each source pixel, one byte a pixel (destination depth 4 or 8).
// Colours never added map to index 0.
LgPaletteQuantiser* LgPaletteQuantiserMatchImage(uint8_t* pixels, int32_t stride, int32_t depth,
                                                 LgPaletteQuantiser* quantiser,
                                                 const LgImage* image);
