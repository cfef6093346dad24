// MousePointer: frames from the pointer INI file, the animation, and drawing by blit or through
// a renderer.
#include "media/raster/mouse_pointer.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/memory.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "media/raster/image_processor.h"
#include "media/raster/pixel_format.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Values of the pointer INI file are read into buffers of this size.
constexpr uint32_t value_size = 256;

template <class T>
void release(T*& held) {
    if (held) held->Release();
    held = nullptr;
}

// Everything Load holds while it reads, released on every path.
struct PointerRead {
    IFileStorage* storage = nullptr;
    IPropertySheet* sheet = nullptr;
    IImageProc* images = nullptr;
    IRasterCreate* fresh = nullptr;
    IRasterCreate* sized = nullptr;
    IRaster* loaded = nullptr;
    IRaster* picture = nullptr;
    MousePointerFrame* frames = nullptr;
    ~PointerRead() {
        release(storage);
        release(sheet);
        release(images);
        release(fresh);
        release(sized);
        release(loaded);
        release(picture);
        OmFreeMemory(frames);
    }
};

// A key of the current section as a decimal integer; 0 when it is missing.
int32_t read_int(IPropertySheet* sheet, const char* key) {
    char value[value_size] = "";
    if (sheet->GetString(key, value, value_size) < 0) return 0;
    return int32_t(std::strtol(value, nullptr, 10));
}

void read_frame(IPropertySheet* sheet, MousePointerFrame* frame) {
    frame->offset_x = read_int(sheet, "OffsetX");
    frame->offset_y = read_int(sheet, "OffsetY");
    frame->width = read_int(sheet, "Width");
    frame->height = read_int(sheet, "Height");
    frame->hotspot_x = read_int(sheet, "HotspotX");
    frame->hotspot_y = read_int(sheet, "HotspotY");
    frame->next_image = read_int(sheet, "NextImage");
    frame->next_time = read_int(sheet, "NextTime");
}

// The raster's top-left pixel, read by its depth (0 for depths other than 8, 16 and 32).
uint32_t top_left_pixel(IRaster* raster) {
    void* pixels;
    int32_t stride;
    if (raster->Lock(OM_LOCK_READ, &pixels, &stride) < 0) return 0;
    uint32_t value = 0;
    switch (raster->GetFormat() & 0xFF) {
    case 8: value = *static_cast<const uint8_t*>(pixels); break;
    case 16: {
        uint16_t v;
        std::memcpy(&v, pixels, 2);
        value = v;
        break;
    }
    case 32: std::memcpy(&value, pixels, 4); break;
    default: break;
    }
    raster->Unlock();
    return value;
}

// Every picture pixel whose loaded pixel has the loaded picture's top-left colour becomes 0,
// the transparent value of formats with alpha and of the software renderers' 5-6-5 textures: a
// renderer that draws by alpha or skips texels of 0 then leaves the key colour out as the keyed
// blit does. (The top-left pixel, and so
// the key, becomes 0 too.)
void clear_key_pixels(IRaster* loaded, IRaster* picture) {
    const uint32_t loaded_bytes = (loaded->GetFormat() & 0xFF) / 8;
    const uint32_t picture_bytes = (picture->GetFormat() & 0xFF) / 8;
    if (loaded_bytes == 0 || loaded_bytes > 4 || picture_bytes == 0 || picture_bytes > 4) return;
    const uint32_t width = std::min(loaded->GetWidth(), picture->GetWidth());
    const uint32_t height = std::min(loaded->GetHeight(), picture->GetHeight());
    void* source;
    int32_t source_stride;
    if (loaded->Lock(OM_LOCK_READ, &source, &source_stride) < 0) return;
    void* dest;
    int32_t dest_stride;
    if (picture->Lock(OM_LOCK_READ_WRITE, &dest, &dest_stride) < 0) {
        loaded->Unlock();
        return;
    }
    auto pixel = [&](uint32_t x, uint32_t y) {
        uint32_t value = 0;
        std::memcpy(&value,
                    static_cast<const uint8_t*>(source) + int64_t(y) * source_stride +
                        x * loaded_bytes,
                    loaded_bytes);
        return value;
    };
    const uint32_t key = pixel(0, 0);
    const uint32_t zero = 0;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            if (pixel(x, y) == key)
                std::memcpy(static_cast<uint8_t*>(dest) + int64_t(y) * dest_stride +
                                x * picture_bytes,
                            &zero, picture_bytes);
    picture->Unlock();
    loaded->Unlock();
}

