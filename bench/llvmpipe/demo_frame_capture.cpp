// Capturing a demo frame from the device and replaying it on our rasteriser.
#include "bench/llvmpipe/demo_frame_capture.h"

#include "platform/graphics/raster_workers.h"
#include "platform/graphics/rasterizer.h"
#include "tools/demoscene/demo_run.h"

#include <cstring>
#include <map>
#include <tuple>

namespace rasterbench {
namespace {

using namespace platform;

class FrameRecorder final : public DrawRecorder {
public:
    explicit FrameRecorder(CapturedFrame& frame) : frame_(frame) {}

    void on_draw(const RecordedDraw& d) override {
        ++frame_.draws;
        const RenderTarget& t = *d.target;
        frame_.colour_format = t.color_format;
        frame_.depth_format = t.depth_format;
        CapturedStep s;
        s.state = *d.state;
        s.cull = d.cull;
        s.x0 = t.x0;
        s.y0 = t.y0;
        s.x1 = t.x1;
        s.y1 = t.y1;
        if (d.texture) s.texture = texture_of(*d.texture);
        s.first = uint32_t(frame_.triangles.size());
        const std::vector<D3DTLVERTEX>& v = *d.vertices;
        auto tri = [this, &v](size_t a, size_t b, size_t c) {
            frame_.triangles.insert(frame_.triangles.end(), {v[a], v[b], v[c]});
        };
        const size_t n = v.size();
        switch (d.type) {
        case D3DPT_TRIANGLELIST:
            for (size_t i = 0; i + 2 < n; i += 3) tri(i, i + 1, i + 2);
            break;
        case D3DPT_TRIANGLESTRIP:
            for (size_t i = 0; i + 2 < n; ++i)
                (i & 1) ? tri(i, i + 2, i + 1) : tri(i, i + 1, i + 2);
            break;
        case D3DPT_TRIANGLEFAN:
            for (size_t i = 1; i + 1 < n; ++i) tri(0, i, i + 1);
            break;
        default: ++frame_.lines; return;
        }
        s.count = uint32_t(frame_.triangles.size()) - s.first;
        frame_.steps.push_back(s);
    }

    void on_clear(const RecordedClear& c) override {
        CapturedStep s;
        s.is_clear = true;
        s.clear = c;
        frame_.steps.push_back(s);
    }

private:
    // The texel caches stay put within a frame: their first level's address names a texture.
    int texture_of(const TextureView& view) {
        const auto key = std::tuple(view.level[0].texels, view.level[0].w, view.levels);
        if (auto it = seen_.find(key); it != seen_.end()) return it->second;
        CapturedTexture t;
        for (int i = 0; i < view.levels; ++i) {
            const TexLevel& l = view.level[i];
            t.texels.emplace_back(l.texels, l.texels + size_t(l.w) * l.h);
        }
        frame_.textures.push_back(std::move(t));
        CapturedTexture& kept = frame_.textures.back();
        kept.view = view;
        const int index = int(frame_.textures.size()) - 1;
        seen_[key] = index;
        return index;
    }

