// The default texture reader and mip-level generation: images found along the image search
// path become rasters of the format the device proposes (resampled, quantised and gamma
// corrected as that format needs), with mip levels read from files or generated.
#include "engine/core/lg_error.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_palette_quantiser.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_texture.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// Lock mode the reader uses to learn a level's size (the driver's write-plus-wait mode).
constexpr int32_t levelSizeLockMode = 5;
constexpr int32_t highestNamedLevel = 15;

// Images made along the way, destroyed together whatever path the reader leaves by.
class ImageSet {
public:
    ImageSet() = default;
    ImageSet(const ImageSet&) = delete;
    ImageSet& operator=(const ImageSet&) = delete;
    ~ImageSet() {
        for (LgImage* image : images)
            if (image != nullptr) LgImageDestroy(image);
    }
    std::vector<LgImage*> images;
};

// The image of the name (its extension found along the search path), or null.
LgImage* read_named_image(const char* name) {
    const char* extension = LgImageFindFile(name);
    if (extension == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrFileNotFound);
        return nullptr;
    }
    return LgImageRead((std::string(name) + extension).c_str());
}

// The image with the mask's brightness as its alpha (no mask: the image as read).
LgImage* read_masked_image(const char* name, const char* maskName) {
    LgImage* image = read_named_image(name);
    if (image == nullptr || maskName[0] == '\0') return image;
    LgImage* mask = read_named_image(maskName);
    const bool ok = mask != nullptr && LgImageApplyMask(image, LgImageMakeMask(mask)) != nullptr;
    if (mask != nullptr) LgImageDestroy(mask);
    if (!ok) {
        LgImageDestroy(image);
        return nullptr;
    }
    return image;
}

// Replaces the image by one of the size (resampled to 32 bits when the size differs).
bool fit(LgImage*& image, int32_t width, int32_t height) {
    if (image->width == width && image->height == height) return true;
    LgImage* resampled = LgImageCreateResampled(image, width, height);
    if (resampled == nullptr) return false;
    LgImageDestroy(image);
    image = resampled;
    return true;
}

bool palettised(const LgRaster* raster) {
    return (raster->format & ((LgRasterFormatPal8 | LgRasterFormatPal4) >> 8)) != 0;
}

int32_t palette_colours(const LgRaster* raster) {
    return (raster->format & (LgRasterFormatPal4 >> 8)) != 0 ? 16 : 256;
}

int32_t palette_depth(const LgRaster* raster) {
    if (raster->depth == 4 || raster->depth == 8) return raster->depth;
    return palette_colours(raster) == 16 ? 4 : 8;
}

// Whether the raster can take the image's indices and palette as they are.
bool fits_palette(const LgImage* image, const LgRaster* raster) {
    return image->depth == 4 || (image->depth == 8 && palette_colours(raster) == 256);
}

// Quantises the images together into one palette of the raster's size, replacing each by a
// palettised image at the raster's palette depth.
bool quantise_together(std::vector<LgImage*>& images, const LgRaster* raster) {
    LgPaletteQuantiser quantiser{};
    if (!LgPaletteQuantiserCreate(&quantiser)) return false;
    bool ok = true;
    for (const LgImage* image : images)
        ok = ok && LgPaletteQuantiserAddImage(&quantiser, image) != nullptr;
    LgRGBA palette[256] = {};
    ok = ok && LgPaletteQuantiserMakePalette(palette, palette_colours(raster), &quantiser) > 0;
    for (LgImage*& image : images) {
        if (!ok) break;
        LgImage* indexed = LgImageCreate(image->width, image->height, palette_depth(raster));
        ok = indexed != nullptr && LgImageAllocatePixels(indexed) != nullptr;
        if (ok) {
            std::memcpy(indexed->palette, palette,
                        sizeof(LgRGBA) * (indexed->depth == 4 ? 16 : 256));
            LgPaletteQuantiserMatchImage(indexed->pixels, indexed->stride, indexed->depth,
                                         &quantiser, image);
            indexed->flags |= image->flags & LgImageGammaCorrected;
            LgImageDestroy(image);
            image = indexed;
        } else if (indexed != nullptr) {
            LgImageDestroy(indexed);
        }
    }
    LgPaletteQuantiserDestroy(&quantiser);
    return ok;
}

