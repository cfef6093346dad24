// The pipeline core: device-filled creation, stage order, the stack's open and close
// functions and its refusal to overflow; path classification.
#include "tests/engine/core/null_device.h"

#include <gtest/gtest.h>

#include <string>

using enginetest::NullDeviceEngine;

namespace {

std::string log;
int32_t openAnswer = 1;
int32_t closeAnswer = 1;

void* stage0(void* object) {
    log += "0";
    return *static_cast<bool*>(object) ? object : nullptr;
}
void stage(void*) {
    log += "s";
}
void stage4(void*, void* parameter) {
    log += static_cast<const char*>(parameter);
}
int32_t logged_open(LgPipeline*) {
    log += "o";
    return openAnswer;
}
int32_t logged_close() {
    log += "c";
    return closeAnswer;
}

class Pipelines : public ::testing::Test {
protected:
    Pipelines() {
        log.clear();
        openAnswer = closeAnswer = 1;
    }
    ~Pipelines() override {
        // Give immediate mode its own functions back before the engine stops.
        LgPipelineSetOpenClose(LgIm3DPushContext, LgIm3DPopContext);
    }
    NullDeviceEngine engine;
};

TEST_F(Pipelines, TheDeviceFillsNewPipelinesAndARefusalYieldsNone) {
    LgPipeline* p = LgPipelineCreate();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->stage1, LgIm3DTransformStage) << "the null device's request 9";
    EXPECT_EQ(p->stage0(nullptr), nullptr);
    LgPipelineDestroy(p);

    engine.device.pipelineResult = 0;
    EXPECT_EQ(LgPipelineCreate(), nullptr);
}

TEST_F(Pipelines, ExecuteRunsTheTopPipelinesStagesInOrderWithItsParameter) {
    LgPipeline* p = LgPipelineCreate();
    p->stage0 = stage0;
    p->stage1 = p->stage2 = p->stage5 = p->stage6 = stage;
    p->stage4 = stage4;
    p->parameter = const_cast<char*>("P");
    LgPipelineSetOpenClose(logged_open, logged_close);
    ASSERT_EQ(LgPipelinePush(p), p);
    bool go = true;
    EXPECT_EQ(LgPipelineExecute(&go), &go);
    EXPECT_EQ(log, "o0ssPss");
    bool stop = false;
    log.clear();
    LgPipelineExecute(&stop);
    EXPECT_EQ(log, "0") << "stage 0 without a work record ends the run";
    EXPECT_EQ(LgPipelinePop(), p);
    LgPipelineDestroy(p);
}

TEST_F(Pipelines, OpenAndCloseAnswersDecidePushAndPop) {
    LgPipeline* p = LgPipelineCreate();
    LgPipelineSetOpenClose(logged_open, logged_close);
    openAnswer = 0;
    EXPECT_EQ(LgPipelinePush(p), nullptr);
    EXPECT_EQ(LgPipelineGetDepth(), 1) << "a refused open leaves the pipeline stacked";
    closeAnswer = 0;
    EXPECT_EQ(LgPipelinePop(), nullptr);
    EXPECT_EQ(LgPipelineGetDepth(), 1) << "a refused close keeps it";
    closeAnswer = 1;
    EXPECT_EQ(LgPipelinePop(), p);
    EXPECT_EQ(LgPipelineGetDepth(), 0);
    EXPECT_EQ(LgPipelinePop(), nullptr) << "nothing left to pop";
    LgPipelineDestroy(p);
}

TEST_F(Pipelines, AFullStackRefusesThePushAndItsMatchingPop) {
    LgPipeline* p = LgPipelineCreate();
    LgPipelineSetOpenClose(logged_open, logged_close);
    for (int i = 0; i < LgPipelineStackSize; ++i) ASSERT_EQ(LgPipelinePush(p), p);
    log.clear();
    EXPECT_EQ(LgPipelinePush(p), nullptr);
    EXPECT_EQ(LgPipelineGetDepth(), LgPipelineStackSize);
    bool go = true;
    LgPipelineExecute(&go);
    EXPECT_EQ(LgPipelinePop(), nullptr) << "the refused push's pop";
    EXPECT_EQ(log, "") << "neither open, stages nor close ran for the refused push";
    for (int i = 0; i < LgPipelineStackSize; ++i) EXPECT_EQ(LgPipelinePop(), p);
    EXPECT_EQ(LgPipelineGetDepth(), 0);
    LgPipelineDestroy(p);
}

TEST(Paths, AbsolutePathsStartWithABackslashOrADrive) {
    struct Case {
        const char* path;
        int32_t expected;
    };
    for (const Case& c : {Case{"\\textures\\a.bmp", 1}, Case{"C:\\game", 1}, Case{"c:x", 1},
                          Case{"z:", 1}, Case{"textures\\a.bmp", 0}, Case{"1:\\x", 0}, Case{"", 0},
                          Case{"/unix/path", 0}, Case{":", 0}})
        EXPECT_EQ(LgPathIsAbsolute(c.path), c.expected) << c.path;
    EXPECT_EQ(LgPathIsAbsolute(nullptr), 0);
}

} // namespace
