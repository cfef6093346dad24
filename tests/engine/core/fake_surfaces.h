// Device standard functions over memory surfaces, standing in for the driver in raster and
// texture tests: every raster with storage gets RGBA levels (and the indices and palette of
// palettised images), and the calls the engine makes are recorded.
#pragma once

#include "engine/core/lg_engine.h"

#include <map>
#include <memory>
#include <vector>

namespace enginetest {

class FakeSurfaces {
public:
    struct Level {
        int32_t width, height;
        std::vector<LgRGBA> pixels;
        std::vector<uint8_t> indices;
    };
    struct Surface {
        std::vector<Level> levels;
        std::vector<LgRGBA> palette = std::vector<LgRGBA>(256);
    };

    // What the device proposes for an image: format bits of the create flags, whether it
    // can mipmap, the largest side (0: any), and the automatic-mipmap switch it reads.
    int32_t proposedFormat = 0x500;
    bool canMipmap = true;
    int32_t maxTextureSize = 0;
    int32_t (*autoMipmapSwitch)() = nullptr;
    // Called when level 0 of a raster with automatic mip levels is unlocked after a write.
    void (*onAutoMipmapUnlock)(LgRaster* raster) = nullptr;
    bool refuseCreate = false;
    bool refuseTarget = false;
    bool refuseSubRaster = false;

    std::vector<LgRaster*> targets;
    std::vector<LgRect> clears;
    std::vector<uint32_t> clearValues;
    std::vector<int32_t> lockArguments;
    int shows = 0;
    int destroyed = 0;

    FakeSurfaces() {
        current() = this;
        install();
    }
    ~FakeSurfaces() { current() = nullptr; }
    FakeSurfaces(const FakeSurfaces&) = delete;
    FakeSurfaces& operator=(const FakeSurfaces&) = delete;

    // Puts the functions into the current instance (again after a reopen).
    static void install() {
        LgStandardFunc* t = LgEngineInstancePtr->standardFunctions.slot;
        t[LgStdRGBAToPixel] = rgba_to_pixel;
        t[LgStdRasterCreate] = create;
        t[LgStdRasterDestroy] = destroy;
        t[LgStdImageFromRaster] = image_from_raster;
        t[LgStdRasterFromImage] = raster_from_image;
        t[LgStdRasterFormatForImage] = format_for_image;
        t[LgStdSetDrawingTarget] = set_target;
        t[LgStdSubRaster] = sub_raster;
        t[LgStdClearRect] = clear_rect;
        t[LgStdRasterLock] = lock;
        t[LgStdRasterUnlock] = unlock;
        t[LgStdRasterShow] = show;
        t[LgStdPaletteLock] = palette_lock;
        t[LgStdPaletteUnlock] = palette_unlock;
        t[LgStdRasterNumLevels] = num_levels;
    }

    static Surface* surface(const LgRaster* raster) {
        return reinterpret_cast<Surface*>(raster->deviceWords[0]);
    }
    static Level& level(const LgRaster* raster, int32_t i) {
        return surface(raster)->levels[static_cast<size_t>(i)];
    }
    static LgRGBA at(const LgRaster* raster, int32_t i, int32_t x, int32_t y) {
        const Level& l = level(raster, i);
        return l.pixels[static_cast<size_t>(y * l.width + x)];
    }
    size_t live_surfaces() const { return owned.size(); }

private:
    static FakeSurfaces*& current() {
        static FakeSurfaces* self = nullptr;
        return self;
    }
    static FakeSurfaces& self() { return *current(); }
    static LgRaster* raster_of(void* p) { return static_cast<LgRaster*>(p); }
    static int32_t locked_level(const LgRaster* r) {
        return r->deviceWords[1] != 0 ? static_cast<int32_t>(r->deviceWords[1]) - 1 : 0;
    }

    static int32_t rgba_to_pixel(void* out, void* in, int32_t) {
        const auto* c = static_cast<const LgRGBA*>(in);
        *static_cast<uint32_t*>(out) = static_cast<uint32_t>(c->alpha) << 24 |
                                       static_cast<uint32_t>(c->red) << 16 |
                                       static_cast<uint32_t>(c->green) << 8 | c->blue;
        return 1;
    }

