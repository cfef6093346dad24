// A fixture for tests that read the debug log: the program directory is a temporary one, and
// the window, stream, storage and message modules are registered.
#pragma once

#include "framework/io/fifo_stream.h"
#include "framework/platform/debug_message.h"
#include "framework/platform/os_service.h"
#include "platform/paths.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <filesystem>
#include <string>

namespace testsupport {

class DebugLogTest : public FrameworkTest {
protected:
    void SetUp() override {
        platform::set_program_dir(dir_.path());
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_EQ(Win32OS_RegisterClasses(manager), 0);
        ASSERT_EQ(FifoStream_RegisterClasses(manager), 0);
        ASSERT_EQ(Win32Storage_RegisterClasses(manager), 0);
        ASSERT_EQ(DebugMessage_RegisterClasses(manager), 0);
    }
    void TearDown() override {
        OmReleaseMessageService();
        platform::set_program_dir("");
        FrameworkTest::TearDown();
    }
    // The log written so far, which is then removed; the shared service is released first so
    // that its stream is closed.
    std::string take_log(const char* name = OM_DEBUG_LOG_NAME) {
        OmReleaseMessageService();
        std::string path = dir_ / name;
        if (!std::filesystem::exists(path)) return "<no log>";
        std::string text = dir_.read_file(name);
        std::filesystem::remove(path);
        return text;
    }

    TempDir dir_;
};

} // namespace testsupport
