// Binned, multi-threaded rasterisation over the rasteriser's set-up and span functions.
#include "platform/graphics/raster_queue.h"

#include "platform/graphics/raster_workers.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace platform {
namespace {

std::mutex& registry_mutex() {
    static std::mutex m;
    return m;
}
std::vector<RasterQueue*>& registry() {
    static std::vector<RasterQueue*> queues;
    return queues;
}

bool same_view(const TextureView* a, const TextureView& b) {
    const int levels = a ? a->levels : 0;
    if (levels != b.levels) return false;
    for (int i = 0; i < levels; ++i)
        if (!(a->level[i] == b.level[i])) return false;
    return true;
}

} // namespace

RasterQueue::RasterQueue(uint32_t threads) {
    set_threads(threads);
}

RasterQueue::~RasterQueue() {
    flush();
}

void RasterQueue::set_threads(uint32_t threads) {
    flush();
    threads_ = std::clamp<uint32_t>(threads, 1, kMaxRasterThreads);
}

void RasterQueue::prepare(const RenderTarget& target, const PixelState& state,
                          const TextureView* texture, uint32_t cull_mode) {
    if (current_ && current_->target == target && current_->state == state &&
        current_->cull == cull_mode && same_view(texture, current_->texture))
        return;
    if (items_.empty()) states_.clear(); // nothing queued refers to the older states
    DrawState& d = states_.emplace_back();
    d.target = target;
    d.state = state;
    d.texture.levels = 0;
    if (texture) {
        d.texture.levels = texture->levels;
        std::copy(texture->level, texture->level + texture->levels, d.texture.level);
    }
    d.span = select_span_function(target, state);
    d.narrow = select_narrow_span_function(target, state);
    d.cull = cull_mode;
    current_ = &d;
}

void RasterQueue::hold(IUnknown* object) {
    // One thread draws at once: nothing outlives the call.
    if (threads_ == 1 || !object || (!held_.empty() && held_.back().get() == object)) return;
    object->AddRef();
    held_.emplace_back(object);
}

void RasterQueue::queue(bool line, int32_t row0, int32_t row1) {
    if (!registered_) {
        std::lock_guard lock(registry_mutex());
        registry().push_back(this);
        registered_ = true;
        owner_ = std::this_thread::get_id();
    }
    const int32_t b0 = row0 / kBandRows, b1 = (row1 - 1) / kBandRows + 1;
    if (size_t(b1) > bins_.size()) bins_.resize(size_t(b1));
    if (items_.empty()) {
        band_lo_ = b0;
        band_hi_ = b1;
    } else {
        band_lo_ = std::min(band_lo_, b0);
        band_hi_ = std::max(band_hi_, b1);
    }
    const auto index = uint32_t(items_.size());
    for (int32_t b = b0; b < b1; ++b) bins_[size_t(b)].push_back(index);
    items_.push_back(Item{current_, uint32_t(vertices_.size()), line});
}

void RasterQueue::triangle(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c) {
    if (!current_) return;
    if (threads_ == 1) {
        SpanContext ctx = current_->context();
        TriangleEdges edges;
        if (!setup_triangle(current_->target, current_->state, current_->cull, a, b, c, ctx.prim,
                            edges))
            return;
        draw_triangle_rows(ctx, current_->span, edges, edges.first, edges.last);
        return;
    }
    // Only the rows here, on the thread that queues: the planes are set up at the flush, on
    // every worker thread.
    int32_t row0 = 0, row1 = 0;
    if (!triangle_rows(current_->target, current_->cull, a, b, c, row0, row1)) return;
    row0 = std::max(row0, 0);
    if (row0 >= row1) return;
    queue(false, row0, row1);
    vertices_.push_back(a);
    vertices_.push_back(b);
    vertices_.push_back(c);
    if (items_.size() >= kMaxQueued) flush();
}

void RasterQueue::line(const D3DTLVERTEX& a, const D3DTLVERTEX& b) {
    if (!current_) return;
    if (!std::isfinite(a.sy) || !std::isfinite(b.sy) || !std::isfinite(a.sx) ||
        !std::isfinite(b.sx))
        return;
    // Rows the line can touch, with a row to spare on each side.
    constexpr float kLimit = 8388608.0f;
    const float lo = std::clamp(std::min(a.sy, b.sy), -kLimit, kLimit);
    const float hi = std::clamp(std::max(a.sy, b.sy), -kLimit, kLimit);
    const RenderTarget& t = current_->target;
    const int32_t row0 = std::max(int32_t(std::floor(lo)) - 1, t.y0);
    const int32_t row1 = std::min(int32_t(std::floor(hi)) + 2, t.y1);
    if (row0 >= row1) return;
    if (threads_ == 1) {
        SpanContext ctx = current_->context();
        draw_line_rows(ctx, current_->span, a, b, t.y0, t.y1);
        return;
    }
    if (std::max(row0, 0) >= row1) return;
    queue(true, std::max(row0, 0), row1);
    vertices_.push_back(a);
    vertices_.push_back(b);
    if (items_.size() >= kMaxQueued) flush();
}