    static int32_t create(void* out, void*, int32_t flags) {
        if (self().refuseCreate) return 0;
        LgRaster* r = raster_of(out);
        r->type = static_cast<uint8_t>(flags & 7);
        r->creationFlags = static_cast<uint8_t>(flags & 0xf8);
        r->format = static_cast<uint8_t>((flags >> 8) & 0xff);
        if (r->depth == 0) r->depth = (r->format & 0x40) ? 4 : (r->format & 0x20) ? 8 : 32;
        if (r->width == 0 || r->height == 0 || (flags & LgRasterDontAllocate) != 0) {
            r->creationFlags |= LgRasterDontAllocate;
            return 1;
        }
        auto s = std::make_unique<Surface>();
        int32_t count = 1;
        if ((r->format & 0x80) != 0)
            for (int32_t side = std::min(r->width, r->height); side > 1; side >>= 1) ++count;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t w = std::max(1, r->width >> i), h = std::max(1, r->height >> i);
            s->levels.push_back({w, h, std::vector<LgRGBA>(static_cast<size_t>(w * h)),
                                 std::vector<uint8_t>(static_cast<size_t>(w * h))});
        }
        r->stride = r->width * (r->depth == 32 ? 4 : 1);
        r->deviceWords[0] = reinterpret_cast<uintptr_t>(s.get());
        self().owned[r] = std::move(s);
        return 1;
    }

    static int32_t destroy(void* out, void*, int32_t) {
        ++self().destroyed;
        self().owned.erase(raster_of(out));
        return 1;
    }

    static int32_t image_from_raster(void* out, void* in, int32_t) {
        auto* image = static_cast<LgImage*>(out);
        const LgRaster* r = raster_of(in);
        if (surface(r) == nullptr || image->pixels == nullptr) return 0;
        const Level& l = level(r, locked_level(r));
        const Surface& s = *surface(r);
        for (int32_t y = 0; y < std::min(image->height, r->height); ++y)
            for (int32_t x = 0; x < std::min(image->width, r->width); ++x) {
                const size_t i = static_cast<size_t>((y + r->offsetY) * l.width + x + r->offsetX);
                uint8_t* row = image->pixels + static_cast<size_t>(y) * image->stride;
                if (image->depth == 32)
                    reinterpret_cast<LgRGBA*>(row)[x] = l.pixels[i];
                else
                    row[x] = l.indices[i];
            }
        if (image->depth != 32 && image->palette != nullptr)
            std::copy_n(s.palette.begin(), image->depth == 4 ? 16 : 256, image->palette);
        return 1;
    }

    static int32_t raster_from_image(void* out, void* in, int32_t) {
        const LgRaster* r = raster_of(out);
        const auto* image = static_cast<const LgImage*>(in);
        if (surface(r) == nullptr || image->pixels == nullptr) return 0;
        Level& l = level(r, locked_level(r));
        const bool indexed = image->depth != 32;
        for (int32_t y = 0; y < std::min(image->height, l.height); ++y)
            for (int32_t x = 0; x < std::min(image->width, l.width); ++x) {
                const uint8_t* row = image->pixels + static_cast<size_t>(y) * image->stride;
                const size_t i = static_cast<size_t>(y * l.width + x);
                l.indices[i] = indexed ? row[x] : 0;
                l.pixels[i] =
                    indexed ? image->palette[row[x]] : reinterpret_cast<const LgRGBA*>(row)[x];
            }
        if (indexed)
            std::copy_n(image->palette, image->depth == 4 ? 16 : 256, surface(r)->palette.begin());
        return 1;
    }

    static int32_t largest_power_of_two(int32_t v) {
        int32_t p = 1;
        while (p * 2 <= v) p *= 2;
        return p;
    }

