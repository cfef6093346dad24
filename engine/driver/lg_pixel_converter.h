// The shift-and-mask pixel converter: prepared once from a pixel format's channel masks, then
// packing RGBA colours into device pixels and back.
#pragma once

#include "engine/core/lg_objects.h"
#include "platform/graphics/ddraw_types.h"

// Prepares the converter for the format's red, green, blue and alpha masks.
void LgPixelFormatSetUp(const platform::DDPIXELFORMAT* format);
uint32_t LgPixelFromRGBA(const LgRGBA* colour);
// Each channel's top bit lands on bit 7 of its byte; channels without a mask read 0.
LgRGBA* LgRGBAFromPixel(LgRGBA* out, uint32_t pixel);
