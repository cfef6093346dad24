// NullRaster: the memory raster that RasterCreate makes; every one holds a reference on the
// shared Blitter and forwards its fills and blits to it.
#pragma once

#include "media/raster/blitter.h"

#include <cstdint>

class NullRaster final : public OmObject<NullRaster, IRaster> {
public:
    // Takes its reference on the shared blitter, making it for the first raster.
    OmResult init();
    ~NullRaster();

    // Sets size, format and the carried properties and either wraps `pixels` (not owned) or
    // allocates height x |stride| zeroed bytes (stride 0 = rows padded to 4 bytes). OM_E_FAIL for a
    // stride shorter than a row, OM_E_OUTOFMEMORY for sizes past the caps or a failed
    // allocation.
    OmResult setup(uint32_t width, uint32_t height, uint32_t format, int32_t stride, void* pixels,
                   uint8_t kind, uint8_t flag5, uint8_t key_enabled, uint32_t key);

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRaster, this}});
    }
    uint32_t GetWidth() override { return width_; }
    uint32_t GetHeight() override { return height_; }
    uint32_t GetFormat() override { return format_; }
    OmResult Lock(uint32_t mode, void** pixels, int32_t* stride) override;
    OmResult Unlock() override { return OM_S_OK; }
    OmResult FillRect(const OmRect* rect, const uint32_t* colour) override;
    OmResult Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) override;
    OmResult SetProperty(uint32_t id, intptr_t value) override;
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult BlitConvert(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect,
                         uint32_t flags) override;

private:
    void free_pixels();

    uint32_t width_;
    uint32_t height_;
    uint32_t format_;
    uint8_t kind_;
    uint8_t flag5_;
    uint8_t key_enabled_;
    int32_t stride_;
    uint8_t* pixels_;   // row 0
    void* owned_block_; // the allocation when the raster owns its pixels, else null
    IRaster* palette_;
    uint32_t key_;
    IBlitter* blitter_;
};

// The row bytes of `width` pixels of `bits` each, padded to 4 bytes (in 64 bits).
inline uint64_t om_raster_padded_row(uint32_t bits, uint32_t width) {
    return ((uint64_t(bits) * width + 31) / 8) & ~uint64_t(3);
}
