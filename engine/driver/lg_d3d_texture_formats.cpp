// Texture-format enumeration, the templates beside it and the format choice table.
#include "engine/driver/lg_d3d_texture_formats.h"

#include "engine/core/lg_free_list.h"
#include "engine/driver/lg_d3d_render_state_init.h"

#include <bit>
#include <cstring>
#include <initializer_list>
#include <utility>

using namespace platform;

namespace {

constexpr int32_t entriesPerBlock = 5;
constexpr uint32_t nonLocalTextureCaps =
    DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY | DDSCAPS_NONLOCALVIDMEM;
constexpr uint32_t textureMemoryDevCaps =
    D3DDEVCAPS_TEXTURENONLOCALVIDMEM | D3DDEVCAPS_TEXTURESYSTEMMEMORY;
constexpr uint32_t palette4Caps = DDPCAPS_4BIT;
constexpr uint32_t palette8Caps = DDPCAPS_8BIT | DDPCAPS_ALLOW256;

int32_t bits_of(uint32_t mask) {
    return std::popcount(mask);
}

bool has_palette(const DDPIXELFORMAT& f) {
    return (f.dwFlags & DDPF_ANY_PALETTE) != 0;
}

bool colour_key_capable() {
    return (LgD3DCurrentDeviceDesc().dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_TRANSPARENCY) != 0;
}

void set_colour_key_0(DDSURFACEDESC2& desc) {
    desc.dwFlags |= DDSD_CKSRCBLT;
    desc.ddckCKSrcBlt = {0, 0};
}

LgD3DTextureFormat** slot_for(int32_t code) {
    LgD3DTextureFormats& f = LgD3DDriver.formats;
    switch (code) {
    case 0xA00: return &f.f555;
    case 0x100: return &f.f1555;
    case 0x300: return &f.f4444;
    case 0x200: return &f.f565;
    case 0x500: return &f.f8888;
    case 0x600: return &f.f888;
    case 0x4600: return &f.pal4;
    case 0x2600: return &f.pal8;
    default: return nullptr;
    }
}

LgD3DTextureFormat* new_entry() {
    auto* entry = static_cast<LgD3DTextureFormat*>(LgFreeListTake(LgD3DDriver.formats.entryList));
    if (entry == nullptr) return nullptr;
    std::memset(static_cast<void*>(entry), 0, sizeof(LgD3DTextureFormat));
    entry->next = LgD3DDriver.formats.list;
    LgD3DDriver.formats.list = entry;
    return entry;
}

int32_t texture_format_callback(DDPIXELFORMAT* format, void*) {
    if ((format->dwFlags & DDPF_LUMINANCE) != 0) return D3DENUMRET_OK;
    LgD3DTextureFormat* entry = new_entry();
    if (entry == nullptr) return D3DENUMRET_OK;
    DDSURFACEDESC2& d = entry->desc;
    d.dwSize = sizeof(DDSURFACEDESC2);
    d.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    d.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    d.dwMipMapCount = 1;
    d.ddpfPixelFormat = *format;
    if (colour_key_capable() && (format->dwFlags & DDPF_ALPHAPIXELS) == 0 && !has_palette(*format))
        set_colour_key_0(d);
    if ((format->dwFlags & DDPF_PALETTEINDEXED4) != 0)
        entry->paletteCaps = palette4Caps;
    else if ((format->dwFlags & DDPF_PALETTEINDEXED8) != 0)
        entry->paletteCaps = palette8Caps;
    entry->code = LgD3DPixelFormatCode(format);
    if (LgD3DTextureFormat** slot = slot_for(entry->code)) *slot = entry;
    return D3DENUMRET_OK;
}

// The alpha-palette variant of a palette format: same template, alpha entries.
LgD3DTextureFormat* alpha_palette_copy(const LgD3DTextureFormat* source, int32_t code) {
    if (source == nullptr) return nullptr;
    LgD3DTextureFormat* entry = new_entry();
    if (entry == nullptr) return nullptr;
    LgD3DTextureFormat* link = entry->next;
    *entry = *source;
    entry->next = link;
    entry->code = code;
    entry->paletteCaps |= DDPCAPS_ALPHA;
    return entry;
}

void build_templates(const LgD3DSubSystem& s) {
    LgD3DTextureFormats& f = LgD3DDriver.formats;
    const DDPIXELFORMAT& primary = LgD3DDriver.primaryDesc.ddpfPixelFormat;
    const bool key = colour_key_capable();

    f.zTemplate = DDSURFACEDESC2{};
    if (s.noZBuffer) {
        f.zDepth = 16;
        f.zCode = 0x700;
    } else {
        f.zTemplate.dwSize = sizeof(DDSURFACEDESC2);
        f.zTemplate.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
        f.zTemplate.ddpfPixelFormat = s.zBufferFormat;
        f.zTemplate.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_3DDEVICE |
                                     (s.hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
        f.zDepth = static_cast<int32_t>(s.zBufferFormat.dwZBufferBitDepth);
        f.zCode = LgD3DPixelFormatCode(&s.zBufferFormat);
    }

    f.cameraTemplate = DDSURFACEDESC2{};
    f.cameraTemplate.dwSize = sizeof(DDSURFACEDESC2);
    f.cameraTemplate.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    f.cameraTemplate.ddpfPixelFormat = primary;
    f.cameraTemplate.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE |
                                      (s.hardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    f.cameraCode = LgD3DPixelFormatCode(&primary);

    f.plainTemplate = DDSURFACEDESC2{};
    f.plainTemplate.dwSize = sizeof(DDSURFACEDESC2);
    f.plainTemplate.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
    f.plainTemplate.ddpfPixelFormat = primary;
    f.plainTemplate.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY;
    if (key && (primary.dwFlags & DDPF_ALPHAPIXELS) == 0 && !has_palette(primary))
        set_colour_key_0(f.plainTemplate);
}

// Textures in non-local video memory are claimed by some devices that then cannot make them.
void check_non_local_textures(LgD3DSubSystem& s) {
    if ((s.deviceDesc.dwDevCaps & D3DDEVCAPS_TEXTURENONLOCALVIDMEM) == 0) return;
    bool works = false;
    if (s.hardware) {
        DDSURFACEDESC2 test{};
        test.dwSize = sizeof(test);
        test.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
        test.dwWidth = test.dwHeight = 128;
        test.ddpfPixelFormat = LgD3DDriver.primaryDesc.ddpfPixelFormat;
        test.ddsCaps.dwCaps = nonLocalTextureCaps;
        IDirectDrawSurface4* surface = nullptr;
        works = succeeded(LgD3DDriver.directDraw->CreateSurface(&test, &surface, nullptr));
        LgD3DReleaseField(surface);
    }
    if (!works) s.deviceDesc.dwDevCaps &= ~textureMemoryDevCaps;
}

void derive_choices() {
    LgD3DTextureFormats& f = LgD3DDriver.formats;
    const D3DPRIMCAPS& caps = LgD3DCurrentDeviceDesc().dpcTriCaps;
    const bool blend = (caps.dwTextureBlendCaps & D3DPTBLENDCAPS_MODULATEALPHA) != 0;
    const bool key = (caps.dwTextureCaps & D3DPTEXTURECAPS_TRANSPARENCY) != 0;
    auto pick = [](std::initializer_list<std::pair<LgD3DTextureFormat*, bool>> options,
                   LgD3DTextureFormat* otherwise) {
        for (auto [format, usable] : options)
            if (format != nullptr && usable) return format;
        return otherwise;
    };
    LgD3DTextureFormat* a =
        pick({{f.f4444, blend}, {f.f1555, blend}, {f.f565, key}, {f.f555, key}}, f.first);
    LgD3DTextureFormat* k =
        pick({{f.f1555, blend}, {f.f565, key}, {f.f555, key}, {f.f4444, blend}}, f.first);
    LgD3DTextureFormat* o =
        pick({{f.f565, true}, {f.f555, true}, {f.f1555, true}, {f.f4444, true}}, f.first);
    f.choice[LgD3DFullAlpha][LgD3DNoPalette] = a;
    f.choice[LgD3DFullAlpha][LgD3DPalette4] = f.pal4Alpha != nullptr ? f.pal4Alpha : a;
    f.choice[LgD3DFullAlpha][LgD3DPalette8] = f.pal8Alpha != nullptr ? f.pal8Alpha : a;
    f.choice[LgD3DOneBitAlpha][LgD3DNoPalette] = k;
    f.choice[LgD3DOneBitAlpha][LgD3DPalette4] = f.pal4Alpha != nullptr ? f.pal4Alpha : k;
    f.choice[LgD3DOneBitAlpha][LgD3DPalette8] = f.pal8Alpha != nullptr ? f.pal8Alpha : k;
    f.choice[LgD3DOpaque][LgD3DNoPalette] = o;
    f.choice[LgD3DOpaque][LgD3DPalette4] = pick({{f.pal4, true}, {f.pal4Alpha, true}}, o);
    f.choice[LgD3DOpaque][LgD3DPalette8] = pick({{f.pal8, true}, {f.pal8Alpha, true}}, o);
}

} // namespace

int32_t LgD3DPixelFormatCode(const DDPIXELFORMAT* format) {
    if (format == nullptr) return 0;
    if ((format->dwFlags & DDPF_FOURCC) != 0 && format->dwFourCC != 0)
        return static_cast<int32_t>(format->dwFourCC);
    const int32_t a = bits_of(format->dwRGBAlphaBitMask);
    const int32_t r = bits_of(format->dwRBitMask);
    const int32_t g = bits_of(format->dwGBitMask);
    const int32_t b = bits_of(format->dwBBitMask);
    switch (format->dwRGBBitCount) {
    case 4: return 0x4600;
    case 8: return 0x2600;
    case 16:
        if (a == 1 && r == 5 && g == 5 && b == 5) return 0x100;
        if (a == 0 && r == 5 && g == 6 && b == 5) return 0x200;
        if (a == 4 && r == 4 && g == 4 && b == 4) return 0x300;
        if (a == 0 && r == 5 && g == 5 && b == 5) return 0xA00;
        return 0x700;
    case 24: return a == 0 && r == 8 && g == 8 && b == 8 ? 0x600 : 0x800;
    case 32: return a == 8 && r == 8 && g == 8 && b == 8 ? 0x500 : 0x900;
    default: return 0;
    }
}

int32_t LgD3DEnumTextureFormats(IDirect3DDevice3* device, IDirectDrawSurface4* target) {
    LgD3DSubSystem& s = LgD3DDriver.subSystems[LgD3DDriver.currentSubSystem];
    LgD3DTextureFormats& f = LgD3DDriver.formats;
    build_templates(s);
    check_non_local_textures(s);

    LgD3DFreeTextureFormats();
    f.entryList = LgFreeListCreate(sizeof(LgD3DTextureFormat), entriesPerBlock, 0);
    if (f.entryList == nullptr) {
        LgD3DRaiseDriverError("Unable to create D3D Texture format free list");
        return 0;
    }
    if (failed(device->EnumTextureFormats(texture_format_callback, nullptr))) {
        LgD3DRaiseDriverError("Unable to enumerate D3D Texture formats");
        return 0;
    }
    if ((s.deviceDesc.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_ALPHAPALETTE) != 0) {
        f.pal4Alpha = alpha_palette_copy(f.pal4, 0x4500);
        f.pal8Alpha = alpha_palette_copy(f.pal8, 0x2500);
    }
    f.first = f.f565 != nullptr    ? f.f565
              : f.f1555 != nullptr ? f.f1555
              : f.f555 != nullptr  ? f.f555
                                   : f.f4444;
    if (f.first == nullptr) {
        LgD3DRaiseDriverError("Unable to find any suitable texture formats");
        return 0;
    }
    f.format24 = f.f888;
    f.format32 = f.f8888;
    derive_choices();
    if (colour_key_capable()) LgD3DProbeColourKey(device, target);
    return 1;
}

void LgD3DFreeTextureFormats() {
    LgD3DTextureFormats& f = LgD3DDriver.formats;
    if (f.entryList != nullptr) {
        while (LgD3DTextureFormat* entry = f.list) {
            f.list = entry->next;
            LgFreeListGive(f.entryList, entry);
        }
        LgFreeListDestroy(f.entryList);
    }
    // The templates stay: they describe the device, not the entries.
    f.entryList = nullptr;
    f.list = nullptr;
    f.f555 = f.f1555 = f.f4444 = f.f565 = f.f8888 = f.f888 = nullptr;
    f.pal4 = f.pal4Alpha = f.pal8 = f.pal8Alpha = nullptr;
    f.first = f.format24 = f.format32 = nullptr;
    std::memset(f.choice, 0, sizeof(f.choice));
}

LgD3DTextureFormat* LgD3DFindTextureFormat(int32_t code) {
    for (LgD3DTextureFormat* e = LgD3DDriver.formats.list; e != nullptr; e = e->next)
        if (e->code == code) return e;
    return nullptr;
}
