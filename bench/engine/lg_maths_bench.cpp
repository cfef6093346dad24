// Hot engine maths: matrix multiply (portable and driver routines), table roots, frame sync.
#include "tests/engine/core/engine_test_support.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

LgMatrix rotated(float angle) {
    LgMatrix m;
    LgMatrixSetIdentity(&m);
    const LgVector axis = {0.3f, 1.0f, 0.2f};
    const LgVector move = {1.0f, 2.0f, 3.0f};
    LgMatrixRotate(&m, &axis, angle, LgCombineReplace);
    LgMatrixTranslate(&m, &move, LgCombinePostConcat);
    return m;
}

void BM_MatrixMultiply(benchmark::State& state, LgMatrixMultiplyFunc routine) {
    enginetest::StartedEngine engine;
    LgMatrixSetMultiplyRoutine(routine);
    LgMatrix a = rotated(10.0f), b = rotated(20.0f), dst;
    for (auto _ : state) {
        LgMatrixMultiply(&dst, &a, &b);
        benchmark::DoNotOptimize(dst);
        benchmark::ClobberMemory();
    }
    LgMatrixSetMultiplyRoutine(nullptr);
}
BENCHMARK_CAPTURE(BM_MatrixMultiply, portable, LgMatrixMultiplyPortable);
BENCHMARK_CAPTURE(BM_MatrixMultiply, driver, LgMatrixMultiplyAsm);

void BM_LgSqrt(benchmark::State& state) {
    enginetest::StartedEngine engine;
    std::vector<float> values(1024);
    for (size_t i = 0; i < values.size(); ++i) values[i] = 0.37f * static_cast<float>(i) + 0.5f;
    for (auto _ : state) {
        float sum = 0.0f;
        for (float v : values) sum += LgSqrt(v);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(values.size()));
}
BENCHMARK(BM_LgSqrt);

void BM_VectorNormalize(benchmark::State& state) {
    enginetest::StartedEngine engine;
    LgVector v = {1.0f, 2.0f, 3.0f}, out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LgVectorNormalize(&out, &v));
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_VectorNormalize);

} // namespace

namespace {

// A few hundred frames: 20 trees of a root with 15 children, each child with a grandchild
// (the shape of a scene of game objects with their parts). Every root moves every pass.
void BM_FrameSyncAllDirty(benchmark::State& state) {
    enginetest::StartedEngine engine;
    std::vector<LgFrame*> roots;
    for (int t = 0; t < 20; ++t) {
        LgFrame* root = LgFrameCreate();
        for (int c = 0; c < 15; ++c) {
            LgFrame* child = LgFrameCreate();
            LgFrame* grandChild = LgFrameCreate();
            const LgVector offset = {static_cast<float>(c), 1.0f, 0.0f};
            LgMatrixTranslate(LgFrameGetMatrix(child), &offset, LgCombineReplace);
            LgFrameAddChild(child, grandChild);
            LgFrameAddChild(root, child);
        }
        roots.push_back(root);
    }
    const LgVector axis = {0.0f, 1.0f, 0.0f};
    for (auto _ : state) {
        for (LgFrame* root : roots) LgFrameRotate(root, &axis, 1.0f, LgCombinePostConcat);
        LgFrameSyncAllDirty();
    }
    state.SetItemsProcessed(state.iterations() * 20 * 31);
    for (LgFrame* root : roots) LgFrameDestroyHierarchy(root);
}
BENCHMARK(BM_FrameSyncAllDirty);

} // namespace
