// Engine life cycle on a fake device: state changes, device requests, defaults, unwinding.
#include "engine/core/lg_driver_module.h"
#include "tests/engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using enginetest::CountingMemory;
using enginetest::FakeDevice;
using enginetest::recorded_error;
using enginetest::StartedEngine;

namespace {

uintptr_t window = 0x42;

class EngineLifeCycle : public ::testing::Test {
protected:
    void SetUp() override { CountingMemory::reset(); }
    void TearDown() override {
        if (LgEngineInstancePtr != nullptr && LgEngineInstancePtr->state == LgEngineStateStarted)
            LgEngineStop();
        if (LgEngineGetOpenCount() != 0) LgEngineClose();
        LgEngineTerm();
        EXPECT_EQ(CountingMemory::live, 0) << "engine left blocks allocated";
    }
    FakeDevice device;
};

TEST_F(EngineLifeCycle, RunsThroughEveryStateAndAsksTheDeviceInOrder) {
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateInitialised);
    LgEngineInstance* staticHead = LgEngineInstancePtr;

    ASSERT_EQ(LgEngineOpen(&window), 1);
    EXPECT_NE(LgEngineInstancePtr, staticHead);
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateOpened);
    EXPECT_EQ(LgEngineGetOpenCount(), 1);
    EXPECT_EQ(LgEngineInstancePtr->device.system, device.record.system);

    ASSERT_EQ(LgEngineStart(), 1);
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateStarted);
    EXPECT_EQ(LgD3DDriverOpenCount(), 1);

    EXPECT_NE(LgEngineStop(), 0);
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateOpened);
    EXPECT_EQ(LgD3DDriverOpenCount(), 0);
    EXPECT_NE(LgEngineClose(), 0);
    EXPECT_EQ(LgEngineInstancePtr, staticHead);
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateInitialised);
    EXPECT_EQ(LgEngineGetOpenCount(), 0);
    EXPECT_EQ(LgEngineTerm(), 1);
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateNone);

    const std::vector<int32_t> expected = {
        LgDeviceRequestGetDevice,  LgDeviceRequestOpen,     LgDeviceRequestStandardFunctions,
        LgDeviceRequestStart,      LgDeviceRequestPipeline, LgDeviceRequestAfterStart,
        LgDeviceRequestBeforeStop, LgDeviceRequestStop,     LgDeviceRequestClose};
    EXPECT_EQ(device.requests, expected);
}

TEST_F(EngineLifeCycle, InitAndTermRefuseWhereTheyWouldLoseState) {
    ASSERT_EQ(LgEngineInit(nullptr, 0), 1);
    EXPECT_EQ(LgEngineInit(nullptr, 0), 0) << "second init while initialised";
    ASSERT_EQ(LgEngineOpen(&window), 1);
    LgEngineInstance* opened = LgEngineInstancePtr;
    EXPECT_EQ(LgEngineInit(nullptr, 0), 0);
    EXPECT_EQ(LgEngineInstancePtr, opened) << "init must not drop the open instance";
    EXPECT_EQ(LgEngineTerm(), 0) << "term while open";
    ASSERT_NE(LgEngineClose(), 0);
    EXPECT_EQ(LgEngineTerm(), 1);
    EXPECT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1) << "init again after term";
}

TEST_F(EngineLifeCycle, OpenFailuresLeaveTheEngineInitialised) {
    EXPECT_EQ(LgEngineOpen(&window), 0);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrBadState}));

    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    LgEngineInstance* staticHead = LgEngineInstancePtr;
    EXPECT_EQ(LgEngineOpen(nullptr), 0);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrNullArgument}));

    device.refuse(LgDeviceRequestOpen);
    EXPECT_EQ(LgEngineOpen(&window), 0);
    EXPECT_EQ(LgEngineInstancePtr, staticHead);
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateInitialised);
    EXPECT_EQ(LgEngineGetOpenCount(), 0);

    device.accept(LgDeviceRequestOpen);
    CountingMemory::fail_in(1);
    EXPECT_EQ(LgEngineOpen(&window), 0);
    EXPECT_EQ(LgEngineInstancePtr, staticHead);
    EXPECT_EQ(LgEngineOpen(&window), 1) << "a later open still works";
}

TEST_F(EngineLifeCycle, OpenWithoutADriverFails) {
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    LgDeviceEntryFunc entry = LgEngineSetDeviceEntry(nullptr);
    EXPECT_EQ(LgEngineOpen(&window), 0);
    LgEngineSetDeviceEntry(entry);
}

