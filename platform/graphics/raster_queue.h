// Binned, multi-threaded rasterisation: primitives are queued by bands of rows as they arrive
// (a triangle's rows are found then, its planes at the flush, by all the worker threads
// before any band is drawn), and a flush draws the bands on the worker threads, each band's
// primitives in the order they were queued. A band is drawn whole by one thread and no pixel lies
// in two bands, so the pixels are the same whatever the thread count, and the same as the
// rasteriser drawing each primitive at once, which is what a queue of one thread does (it
// queues nothing).
#pragma once

#include "platform/graphics/com_base.h"
#include "platform/graphics/rasterizer.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <thread>
#include <vector>

namespace platform {

class RasterQueue {
public:
    // Rows per band: small enough to share a frame (and a crowded part of it) among the
    // threads, large enough that most small triangles fall in one band.
    static constexpr int32_t kBandRows = 8;
    // A flush happens by itself beyond this many queued primitives.
    static constexpr size_t kMaxQueued = 1u << 16;

    explicit RasterQueue(uint32_t threads = 1);
    ~RasterQueue(); // flushes
    RasterQueue(const RasterQueue&) = delete;
    RasterQueue& operator=(const RasterQueue&) = delete;

    uint32_t threads() const { return threads_; }
    void set_threads(uint32_t threads);

    // The target, states and texture of the primitives that follow, copied. The target's
    // pixels and the texture's texels are read and written until the next flush.
    void prepare(const RenderTarget& target, const PixelState& state, const TextureView* texture,
                 uint32_t cull_mode);
    // Keeps `object` referenced until the next flush (a texture queued work samples).
    void hold(IUnknown* object);

    // A pre-transformed, lit triangle; flat shading takes the colour of `a`.
    void triangle(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c);
    // A line without its last pixel; flat shading takes the colour of `a`.
    void line(const D3DTLVERTEX& a, const D3DTLVERTEX& b);

    // Draws everything queued; the pixels are in place when it returns.
    void flush();
    bool pending() const { return !items_.empty(); }

private:
    struct DrawState {
        RenderTarget target;
        PixelState state;
        TextureView texture;
        SpanFunction span = nullptr;
        SpanFunction narrow = nullptr;
        uint32_t cull = 0;
        // A span context drawing with this state; its planes are still to be set up.
        SpanContext context() const {
            SpanContext c;
            c.target = &target;
            c.state = &state;
            c.texture = &texture;
            c.narrow = narrow;
            return c;
        }
    };
    // What the queueing thread files: little, as it is the one part not shared out.
    struct Item {
        const DrawState* draw = nullptr;
        uint32_t first = 0; // its first vertex in vertices_: three for a triangle, two for a line
        bool line = false;
    };
    // A triangle's planes and edges, set up at the flush.
    struct Setup {
        SpanContext ctx;
        TriangleEdges edges;
    };
    static void run_bands(void* self, uint32_t participant);
    void setup_triangles(); // the planes and edges of the queued triangles, shared out
    void draw_band(int32_t band);
    // A new item on rows row0 <= y < row1 (row1 > row0 >= 0), filed in their bands.
    void queue(bool line, int32_t row0, int32_t row1);

    uint32_t threads_ = 1;
    std::deque<DrawState> states_; // stable: queued contexts point into it
    DrawState* current_ = nullptr;
    std::vector<Item> items_;
    std::vector<D3DTLVERTEX> vertices_;       // of the queued items, in turn
    std::vector<Setup> setups_;               // per item (only grown: no clearing to pay for)
    std::vector<std::vector<uint32_t>> bins_; // item indices per band
    int32_t band_lo_ = 0, band_hi_ = 0;       // bands that hold items
    std::vector<int32_t> order_;              // the bands of a flush, fullest first
    std::vector<ComPtr<IUnknown>> held_;
    std::atomic<int32_t> next_band_{0};
    std::atomic<uint32_t> next_setup_{0}; // the first item of the next set-up chunk
    std::atomic<uint32_t> setup_done_{0}; // items whose set-up has finished
    bool registered_ = false;
    std::thread::id owner_; // the thread that queued the pending work

    friend void flush_raster_queues();
};

// Flushes every queue holding work the calling thread queued: called before a surface's
// pixels are read, written, swapped or freed other than by the rasteriser, and before texels
// queued work samples are rebuilt. A queue is filled and flushed by one thread; work another
// thread queued is left to that thread (its end of scene, lock, blit or flip), so a thread
// that locks its own surfaces never reaches into a device drawing elsewhere.
void flush_raster_queues();

} // namespace platform
