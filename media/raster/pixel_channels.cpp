// The channel table of the direct-colour formats.
#include "media/raster/pixel_channels.h"

namespace {

constexpr OmChannelLayout rgb888 = {{0xFF0000, 0xFF00, 0xFF, 0}, {8, 16, 24, 0}};
constexpr OmChannelLayout argb8888 = {{0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {8, 16, 24, 0}};
constexpr OmChannelLayout rgb565 = {{0xF800, 0x7E0, 0x1F, 0}, {16, 21, 27, 0}};
constexpr OmChannelLayout xrgb1555 = {{0x7C00, 0x3E0, 0x1F, 0}, {17, 22, 27, 0}};
constexpr OmChannelLayout argb1555 = {{0x7C00, 0x3E0, 0x1F, 0x8000}, {17, 22, 27, 16}};
constexpr OmChannelLayout xrgb4444 = {{0xF00, 0xF0, 0xF, 0}, {20, 24, 28, 0}};
constexpr OmChannelLayout argb4444 = {{0xF00, 0xF0, 0xF, 0xF000}, {20, 24, 28, 16}};

} // namespace

bool om_channel_layout(uint32_t format, OmChannelLayout* out) {
    bool alpha = om_pixel_has_alpha(format);
    switch (om_pixel_bits(format)) {
    case 32: *out = alpha ? argb8888 : rgb888; return true;
    case 24: *out = rgb888; return true;
    case 16:
        switch (om_pixel_layout(format)) {
        case 1: *out = rgb565; return true;
        case 2: *out = alpha ? argb1555 : xrgb1555; return true;
        case 3: *out = alpha ? argb4444 : xrgb4444; return true;
        default: return false;
        }
    default: return false;
    }
}

bool om_pixel_converter(uint32_t source_format, uint32_t dest_format, OmPixelConverter* out) {
    if (!om_channel_layout(source_format, &out->source) ||
        !om_channel_layout(dest_format, &out->dest))
        return false;
    uint32_t from = om_pixel_bits(source_format), to = om_pixel_bits(dest_format);
    out->key_rule =
        from == 32 && to == 24 ? OmAlphaKeyRule::at_most_half : OmAlphaKeyRule::below_half;
    out->opaque_fill = from == 24 && to == 32 && out->dest.has_alpha();
    return true;
}
