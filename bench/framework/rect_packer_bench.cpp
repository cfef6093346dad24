// The glyph cache's use of the rectangle packer: filling a page with glyph-sized areas and
// giving them back.
#include "bench/framework/framework_services.h"
#include "framework/containers/rect_packer.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_RectPackerFillAndFree(benchmark::State& state) {
    bench::use_framework_allocator();
    const int32_t size = int32_t(state.range(0));
    std::vector<OmRect> given;
    int64_t rects = 0;
    for (auto _ : state) {
        OmRectPacker packer{};
        OmRectPackerInit(&packer, size, size);
        given.clear();
        OmRect r;
        for (int i = 0; OmRectPackerAlloc(&packer, 6 + i % 11, 12 + i % 5, &r) == 0; ++i)
            given.push_back(r);
        for (const OmRect& rect : given) OmRectPackerFree(&packer, &rect);
        OmRectPackerRelease(&packer);
        rects += int64_t(given.size());
    }
    state.SetItemsProcessed(rects);
}
BENCHMARK(BM_RectPackerFillAndFree)->Arg(256)->Arg(512);

void BM_RectPackerChurn(benchmark::State& state) {
    bench::use_framework_allocator();
    OmRectPacker packer{};
    OmRectPackerInit(&packer, 512, 512);
    std::vector<OmRect> given;
    OmRect r;
    for (int i = 0; i < 400 && OmRectPackerAlloc(&packer, 6 + i % 11, 12 + i % 5, &r) == 0; ++i)
        given.push_back(r);
    size_t next = 0;
    for (auto _ : state) {
        // Drop one glyph and cache another of the same size, as the font cache does.
        OmRect old = given[next];
        OmRectPackerFree(&packer, &old);
        OmRectPackerAlloc(&packer, old.width, old.height, &given[next]);
        next = (next + 37) % given.size();
    }
    OmRectPackerRelease(&packer);
}
BENCHMARK(BM_RectPackerChurn);

} // namespace