void RasterQueue::setup_triangles() {
    // Chunks small enough that the threads finish together, large enough that taking one
    // costs little next to setting it up.
    constexpr uint32_t kChunk = 64;
    const auto total = uint32_t(items_.size());
    for (;;) {
        const uint32_t from = next_setup_.fetch_add(kChunk, std::memory_order_relaxed);
        if (from >= total) break;
        const uint32_t to = std::min(from + kChunk, total);
        for (uint32_t i = from; i < to; ++i) {
            const Item& item = items_[i];
            if (item.line) continue;
            const DrawState& d = *item.draw;
            Setup& su = setups_[i];
            su.ctx = d.context();
            const D3DTLVERTEX* v = &vertices_[item.first];
            // The rows were found alike when the triangle was queued: this is true.
            if (!setup_triangle(d.target, d.state, d.cull, v[0], v[1], v[2], su.ctx.prim, su.edges))
                su.edges.first = su.edges.last = 0;
        }
        setup_done_.fetch_add(to - from, std::memory_order_release);
    }
    // Every plane is in place before any band is drawn.
    while (setup_done_.load(std::memory_order_acquire) < total) std::this_thread::yield();
}

void RasterQueue::draw_band(int32_t band) {
    const int32_t y0 = band * kBandRows, y1 = y0 + kBandRows;
    const std::vector<uint32_t>& bin = bins_[size_t(band)];
    // A band's items lie scattered over the whole queue: ask for the ones a few steps ahead
    // while drawing this one, so small triangles do not wait on memory.
    constexpr size_t kAhead = 4;
    auto prefetch = [this](uint32_t index) {
        __builtin_prefetch(&items_[index]);
        const char* p = reinterpret_cast<const char*>(&setups_[index]);
        for (size_t offset = 0; offset < sizeof(Setup); offset += 64)
            __builtin_prefetch(p + offset);
    };
    for (size_t k = 0; k < kAhead && k < bin.size(); ++k) prefetch(bin[k]);
    for (size_t k = 0; k < bin.size(); ++k) {
        if (k + kAhead < bin.size()) prefetch(bin[k + kAhead]);
        const Item& item = items_[bin[k]];
        const DrawState& d = *item.draw;
        if (!item.line) {
            const Setup& su = setups_[bin[k]];
            draw_triangle_rows(su.ctx, d.span, su.edges, y0, y1);
        } else {
            SpanContext ctx = d.context();
            draw_line_rows(ctx, d.span, vertices_[item.first], vertices_[item.first + 1], y0, y1);
        }
    }
}

void RasterQueue::run_bands(void* self, uint32_t) {
    auto* q = static_cast<RasterQueue*>(self);
    q->setup_triangles();
    const auto count = int32_t(q->order_.size());
    for (;;) {
        const int32_t next = q->next_band_.fetch_add(1, std::memory_order_relaxed);
        if (next >= count) return;
        q->draw_band(q->order_[size_t(next)]);
    }
}

void RasterQueue::flush() {
    if (registered_) {
        std::lock_guard lock(registry_mutex());
        auto& r = registry();
        r.erase(std::remove(r.begin(), r.end(), this), r.end());
        registered_ = false;
    }
    if (!items_.empty()) {
        // The fullest bands first: a crowded band (a cloud of particles) starts early and the
        // light ones fill in around it, rather than one thread finishing it alone at the end.
        order_.clear();
        for (int32_t b = band_lo_; b < band_hi_; ++b)
            if (!bins_[size_t(b)].empty()) order_.push_back(b);
        std::stable_sort(order_.begin(), order_.end(), [this](int32_t a, int32_t b) {
            return bins_[size_t(a)].size() > bins_[size_t(b)].size();
        });
        if (setups_.size() < items_.size()) setups_.resize(items_.size());
        next_band_.store(0, std::memory_order_relaxed);
        next_setup_.store(0, std::memory_order_relaxed);
        setup_done_.store(0, std::memory_order_relaxed);
        const auto bands = uint32_t(order_.size());
        run_on_raster_workers(std::min(threads_, bands), &RasterQueue::run_bands, this);
        for (int32_t b = band_lo_; b < band_hi_; ++b) bins_[size_t(b)].clear();
        items_.clear();
        vertices_.clear();
    }
    // The current state carries on for the primitives that follow.
    if (current_ && states_.size() > 1) {
        DrawState keep = *current_;
        states_.clear();
        current_ = &states_.emplace_back(keep);
    }
    held_.clear();
}

void flush_raster_queues() {
    std::vector<RasterQueue*> queues;
    {
        std::lock_guard lock(registry_mutex());
        if (registry().empty()) return;
        const std::thread::id self = std::this_thread::get_id();
        for (RasterQueue* q : registry())
            if (q->owner_ == self) queues.push_back(q);
    }
    for (RasterQueue* q : queues) q->flush();
}

} // namespace platform
