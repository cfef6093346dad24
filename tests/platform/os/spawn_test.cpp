// Starting programs: waiting, detaching and the failures the caller must tell apart.
#include "platform/os/spawn.h"
#include "tests/support/temp_dir.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace platform;

class SpawnTest : public ::testing::Test {
protected:
    std::string script(const std::string& name, const std::string& body) {
        dir_.write_file(name, body);
        std::filesystem::permissions(dir_ / name, std::filesystem::perms::owner_all);
        return dir_ / name;
    }
    testsupport::TempDir dir_;
};

TEST_F(SpawnTest, WaitingReturnsTheExitStatusAndPassesTheArguments) {
    std::string s = script("args.sh", "#!/bin/sh\nprintf '%s|' \"$0\" \"$@\" > \"$1\"\nexit 7\n");
    int code = -1;
    std::string out = dir_ / "out.txt";
    ASSERT_EQ(spawn_program(s, {"/bin/sh", out, "two words"}, true, &code), 0);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(dir_.read_file("out.txt"), s + "|" + out + "|two words|");
}

TEST_F(SpawnTest, FailuresReportTheirErrno) {
    EXPECT_EQ(spawn_program(dir_ / "missing", {" "}, true), ENOENT);
    std::string not_a_program = script("plain.txt", "just text, no interpreter line\n");
    EXPECT_EQ(spawn_program(not_a_program, {" "}, true), ENOEXEC);
    dir_.write_file("noexec.sh", "#!/bin/sh\n");
    EXPECT_EQ(spawn_program(dir_ / "noexec.sh", {" "}, true), EACCES);
}

TEST_F(SpawnTest, DetachedProgramsRunOnWithoutWaiting) {
    std::string s = script("slow.sh", "#!/bin/sh\nsleep 0.2\necho done > \"$1\"\n");
    std::string marker = dir_ / "marker";
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(spawn_program(s, {" ", marker}, false), 0);
    EXPECT_FALSE(std::filesystem::exists(marker)) << "the call did not wait";
    while (!std::filesystem::exists(marker) &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(20))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(std::filesystem::exists(marker));
}

TEST_F(SpawnTest, ProgramsAreFoundOnThePath) {
    EXPECT_EQ(find_in_path("sh").empty(), false);
    EXPECT_EQ(find_in_path("no-such-program-anywhere"), "");
    EXPECT_EQ(find_in_path(""), "");
    set_shell_open_program("/bin/true");
    EXPECT_EQ(shell_open_program(), "/bin/true");
    set_shell_open_program("");
}

} // namespace
