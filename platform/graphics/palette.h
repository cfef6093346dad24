// DirectDraw palette stand-in: 2 to 256 entries, optionally with alpha in the flags byte.
#pragma once

#include "platform/graphics/ddraw.h"

#include <array>

namespace platform {

class Palette final : public IDirectDrawPalette {
public:
    // caps: one of DDPCAPS_1BIT/2BIT/4BIT/8BIT (+ALLOW256, +ALPHA); entries as many as caps say.
    static int32_t create(uint32_t caps, const PALETTEENTRY* entries, Palette** out);

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override;

    int32_t GetCaps(uint32_t* caps) override;
    int32_t GetEntries(uint32_t flags, uint32_t start, uint32_t count,
                       PALETTEENTRY* entries) override;
    int32_t SetEntries(uint32_t flags, uint32_t start, uint32_t count,
                       const PALETTEENTRY* entries) override;

    uint32_t size() const { return size_; }
    // Entries as 0xAARRGGBB (alpha 255 unless the palette carries alpha).
    const std::array<uint32_t, 256>& argb() const { return argb_; }
    // Changes whenever an entry changes, so texture caches notice.
    uint32_t version() const { return version_; }

private:
    Palette() = default;
    void refresh(uint32_t start, uint32_t count);

    RefCounted refs_;
    uint32_t caps_ = 0;
    uint32_t size_ = 0;
    uint32_t version_ = 1;
    std::array<PALETTEENTRY, 256> entries_{};
    std::array<uint32_t, 256> argb_{};
};

} // namespace platform