class MousePointer final : public OmObject<MousePointer, IMousePointer> {
public:
    MousePointer() = default;
    ~MousePointer() {
        release(renderer_);
        release(target_);
        release(picture_);
        OmFreeMemory(frames_);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IMousePointer, this}});
    }

    OmResult SetRenderer(IRenderer* renderer) override {
        if (renderer) renderer->AddRef();
        release(renderer_);
        renderer_ = renderer;
        return OM_S_OK;
    }
    OmResult SetTarget(IRaster* target) override {
        if (target) target->AddRef();
        release(target_);
        target_ = target;
        return OM_S_OK;
    }
    OmResult SetParameter(int32_t value) override {
        parameter_ = value;
        return OM_S_OK;
    }
    int32_t GetParameter() override { return parameter_; }
    OmResult SetPosition(int32_t x, int32_t y) override {
        x_ = x;
        y_ = y;
        return OM_S_OK;
    }
    OmResult MovePosition(int32_t dx, int32_t dy) override {
        x_ += dx;
        y_ += dy;
        return OM_S_OK;
    }
    OmResult GetPosition(int32_t* x, int32_t* y) override {
        if (x) *x = x_;
        if (y) *y = y_;
        return OM_S_OK;
    }
    OmResult SetFrame(int32_t index) override {
        if (index == requested_) return OM_S_OK;
        int32_t frame = valid(index) ? index : 0;
        current_ = frame;
        requested_ = frame;
        return OM_S_OK;
    }
    int32_t GetFrame() override { return current_; }

    OmResult Load(const char* path, IRasterCreate* description) override {
        if (!path) return OM_E_FAIL;
        PointerRead held;
        OmResult r = OmCreate(CLSID_Win32Storage, IID_IFileStorage, &held.storage);
        if (r < 0) return r;
        if ((r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, &held.sheet)) < 0) return r;
        IByteStream* stream;
        if ((r = held.storage->Open(path, OM_OPEN_READ, OM_OPEN_TEXT, &stream)) < 0) return r;
        r = held.sheet->Load(stream);
        stream->Release();
        if (r < 0) return r;

        int32_t count = 0;
        for (char name[16];; ++count) {
            std::snprintf(name, sizeof name, "%d", count);
            if (held.sheet->SetSection(name) < 0) break;
        }
        if (count == 0) {
            replace(nullptr, 0, nullptr);
            return OM_S_OK;
        }
        held.frames =
            static_cast<MousePointerFrame*>(OmAllocMemory(sizeof(MousePointerFrame) * count));
        if (!held.frames) return OM_E_OUTOFMEMORY;

        char image[value_size] = "";
        if ((r = held.sheet->SetSection("Raster")) < 0) return r;
        if ((r = held.sheet->GetString("Image", image, value_size)) < 0) return r;
        if ((r = OmCreate(CLSID_ImageProc, IID_IImageProc, &held.images)) < 0) return r;
        if ((r = OmNewRasterDescription(&held.fresh)) < 0) return r;
        if ((r = held.images->LoadRaster(held.storage, image, held.fresh, &held.loaded)) < 0)
            return r;
        if ((r = make_picture(description, held)) < 0) return r;

        for (int32_t i = count - 1; i >= 0; --i) {
            char name[16];
            std::snprintf(name, sizeof name, "%d", i);
            held.sheet->SetSection(name);
            read_frame(held.sheet, &held.frames[i]);
        }
        replace(held.frames, count, held.picture);
        held.frames = nullptr;
        held.picture = nullptr;
        return OM_S_OK;
    }

    OmResult Update(int32_t elapsed) override {
        if (!frames_) return OM_S_OK;
        elapsed_ += elapsed;
        if (elapsed_ > frames_[current_].next_time) {
            elapsed_ = 0;
            int32_t next = frames_[current_].next_image;
            current_ = valid(next) ? next : 0;
        }
        return OM_S_OK;
    }

    OmResult Draw() override {
        if (!frames_) return OM_E_FAIL;
        if (!picture_) return OM_S_OK;
        const MousePointerFrame& f = frames_[current_];
        int32_t x = x_ - f.hotspot_x;
        int32_t y = y_ - f.hotspot_y;
        float sx = 1.0f, sy = 1.0f;
        if (target_) {
            sx = float(target_->GetWidth()) / 640.0f;
            sy = float(target_->GetHeight()) / 480.0f;
        }
        if (renderer_) return draw_quad(f, x, y, sx, sy);
        if (target_) return blit(f, x, y);
        return OM_S_OK;
    }