// Palettises (when the raster wants a palette the images do not have) and gamma corrects
// the images of a raster's levels, `first` being the level of images[0].
bool prepare_levels(std::vector<LgImage*>& images, const LgRaster* raster) {
    if (palettised(raster)) {
        bool all_fit = true;
        for (const LgImage* image : images) all_fit = all_fit && fits_palette(image, raster);
        if (!all_fit && !quantise_together(images, raster)) return false;
    }
    for (LgImage* image : images)
        if ((image->flags & LgImageGammaCorrected) == 0 && LgImageGammaCorrect(image) == nullptr)
            return false;
    return true;
}

// Copies the image into one level of the raster.
bool write_level(LgRaster* raster, int32_t level, LgImage* image) {
    if (level == 0) return LgRasterSetFromImage(raster, image) != nullptr;
    if (LgRasterLock(raster, level, LgRasterLockWrite) == nullptr) return false;
    const bool ok = LgRasterSetFromImage(raster, image) != nullptr;
    LgRasterUnlock(raster);
    return ok;
}

// Level 0 is written with the raster's automatic-mipmap bit cleared, so that the device does
// not rebuild the levels from a read-back of its own; the reader builds them from the image.
bool write_level_zero_quietly(LgRaster* raster, LgImage* image) {
    const uint8_t automatic = raster->format & (LgRasterFormatAutoMipmap >> 8);
    raster->format &= static_cast<uint8_t>(~automatic);
    const bool ok = write_level(raster, 0, image);
    raster->format |= automatic;
    return ok;
}

// The size of a level, from the device's lock.
bool level_size(LgRaster* raster, int32_t level, int32_t mode, int32_t& width, int32_t& height) {
    if (LgRasterLock(raster, level, mode) == nullptr) return false;
    width = raster->width;
    height = raster->height;
    LgRasterUnlock(raster);
    return true;
}

LgImage* copy_of(const LgImage* image) {
    LgImage* copy = LgImageCreate(image->width, image->height, image->depth);
    if (copy == nullptr || LgImageAllocatePixels(copy) == nullptr ||
        LgImageCopy(copy, image) == nullptr) {
        LgImageDestroy(copy);
        return nullptr;
    }
    copy->flags |= image->flags & LgImageGammaCorrected;
    return copy;
}

// Reads the images of levels 1 and up from the files named for them, each fitted to its
// level's size.
bool read_level_files(LgRaster* raster, const char* name, const char* maskName,
                      std::vector<LgImage*>& images) {
    const int32_t levels = LgRasterGetNumLevels(raster);
    if (levels < 1) return false;
    for (int32_t level = 1; level < levels; ++level) {
        int32_t width = 0, height = 0;
        if (!level_size(raster, level, levelSizeLockMode, width, height)) return false;
        std::string levelName(name), levelMask(maskName);
        levelName.resize(levelName.size() + 2);
        levelMask.resize(levelMask.size() + 2);
        LgTextureMipLevelName(levelName.data(), levelMask.data(), level);
        images.push_back(read_masked_image(levelName.c_str(), levelMask.c_str()));
        if (images.back() == nullptr || !fit(images.back(), width, height)) return false;
    }
    return true;
}

} // namespace

int32_t LgTextureDefaultMipLevelName(char* name, char* maskName, int32_t level) {
    if (level < 1 || level > highestNamedLevel) return 1;
    const char suffix[3] = {'m', "0123456789abcdef"[level], '\0'};
    std::strcat(name, suffix);
    if (maskName != nullptr && maskName[0] != '\0') std::strcat(maskName, suffix);
    return 1;
}

