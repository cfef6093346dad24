// Win32Profile on the virtual clock: the ring of frames, the samples and the assertion texts.
#include "framework/core/com_ref.h"
#include "framework/platform/profile.h"
#include "tests/framework/platform/debug_log_fixture.h"
#include "tests/support/virtual_clock.h"

#include <functional>

namespace {

using platform::advance_virtual_clock_us;

class ProfileTest : public testsupport::DebugLogTest {
protected:
    void SetUp() override {
        DebugLogTest::SetUp();
        ASSERT_EQ(Win32Profile_RegisterClasses(OmGetObjectManager()), 0);
        ASSERT_EQ(OmCreate(CLSID_Win32Profile, IID_IProfile, profile_.put()), 0);
    }
    void TearDown() override {
        profile_.reset();
        DebugLogTest::TearDown();
    }
    // The warnings logged so far.
    std::string log() {
        std::string text = take_log();
        return text == "<no log>" ? "" : text;
    }
    // One frame with samples taking the given microseconds each.
    void frame(std::initializer_list<uint32_t> micros, uint32_t end_micros = 1) {
        ASSERT_EQ(profile_->BeginFrame(), 0);
        for (uint32_t us : micros) {
            advance_virtual_clock_us(us);
            ASSERT_EQ(profile_->Sample("stage"), 0);
        }
        advance_virtual_clock_us(end_micros);
        ASSERT_EQ(profile_->EndFrame(), 0);
    }