    CapturedFrame& frame_;
    std::map<std::tuple<const uint32_t*, uint32_t, int>, int> seen_;
};

uint32_t bytes_of(ColorFormat f) {
    return f == ColorFormat::A8R8G8B8 ? 4 : 2;
}
uint32_t bytes_of(DepthFormat f) {
    return f == DepthFormat::Z32 ? 4 : 2;
}

void fill(uint8_t* base, int32_t pitch, uint32_t bytes, const RecordedClear& c, uint32_t value) {
    for (int32_t y = c.y0; y < c.y1; ++y) {
        uint8_t* row = base + size_t(y) * size_t(pitch);
        for (int32_t x = c.x0; x < c.x1; ++x) std::memcpy(row + size_t(x) * bytes, &value, bytes);
    }
}

} // namespace

bool capture_demo_frame(CapturedFrame& frame, std::string& error) {
    demoscene::DemoRun run(demoscene::bench_scene());
    // The first frame brings the textures to the device; the second is the one measured.
    if (!run.error.empty() || !run.frame(0.0f)) {
        error = run.error;
        return false;
    }
    frame = CapturedFrame{};
    frame.w = uint32_t(demoscene::bench_scene().width);
    frame.h = uint32_t(demoscene::bench_scene().height);
    FrameRecorder recorder(frame);
    DrawRecorder* previous = set_draw_recorder(&recorder);
    const bool drawn = run.frame(1.0f / 60.0f);
    set_draw_recorder(previous);
    if (!drawn) {
        error = run.error;
        return false;
    }
    // The recorder's copies moved as the texture list grew: point the views at them again.
    for (CapturedTexture& t : frame.textures)
        for (int i = 0; i < t.view.levels; ++i) t.view.level[i].texels = t.texels[size_t(i)].data();
    return true;
}

OurReplay::OurReplay(const CapturedFrame& frame, uint32_t threads)
    : frame_(frame), queue_(threads ? threads : raster_threads_for(0)) {
    const uint32_t cb = bytes_of(frame.colour_format), db = bytes_of(frame.depth_format);
    colour_.assign(size_t(frame.w) * frame.h * cb, 0);
    depth_.assign(size_t(frame.w) * frame.h * db, 0xFF);
    target_.color = colour_.data();
    target_.pitch = int32_t(frame.w * cb);
    target_.color_format = frame.colour_format;
    if (frame.depth_format != DepthFormat::None) {
        target_.depth = depth_.data();
        target_.depth_pitch = int32_t(frame.w * db);
        target_.depth_format = frame.depth_format;
    }
}

void OurReplay::run() {
    RasterQueue& r = queue_;
    const CapturedFrame& f = frame_;
    for (const CapturedStep& s : f.steps) {
        if (s.is_clear) {
            r.flush();
            if (s.clear.colour)
                fill(colour_.data(), target_.pitch, bytes_of(f.colour_format), s.clear,
                     s.clear.colour_value);
            if (s.clear.depth && target_.depth)
                fill(depth_.data(), target_.depth_pitch, bytes_of(f.depth_format), s.clear,
                     s.clear.depth_value);
            continue;
        }
        RenderTarget t = target_;
        t.x0 = s.x0;
        t.y0 = s.y0;
        t.x1 = s.x1;
        t.y1 = s.y1;
        const TextureView* view = s.texture >= 0 ? &f.textures[size_t(s.texture)].view : nullptr;
        r.prepare(t, s.state, view, s.cull);
        const D3DTLVERTEX* v = f.triangles.data() + s.first;
        for (uint32_t i = 0; i + 2 < s.count; i += 3) r.triangle(v[i], v[i + 1], v[i + 2]);
    }
    r.flush();
}

void OurReplay::read(std::vector<uint16_t>& colour, std::vector<uint16_t>& depth) const {
    const size_t n = size_t(frame_.w) * frame_.h;
    colour.resize(n);
    depth.resize(n);
    for (size_t i = 0; i < n; ++i) {
        if (frame_.colour_format == ColorFormat::A8R8G8B8) {
            uint32_t p;
            std::memcpy(&p, &colour_[i * 4], 4);
            colour[i] = uint16_t(((p >> 8) & 0xF800) | ((p >> 5) & 0x7E0) | ((p >> 3) & 31));
        } else {
            std::memcpy(&colour[i], &colour_[i * 2], 2);
            if (frame_.colour_format == ColorFormat::X1R5G5B5)
                colour[i] = uint16_t(((colour[i] & 0x7FE0) << 1) | (colour[i] & 31));
        }
        if (frame_.depth_format == DepthFormat::Z32) {
            uint32_t z;
            std::memcpy(&z, &depth_[i * 4], 4);
            depth[i] = uint16_t(z >> 8);
        } else {
            std::memcpy(&depth[i], &depth_[i * 2], 2);
        }
    }
}

} // namespace rasterbench