    static int32_t format_for_image(void* out, void* in, int32_t flags) {
        LgRaster* r = raster_of(out);
        const auto* image = static_cast<const LgImage*>(in);
        r->width = image->width;
        r->height = image->height;
        r->type = static_cast<uint8_t>(flags & 7);
        int32_t format = self().proposedFormat;
        if ((flags & LgRasterFormatMipmap) != 0 && self().canMipmap) {
            format |= LgRasterFormatMipmap;
            if (self().autoMipmapSwitch != nullptr && self().autoMipmapSwitch())
                format |= LgRasterFormatAutoMipmap;
        }
        r->format = static_cast<uint8_t>(format >> 8);
        if (self().maxTextureSize != 0) {
            r->width = std::min(r->width, self().maxTextureSize);
            r->height = std::min(r->height, self().maxTextureSize);
        }
        if ((format & LgRasterFormatMipmap) != 0) {
            r->width = largest_power_of_two(r->width);
            r->height = largest_power_of_two(r->height);
        }
        return 1;
    }

    static int32_t set_target(void* out, void*, int32_t) {
        self().targets.push_back(raster_of(out));
        return self().refuseTarget ? 0 : 1;
    }

    static int32_t sub_raster(void* out, void* in, int32_t) {
        if (self().refuseSubRaster) return 0;
        LgRaster* r = raster_of(out);
        const LgRaster* parent = raster_of(in);
        r->deviceWords[0] = parent->deviceWords[0];
        r->stride = parent->stride;
        r->depth = parent->depth;
        r->type = parent->type;
        r->format = parent->format;
        return 1;
    }

    static int32_t clear_rect(void* out, void*, int32_t value) {
        self().clears.push_back(*static_cast<LgRect*>(out));
        self().clearValues.push_back(static_cast<uint32_t>(value));
        return 1;
    }

    static int32_t lock(void* out, void* in, int32_t number) {
        LgRaster* r = raster_of(in);
        self().lockArguments.push_back(number);
        const int32_t i = number >> 8;
        if (surface(r) == nullptr || i >= static_cast<int32_t>(surface(r)->levels.size())) return 0;
        Level& l = level(r, i);
        *static_cast<uint8_t**>(out) = reinterpret_cast<uint8_t*>(l.pixels.data());
        if (r->parent == r) {
            r->width = l.width;
            r->height = l.height;
        }
        r->deviceWords[1] = static_cast<uintptr_t>(i + 1);
        r->deviceData[0] = static_cast<uintptr_t>(number & 0xff);
        return 1;
    }

    static int32_t unlock(void* out, void*, int32_t) {
        LgRaster* r = raster_of(out);
        if (surface(r) == nullptr || r->deviceWords[1] == 0) return 0;
        const int32_t i = locked_level(r);
        if (r->parent == r) {
            r->width = level(r, 0).width;
            r->height = level(r, 0).height;
        }
        r->deviceWords[1] = 0;
        if (i == 0 && (r->deviceData[0] & 1) != 0 && (r->format & 0x10) != 0 &&
            self().onAutoMipmapUnlock != nullptr)
            self().onAutoMipmapUnlock(r);
        return 1;
    }

    static int32_t show(void*, void*, int32_t) {
        ++self().shows;
        return 1;
    }

    static int32_t palette_lock(void* out, void* in, int32_t mode) {
        LgRaster* r = raster_of(in);
        if (surface(r) == nullptr || (r->format & 0x60) == 0) return 0;
        *static_cast<LgRGBA**>(out) = surface(r)->palette.data();
        r->privateFlags |=
            static_cast<uint8_t>(((mode & 2) != 0 ? 8 : 0) | ((mode & 1) != 0 ? 0x10 : 0));
        return 1;
    }

    static int32_t palette_unlock(void*, void*, int32_t) { return 1; }

    static int32_t num_levels(void* out, void* in, int32_t) {
        const LgRaster* r = raster_of(in);
        *static_cast<int32_t*>(out) =
            surface(r) != nullptr ? static_cast<int32_t>(surface(r)->levels.size()) : 0;
        return 1;
    }

    std::map<const LgRaster*, std::unique_ptr<Surface>> owned;
};

} // namespace enginetest