    testsupport::VirtualClockScope clock_;
    ComRef<IProfile> profile_;
};

TEST_F(ProfileTest, SamplesRecordMicrosecondsAndNames) {
    ASSERT_EQ(profile_->Init(4, 3), 0);
    ASSERT_EQ(profile_->BeginFrame(), 0);
    advance_virtual_clock_us(250);
    ASSERT_EQ(profile_->Sample("update"), 0);
    advance_virtual_clock_us(1500);
    ASSERT_EQ(profile_->Sample(nullptr), 0);
    advance_virtual_clock_us(40);
    ASSERT_EQ(profile_->EndFrame(), 0);
    EXPECT_EQ(profile_->GetSample(0, 0), 250);
    EXPECT_EQ(profile_->GetSample(0, 1), 1500);
    EXPECT_EQ(profile_->GetSample(0, 2), 40);
    EXPECT_STREQ(profile_->GetSampleName(0), "update");
    EXPECT_STREQ(profile_->GetSampleName(1), "");
    EXPECT_STREQ(profile_->GetSampleName(2), OM_PROFILE_END_SAMPLE);
    EXPECT_EQ(profile_->GetSampleCount(1), 3) << "the first frame is ring row 1";
    EXPECT_EQ(profile_->GetHistory(), 3);

    ASSERT_EQ(profile_->BeginFrame(), 0);
    advance_virtual_clock_us(10);
    ASSERT_EQ(profile_->Sample(std::string(60, 'n').c_str()), 0);
    EXPECT_EQ(std::string(profile_->GetSampleName(0)), std::string(39, 'n'));
}

TEST_F(ProfileTest, TheRingWrapsAroundTheHistory) {
    ASSERT_EQ(profile_->Init(2, 4), 0);
    for (uint32_t f = 1; f <= 6; ++f) frame({f * 100});
    // Six frames in a ring of four: the current one is row 2, three back is row 3.
    EXPECT_EQ(profile_->GetSample(0, 0), 600);
    EXPECT_EQ(profile_->GetSample(1, 0), 500);
    EXPECT_EQ(profile_->GetSample(2, 0), 400) << "row 0";
    EXPECT_EQ(profile_->GetSample(3, 0), 300) << "row 3";
    EXPECT_EQ(profile_->GetSampleCount(2), 2);
    EXPECT_EQ(log(), "");
}

TEST_F(ProfileTest, FailedChecksLogTheirAssertions) {
    struct Row {
        std::function<int64_t(IProfile*)> call;
        int64_t result;
        const char* text;
    };
    const Row uninitialised[] = {
        {[](IProfile* p) { return p->BeginFrame(); }, OM_E_FAIL, "this->m_bInitialised"},
        {[](IProfile* p) { return p->GetHistory(); }, OM_E_FAIL, "this->m_bInitialised"},
        {[](IProfile* p) { return p->GetSample(0, 0); }, OM_E_FAIL, "this->m_bInitialised"},
        {[](IProfile* p) { return int64_t(p->GetSampleName(0) != nullptr); }, 0,
         "this->m_bInitialised"},
    };
    for (const Row& r : uninitialised) {
        EXPECT_EQ(r.call(profile_.get()), r.result) << r.text;
        EXPECT_EQ(log(), std::string("[Warning]\nAssert failure :") + r.text + "\n\n");
    }

    ASSERT_EQ(profile_->Init(3, 4), 0);
    frame({10});
    const Row initialised[] = {
        {[](IProfile* p) { return p->GetSample(4, 0); }, OM_E_FAIL, "nHistory < this->m_nHistory"},
        {[](IProfile* p) { return p->GetSampleCount(4); }, OM_E_FAIL,
         "nHistory < this->m_nHistory"},
        {[](IProfile* p) { return p->GetSample(0, 3); }, OM_E_FAIL,
         "nSample < this->m_nNumSamples"},
        {[](IProfile* p) { return int64_t(p->GetSampleName(3) != nullptr); }, 0,
         "nSample < this->m_nNumSamples"},
    };
    for (const Row& r : initialised) {
        EXPECT_EQ(r.call(profile_.get()), r.result) << r.text;
        EXPECT_EQ(log(), std::string("[Warning]\nAssert failure :") + r.text + "\n\n");
    }
}

TEST_F(ProfileTest, AFullFrameKeepsItsLastSlotForEnd) {
    ASSERT_EQ(profile_->Init(3, 2), 0);
    ASSERT_EQ(profile_->BeginFrame(), 0);
    EXPECT_EQ(profile_->Sample("a"), 0);
    EXPECT_EQ(profile_->Sample("b"), 0);
    EXPECT_EQ(profile_->Sample("c"), OM_E_FAIL);
    EXPECT_EQ(log(), "[Warning]\nAssert failure :nSample < this->m_nNumSamples\n\n");
    EXPECT_EQ(profile_->EndFrame(), 0);
    EXPECT_STREQ(profile_->GetSampleName(2), OM_PROFILE_END_SAMPLE);
    EXPECT_EQ(profile_->GetSampleCount(1), 3);
}

TEST_F(ProfileTest, OutsideAFrameNothingIsRecorded) {
    ASSERT_EQ(profile_->Init(3, 2), 0);
    EXPECT_EQ(profile_->Sample("x"), OM_E_FAIL);
    EXPECT_EQ(profile_->EndFrame(), OM_E_FAIL);
    frame({5});
    EXPECT_EQ(profile_->EndFrame(), OM_E_FAIL) << "ended already";
    EXPECT_EQ(profile_->Free(), 0);
    EXPECT_EQ(profile_->BeginFrame(), OM_E_FAIL);
    log();
}

TEST_F(ProfileTest, InitRefusesEmptyTablesAndRunningOutOfMemory) {
    EXPECT_EQ(profile_->Init(0, 4), OM_E_FAIL);
    EXPECT_EQ(profile_->Init(4, 0), OM_E_FAIL);
    EXPECT_EQ(profile_->Init(0x40000000, 0x40000000), OM_E_FAIL);
    for (uint64_t n = 1; n <= 3; ++n) {
        platform::fail_allocation_after(n);
        EXPECT_EQ(profile_->Init(8, 8), OM_E_OUTOFMEMORY) << n;
        platform::reset_allocation_faults();
        EXPECT_EQ(profile_->BeginFrame(), OM_E_FAIL) << "left uninitialised";
    }
    EXPECT_EQ(profile_->Init(32, 100), 0);
    log();
}

TEST_F(ProfileTest, OneProfilerForTheProgram) {
    ComRef<IProfile> other;
    ASSERT_EQ(OmCreate(CLSID_Win32Profile, IID_IProfile, other.put()), 0);
    EXPECT_EQ(other.get(), profile_.get());
}

} // namespace
