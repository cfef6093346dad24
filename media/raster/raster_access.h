// Small helpers over IRaster for the imaging code: scoped locks, palettes as colour words,
// colour keys, rectangles.
#pragma once

#include "media/raster/raster.h"

#include <cstdint>

// Locks a raster for its lifetime (when the lock succeeded).
class OmRasterLock {
public:
    OmRasterLock(IRaster* raster, uint32_t mode) : raster_(raster) {
        void* pixels = nullptr;
        result_ = raster->Lock(mode, &pixels, &stride_);
        pixels_ = static_cast<uint8_t*>(pixels);
        if (result_ >= 0 && !pixels_) result_ = OM_E_FAIL;
    }
    ~OmRasterLock() { unlock(); }
    OmRasterLock(const OmRasterLock&) = delete;
    OmRasterLock& operator=(const OmRasterLock&) = delete;

    void unlock() {
        if (raster_ && result_ >= 0) raster_->Unlock();
        raster_ = nullptr;
    }
    OmResult result() const { return result_; }
    uint8_t* row(int64_t y) const { return pixels_ + y * stride_; }
    int32_t stride() const { return stride_; }

private:
    IRaster* raster_;
    OmResult result_;
    uint8_t* pixels_ = nullptr;
    int32_t stride_ = 0;
};

// Up to 256 A8 R8 G8 B8 palette entries.
struct OmPaletteWords {
    uint32_t count;
    uint32_t words[256];
};

// The raster's palette (property 24), no reference added; null when it has none.
IRaster* om_raster_palette(IRaster* raster);
// The first 256 entries of a palette raster (32 bits per pixel). OM_E_UNKNOWNPIXELFORMAT for
// a palette of another depth, or the lock's failure.
OmResult om_read_palette(IRaster* palette, OmPaletteWords* out);

struct OmColourKey {
    bool enabled;
    uint32_t value;
};
OmColourKey om_raster_colour_key(IRaster* raster);
void om_set_raster_colour_key(IRaster* raster, OmColourKey key);

// The rectangle, or the whole raster for null.
OmRect om_whole_or(IRaster* raster, const OmRect* rect);
