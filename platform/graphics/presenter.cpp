// Frame presentation over SDL2, or into memory when headless.
#include "platform/graphics/presenter.h"

#include "platform/clock.h"
#include "platform/graphics/pixel_format.h"
#include "platform/headless.h"

#include <cstring>

namespace platform {
namespace {

// The last headless frame as shown, in its own format: converted to 0xFFRRGGBB only when
// someone asks for it, so a headless game pays one copy per frame.
struct RawFrame {
    std::vector<uint8_t> bytes; // rows of row_bytes, top to bottom
    uint32_t row_bytes = 0;
    uint32_t width = 0, height = 0;
    DDPIXELFORMAT format{};
    std::vector<uint32_t> palette; // 256 entries for palettised formats, else empty
    bool converted = true;
};

struct Screen {
    GfxWindowHooks hooks;
    PresentObserver observer = nullptr;
    PresentedFrame last;
    RawFrame raw;
    uint64_t serial = 0;
    bool video_started = false;
    SDL_Window* own_window = nullptr;
    SDL_Window* window = nullptr; // the window the renderer belongs to
    SDL_Renderer* renderer = nullptr;
    bool own_renderer = false; // made here, not found on the window
    SDL_Texture* texture = nullptr;
    uint32_t tex_format = 0;
    uint32_t tex_w = 0, tex_h = 0;
    int vsync = -1;
};

Screen& screen() {
    static Screen s;
    return s;
}

uint32_t sdl_format_of(const DDPIXELFORMAT& f) {
    if (!(f.dwFlags & DDPF_RGB) || palette_index_bits(f)) return SDL_PIXELFORMAT_UNKNOWN;
    uint32_t a = (f.dwFlags & DDPF_ALPHAPIXELS) ? f.dwRGBAlphaBitMask : 0;
    return SDL_MasksToPixelFormatEnum(static_cast<int>(f.dwRGBBitCount), f.dwRBitMask, f.dwGBitMask,
                                      f.dwBBitMask, a);
}

// Converts any supported format to 0xFFRRGGBB rows.
void to_xrgb(const uint8_t* pixels, int32_t pitch, uint32_t w, uint32_t h,
             const DDPIXELFORMAT& format, const uint32_t* palette, std::vector<uint32_t>& out) {
    out.resize(size_t(w) * h);
    const uint32_t pal_bits = palette_index_bits(format);
    const PixelCodec codec(format);
    const uint32_t bytes = (format_bits(format) + 7) / 8;
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* row = pixels + ptrdiff_t(y) * pitch;
        uint32_t* dst = out.data() + size_t(y) * w;
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t argb;
            if (pal_bits) {
                uint32_t bit = x * pal_bits;
                uint32_t index = (row[bit / 8] >> (bit % 8)) & ((1u << pal_bits) - 1);
                argb = palette ? palette[index] : 0;
            } else {
                argb = codec.decode(load_pixel(row + x * bytes, bytes));
            }
            dst[x] = argb | 0xFF000000u;
        }
    }
}

// The texture, and the renderer when it was made here: SDL frees neither with the window, so
// both go before the window does.
void release_renderer(Screen& s) {
    if (s.texture) SDL_DestroyTexture(s.texture);
    if (s.renderer && s.own_renderer) SDL_DestroyRenderer(s.renderer);
    s.texture = nullptr;
    s.renderer = nullptr;
    s.own_renderer = false;
    s.window = nullptr;
}

bool ensure_renderer(Screen& s, GfxWindow handle, uint32_t w, uint32_t h) {
    SDL_Window* target = s.hooks.sdl_window ? s.hooks.sdl_window(handle) : nullptr;
    if (!target) {
        if (!s.video_started) {
            if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
            s.video_started = true;
        }
        if (!s.own_window)
            s.own_window = SDL_CreateWindow("corvel", SDL_WINDOWPOS_CENTERED,
                                            SDL_WINDOWPOS_CENTERED, int(w), int(h), 0);
        if (!s.own_window) return false;
        target = s.own_window;
    }
    if (s.renderer && s.window != target) release_renderer(s);
    if (!s.renderer) {
        s.renderer = SDL_GetRenderer(target);
        s.own_renderer = !s.renderer;
        if (!s.renderer) s.renderer = SDL_CreateRenderer(target, -1, 0);
        if (!s.renderer) return false;
        s.window = target;
        s.vsync = -1;
    }
    return true;
}

} // namespace

