// The program run end to end in this process: the start-up and shutdown order, each start-up
// failure with its message, the one-instance lock, the settings file across runs, the video
// mode fallback, a window close and the server program of "-host".
#include "framework/core/static_state.h"
#include "framework/core/std_c_memory.h"
#include "frontend/menus/page_loop.h"
#include "frontend/settings/program_settings.h"
#include "frontend/startup/command_line.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/program_icon.h"
#include "frontend/startup/startup_trace.h"
#include "platform/fault_injection.h"
#include "platform/os/named_mutex.h"
#include "platform/os/registry_store.h"
#include "platform/paths.h"
#include "platform/window/event_hub.h"
#include "platform/window/window.h"
#include "program/class_registration.h"
#include "program/program_entry.h"
#include "tests/frontend/menus/menu_data.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_clock.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        dir_.make_dir("cfg");
        dir_.make_dir("locks");
        platform::set_program_dir(dir_.path());
        platform::set_settings_dir(dir_ / "cfg");
        platform::set_lock_dir(dir_ / "locks");
        TvSetTraceObserver(nullptr);
        menutest::write_menu_data(dir_);
    }
    void TearDown() override {
        TvSetTraceObserver(nullptr);
        platform::reset_allocation_faults();
        platform::set_program_dir("");
        platform::set_settings_dir("");
        platform::set_lock_dir("");
        std::filesystem::current_path(previous_);
    }
    // Runs the program from a framework that was never started; `fail_at` arms the
    // allocation-fault injector (0: no fault).
    int run(const std::string& command_line = "", long frames = 1, uint64_t fail_at = 0) {
        platform::reset_allocation_faults();
        platform::reset_event_hub();
        OmResetStaticState();
        if (fail_at) platform::fail_allocation_after(fail_at);
        const int result = TvRunProgram({command_line, frames});
        platform::reset_allocation_faults();
        return result;
    }
    std::vector<std::string> steps() const {
        std::vector<std::string> names;
        for (const TvTraceEntry& e : TvTraceSteps()) names.push_back(e.step);
        return names;
    }
    uint64_t allocations_before(const std::string& step) const {
        for (const TvTraceEntry& e : TvTraceSteps())
            if (e.step == step) return e.allocations_before;
        ADD_FAILURE() << "no step " << step;
        return 0;
    }
    std::string log() const { return dir_.read_file(TV_ERROR_LOG_NAME); }

    testsupport::TempDir dir_;
    testsupport::VirtualClockScope clock_;

private:
    std::filesystem::path previous_;
};

TEST_F(Program, StartsAndShutsDownInItsFixedOrder) {
    const int64_t blocks = OmLiveHeapBlocks();
    platform::set_cursor_pos(7, 9);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(platform::cursor_pos().x, 0) << "the pointer is put at the screen's corner";
    EXPECT_EQ(platform::cursor_pos().y, 0);
    EXPECT_EQ(OmLiveHeapBlocks(), blocks) << "framework heap blocks left after shutdown";
    std::vector<std::string> expected = {"framework start", "class registration"};
    for (const TvRegistrationStep& step : TvRegistrationOrder()) {
        if (step.kind == TvRegistrationKind::treat_as)
            expected.push_back(std::string("treat-as ") + step.name);
        else
            expected.push_back(std::string("register ") + step.name +
                               (step.register_classes ? "" : " (not built)"));
    }
    for (const char* step : {"component libraries",
                             "machine game id",
                             "command line",
                             "instance check",
                             "error log",
                             "window components",
                             "settings sheet",
                             "settings storage",
                             "settings file",
                             "window",
                             "language strings",
                             "video init",
                             "video modes",
                             "video start",
                             "cursor hidden",
                             "game set-up",
                             "pilots",
                             "input",
                             "sound",
                             "network client",
                             "settings record",
                             "front end gamestartup",
                             "front end shutdown",
                             "video stop",
                             "language strings released",
                             "settings saved",
                             "settings released",
                             "cursor shown",
                             "window components closed",
                             "framework shutdown"})
        expected.push_back(step);
    EXPECT_EQ(steps(), expected);
    EXPECT_EQ(TvMenuPassCount(), 1);
}

TEST(ProgramIcon, ARoundelOnAClearGroundWithSmoothedEdges) {
    const int n = TV_PROGRAM_ICON_SIZE;
    const std::vector<uint32_t> icon = TvProgramIcon(n);
    ASSERT_EQ(icon.size(), size_t(n * n));
    const auto at = [&](int x, int y) { return icon[size_t(y) * n + x]; };
    EXPECT_EQ(at(0, 0), 0u) << "corners stay transparent";
    EXPECT_EQ(at(n / 2, n / 2), 0xffc8241cu) << "red centre";
    EXPECT_EQ(at(n / 2, n / 2 - n / 4), 0xfff4f4eeu) << "white ring";
    EXPECT_EQ(at(n / 2, 2), 0xff1f3f8fu) << "blue ring";
    const uint32_t edge_alpha = at(n / 8, n / 8) >> 24;
    EXPECT_GT(edge_alpha, 0u);
    EXPECT_LT(edge_alpha, 255u) << "the outer edge blends into the ground";
}