private:
    bool valid(int32_t index) const { return index >= 0 && index < count_; }

    // The picture from the caller's description, sized to the loaded picture, filled by a
    // converting blit and keyed on its top-left pixel.
    OmResult make_picture(IRasterCreate* description, PointerRead& held) {
        const uint32_t width = held.loaded->GetWidth();
        const uint32_t height = held.loaded->GetHeight();
        OmResult r = create_picture(description, held, width, height);
        // A device that rounds texture sides down would cut frames off: the picture is made
        // again at the powers of two above, the frames in its top-left part.
        if (r >= 0 && (held.picture->GetWidth() < width || held.picture->GetHeight() < height)) {
            release(held.picture);
            r = create_picture(description, held, std::bit_ceil(width), std::bit_ceil(height));
            if (r >= 0 && (held.picture->GetWidth() < width || held.picture->GetHeight() < height))
                r = OM_E_FAIL;
        }
        if (r < 0) return r;
        const OmRect area{0, 0, int32_t(width), int32_t(height)};
        if ((r = held.picture->BlitConvert(&area, held.loaded, nullptr,
                                           OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT)) < 0)
            return r;
        // 5-6-5 pictures too: the 16-bit software renderer leaves texels of 0 out, and the
        // converter writes opaque black as 1, so only the key becomes 0.
        const uint32_t format = held.picture->GetFormat();
        if (om_pixel_has_alpha(format) || format == OM_FORMAT_RGB565)
            clear_key_pixels(held.loaded, held.picture);
        held.picture->SetProperty(OM_RASTER_COLOUR_KEY, intptr_t(top_left_pixel(held.picture)));
        held.picture->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
        return OM_S_OK;
    }

    // A description that cannot be copied (a device's texture factory) is used itself, its own
    // size put back afterwards.
    static OmResult create_picture(IRasterCreate* description, PointerRead& held, uint32_t width,
                                   uint32_t height) {
        OmResult r;
        release(held.sized);
        if (!description) {
            if ((r = OmNewRasterDescription(&held.sized)) < 0) return r;
        } else if (description->Clone(&held.sized) < 0) {
            held.sized = nullptr;
        }
        if (held.sized) {
            held.sized->SetProperty(OM_RASTER_WIDTH, intptr_t(width));
            held.sized->SetProperty(OM_RASTER_HEIGHT, intptr_t(height));
            return held.sized->CreateRaster(&held.picture);
        }
        intptr_t old_width = 0, old_height = 0;
        const bool had_width = description->GetProperty(OM_RASTER_WIDTH, &old_width) >= 0;
        const bool had_height = description->GetProperty(OM_RASTER_HEIGHT, &old_height) >= 0;
        description->SetProperty(OM_RASTER_WIDTH, intptr_t(width));
        description->SetProperty(OM_RASTER_HEIGHT, intptr_t(height));
        r = description->CreateRaster(&held.picture);
        if (had_width) description->SetProperty(OM_RASTER_WIDTH, old_width);
        if (had_height) description->SetProperty(OM_RASTER_HEIGHT, old_height);
        return r;
    }

    void replace(MousePointerFrame* frames, int32_t count, IRaster* picture) {
        OmFreeMemory(frames_);
        frames_ = frames;
        count_ = frames ? count : 1;
        release(picture_);
        picture_ = picture;
        current_ = 0;
        requested_ = 0;
        elapsed_ = 0;
    }

    // Blit into the target, clipped to it; skipped when wholly outside.
    OmResult blit(const MousePointerFrame& f, int32_t x, int32_t y) {
        const int32_t tw = int32_t(target_->GetWidth());
        const int32_t th = int32_t(target_->GetHeight());
        if (x < -f.width || x >= tw || y < -f.height || y >= th) return OM_S_OK;
        OmRect source{f.offset_x, f.offset_y, f.width, f.height};
        if (x < 0) {
            source.x -= x;
            source.width += x;
            x = 0;
        }
        if (x + source.width > tw) source.width = tw - x;
        if (y < 0) {
            source.y -= y;
            source.height += y;
            y = 0;
        }
        if (y + source.height > th) source.height = th - y;
        if (source.width <= 0 || source.height <= 0) return OM_S_OK;
        OmRect dest{x, y, source.width, source.height};
        return target_->Blit(&dest, picture_, &source);
    }

    // Four pre-transformed vertices in fan order, with z testing and z writing off for the
    // quad and the renderer's own settings put back afterwards.
    OmResult draw_quad(const MousePointerFrame& f, int32_t x, int32_t y, float sx, float sy) {
        const float pw = float(picture_->GetWidth());
        const float ph = float(picture_->GetHeight());
        const float u0 = float(f.offset_x) / pw, v0 = float(f.offset_y) / ph;
        const float u1 = float(f.offset_x + f.width) / pw;
        const float v1 = float(f.offset_y + f.height) / ph;
        const float x0 = float(x), y0 = float(y);
        const float x1 = x0 + float(f.width) * sx, y1 = y0 + float(f.height) * sy;
        const OmTLVertex quad[4] = {
            {x0, y0, 1.0f, 1.0f, 0xFFFFFFFFu, 0xFF000000u, u0, v0},
            {x1, y0, 1.0f, 1.0f, 0xFFFFFFFFu, 0xFF000000u, u1, v0},
            {x1, y1, 1.0f, 1.0f, 0xFFFFFFFFu, 0xFF000000u, u1, v1},
            {x0, y1, 1.0f, 1.0f, 0xFFFFFFFFu, 0xFF000000u, u0, v1},
        };
        OmResult r = renderer_->BeginScene();
        if (r < 0) return r;
        uintptr_t z_write = 0, z_enable = 0;
        renderer_->GetRenderState(OM_RS_Z_WRITE_ENABLE, &z_write);
        renderer_->GetRenderState(OM_RS_Z_ENABLE, &z_enable);
        renderer_->SetRenderState(OM_RS_Z_WRITE_ENABLE, 0);
        renderer_->SetRenderState(OM_RS_Z_ENABLE, 0);
        renderer_->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(picture_));
        r = renderer_->DrawPrimitive(OM_PRIMITIVE_TRIANGLE_FAN, quad, 4, 0);
        renderer_->SetRenderState(OM_RS_Z_WRITE_ENABLE, z_write);
        renderer_->SetRenderState(OM_RS_Z_ENABLE, z_enable);
        OmResult end = renderer_->EndScene();
        return r < 0 ? r : end;
    }

    IRenderer* renderer_ = nullptr;
    IRaster* target_ = nullptr;
    int32_t parameter_ = 100;
    int32_t x_ = 320;
    int32_t y_ = 240;
    int32_t current_ = 0;
    int32_t requested_ = 0;
    int32_t count_ = 1;
    int32_t elapsed_ = 0;
    MousePointerFrame* frames_ = nullptr;
    IRaster* picture_ = nullptr;
};

const OmClassRecord classes[] = {
    {&CLSID_MousePointer, nullptr, nullptr, OmCreateComponent<MousePointer>, "MousePointer"},
};

} // namespace

OM_DEFINE_MODULE(MousePointer, classes)
