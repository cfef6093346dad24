// DebugMessage: entries in ormiclog.txt beside the program, parameters, location, debugger
// output and the bounded entry.
#include "framework/core/com_ref.h"
#include "tests/framework/platform/debug_log_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class DebugMessageTest : public testsupport::DebugLogTest {
protected:
    std::string log(const char* name = OM_DEBUG_LOG_NAME) { return take_log(name); }
    ComRef<IDebugMessage> service() {
        ComRef<IDebugMessage> s;
        EXPECT_EQ(OmCreate(CLSID_DebugMessage, IID_IDebugMessage, s.put()), 0);
        return s;
    }
};

TEST_F(DebugMessageTest, EntriesCarryTheSeverityAndTheFilledText) {
    struct Row {
        uint32_t severity;
        const char* expected;
    };
    const Row rows[] = {{0, "[Information]\nUnable to open data/a.ini\n\n"},
                        {1, "[Warning]\nUnable to open data/a.ini\n\n"},
                        {2, "[Fatal]\nUnable to open data/a.ini\n\n"},
                        {7, "[Fatal]\nUnable to open data/a.ini\n\n"}};
    std::string expected;
    for (const Row& r : rows) {
        ASSERT_EQ(OmSetMessageParameter("{Path}", "data/a.ini"), 0);
        ASSERT_EQ(OmReportMessage(r.severity, "Unable to open {Path}"), 0);
        expected += r.expected;
    }
    EXPECT_EQ(log(), expected);
}

TEST_F(DebugMessageTest, ParametersAreClearedByEachReport) {
    OmSetMessageParameter("{Channel}", "engine");
    OmSetMessageParameter("{Unused}", "never shown");
    OmReportMessage(1, "Channel '{Channel}' does not have a Type defined {Channel}");
    OmReportMessage(1, "Channel '{Channel}' again {Unused}");
    OmSetMessageParameterInt("{n}", "%04d", 42);
    OmSetMessageParameter("{n}", "replaced");
    OmReportMessage(0, "{n}");
    EXPECT_EQ(log(), "[Warning]\nChannel 'engine' does not have a Type defined engine\n\n"
                     "[Warning]\nChannel '{Channel}' again {Unused}\n\n"
                     "[Information]\nreplaced\n\n");
}

TEST_F(DebugMessageTest, FormattedParameters) {
    auto s = service();
    EXPECT_EQ(s->SetParameterInt("{a}", nullptr, -7), 0);
    EXPECT_EQ(s->SetParameterInt("{b}", "[%5x]", 255), 0);
    EXPECT_EQ(s->SetParameterReal("{c}", nullptr, 2.5f), 0);
    EXPECT_EQ(s->SetParameterReal("{d}", "%.1f%%", 0.25f), 0);
    int target = 0;
    EXPECT_EQ(s->SetParameterPointer("{p}", &target), 0);
    char pointer[40];
    std::snprintf(pointer, sizeof pointer, "(%p)", static_cast<void*>(&target));
    EXPECT_EQ(s->SetParameterInt("{x}", "%s", 1), OM_E_FAIL);
    EXPECT_EQ(s->SetParameterInt("{x}", "%d %d", 1), OM_E_FAIL);
    EXPECT_EQ(s->SetParameterReal("{x}", "%d", 1.0f), OM_E_FAIL);
    EXPECT_EQ(s->SetParameterInt("{x}", "%", 1), OM_E_FAIL);
    EXPECT_EQ(s->SetParameter(nullptr, "x"), OM_E_FAIL);
    s->Report(0, "{a} {b} {c} {d} {p} {x}");
    s.reset();
    EXPECT_EQ(log(),
              "[Information]\n-7 [   ff] 2.500000 0.2% " + std::string(pointer) + " {x}\n\n");
}