TEST_F(Program, RegistrationFollowsTheFixedModuleOrder) {
    std::vector<std::string> names;
    for (const TvRegistrationStep& step : TvRegistrationOrder()) names.push_back(step.name);
    const std::vector<std::string> expected = {"TavrinBSPLandscape",
                                               "TavrinObject",
                                               "TavrinCamera",
                                               "TavrinGame",
                                               "TavrinClientGame",
                                               "TavrinPlane",
                                               "TavrinAIPlane",
                                               "TavrinNetPlane",
                                               "TavrinGroundObject",
                                               "TavrinAIGroundObject",
                                               "TavrinWeapon",
                                               "TavrinMission",
                                               "Win32Registry",
                                               "Win32OSExt",
                                               "Win32Dx5StreamedMusic",
                                               "Win32RedBookMusic",
                                               "Win32Dx7DirectMusic",
                                               "Win32OS",
                                               "OmLgParticles",
                                               "OmLgRenderer",
                                               "DX5InputDevice",
                                               "display",
                                               "containers",
                                               "sound",
                                               "SoundDevice=Win32Dx6SoundControl2",
                                               "crypto",
                                               "web",
                                               "input",
                                               "maths",
                                               "memory",
                                               "network",
                                               "system",
                                               "storage",
                                               "text",
                                               "OmAerovantClient",
                                               "OmBezierCurve"};
    EXPECT_EQ(names, expected);
}

TEST_F(Program, EachStartFailureShowsItsMessageAndReturnsMinusOne) {
    ASSERT_EQ(run(), 0);
    struct Failure {
        const char* step;
        const char* title;
        const char* text;
        const char* log_line; // a further line the failing step writes, or null
    };
    const std::string no_title = "STRING \"aerovanterror\" NOT IN FILE";
    const Failure failures[] = {
        {"framework start", TV_ERROR_TITLE, TV_FRAMEWORK_FAILED_TEXT, nullptr},
        {"window components", TV_ERROR_TITLE, TV_WINDOW_COMPONENTS_FAILED_TEXT, "aerovantnet line"},
        {"settings sheet", TV_ERROR_TITLE, TV_SHEET_FAILED_TEXT, nullptr},
        {"settings storage", TV_ERROR_TITLE, TV_STORAGE_FAILED_TEXT, nullptr},
        {"video init", no_title.c_str(), "STRING \"couldnotstartvideo\" NOT IN FILE",
         "tvdivideo line"},
    };
    std::vector<uint64_t> points;
    for (const Failure& f : failures) points.push_back(allocations_before(f.step) + 1);
    for (size_t i = 0; i < std::size(failures); ++i) {
        const Failure& f = failures[i];
        SCOPED_TRACE(f.step);
        std::filesystem::remove(dir_ / TV_ERROR_LOG_NAME);
        std::filesystem::remove(dir_ / "aerovant.ini");
        CaptureStderr();
        EXPECT_EQ(run("", 1, points[i]), -1);
        const std::string err = GetCapturedStderr();
        EXPECT_NE(err.find(std::string(f.title) + ": " + f.text), std::string::npos) << err;
        // Nothing is saved after a failed start.
        EXPECT_FALSE(std::filesystem::exists(dir_ / "aerovant.ini"));
        if (i == 0) {
            // The framework never started, and the log was never opened.
            EXPECT_EQ(steps().back(), "start abandoned");
            EXPECT_FALSE(std::filesystem::exists(dir_ / TV_ERROR_LOG_NAME));
            continue;
        }
        EXPECT_EQ(steps().back(), "framework shutdown");
        EXPECT_NE(log().find(std::string(f.title) + " " + f.text), std::string::npos) << log();
        if (f.log_line) {
            EXPECT_NE(log().find(f.log_line), std::string::npos) << log();
        }
    }
}

TEST_F(Program, WithoutTheMenuDataTheProgramEndsWithItsErrorAfterANormalShutdown) {
    for (const char* missing : {"mouse.ini", "pointer.png"}) {
        SCOPED_TRACE(missing);
        menutest::write_menu_data(dir_);
        std::filesystem::remove(dir_ / missing);
        CaptureStderr();
        EXPECT_EQ(run(), -1);
        const std::string err = GetCapturedStderr();
        EXPECT_NE(err.find("Aerovant Error: Couldn't setup HTML browser."), std::string::npos)
            << err;
        EXPECT_NE(log().find("tvnetmenu line"), std::string::npos) << log();
        EXPECT_EQ(TvMenuPassCount(), 0);
        EXPECT_EQ(steps().back(), "framework shutdown");
        EXPECT_TRUE(std::filesystem::exists(dir_ / "aerovant.ini"));
    }
}

