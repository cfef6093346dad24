// Win32Registry and the OmReg* functions over the registry stand-in.
#include "framework/core/com_ref.h"
#include "framework/platform/registry.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <cstring>

namespace {

using platform::HKEY_LOCAL_MACHINE;

class RegistryTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        platform::set_settings_dir(dir_.path());
        ComRef<IClassFactory> factory;
        ASSERT_EQ(Win32Registry_GetClassObject(CLSID_Win32Registry, IID_IClassFactory,
                                               factory.put_void()),
                  0);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IOmRegistry, registry_.put_void()), 0);
    }
    void TearDown() override {
        registry_.reset();
        platform::set_settings_dir("");
        FrameworkTest::TearDown();
    }
    testsupport::TempDir dir_;
    ComRef<IOmRegistry> registry_;
};

TEST_F(RegistryTest, PathsLandBelowTheMakersKey) {
    ASSERT_EQ(registry_->SetValue("Application/Aerovant/Language", "english"), 0);
    char buffer[32];
    ASSERT_EQ(OmRegGetString(HKEY_LOCAL_MACHINE, "Software\\Kestrune\\Application\\Aerovant",
                             "Language", buffer, sizeof buffer),
              0);
    EXPECT_STREQ(buffer, "english");
    ASSERT_EQ(registry_->SetValue("Top", "value"), 0);
    ASSERT_EQ(OmRegGetString(HKEY_LOCAL_MACHINE, "Software\\Kestrune", "Top", buffer, 32), 0);
    EXPECT_STREQ(buffer, "value");
    std::memset(buffer, 0, sizeof buffer);
    ASSERT_EQ(registry_->GetValue("Application/Aerovant/Language", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "english");
}

TEST_F(RegistryTest, NullOrEmptyTextDeletesTheValue) {
    ASSERT_EQ(registry_->SetValue("A/b", "x"), 0);
    EXPECT_EQ(registry_->SetValue("A/b", ""), 0);
    char buffer[8];
    EXPECT_EQ(registry_->GetValue("A/b", buffer, sizeof buffer), OM_E_FAIL);
    ASSERT_EQ(registry_->SetValue("A/b", "x"), 0);
    EXPECT_EQ(registry_->SetValue("A/b", nullptr), 0);
    EXPECT_EQ(registry_->GetValue("A/b", buffer, sizeof buffer), OM_E_FAIL);
    EXPECT_EQ(registry_->SetValue("A/b", nullptr), OM_E_FAIL) << "nothing left to delete";
}

TEST_F(RegistryTest, StringsMustFitWithTheirTerminator) {
    ASSERT_EQ(registry_->SetValue("S/v", "12345"), 0);
    char buffer[8];
    EXPECT_EQ(registry_->GetValue("S/v", buffer, 5), OM_E_FAIL);
    EXPECT_EQ(registry_->GetValue("S/v", buffer, 6), 0);
    EXPECT_STREQ(buffer, "12345");

    // A value stored without a terminator (as other programs may write it).
    ASSERT_EQ(platform::reg_set_value(HKEY_LOCAL_MACHINE, "Software\\Kestrune\\S", "raw",
                                      platform::REG_BINARY, "abcd", 4),
              platform::RegStatus::ok);
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(registry_->GetValue("S/raw", buffer, 4), OM_E_FAIL) << "no room for the NUL";
    EXPECT_EQ(registry_->GetValue("S/raw", buffer, 5), 0);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(registry_->GetValue("S/v", nullptr, 8), OM_E_FAIL);
    EXPECT_EQ(registry_->GetValue(nullptr, buffer, 8), OM_E_FAIL);
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeTree) {
    ASSERT_EQ(registry_->SetValue("Tree/a/b/c/v", "1"), 0);
    ASSERT_EQ(registry_->SetValue("Tree/a/d/v", "2"), 0);
    ASSERT_EQ(registry_->SetValue("Tree/e/v", "3"), 0);
    ASSERT_EQ(registry_->SetValue("Keep/v", "4"), 0);
    EXPECT_EQ(registry_->DeleteKey("Tree"), 0);
    EXPECT_FALSE(platform::reg_key_exists(HKEY_LOCAL_MACHINE, "Software\\Kestrune\\Tree"));
    EXPECT_FALSE(platform::reg_key_exists(HKEY_LOCAL_MACHINE, "Software\\Kestrune\\Tree\\a"));
    char buffer[8];
    EXPECT_EQ(registry_->GetValue("Keep/v", buffer, 8), 0);
    EXPECT_EQ(registry_->DeleteKey("Tree"), OM_E_FAIL);
    EXPECT_EQ(registry_->DeleteKey(""), OM_E_FAIL) << "never the maker's whole key";
}

TEST_F(RegistryTest, FreeFunctionsRefuseNullArguments) {
    char buffer[4];
    EXPECT_EQ(OmRegSetString(HKEY_LOCAL_MACHINE, "Software\\K", "n", nullptr), OM_E_FAIL);
    EXPECT_EQ(OmRegGetString(HKEY_LOCAL_MACHINE, "Software\\K", "n", buffer, 0), OM_E_FAIL);
    EXPECT_EQ(OmRegDeleteValue(HKEY_LOCAL_MACHINE, nullptr, "n"), OM_E_FAIL);
    EXPECT_EQ(OmRegDeleteKeyTree(HKEY_LOCAL_MACHINE, nullptr), OM_E_FAIL);
    EXPECT_EQ(OmRegSetString(0x12345, "Software\\K", "n", "t"), OM_E_FAIL);
}

} // namespace
