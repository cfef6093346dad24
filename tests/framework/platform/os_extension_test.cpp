// Win32OSExt: shell open by file type and by the system opener, spawning, GUIDs and mutexes.
#include "framework/core/com_ref.h"
#include "framework/io/fifo_stream.h"
#include "framework/platform/os_extension.h"
#include "framework/platform/os_service.h"
#include "framework/platform/registry.h"
#include "platform/os/spawn.h"
#include "platform/paths.h"
#include "platform/window/window.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

class OSExtensionTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        platform::set_settings_dir(dir_ / "settings");
        platform::set_lock_dir(dir_.path());
        IObjectManager* manager = OmGetObjectManager();
        ASSERT_EQ(Win32OS_RegisterClasses(manager), 0);
        ASSERT_EQ(FifoStream_RegisterClasses(manager), 0);
        ASSERT_EQ(Win32OSExt_RegisterClasses(manager), 0);
        ASSERT_EQ(OmCreate(CLSID_OSExtension, IID_IOmOSExt, ext_.put()), 0)
            << "created through the platform-neutral id";
        // A stand-in opener that records what it was asked to open.
        recorder_ = script("recorder.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + (dir_ / "opened") +
                                              ".tmp\"\nmv \"" + (dir_ / "opened") + ".tmp\" \"" +
                                              (dir_ / "opened") + "\"\n");
    }
    void TearDown() override {
        ext_.reset();
        platform::set_shell_open_program("");
        platform::set_program_dir("");
        platform::set_settings_dir("");
        platform::set_lock_dir("");
        FrameworkTest::TearDown();
    }
    std::string script(const std::string& name, const std::string& body) {
        dir_.write_file(name, body);
        std::filesystem::permissions(dir_ / name, std::filesystem::perms::owner_all);
        return dir_ / name;
    }
    // What the recorder was given, once it ran (it is started detached).
    std::string opened() {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!std::filesystem::exists(dir_ / "opened") &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::string text = std::filesystem::exists(dir_ / "opened") ? dir_.read_file("opened") : "";
        std::filesystem::remove(dir_ / "opened");
        return text;
    }

    testsupport::TempDir dir_;
    ComRef<IOmOSExt> ext_;
    std::string recorder_;
};

TEST_F(OSExtensionTest, ShellOpenUsesTheProgramRegisteredForTheType) {
    EXPECT_EQ(ext_->ShellOpen("html", "page.html"), OM_E_FAIL) << "nothing registered";
    ASSERT_EQ(
        OmRegSetString(platform::HKEY_LOCAL_MACHINE, "Software\\Classes\\.html", "", "htmlfile"),
        0);
    EXPECT_EQ(ext_->ShellOpen("html", "page.html"), OM_E_FAIL) << "class without a command";
    std::string command = "\"" + recorder_ + "\" \"%1\"";
    ASSERT_EQ(OmRegSetString(platform::HKEY_LOCAL_MACHINE,
                             "Software\\Classes\\htmlfile\\Shell\\Open\\Command", "",
                             command.c_str()),
              0);
    dir_.write_file("page.html", "<html/>");
    ASSERT_EQ(ext_->ShellOpen("html", (dir_ / "page.html").c_str()), 0);
    EXPECT_EQ(opened(), dir_ / "page.html");
}

TEST_F(OSExtensionTest, ShellOpenWithoutATypeUsesTheSystemOpener) {
    platform::set_shell_open_program(recorder_);
    EXPECT_EQ(ext_->ShellOpen(nullptr, (dir_ / "missing.txt").c_str()), OM_E_FAIL);
    ASSERT_EQ(ext_->ShellOpen(nullptr, "http://example.invalid/readme"), 0);
    EXPECT_EQ(opened(), "http://example.invalid/readme");

    platform::set_shell_open_program(dir_ / "no-such-opener");
    dir_.write_file("doc.txt", "text");
    EXPECT_EQ(ext_->ShellOpen(nullptr, (dir_ / "doc.txt").c_str()), OM_E_FAIL);
}

TEST_F(OSExtensionTest, OpenDocumentIsRelativeToTheProgramDirectory) {
    platform::set_program_dir(dir_.path());
    ComRef<IOmOS> os;
    ASSERT_EQ(OmCreate(CLSID_Win32OS, IID_IOmOS, os.put()), 0);
    // The service computed its directory before the override: attach recomputes it.
    ComRef<IOmWindow> window;
    os->QueryInterface(IID_IOmWindow, window.put_void());
    platform::Window* w = platform::create_window({"doc", "doc"});
    window->Attach(w, nullptr);
    platform::set_shell_open_program(recorder_);
    dir_.write_file("Docs/Manual.TXT", "manual");
    ASSERT_EQ(ext_->OpenDocument("docs/manual.txt"), 0);
    EXPECT_EQ(opened(), dir_ / "Docs/Manual.TXT") << "components match ignoring case";
    platform::destroy_window(w);
}

TEST_F(OSExtensionTest, SpawnWaitsOnlyWhenAskedAndReportsEveryFailure) {
    std::string s = script("spawned.sh", "#!/bin/sh\nsleep 0.1\nprintf '%s|' \"$0\" \"$@\" > \"" +
                                             (dir_ / "spawned") + "\"\n");
    const char* args[] = {"one", "two", nullptr};
    ASSERT_EQ(ext_->Spawn(OM_SPAWN_WAIT, s.c_str(), args), 0);
    EXPECT_EQ(dir_.read_file("spawned"), s + "|one|two|");
    std::filesystem::remove(dir_ / "spawned");

    ASSERT_EQ(ext_->Spawn(OM_SPAWN_DEFAULT, s.c_str(), nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "spawned")) << "the default does not wait";
    OmSetSpawnMode(OM_SPAWN_WAIT);
    ASSERT_EQ(ext_->Spawn(OM_SPAWN_DEFAULT, s.c_str(), nullptr), 0);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "spawned"));

    EXPECT_EQ(ext_->Spawn(OM_SPAWN_WAIT, (dir_ / "missing").c_str(), nullptr), OM_E_FAIL);
    dir_.write_file("not-executable.sh", "#!/bin/sh\n");
    EXPECT_EQ(ext_->Spawn(OM_SPAWN_NOWAIT, (dir_ / "not-executable.sh").c_str(), nullptr),
              OM_E_FAIL)
        << "a permission failure is a failure too";
    EXPECT_EQ(ext_->Spawn(OM_SPAWN_WAIT, nullptr, nullptr), OM_E_FAIL);
}

TEST_F(OSExtensionTest, MutexesAndGuids) {
    OmMutexHandle first = nullptr, second = nullptr, opened = nullptr;
    ASSERT_EQ(ext_->CreateMutex("corvel-test", &first), 0);
    EXPECT_EQ(ext_->CreateMutex("corvel-test", &second), OM_E_MUTEX_EXISTS);
    EXPECT_EQ(second, nullptr);
    ASSERT_EQ(ext_->OpenMutex("corvel-test", &opened), 0);
    EXPECT_EQ(ext_->CloseHandle(opened), 0);
    EXPECT_EQ(ext_->ReleaseMutex(first), 0);
    EXPECT_EQ(ext_->OpenMutex("corvel-test", &opened), OM_E_FAIL);
    EXPECT_EQ(ext_->CloseHandle(first), 0);

    GUID a, b;
    ASSERT_EQ(ext_->CreateGuid(&a), 0);
    ASSERT_EQ(ext_->CreateGuid(&b), 0);
    EXPECT_FALSE(a == b);
    EXPECT_EQ(ext_->Reserved(nullptr), 0);
}

} // namespace