TEST_F(EngineLifeCycle, FirstErrorSinceInitIsKeptUntilStartEmptiesTheSlot) {
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    EXPECT_EQ(recorded_error(), LgErrorNone);
    LgEngineOpen(nullptr);
    LgEngineStart();
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrNullArgument})) << "first error wins";
    ASSERT_EQ(LgEngineOpen(&window), 1);
    ASSERT_EQ(LgEngineStart(), 1);
    EXPECT_EQ(recorded_error(), LgErrorNone) << "start empties the slot";

    LgErrorRaise(LgErrorGroupCore, LgErrEndOfStream);
    LgErrorRaise(LgErrorGroupWorld, LgErrEndOfStream);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrEndOfStream}));
    LgEngineStop();
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrEndOfStream})) << "kept after stop";
}

TEST_F(EngineLifeCycle, NegativeCodesAreRecordedUnderGroupZero) {
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrOutOfMemory}));
    EXPECT_EQ(LgErrorCode(7, "message ignored"), 7);
}

struct DefaultCase {
    const char* name;
    int32_t (*query)();
    int32_t expected;
    bool recordsRefusal;
};

int32_t sub_system_0() {
    LgSubSystemInfo info;
    if (LgEngineGetSubSystemInfo(&info, 0) == nullptr) return -2;
    return std::string(info.name) == "Only rendering sub system" ? 1 : 0;
}
int32_t sub_system_1() {
    LgSubSystemInfo info;
    return LgEngineGetSubSystemInfo(&info, 1) != nullptr;
}

TEST_F(EngineLifeCycle, RefusedRequestsFallBackToTheEngineDefaults) {
    const DefaultCase cases[] = {
        {"sub-system count", LgEngineGetNumSubSystems, 1, false},
        {"sub-system 0 name", sub_system_0, 1, false},
        {"sub-system 1", sub_system_1, 0, true},
        {"current sub-system", LgEngineGetCurrentSubSystem, 0, false},
        {"set sub-system 0", [] { return LgEngineSetSubSystem(0); }, 1, false},
        {"set sub-system 1", [] { return LgEngineSetSubSystem(1); }, 0, true},
        {"video modes", LgEngineGetNumVideoModes, -1, true},
        {"set video mode", [] { return LgEngineSetVideoMode(0); }, 0, true},
        {"texture memory", LgEngineRequest0CGet, -1, true},
        {"max texture size", LgEngineGetMaxTextureSize, -1, true},
        {"exclusive mode", [] { return LgEngineSetExclusiveMode(1); }, 0, true},
    };
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    ASSERT_EQ(LgEngineOpen(&window), 1);
    for (const DefaultCase& c : cases) {
        ASSERT_EQ(LgEngineStart(), 1);
        EXPECT_EQ(c.query(), c.expected) << c.name;
        const LgError expected = c.recordsRefusal ? LgError{1, LgErrRequestRefused} : LgErrorNone;
        EXPECT_EQ(recorded_error(), expected) << c.name;
        LgEngineStop();
    }
}

TEST_F(EngineLifeCycle, DeviceAnswersPassThrough) {
    device.answer_number(LgDeviceRequestNumSubSystems, 3);
    device.answer_number(LgDeviceRequestNumVideoModes, 7);
    device.answer_number(LgDeviceRequestMaxTextureSize, 1024);
    device.answers[LgDeviceRequestVideoModeInfo] = [](void* out, void*, int32_t index) {
        *static_cast<LgVideoMode*>(out) = {640 + index, 480, 16, LgVideoModeFullScreen};
        return 1;
    };
    int32_t exclusive = -1;
    device.answers[LgDeviceRequestExclusiveMode] = [&](void*, void*, int32_t on) {
        exclusive = on;
        return 1;
    };
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    ASSERT_EQ(LgEngineOpen(&window), 1);
    EXPECT_EQ(LgEngineGetNumSubSystems(), 3);
    EXPECT_EQ(LgEngineGetNumVideoModes(), 7);
    EXPECT_EQ(LgEngineGetMaxTextureSize(), 1024);
    LgVideoMode mode{};
    ASSERT_EQ(LgEngineGetVideoModeInfo(&mode, 2), &mode);
    EXPECT_EQ(mode.width, 642);
    EXPECT_EQ(mode.flags, LgVideoModeFullScreen);
    EXPECT_EQ(LgEngineSetExclusiveMode(1), 1);
    EXPECT_EQ(exclusive, 1);
}

// Engine plug-ins that log their opens and closes; one of them can be told to fail.
std::vector<std::string> moduleLog;
int failingModule = -1;

template <int N>
void* log_open(void* instance, int32_t offset, int32_t size) {
    moduleLog.push_back("open" + std::to_string(N));
    if (N == failingModule) return nullptr;
    // The slice lies inside the open instance: fill it to let a sanitizer see overruns.
    std::memset(static_cast<char*>(instance) + offset, 0xab, static_cast<size_t>(size));
    return instance;
}
template <int N>
void* log_close(void* instance, int32_t, int32_t) {
    moduleLog.push_back("close" + std::to_string(N));
    return instance;
}

