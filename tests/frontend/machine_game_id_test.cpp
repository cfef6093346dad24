// The machine game id: made once, kept in the registry, replaced when the stored one is bad.
#include "frontend/startup/machine_game_id.h"
#include "platform/os/registry_store.h"
#include "tests/support/temp_dir.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

class MachineGameId : public ::testing::Test {
protected:
    void SetUp() override { platform::set_settings_dir(dir.path()); }
    void TearDown() override { platform::set_settings_dir(""); }
    testsupport::TempDir dir;
};

TEST_F(MachineGameId, AMissingIdIsMadeOnceAndKept) {
    TvReadMachineGameId();
    const TvMachineGameId first = TvGetMachineGameId();
    EXPECT_NE(first, TvMachineGameId{});
    TvReadMachineGameId();
    EXPECT_EQ(TvGetMachineGameId(), first);
    uint8_t stored[16] = {};
    uint32_t type = 0, size = sizeof stored;
    ASSERT_EQ(platform::reg_query_value(platform::HKEY_LOCAL_MACHINE, TV_GAME_ID_KEY,
                                        TV_GAME_ID_VALUE, &type, stored, &size),
              platform::RegStatus::ok);
    EXPECT_EQ(type, platform::REG_BINARY);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(0, std::memcmp(stored, first.data(), 16));
}

TEST_F(MachineGameId, AStoredValueOfTheWrongSizeIsReplaced) {
    const uint8_t short_value[4] = {1, 2, 3, 4};
    platform::reg_set_value(platform::HKEY_LOCAL_MACHINE, TV_GAME_ID_KEY, TV_GAME_ID_VALUE,
                            platform::REG_BINARY, short_value, sizeof short_value);
    TvReadMachineGameId();
    uint8_t stored[16] = {};
    uint32_t type = 0, size = sizeof stored;
    ASSERT_EQ(platform::reg_query_value(platform::HKEY_LOCAL_MACHINE, TV_GAME_ID_KEY,
                                        TV_GAME_ID_VALUE, &type, stored, &size),
              platform::RegStatus::ok);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(0, std::memcmp(stored, TvGetMachineGameId().data(), 16));
}

} // namespace
