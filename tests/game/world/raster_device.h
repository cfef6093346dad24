// A stand-in for the device's raster calls in game tests: rasters get memory and the format
// they were asked for unless that format is refused, windows read back as R, G, B, A, and
// clears and 2-D targets are recorded. It replaces the engine's standard functions while it
// lives (after the engine has started).
#pragma once

#include "engine/core/lg_engine.h"

#include <cstring>
#include <map>
#include <set>
#include <vector>

namespace gametest {

// Raster calls of the device, answered by this test: rasters get memory and the format they
// were asked for, unless that format is refused; clears and 2-D targets are recorded.
class RasterDevice {
public:
    RasterDevice() {
        current() = this;
        LgStandardFunctions& t = LgEngineInstancePtr->standardFunctions;
        saved_ = t;
        t.slot[LgStdRasterCreate] = create;
        t.slot[LgStdRasterDestroy] = destroy;
        t.slot[LgStdRasterLock] = lock;
        t.slot[LgStdRasterUnlock] = [](void*, void*, int32_t) { return 1; };
        t.slot[LgStdClearRect] = clear;
        t.slot[LgStdSetDrawingTarget] = target;
        t.slot[LgStdRGBAToPixel] = to_pixel;
        t.slot[LgStdSubRaster] = [](void*, void*, int32_t) { return 1; };
        t.slot[LgStdImageFromRaster] = read_pixels;
    }
    ~RasterDevice() {
        LgEngineInstancePtr->standardFunctions = saved_;
        current() = nullptr;
    }
    RasterDevice(const RasterDevice&) = delete;
    RasterDevice& operator=(const RasterDevice&) = delete;

    struct Create {
        int32_t depth;
        int32_t flags;
    };
    std::vector<Create> creates;
    std::set<int32_t> refused; // engine formats (0x100 ..) the device refuses
    std::map<LgRaster*, std::vector<uint8_t>> memory;
    std::vector<std::pair<LgRect, uint32_t>> clears;
    std::vector<LgRaster*> targets;

    // The raster's pixel memory (rows of stride bytes).
    uint8_t* pixels(LgRaster* raster) { return memory[raster].data(); }

private:
    static RasterDevice*& current() {
        static RasterDevice* device = nullptr;
        return device;
    }
    static int32_t bytes_per_pixel(int32_t format) {
        switch (format) {
        case 0x500: return 4;
        case 0x600: return 3;
        case 0x400: return 1;
        default: return 2;
        }
    }
    static int32_t create(void* out, void*, int32_t flags) {
        RasterDevice* d = current();
        auto* raster = static_cast<LgRaster*>(out);
        if ((flags & LgRasterDontAllocate) != 0) {
            raster->creationFlags = LgRasterDontAllocate;
            return 1;
        }
        d->creates.push_back({raster->depth, flags});
        const int32_t format = flags & 0x6f00;
        if (d->refused.count(format) != 0) return 0;
        raster->format = static_cast<uint8_t>(flags >> 8);
        raster->type = static_cast<uint8_t>(flags & 0xff);
        raster->stride = raster->width * bytes_per_pixel(format);
        d->memory[raster].assign(size_t(raster->stride) * size_t(raster->height), 0);
        return 1;
    }
    static int32_t destroy(void* out, void*, int32_t) {
        current()->memory.erase(static_cast<LgRaster*>(out));
        return 1;
    }
    static int32_t lock(void* out, void* in, int32_t) {
        auto it = current()->memory.find(static_cast<LgRaster*>(in));
        if (it == current()->memory.end()) return 0;
        *static_cast<uint8_t**>(out) = it->second.data();
        return 1;
    }
    static int32_t clear(void* out, void*, int32_t pixel) {
        current()->clears.emplace_back(*static_cast<LgRect*>(out), uint32_t(pixel));
        return 1;
    }
    static int32_t target(void* out, void*, int32_t) {
        current()->targets.push_back(static_cast<LgRaster*>(out));
        return 1;
    }
    // A window's pixels as R, G, B, A bytes into a 32-bit image (1555, 565 and 8888 rasters).
    static int32_t read_pixels(void* out, void* in, int32_t) {
        auto* image = static_cast<LgImage*>(out);
        const auto* window = static_cast<const LgRaster*>(in);
        const LgRaster* owner = window->parent;
        auto it = current()->memory.find(const_cast<LgRaster*>(owner));
        if (it == current()->memory.end()) return 0;
        const int32_t format = (owner->format << 8) & 0x6f00;
        const int32_t bpp = bytes_per_pixel(format);
        for (int32_t y = 0; y < window->height; ++y)
            for (int32_t x = 0; x < window->width; ++x) {
                const uint8_t* p = it->second.data() + size_t(window->offsetY + y) * owner->stride +
                                   size_t(window->offsetX + x) * bpp;
                uint32_t v = 0;
                std::memcpy(&v, p, bpp);
                uint8_t* o = image->pixels + y * image->stride + x * 4;
                if (format == 0x500) {
                    o[0] = uint8_t(v >> 16), o[1] = uint8_t(v >> 8), o[2] = uint8_t(v),
                    o[3] = uint8_t(v >> 24);
                } else if (format == 0x200) {
                    o[0] = uint8_t((v >> 11 & 31) << 3), o[1] = uint8_t((v >> 5 & 63) << 2),
                    o[2] = uint8_t((v & 31) << 3), o[3] = 255;
                } else {
                    o[0] = uint8_t((v >> 10 & 31) << 3), o[1] = uint8_t((v >> 5 & 31) << 3),
                    o[2] = uint8_t((v & 31) << 3), o[3] = (v & 0x8000) != 0 ? 255 : 0;
                }
            }
        return 1;
    }
    static int32_t to_pixel(void* out, void* in, int32_t) {
        const auto* c = static_cast<const LgRGBA*>(in);
        *static_cast<uint32_t*>(out) =
            uint32_t{c->alpha} << 24 | uint32_t{c->red} << 16 | uint32_t{c->green} << 8 | c->blue;
        return 1;
    }
    LgStandardFunctions saved_;
};

} // namespace gametest
