// Timer and Win32HighResTimer on the virtual clock.
#include "framework/core/com_ref.h"
#include "framework/platform/timer.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/virtual_clock.h"

namespace {

using platform::advance_virtual_clock;
using platform::advance_virtual_clock_us;
using testsupport::VirtualClockScope;

class TimerTest : public testsupport::FrameworkTest {
protected:
    ComRef<ITimer> create(const GUID& clsid, OmGetClassObjectFunction module) {
        ComRef<IClassFactory> factory;
        EXPECT_EQ(module(clsid, IID_IClassFactory, factory.put_void()), 0);
        ComRef<ITimer> timer;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_ITimer, timer.put_void()), 0);
        return timer;
    }
    ComRef<ITimer> timer() { return create(CLSID_Timer, Timer_GetClassObject); }
    ComRef<ITimer> high_res() {
        return create(CLSID_Win32HighResTimer, Win32HighResTimer_GetClassObject);
    }
    VirtualClockScope clock_{1000};
};

TEST_F(TimerTest, TimerAddsUpRunningTimeOnly) {
    auto t = timer();
    advance_virtual_clock(50);
    t->Update();
    EXPECT_EQ(t->GetTotalMs(), 0u) << "not running before Start";
    t->Start();
    advance_virtual_clock(30);
    t->Update();
    EXPECT_EQ(t->GetDeltaMs(), 30u);
    advance_virtual_clock(20);
    t->Stop();
    EXPECT_EQ(t->GetTotalMs(), 50u);
    EXPECT_EQ(t->GetDeltaMs(), 0u);
    advance_virtual_clock(5000);
    t->Start();
    advance_virtual_clock(10);
    t->Update();
    EXPECT_EQ(t->GetTotalMs(), 60u) << "the stopped 5 s never reach the total";
    advance_virtual_clock(7);
    t->Reset();
    EXPECT_EQ(t->GetTotalMs(), 67u) << "Reset samples and keeps the total";
    EXPECT_EQ(t->GetDeltaMs(), 0u);
    EXPECT_EQ(t->GetDeltaSeconds(), 0.0f);
    EXPECT_EQ(t->GetTotalSeconds(), 0.0f);
}

TEST_F(TimerTest, TimerRunsAcrossTheClockWrap) {
    platform::set_virtual_time(0xFFFFFFFFull - 9);
    auto t = timer();
    t->Start();
    advance_virtual_clock(25);
    t->Update();
    EXPECT_EQ(t->GetDeltaMs(), 25u);
}

TEST_F(TimerTest, HighResSubMillisecondStepsAddUp) {
    auto t = high_res();
    t->Start();
    advance_virtual_clock_us(400);
    t->Update();
    EXPECT_EQ(t->GetDeltaMs(), 0u);
    EXPECT_EQ(t->GetTotalMs(), 0u);
    advance_virtual_clock_us(700);
    t->Update();
    EXPECT_EQ(t->GetDeltaMs(), 1u) << "0.4 + 0.7 ms counted from the unchanged last sample";
    EXPECT_FLOAT_EQ(t->GetDeltaSeconds(), 0.001f);
    EXPECT_EQ(t->GetTotalMs(), 1u);
    advance_virtual_clock_us(2500);
    t->Update();
    EXPECT_EQ(t->GetDeltaMs(), 2u);
    EXPECT_EQ(t->GetTotalMs(), 3u) << "the total counts from the start, fractions included";
    EXPECT_FLOAT_EQ(t->GetTotalSeconds(), 0.003f);
}

TEST_F(TimerTest, HighResSkipsStoppedTimeAndResetRestarts) {
    auto t = high_res();
    t->Start();
    advance_virtual_clock(10);
    t->Stop();
    advance_virtual_clock(5000);
    t->Update();
    EXPECT_EQ(t->GetTotalMs(), 10u) << "Update does nothing while stopped";
    t->Start();
    EXPECT_EQ(t->GetDeltaMs(), 0u);
    advance_virtual_clock(4);
    t->Update();
    EXPECT_EQ(t->GetTotalMs(), 14u);
    t->Reset();
    EXPECT_EQ(t->GetTotalMs(), 0u);
    advance_virtual_clock(3);
    t->Update();
    EXPECT_EQ(t->GetTotalMs(), 3u);
}

} // namespace
