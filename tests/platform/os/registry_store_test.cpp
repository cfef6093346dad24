// The registry stand-in: typed values under case-insensitive keys, kept in one file.
#include "platform/os/registry_store.h"
#include "tests/support/temp_dir.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace platform;

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { set_settings_dir(dir_ / "settings"); }
    void TearDown() override { set_settings_dir(""); }
    testsupport::TempDir dir_;
};

constexpr char aerovant[] = "Software\\Kestrune\\Application\\Aerovant";

TEST_F(RegistryStoreTest, ValuesRoundTripThroughTheFileWithTheirTypes) {
    const uint8_t id[16] = {0, 1, 2, 0x7F, 0x80, 0xFF, '\n', '"', 8, 9, 10, 11, 12, 13, 14, 15};
    const uint32_t one = 1;
    ASSERT_EQ(reg_set_value(HKEY_LOCAL_MACHINE, aerovant, "machinegameid", REG_BINARY, id, 16),
              RegStatus::ok);
    ASSERT_EQ(reg_set_value(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Lumagon", "RefRast", REG_DWORD,
                            &one, 4),
              RegStatus::ok);
    const char text[] = "a \"quoted\"\\path\nand\tmore";
    ASSERT_EQ(reg_set_value(HKEY_CURRENT_USER, "Software\\X", "", REG_SZ, text, sizeof text),
              RegStatus::ok);

    uint32_t type = 0;
    uint8_t buffer[64];
    uint32_t size = sizeof buffer;
    ASSERT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "SOFTWARE\\kestrune\\application\\AEROVANT",
                              "MachineGameId", &type, buffer, &size),
              RegStatus::ok);
    EXPECT_EQ(type, REG_BINARY);
    ASSERT_EQ(size, 16u);
    EXPECT_EQ(std::memcmp(buffer, id, 16), 0);

    size = sizeof buffer;
    ASSERT_EQ(reg_query_value(HKEY_CURRENT_USER, "Software\\X", "", &type, buffer, &size),
              RegStatus::ok);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, sizeof text);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), text);

    size = 0;
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Lumagon", "RefRast", &type,
                              nullptr, &size),
              RegStatus::ok);
    EXPECT_EQ(size, 4u) << "a null buffer asks for the size";
    EXPECT_EQ(type, REG_DWORD);
    size = 2;
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Lumagon", "RefRast", &type,
                              buffer, &size),
              RegStatus::more_data);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Lumagon", "Other", &type,
                              buffer, &size),
              RegStatus::not_found);
}

TEST_F(RegistryStoreTest, MissingRegistryReadsAsEmptyAndCreatesNothing) {
    uint32_t size = 4;
    char buffer[4];
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "Software", "x", nullptr, buffer, &size),
              RegStatus::not_found);
    EXPECT_FALSE(reg_key_exists(HKEY_LOCAL_MACHINE, "Software"));
    EXPECT_TRUE(reg_key_exists(HKEY_LOCAL_MACHINE, ""));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "settings"));
    EXPECT_EQ(reg_create_key(0x1234, "Software"), RegStatus::not_found) << "unknown root";
}

TEST_F(RegistryStoreTest, KeysNestAndDeleteOnlyWhenEmpty) {
    ASSERT_EQ(reg_create_key(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Lumagon"), RegStatus::ok);
    ASSERT_EQ(reg_create_key(HKEY_LOCAL_MACHINE, "software\\ostrel\\Other"), RegStatus::ok);
    EXPECT_TRUE(reg_key_exists(HKEY_LOCAL_MACHINE, "Software\\Ostrel"));
    std::string name;
    ASSERT_EQ(reg_enum_subkey(HKEY_LOCAL_MACHINE, "Software\\Ostrel", 0, &name), RegStatus::ok);
    EXPECT_EQ(name, "Lumagon");
    ASSERT_EQ(reg_enum_subkey(HKEY_LOCAL_MACHINE, "Software\\Ostrel", 1, &name), RegStatus::ok);
    EXPECT_EQ(name, "Other");
    EXPECT_EQ(reg_enum_subkey(HKEY_LOCAL_MACHINE, "Software\\Ostrel", 2, &name),
              RegStatus::not_found);
    EXPECT_EQ(reg_delete_key(HKEY_LOCAL_MACHINE, "Software\\Ostrel"), RegStatus::has_subkeys);
    EXPECT_EQ(reg_delete_key(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Lumagon"), RegStatus::ok);
    EXPECT_FALSE(reg_key_exists(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Lumagon"));
    EXPECT_EQ(reg_delete_key(HKEY_LOCAL_MACHINE, "Software\\Ostrel\\Lumagon"),
              RegStatus::not_found);
}

TEST_F(RegistryStoreTest, DamagedLinesCostOnlyThemselves) {
    std::filesystem::create_directories(dir_ / "settings");
    dir_.write_file("settings/registry.txt", "[HKEY_LOCAL_MACHINE\\Software\\A]\n"
                                             "\"good\"=\"yes\"\n"
                                             "\"bad\"=hex(3):0g\n"
                                             "\"odd\"=hex(3):012\n"
                                             "garbage line\n"
                                             "\"unterminated=\"x\n"
                                             "[broken\n"
                                             "\"also\"=hex(4):01000000\r\n");
    char buffer[8];
    uint32_t size = sizeof buffer;
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "Software\\A", "good", nullptr, buffer, &size),
              RegStatus::ok);
    EXPECT_STREQ(buffer, "yes");
    size = sizeof buffer;
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "Software\\A", "bad", nullptr, buffer, &size),
              RegStatus::not_found);
    EXPECT_EQ(reg_query_value(HKEY_LOCAL_MACHINE, "Software\\A", "also", nullptr, buffer, &size),
              RegStatus::not_found)
        << "values after a broken key line belong to no key";
}

TEST_F(RegistryStoreTest, ConcurrentWritersKeepEachOthersValues) {
    constexpr int writers = 4, each = 20;
    pid_t pids[writers];
    for (int w = 0; w < writers; ++w) {
        pids[w] = fork();
        if (pids[w] == 0) {
            for (int i = 0; i < each; ++i) {
                std::string name = "w" + std::to_string(w) + "_" + std::to_string(i);
                if (reg_set_value(HKEY_LOCAL_MACHINE, "Software\\Race", name, REG_DWORD, &i, 4) !=
                    RegStatus::ok)
                    _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    for (int w = 0; w < writers; ++w)
        for (int i = 0; i < each; ++i) {
            uint32_t value = 99, size = 4;
            std::string name = "w" + std::to_string(w) + "_" + std::to_string(i);
            ASSERT_EQ(
                reg_query_value(HKEY_LOCAL_MACHINE, "Software\\Race", name, nullptr, &value, &size),
                RegStatus::ok)
                << name;
            EXPECT_EQ(value, uint32_t(i));
        }
}

TEST_F(RegistryStoreTest, AnUnwritableSettingsDirectoryFails) {
    dir_.write_file("file", "x");
    set_settings_dir(dir_ / "file/sub");
    const char t[] = "x";
    EXPECT_EQ(reg_set_value(HKEY_LOCAL_MACHINE, "Software", "v", REG_SZ, t, 2), RegStatus::failed);
}

} // namespace