void register_logged_modules() {
    moduleLog.clear();
    LgEngineRegisterPlugin(12, 0x901, log_open<1>, log_close<1>);
    LgEngineRegisterPlugin(40, 0x902, log_open<2>, log_close<2>);
    LgEngineRegisterPlugin(3, 0x903, log_open<3>, log_close<3>);
}

TEST_F(EngineLifeCycle, PluginsOpenInOrderAndCloseInReverse) {
    failingModule = -1;
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    register_logged_modules();
    ASSERT_EQ(LgEngineOpen(&window), 1);
    ASSERT_EQ(LgEngineStart(), 1);
    LgEngineStop();
    const std::vector<std::string> expected = {"open1",  "open2",  "open3",
                                               "close3", "close2", "close1"};
    EXPECT_EQ(moduleLog, expected);
}

TEST_F(EngineLifeCycle, AFailingModuleUnwindsTheEarlierOnesAndStopsTheDevice) {
    failingModule = 3;
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    register_logged_modules();
    ASSERT_EQ(LgEngineOpen(&window), 1);
    EXPECT_EQ(LgEngineStart(), 0);
    const std::vector<std::string> expected = {"open1", "open2", "open3", "close2", "close1"};
    EXPECT_EQ(moduleLog, expected);
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateOpened);
    EXPECT_EQ(device.count(LgDeviceRequestStop), 1);
    EXPECT_EQ(LgD3DDriverOpenCount(), 0) << "core modules unwound too";
    failingModule = -1;
}

TEST_F(EngineLifeCycle, AStartTheDeviceRefusesOpensNoModule) {
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    register_logged_modules();
    ASSERT_EQ(LgEngineOpen(&window), 1);
    device.refuse(LgDeviceRequestStart);
    EXPECT_EQ(LgEngineStart(), 0);
    EXPECT_TRUE(moduleLog.empty());
    EXPECT_EQ(LgEngineInstancePtr->state, LgEngineStateOpened);
}

TEST_F(EngineLifeCycle, PluginsRegisterOnlyWhileNoInstanceIsOpen) {
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    const int32_t baseSize = LgEngineRegistry.sizeOfStruct;
    const int32_t offset = LgEngineRegisterPlugin(16, 0x950, nullptr, nullptr);
    EXPECT_EQ(offset, baseSize);
    ASSERT_EQ(LgEngineOpen(&window), 1);
    EXPECT_EQ(LgEngineRegisterPlugin(16, 0x951, nullptr, nullptr), -1);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrPluginWhileOpen}));
    EXPECT_EQ(LgEngineGetPluginOffset(0x950), offset);
    EXPECT_EQ(LgEngineGetPluginOffset(0x951), -1);
}

TEST_F(EngineLifeCycle, TermForgetsEveryPlugin) {
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    const int32_t coreSize = LgEngineRegistry.sizeOfStruct;
    LgEngineRegisterPlugin(64, 0x960, nullptr, nullptr);
    ASSERT_EQ(LgEngineTerm(), 1);
    EXPECT_EQ(LgEngineRegistry.sizeOfStruct, LgEngineRegistry.origSizeOfStruct);
    EXPECT_EQ(LgEngineRegistry.firstEntry, nullptr);
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    EXPECT_EQ(LgEngineRegistry.sizeOfStruct, coreSize);
    EXPECT_EQ(LgEngineGetPluginOffset(0x960), -1);
}

TEST_F(EngineLifeCycle, StopAndCloseRefuseTheWrongState) {
    ASSERT_EQ(LgEngineInit(CountingMemory::functions(), 0), 1);
    ASSERT_EQ(LgEngineOpen(&window), 1);
    EXPECT_EQ(LgEngineStop(), 0) << "not started";
    ASSERT_EQ(LgEngineStart(), 1);
    EXPECT_EQ(LgEngineStart(), 0) << "already started";
    EXPECT_EQ(LgEngineClose(), 0) << "still started";
    EXPECT_EQ(LgEngineGetOpenCount(), 1);
    device.refuse(LgDeviceRequestClose);
    LgEngineStop();
    EXPECT_EQ(LgEngineClose(), 0) << "device refused close";
    EXPECT_EQ(LgEngineGetOpenCount(), 1);
    device.accept(LgDeviceRequestClose);
}

TEST(StartedEngineScope, BothAllocationModesStartAndStopCleanly) {
    for (uint32_t flags : {0u, LgEngineInitNoFreeLists}) {
        {
            StartedEngine engine(flags);
            EXPECT_TRUE(engine.ok);
        }
        EXPECT_EQ(CountingMemory::live, 0) << "flags " << flags;
    }
}

} // namespace
