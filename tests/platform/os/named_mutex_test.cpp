// Named mutexes: one owner at a time across handles and processes.
#include "platform/os/named_mutex.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace platform;

class NamedMutexTest : public ::testing::Test {
protected:
    void SetUp() override { set_lock_dir(dir_.path()); }
    void TearDown() override { set_lock_dir(""); }
    testsupport::TempDir dir_;
};

TEST_F(NamedMutexTest, OneOwnerAtATime) {
    MutexStatus status;
    NamedMutex* first = create_named_mutex("Ormic6 Class", &status);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(status, MutexStatus::created);
    EXPECT_EQ(create_named_mutex("Ormic6 Class", &status), nullptr);
    EXPECT_EQ(status, MutexStatus::already_exists);

    NamedMutex* opened = open_named_mutex("Ormic6 Class");
    EXPECT_NE(opened, nullptr);
    EXPECT_FALSE(release_named_mutex(opened)) << "opening does not own";
    close_named_mutex(opened);

    EXPECT_TRUE(release_named_mutex(first));
    EXPECT_EQ(open_named_mutex("Ormic6 Class"), nullptr) << "an unowned mutex is gone";
    NamedMutex* second = create_named_mutex("Ormic6 Class", &status);
    EXPECT_NE(second, nullptr);
    close_named_mutex(second);
    close_named_mutex(first);
}

TEST_F(NamedMutexTest, AnotherProcessIsRefusedUntilTheOwnerCloses) {
    NamedMutex* mine = create_named_mutex("shared/name");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(lock_file_path("shared/name"), dir_.path() + "/corvel-shared_name.lock");
    auto child_status = [] {
        pid_t pid = fork();
        if (pid == 0) {
            MutexStatus s;
            NamedMutex* m = create_named_mutex("shared/name", &s);
            _exit(m ? 0 : s == MutexStatus::already_exists ? 1 : 2);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WEXITSTATUS(status);
    };
    EXPECT_EQ(child_status(), 1);
    close_named_mutex(mine);
    EXPECT_EQ(child_status(), 0);
}

TEST_F(NamedMutexTest, AnUnwritableLockDirectoryFails) {
    set_lock_dir(dir_ / "missing/dir");
    MutexStatus status;
    EXPECT_EQ(create_named_mutex("x", &status), nullptr);
    EXPECT_EQ(status, MutexStatus::failed);
}

} // namespace
