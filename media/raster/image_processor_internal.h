// The image processor's operations as plain functions, for callers inside the imaging library
// that need them without a component (the raster copy, the codecs).
#pragma once

#include "media/raster/image_processor.h"

OmResult om_resample(IRaster* dest, IRaster* source);
OmResult om_resample_to_size(IRaster* source, uint32_t width, uint32_t height, IRaster** out);
