// The demo scene's frame on the software device is the same to the bit whatever number of
// threads rasterises it and whichever instruction set its span loops use.
#include "tests/engine/e2e/e2e_support.h"

#include "platform/graphics/raster_simd.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace e2etest {
namespace {

TEST_F(DemoSceneTest, FrameIsTheSameForEveryThreadCountAndInstructionSet) {
    using platform::SimdLevel;
    const char* before = std::getenv("CORVEL_RASTER_THREADS");
    const std::string saved_threads = before ? before : "";
    const SimdLevel saved_level = platform::simd_level();
    struct Run {
        const char* threads;
        SimdLevel level;
    };
    const Run runs[] = {{"1", SimdLevel::Scalar}, {"1", SimdLevel::Avx2}, {"2", SimdLevel::Avx2},
                        {"8", SimdLevel::Avx2},   {"8", SimdLevel::Sse2}, {"8", SimdLevel::Scalar}};
    std::vector<testsupport::Image> frames;
    std::vector<std::string> names;
    for (const Run& run : runs) {
        setenv("CORVEL_RASTER_THREADS", run.threads, 1);
        const SimdLevel level = platform::set_simd_level(run.level);
        names.push_back(std::string(run.threads) + " threads, " + platform::simd_level_name(level));
        ASSERT_TRUE(start_engine());
        ASSERT_TRUE(build_scene());
        ASSERT_TRUE(scene.render_frame(session.window())) << scene.error();
        frames.push_back(last_frame());
        scene.destroy();
        session.end();
        platform::destroy_window(window);
        window = nullptr;
    }
    platform::set_simd_level(saved_level);
    if (before)
        setenv("CORVEL_RASTER_THREADS", saved_threads.c_str(), 1);
    else
        unsetenv("CORVEL_RASTER_THREADS");
    ASSERT_EQ(frames[0].width, 640u);
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_TRUE(frames[i].pixels == frames[0].pixels)
            << names[i] << " differs from " << names[0];
}

} // namespace
} // namespace e2etest