TEST_F(DebugMessageTest, TheLocationAppearsOnlyWhenVerbose) {
    auto s = service();
    s->SetLocation("sound/soundset.cpp", 42);
    s->Report(0, "quiet");
    s->SetOutput(nullptr, nullptr, OM_MESSAGE_VERBOSE);
    s->SetLocation("sound/soundset.cpp", 42);
    s->Report(0, "verbose");
    s->Report(0, "location cleared");
    s.reset();
    EXPECT_EQ(log(), "[Information]\nquiet\n\n"
                     "[Information]\nverbose\nFile :sound/soundset.cpp    Line :42\n\n"
                     "[Information]\nlocation cleared\n\n");
}

TEST_F(DebugMessageTest, WarningsReachTheDebuggerOnlyWhenVerbose) {
    auto s = service();
    // The environment stands in for a watching debugger.
    ::setenv("CORVEL_DEBUG_OUTPUT", "1", 1);
    CaptureStderr();
    s->Report(0, "info");
    s->Report(1, "warning");
    std::string quiet = GetCapturedStderr();
    CaptureStderr();
    s->SetOutput(nullptr, nullptr, OM_MESSAGE_VERBOSE);
    s->Report(0, "info");
    s->Report(1, "warning");
    s->Report(2, "fatal");
    std::string verbose = GetCapturedStderr();
    // Nobody watching: a fatal entry goes to the log alone, never to the user's terminal.
    ::unsetenv("CORVEL_DEBUG_OUTPUT");
    CaptureStderr();
    s->Report(2, "unwatched");
    const std::string unwatched = GetCapturedStderr();
    EXPECT_EQ(quiet, "");
    EXPECT_EQ(verbose, "[Warning]\nwarning\n\n[Fatal]\nfatal\n\n");
    EXPECT_EQ(unwatched, "");
    EXPECT_NE(log().find("[Fatal]\nunwatched"), std::string::npos);
}

TEST_F(DebugMessageTest, LongEntriesAreCutAndKeepTheirBlankLine) {
    std::string text(1000, 'x');
    OmSetMessageParameter("{big}", std::string(500, 'y').c_str());
    OmReportMessage(0, ("{big}" + text).c_str());
    std::string entry = log();
    EXPECT_EQ(entry.size(), OM_DEBUG_ENTRY_SIZE - 1);
    EXPECT_EQ(entry.substr(0, 16), "[Information]\nyy");
    EXPECT_EQ(entry.substr(entry.size() - 3), "y\n\n");
}

TEST_F(DebugMessageTest, ANewLogNameSwitchesFilesAndAFailedOpenIsSilent) {
    auto s = service();
    s->Report(0, "first");
    ASSERT_EQ(s->SetOutput(nullptr, "other.txt", 0), 0);
    s->Report(0, "second");
    std::string absolute = dir_ / "abs.txt";
    ASSERT_EQ(s->SetOutput(nullptr, absolute.c_str(), 0), 0);
    s->Report(0, "third");
    ASSERT_EQ(s->SetOutput(nullptr, "missing/dir/log.txt", 0), 0);
    EXPECT_EQ(s->Report(0, "lost"), 0);
    EXPECT_EQ(s->SetOutput(nullptr, std::string(300, 'n').c_str(), 0), OM_E_FAIL);
    s.reset();
    EXPECT_EQ(log(), "[Information]\nfirst\n\n");
    EXPECT_EQ(dir_.read_file("other.txt"), "[Information]\nsecond\n\n");
    EXPECT_EQ(dir_.read_file("abs.txt"), "[Information]\nthird\n\n");
}

TEST_F(DebugMessageTest, OutOfMemoryLeavesTheParameterUnset) {
    auto s = service();
    platform::fail_allocation_after(1);
    EXPECT_EQ(s->SetParameter("{p}", "value"), OM_E_OUTOFMEMORY);
    platform::reset_allocation_faults();
    s->Report(0, "{p}");
    s.reset();
    EXPECT_EQ(log(), "[Information]\n{p}\n\n");
}

TEST_F(DebugMessageTest, OneServiceForEveryone) {
    auto a = service();
    auto b = service();
    EXPECT_EQ(a.get(), b.get());
    ASSERT_EQ(OmReportMessage(0, "shared"), 0);
    a.reset();
    b.reset();
    EXPECT_EQ(log(), "[Information]\nshared\n\n");
}

} // namespace