void set_gfx_window_hooks(const GfxWindowHooks& hooks) {
    screen().hooks = hooks;
}
const GfxWindowHooks& gfx_window_hooks() {
    return screen().hooks;
}

void present_frame(GfxWindow window, const uint8_t* pixels, int32_t pitch, uint32_t w, uint32_t h,
                   const DDPIXELFORMAT& format, const uint32_t* palette, bool vsync) {
    Screen& s = screen();
    ++s.serial;
    note_frame_shown();
    if (s.observer) {
        // An observer sees every frame converted; the last frame is then already in place.
        to_xrgb(pixels, pitch, w, h, format, palette, s.last.pixels);
        s.last.width = w;
        s.last.height = h;
        s.last.serial = s.serial;
        s.raw.converted = true;
        s.observer(s.last);
        if (headless()) return;
    } else if (headless()) {
        RawFrame& raw = s.raw;
        raw.row_bytes = (w * format_bits(format) + 7) / 8;
        raw.bytes.resize(size_t(raw.row_bytes) * h);
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(raw.bytes.data() + size_t(y) * raw.row_bytes, pixels + ptrdiff_t(y) * pitch,
                        raw.row_bytes);
        raw.width = w;
        raw.height = h;
        raw.format = format;
        if (palette)
            raw.palette.assign(palette, palette + 256);
        else
            raw.palette.clear();
        raw.converted = false;
        s.last.serial = s.serial;
        return;
    }
    // A window destroyed by someone else shows nothing: drawing into it only raises errors
    // until the program, told to close, has shut down.
    if (s.hooks.lost && s.hooks.lost(window)) return;
    if (!ensure_renderer(s, window, w, h)) return;
    uint32_t fmt = sdl_format_of(format);
    std::vector<uint32_t> converted;
    const void* upload = pixels;
    int upload_pitch = pitch;
    if (fmt == SDL_PIXELFORMAT_UNKNOWN) { // palettised: expand on the CPU
        to_xrgb(pixels, pitch, w, h, format, palette, converted);
        fmt = SDL_PIXELFORMAT_ARGB8888;
        upload = converted.data();
        upload_pitch = int(w * 4);
    }
    if (!s.texture || s.tex_format != fmt || s.tex_w != w || s.tex_h != h) {
        if (s.texture) SDL_DestroyTexture(s.texture);
        s.texture = SDL_CreateTexture(s.renderer, fmt, SDL_TEXTUREACCESS_STREAMING, int(w), int(h));
        if (!s.texture) return;
        s.tex_format = fmt;
        s.tex_w = w;
        s.tex_h = h;
    }
#if SDL_VERSION_ATLEAST(2, 0, 18)
    if (s.vsync != int(vsync)) {
        SDL_RenderSetVSync(s.renderer, vsync ? 1 : 0);
        s.vsync = int(vsync);
    }
#endif
    SDL_UpdateTexture(s.texture, nullptr, upload, upload_pitch);
    SDL_RenderClear(s.renderer);
    SDL_RenderCopy(s.renderer, s.texture, nullptr, nullptr);
    SDL_RenderPresent(s.renderer);
}

void set_present_observer(PresentObserver observer) {
    screen().observer = observer;
}

const PresentedFrame& last_presented_frame() {
    Screen& s = screen();
    RawFrame& raw = s.raw;
    if (!raw.converted) {
        to_xrgb(raw.bytes.data(), int32_t(raw.row_bytes), raw.width, raw.height, raw.format,
                raw.palette.empty() ? nullptr : raw.palette.data(), s.last.pixels);
        s.last.width = raw.width;
        s.last.height = raw.height;
        raw.converted = true;
    }
    return s.last;
}

void release_presentation_of(SDL_Window* window) {
    Screen& s = screen();
    if (window && s.window == window) release_renderer(s);
}

void shut_down_presenter() {
    Screen& s = screen();
    release_renderer(s);
    if (s.own_window) SDL_DestroyWindow(s.own_window);
    if (s.video_started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    s.own_window = nullptr;
    s.video_started = false;
}

} // namespace platform
