// The demo scene's frame on the software device is the same to the bit whatever number of
// threads rasterises it.
#include "tests/engine/e2e/e2e_support.h"

#include <cstdlib>
#include <vector>

namespace e2etest {
namespace {

TEST_F(DemoSceneTest, FrameIsTheSameForEveryRasteriserThreadCount) {
    const char* before = std::getenv("CORVEL_RASTER_THREADS");
    const std::string saved = before ? before : "";
    std::vector<testsupport::Image> frames;
    for (const char* threads : {"1", "2", "8"}) {
        setenv("CORVEL_RASTER_THREADS", threads, 1);
        ASSERT_TRUE(start_engine());
        ASSERT_TRUE(build_scene());
        ASSERT_TRUE(scene.render_frame(session.window())) << scene.error();
        frames.push_back(last_frame());
        scene.destroy();
        session.end();
        platform::destroy_window(window);
        window = nullptr;
    }
    if (before)
        setenv("CORVEL_RASTER_THREADS", saved.c_str(), 1);
    else
        unsetenv("CORVEL_RASTER_THREADS");
    ASSERT_EQ(frames[0].width, 640u);
    for (size_t i = 1; i < frames.size(); ++i)
        EXPECT_TRUE(frames[i].pixels == frames[0].pixels) << "frame " << i << " differs";
}

} // namespace
} // namespace e2etest
