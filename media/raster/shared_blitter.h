// The one Blitter instance that the memory rasters share: made by the first raster, kept by
// a reference from each, forgotten when the last one goes.
#pragma once

#include "media/raster/blitter.h"

// One more reference on the shared blitter in *out, made when none exists. The creation's
// failure.
OmResult om_acquire_shared_blitter(IBlitter** out);
// Drops a raster's reference; the shared pointer is cleared when that was the last one.
void om_release_shared_blitter(IBlitter* blitter);
