// The memory raster: fields, lock, properties; fills and blits go to the shared blitter.
#include "media/raster/null_raster.h"

#include "media/raster/shared_blitter.h"

#include <cstdlib>
#include <cstring>

OmResult NullRaster::init() {
    return om_acquire_shared_blitter(&blitter_);
}

NullRaster::~NullRaster() {
    free_pixels();
    if (palette_) palette_->Release();
    if (blitter_) om_release_shared_blitter(blitter_);
}

void NullRaster::free_pixels() {
    OmFreeMemory(owned_block_);
    owned_block_ = nullptr;
    pixels_ = nullptr;
}

OmResult NullRaster::setup(uint32_t width, uint32_t height, uint32_t format, int32_t stride,
                           void* pixels, uint8_t kind, uint8_t flag5, uint8_t key_enabled,
                           uint32_t key) {
    if (width > OM_RASTER_MAX_SIDE || height > OM_RASTER_MAX_SIDE) return OM_E_OUTOFMEMORY;
    uint64_t row = (uint64_t(om_pixel_bits(format)) * width + 7) / 8;
    if (stride == 0) stride = int32_t(om_raster_padded_row(om_pixel_bits(format), width));
    uint64_t pitch = uint64_t(std::llabs(int64_t(stride)));
    width_ = width;
    height_ = height;
    format_ = format;
    kind_ = kind;
    flag5_ = flag5;
    key_enabled_ = key_enabled;
    key_ = key;
    stride_ = stride;
    free_pixels();
    if (pixels) {
        pixels_ = static_cast<uint8_t*>(pixels);
        return OM_S_OK;
    }
    // Height x stride in 64 bits, so no size supplied by a file can wrap into a small block.
    if (pitch < row) return OM_E_FAIL;
    uint64_t bytes = pitch * height;
    if (bytes > OM_RASTER_MAX_BYTES) return OM_E_OUTOFMEMORY;
    owned_block_ = OmAllocMemory(size_t(bytes ? bytes : 1));
    if (!owned_block_) return OM_E_OUTOFMEMORY;
    std::memset(owned_block_, 0, size_t(bytes));
    pixels_ = static_cast<uint8_t*>(owned_block_);
    // A negative stride walks up from the last row of the block.
    if (stride < 0 && height) pixels_ += pitch * (height - 1);
    return OM_S_OK;
}

OmResult NullRaster::Lock(uint32_t, void** pixels, int32_t* stride) {
    if (pixels) *pixels = pixels_;
    if (stride) *stride = stride_;
    return OM_S_OK;
}

OmResult NullRaster::FillRect(const OmRect* rect, const uint32_t* colour) {
    return blitter_->FillRect(this, rect, colour);
}

OmResult NullRaster::Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) {
    return blitter_->Blit(this, dest_rect, source, source_rect);
}

OmResult NullRaster::BlitConvert(const OmRect* dest_rect, IRaster* source,
                                 const OmRect* source_rect, uint32_t flags) {
    return blitter_->BlitConvert(this, dest_rect, source, source_rect, flags);
}

OmResult NullRaster::SetProperty(uint32_t id, intptr_t value) {
    switch (id) {
    case OM_RASTER_STRIDE:
        if (owned_block_) return OM_E_FAIL;
        stride_ = int32_t(value);
        return OM_S_OK;
    case OM_RASTER_COLOUR_KEY: key_ = uint32_t(value); return OM_S_OK;
    case OM_RASTER_COLOUR_KEY_ENABLED: key_enabled_ = uint8_t(value); return OM_S_OK;
    case OM_RASTER_PALETTE: {
        auto* palette = reinterpret_cast<IRaster*>(value);
        if (!palette) {
            if (!palette_) return OM_E_FAIL;
            palette_->Release();
            palette_ = nullptr;
            return OM_S_OK;
        }
        intptr_t kind = 0;
        if (palette->GetProperty(OM_RASTER_KIND, &kind) < 0 || kind != OM_RASTER_KIND_PALETTE ||
            palette->GetHeight() > 1)
            return OM_E_FAIL;
        palette->AddRef();
        if (palette_) palette_->Release();
        palette_ = palette;
        return OM_S_OK;
    }
    case OM_RASTER_PIXELS:
        free_pixels();
        pixels_ = reinterpret_cast<uint8_t*>(value);
        return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult NullRaster::GetProperty(uint32_t id, intptr_t* value) {
    if (!value) return OM_E_FAIL;
    switch (id) {
    case OM_RASTER_KIND: *value = kind_; return OM_S_OK;
    case OM_RASTER_WIDTH: *value = intptr_t(GetWidth()); return OM_S_OK;
    case OM_RASTER_HEIGHT: *value = intptr_t(GetHeight()); return OM_S_OK;
    case OM_RASTER_FORMAT: *value = intptr_t(GetFormat()); return OM_S_OK;
    case OM_RASTER_FLAG5: *value = flag5_; return OM_S_OK;
    case OM_RASTER_STRIDE: *value = stride_; return OM_S_OK;
    case OM_RASTER_COLOUR_KEY: *value = intptr_t(key_); return OM_S_OK;
    case OM_RASTER_COLOUR_KEY_ENABLED: *value = key_enabled_; return OM_S_OK;
    case OM_RASTER_PALETTE: *value = reinterpret_cast<intptr_t>(palette_); return OM_S_OK;
    case OM_RASTER_PIXELS: *value = reinterpret_cast<intptr_t>(pixels_); return OM_S_OK;
    default: return OM_E_FAIL;
    }
}