TEST_F(Program, ASecondCopyLeavesSilentlyWithoutTouchingTheLog) {
    dir_.write_file(TV_ERROR_LOG_NAME, "aerovantnet line 1: the running copy\n");
    platform::NamedMutex* running = platform::create_named_mutex(TV_WINDOW_NAME);
    ASSERT_NE(running, nullptr);
    CaptureStderr();
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(GetCapturedStderr(), "");
    platform::close_named_mutex(running);
    EXPECT_EQ(log(), "aerovantnet line 1: the running copy\n");
    const std::vector<std::string> s = steps();
    ASSERT_GE(s.size(), 2u);
    EXPECT_EQ(s[s.size() - 3], "instance check");
}

TEST_F(Program, SettingsAreSavedAndKeptAcrossRuns) {
    // A first start without a file saves what game set-up added, nothing of start-up's own;
    // a "-client" address is still the start command and the server address.
    const std::string first =
        "\n[]\n\n[graphics]\ndrawdistance=600.0\neffectsdetail=1000\n\n[sound]\n";
    for (const char* command_line : {"", "-client 127.0.0.1"}) {
        SCOPED_TRACE(command_line);
        std::filesystem::remove(dir_ / "aerovant.ini");
        ASSERT_EQ(run(command_line), 0);
        EXPECT_EQ(dir_.read_file("aerovant.ini"), first);
    }
    const std::vector<std::string> s = steps();
    EXPECT_NE(std::find(s.begin(), s.end(), "front end command:connectto:127.0.0.1"), s.end());
    EXPECT_EQ(TvGetProgramSettings().server_address, "127.0.0.1");

    // The second start, on the saved file, adds the two sections and the address.
    ASSERT_EQ(run("-client 127.0.0.1"), 0);
    EXPECT_EQ(dir_.read_file("aerovant.ini"),
              first + "\n[globalcontrol]\n\n[server]\nipaddress=127.0.0.1\n");

    std::string ini = dir_.read_file("aerovant.ini");
    dir_.write_file("aerovant.ini", ini + "\n[cheat]\nboost=1\n");
    ASSERT_EQ(run(), 0);
    ini = dir_.read_file("aerovant.ini");
    EXPECT_NE(ini.find("ipaddress=127.0.0.1"), std::string::npos) << ini;
    EXPECT_NE(ini.find("[cheat]\nboost=1"), std::string::npos) << ini;
    EXPECT_EQ(log(), "");
}

TEST_F(Program, AVideoModeOutsideTheListFallsBackToTheFirstOnce) {
    for (const char* mode : {"99", "-1"}) {
        SCOPED_TRACE(mode);
        dir_.write_file("aerovant.ini", std::string("[graphics]\nmode=") + mode + "\n");
        ASSERT_EQ(run(), 0);
        EXPECT_NE(
            log().find(std::string("Video mode outside the mode list: ") + mode + "; using mode 0"),
            std::string::npos)
            << log();
        EXPECT_NE(dir_.read_file("aerovant.ini").find("mode=0"), std::string::npos);
        EXPECT_EQ(TvMenuPassCount(), 1);
        ASSERT_EQ(run(), 0);
        EXPECT_EQ(log(), "");
    }
}

TEST_F(Program, AWindowCloseEndsThroughTheNormalShutdown) {
    TvSetTraceObserver([](const std::string& step) {
        if (step.starts_with("front end "))
            platform::post_message(platform::find_window(TV_WINDOW_NAME), platform::WM_CLOSE, 0, 0);
    });
    ASSERT_EQ(run("", -1), 0);
    EXPECT_EQ(TvMenuPassCount(), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "aerovant.ini"));
    EXPECT_EQ(steps().back(), "framework shutdown");
}

TEST_F(Program, HostStartsTheServerProgramBesideIt) {
    // Absent: the attempt is logged and the connection still goes to this machine.
    ASSERT_EQ(run("-host"), 0);
    EXPECT_NE(log().find("Couldn't start the server program"), std::string::npos) << log();
    EXPECT_NE(std::find(steps().begin(), steps().end(), "front end command:connectto:localhost"),
              steps().end());

    const std::string server = dir_ / TV_SERVER_PROGRAM_NAME;
    dir_.write_file(TV_SERVER_PROGRAM_NAME,
                    "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/server-args.tmp\"\n"
                    "mv \"$(dirname \"$0\")/server-args.tmp\" \"$(dirname \"$0\")/server-args\"\n");
    ASSERT_EQ(chmod(server.c_str(), 0755), 0);
    ASSERT_EQ(run("-client 10.0.0.9 -host"), 0);
    EXPECT_EQ(log(), "");
    // The server runs detached: wait for the file it writes.
    for (int i = 0; i < 500 && !std::filesystem::exists(dir_ / "server-args"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(dir_.read_file("server-args"), "-country 1 -name Aerovant\n");
    EXPECT_NE(dir_.read_file("aerovant.ini").find("ipaddress=10.0.0.9"), std::string::npos);
}

} // namespace
