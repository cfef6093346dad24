// DirectDraw palette stand-in.
#include "platform/graphics/palette.h"

#include <new>

namespace platform {

int32_t Palette::create(uint32_t caps, const PALETTEENTRY* entries, Palette** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    uint32_t size;
    if (caps & DDPCAPS_8BIT)
        size = 256;
    else if (caps & DDPCAPS_4BIT)
        size = 16;
    else if (caps & DDPCAPS_2BIT)
        size = 4;
    else if (caps & DDPCAPS_1BIT)
        size = 2;
    else
        return DDERR_INVALIDPARAMS;
    if (!entries) return DDERR_INVALIDPARAMS;
    auto* p = new (std::nothrow) Palette;
    if (!p) return DDERR_OUTOFMEMORY;
    p->caps_ = caps;
    p->size_ = size;
    for (uint32_t i = 0; i < size; ++i) p->entries_[i] = entries[i];
    p->refresh(0, size);
    *out = p;
    return DD_OK;
}

int32_t Palette::QueryInterface(const GUID& iid, void** out) {
    return query_single<IDirectDrawPalette>(this, IID_IDirectDrawPalette, iid, out);
}

uint32_t Palette::Release() {
    return release_and_delete(this, refs_);
}

int32_t Palette::GetCaps(uint32_t* caps) {
    if (!caps) return DDERR_INVALIDPARAMS;
    *caps = caps_;
    return DD_OK;
}

int32_t Palette::GetEntries(uint32_t, uint32_t start, uint32_t count, PALETTEENTRY* entries) {
    if (!entries || start > size_ || count > size_ - start) return DDERR_INVALIDPARAMS;
    for (uint32_t i = 0; i < count; ++i) entries[i] = entries_[start + i];
    return DD_OK;
}

int32_t Palette::SetEntries(uint32_t, uint32_t start, uint32_t count, const PALETTEENTRY* entries) {
    if (!entries || start > size_ || count > size_ - start) return DDERR_INVALIDPARAMS;
    for (uint32_t i = 0; i < count; ++i) entries_[start + i] = entries[i];
    refresh(start, count);
    return DD_OK;
}

void Palette::refresh(uint32_t start, uint32_t count) {
    const bool alpha = (caps_ & DDPCAPS_ALPHA) != 0;
    for (uint32_t i = start; i < start + count; ++i) {
        const PALETTEENTRY& e = entries_[i];
        uint32_t a = alpha ? e.peFlags : 255u;
        argb_[i] = a << 24 | uint32_t(e.peRed) << 16 | uint32_t(e.peGreen) << 8 | e.peBlue;
    }
    ++version_;
}

} // namespace platform