LgTexture* LgTextureDefaultRead(const char* name, const char* maskName) {
    if (name == nullptr) return nullptr;
    if (maskName == nullptr) maskName = "";
    ImageSet set;
    set.images.push_back(read_masked_image(name, maskName));
    LgImage*& image = set.images[0];
    if (image == nullptr) return nullptr;
    const int32_t flags =
        LgRasterTypeTexture | (LgTextureGetMipmapping() ? LgRasterFormatMipmap : 0);
    int32_t width = 0, height = 0, depth = 0, createFlags = 0;
    if (LgImageFindRasterFormat(image, flags, &width, &height, &depth, &createFlags) == nullptr ||
        !fit(image, width, height))
        return nullptr;
    LgRaster* raster = LgRasterCreate(width, height, depth, createFlags);
    if (raster == nullptr) return nullptr;
    const bool mipmapped = (raster->format & (LgRasterFormatMipmap >> 8)) != 0;
    const bool automatic = mipmapped && (raster->format & (LgRasterFormatAutoMipmap >> 8)) != 0;
    bool ok = true;
    if (automatic) {
        // Levels are made from the image as read; level 0 gets its own converted copy.
        LgImage* source = copy_of(image);
        std::vector<LgImage*> levelZero = {image};
        ok = source != nullptr && prepare_levels(levelZero, raster) &&
             write_level_zero_quietly(raster, levelZero[0]);
        image = levelZero[0];
        ok = ok && LgTextureGenerateMipmaps(raster, source);
        if (source != nullptr) LgImageDestroy(source);
    } else {
        ok = (!mipmapped || read_level_files(raster, name, maskName, set.images)) &&
             prepare_levels(set.images, raster);
        for (size_t level = 0; ok && level < set.images.size(); ++level)
            ok = write_level(raster, static_cast<int32_t>(level), set.images[level]);
    }
    LgTexture* texture = ok ? LgTextureCreate(raster) : nullptr;
    if (texture == nullptr) {
        LgRasterDestroy(raster);
        return nullptr;
    }
    LgTextureSetName(texture, name);
    LgTextureSetMaskName(texture, maskName);
    return texture;
}

LgRaster* LgTextureDefaultGenerateMipmaps(LgRaster* raster, LgImage* image) {
    if (raster == nullptr) return nullptr;
    const int32_t levels = LgRasterGetNumLevels(raster);
    if (levels < 1) return nullptr;
    ImageSet set;
    if (image != nullptr) {
        set.images.push_back(LgImageCreateResampled(image, image->width, image->height));
    } else {
        LgImage* readBack = LgImageCreate(raster->width, raster->height,
                                          palettised(raster) ? palette_depth(raster) : 32);
        set.images.push_back(readBack);
        if (readBack == nullptr || LgImageAllocatePixels(readBack) == nullptr ||
            LgImageSetFromRaster(readBack, raster) == nullptr)
            return nullptr;
        if (readBack->depth != 32)
            set.images[0] = LgImageCreateResampled(readBack, readBack->width, readBack->height);
        if (set.images[0] != readBack) LgImageDestroy(readBack);
    }
    if (set.images[0] == nullptr) return nullptr;
    const uint8_t automatic = raster->format & (LgRasterFormatAutoMipmap >> 8);
    raster->format &= static_cast<uint8_t>(~automatic);
    bool ok = true;
    for (int32_t level = 1; ok && level < levels; ++level) {
        int32_t width = 0, height = 0;
        ok = level_size(raster, level, LgRasterLockRead, width, height);
        if (ok) set.images.push_back(LgImageCreateResampled(set.images.back(), width, height));
        ok = ok && set.images.back() != nullptr;
    }
    // One palette serves every level, so a palettised raster's level 0 is rewritten with it.
    const int32_t first = palettised(raster) ? 0 : 1;
    ok = ok && prepare_levels(set.images, raster);
    for (int32_t level = first; ok && level < levels; ++level)
        ok = write_level(raster, level, set.images[static_cast<size_t>(level)]);
    raster->format |= automatic;
    return ok ? raster : nullptr;
}
