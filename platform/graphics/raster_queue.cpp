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

void RasterQueue::queue(Item&& item, int32_t row0, int32_t row1) {
    row0 = std::max(row0, 0);
    if (row0 >= row1) return;
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
    items_.push_back(std::move(item));
    for (int32_t b = b0; b < b1; ++b) bins_[size_t(b)].push_back(index);
    if (items_.size() >= kMaxQueued) flush();
}

void RasterQueue::triangle(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c) {
    if (!current_) return;
    Item item;
    if (!setup_triangle(current_->target, current_->state, current_->cull, a, b, c, item.ctx.prim,
                        item.edges))
        return;
    item.ctx.target = &current_->target;
    item.ctx.state = &current_->state;
    item.ctx.texture = &current_->texture;
    item.ctx.narrow = current_->narrow;
    item.span = current_->span;
    if (threads_ == 1) {
        draw_triangle_rows(item.ctx, item.span, item.edges, item.edges.first, item.edges.last);
        return;
    }
    const int32_t row0 = item.edges.first, row1 = item.edges.last;
    queue(std::move(item), row0, row1);
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
    Item item;
    item.ctx.target = &current_->target;
    item.ctx.state = &current_->state;
    item.ctx.texture = &current_->texture;
    item.ctx.narrow = current_->narrow;
    item.span = current_->span;
    if (threads_ == 1) {
        draw_line_rows(item.ctx, item.span, a, b, t.y0, t.y1);
        return;
    }
    item.line = int32_t(lines_.size() / 2);
    lines_.push_back(a);
    lines_.push_back(b);
    queue(std::move(item), row0, row1);
}

void RasterQueue::draw_band(int32_t band) {
    const int32_t y0 = band * kBandRows, y1 = y0 + kBandRows;
    const std::vector<uint32_t>& bin = bins_[size_t(band)];
    // A band's items lie scattered over the whole queue: ask for the ones a few steps ahead
    // while drawing this one, so small triangles do not wait on memory.
    constexpr size_t kAhead = 4;
    auto prefetch = [this](uint32_t index) {
        const char* p = reinterpret_cast<const char*>(&items_[index]);
        for (size_t offset = 0; offset < sizeof(Item); offset += 64) __builtin_prefetch(p + offset);
    };
    for (size_t k = 0; k < kAhead && k < bin.size(); ++k) prefetch(bin[k]);
    for (size_t k = 0; k < bin.size(); ++k) {
        if (k + kAhead < bin.size()) prefetch(bin[k + kAhead]);
        const Item& item = items_[bin[k]];
        if (item.line < 0) {
            draw_triangle_rows(item.ctx, item.span, item.edges, y0, y1);
        } else {
            SpanContext ctx = item.ctx;
            draw_line_rows(ctx, item.span, lines_[size_t(item.line) * 2],
                           lines_[size_t(item.line) * 2 + 1], y0, y1);
        }
    }
}

void RasterQueue::run_bands(void* self, uint32_t) {
    auto* q = static_cast<RasterQueue*>(self);
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
        next_band_.store(0, std::memory_order_relaxed);
        const auto bands = uint32_t(order_.size());
        run_on_raster_workers(std::min(threads_, bands), &RasterQueue::run_bands, this);
        for (int32_t b = band_lo_; b < band_hi_; ++b) bins_[size_t(b)].clear();
        items_.clear();
        lines_.clear();
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
