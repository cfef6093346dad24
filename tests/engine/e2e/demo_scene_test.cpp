// The whole engine headless: started over the framework on the software device, one frame of
// the demo scene compared with its reviewed golden image, and everything taken down without a
// leak. A missing golden (or CORVEL_UPDATE_GOLDEN=1) writes the frame and fails, so a new
// image is looked at before it is committed.
#include "tests/engine/e2e/e2e_support.h"

namespace e2etest {
namespace {

// Channel differences the golden comparison forgives, and how many pixels may exceed them
// (rounding of the last bit in blends and fog may move between compilers).
constexpr int channelSlack = 8;
constexpr size_t pixelsAllowedOff = 640 * 480 / 500;

TEST_F(DemoSceneTest, OneFrameMatchesTheReviewedGolden) {
    ASSERT_TRUE(start_engine());
    ASSERT_TRUE(build_scene());
    const uint64_t before = platform::last_presented_frame().serial;
    ASSERT_TRUE(scene.render_frame(session.window())) << scene.error();
    ASSERT_GT(platform::last_presented_frame().serial, before) << "nothing was shown";
    EXPECT_EQ(scene.visible_planes(), test_scene().planes);

    const testsupport::Image got = last_frame();
    ASSERT_EQ(got.width, 640u);
    ASSERT_EQ(got.height, 480u);
    const std::string path = golden_path("demo_scene");
    const char* update = std::getenv("CORVEL_UPDATE_GOLDEN");
    testsupport::Image want;
    if ((update != nullptr && *update == '1') || !testsupport::read_png(path, &want)) {
        ASSERT_TRUE(testsupport::write_png(path, got));
        FAIL() << "wrote " << path << ": review it, then commit it";
    }
    ASSERT_EQ(want.width, got.width);
    ASSERT_EQ(want.height, got.height);
    const FrameDifference d = compare_frames(want, got, channelSlack);
    if (d.differing > pixelsAllowedOff) {
        const std::string shot =
            (std::filesystem::temp_directory_path() / "corvel_demo_scene.png").string();
        testsupport::write_png(shot, got);
        ADD_FAILURE() << d.differing << " pixels differ (largest channel difference " << d.largest
                      << "); the frame is in " << shot;
    }
}

} // namespace
} // namespace e2etest
