// Test helpers for rasters: memory rasters filled from pixel values, palettes, and the pixels
// read back.
#pragma once

#include "framework/core/com_ref.h"
#include "media/raster/pixel_channels.h"
#include "media/raster/raster.h"
#include "tests/support/framework_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace rastertest {

inline uint32_t bytes_per_pixel(uint32_t format) {
    return om_pixel_bits(format) / 8;
}

// A memory raster of the size and format, its pixels (row by row) set to `pixels` when given.
inline ComRef<IRaster> make_raster(uint32_t width, uint32_t height, uint32_t format,
                                   const std::vector<uint32_t>& pixels = {}) {
    ComRef<IRaster> raster;
    EXPECT_EQ(OmNewMemoryRaster(width, height, format, raster.put()), OM_S_OK);
    if (!raster || pixels.empty()) return raster;
    EXPECT_EQ(pixels.size(), size_t(width) * height);
    void* base;
    int32_t stride;
    raster->Lock(OM_LOCK_WRITE, &base, &stride);
    uint32_t bytes = bytes_per_pixel(format);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            om_write_pixel(static_cast<uint8_t*>(base) + int64_t(y) * stride + x * bytes, bytes,
                           pixels[y * width + x]);
    raster->Unlock();
    return raster;
}

// Every pixel value, row by row.
inline std::vector<uint32_t> pixels_of(IRaster* raster) {
    std::vector<uint32_t> out;
    void* base;
    int32_t stride;
    raster->Lock(OM_LOCK_READ, &base, &stride);
    uint32_t bytes = bytes_per_pixel(raster->GetFormat());
    for (uint32_t y = 0; y < raster->GetHeight(); ++y)
        for (uint32_t x = 0; x < raster->GetWidth(); ++x)
            out.push_back(om_read_pixel(
                static_cast<uint8_t*>(base) + int64_t(y) * stride + x * bytes, bytes));
    raster->Unlock();
    return out;
}

// A palette raster (kind 4, one row of A8 R8 G8 B8 words).
inline ComRef<IRaster> make_palette(const std::vector<uint32_t>& colours) {
    ComRef<IRasterCreate> description;
    EXPECT_EQ(OmNewRasterDescription(description.put()), OM_S_OK);
    description->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PALETTE);
    description->SetProperty(OM_RASTER_WIDTH, intptr_t(colours.size()));
    description->SetProperty(OM_RASTER_HEIGHT, 1);
    ComRef<IRaster> palette;
    EXPECT_EQ(description->CreateRaster(palette.put()), OM_S_OK);
    void* base;
    int32_t stride;
    palette->Lock(OM_LOCK_WRITE, &base, &stride);
    for (size_t i = 0; i < colours.size(); ++i)
        om_write_pixel(static_cast<uint8_t*>(base) + 4 * i, 4, colours[i]);
    palette->Unlock();
    return palette;
}

inline void set_palette(IRaster* raster, IRaster* palette) {
    EXPECT_EQ(raster->SetProperty(OM_RASTER_PALETTE, reinterpret_cast<intptr_t>(palette)), OM_S_OK);
}

inline intptr_t property(IRaster* raster, uint32_t id) {
    intptr_t value = -1;
    EXPECT_EQ(raster->GetProperty(id, &value), OM_S_OK) << "property " << id;
    return value;
}

} // namespace rastertest
