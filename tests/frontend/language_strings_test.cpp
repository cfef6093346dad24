// strings.ini lookups: quotes, the missing-string text, the language chosen by aerovant.ini.
#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "frontend/settings/data_storage.h"
#include "frontend/settings/language_strings.h"
#include "frontend/settings/program_settings.h"
#include "tests/frontend/frontend_fixture.h"

#include <gtest/gtest.h>

namespace {

class LanguageStrings : public frontendtest::FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        TvResetProgramSettings();
        ASSERT_GE(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()), 0);
    }
    void TearDown() override {
        TvReleaseLanguageStrings();
        TvReleaseDataStorage();
        sheet.reset();
        FrontEndTest::TearDown();
    }
    ComRef<IPropertySheet> sheet;
};

TEST_F(LanguageStrings, LookupsUnquoteAndFallBackToTheMissingText) {
    dir_.write_file("language/english/strings.ini", "[other]\nignored=1\n"
                                                    "[strings]\n"
                                                    "couldnotstartvideo=Could not start video\n"
                                                    "\"quoted key\" = \"Quoted value\"\n"
                                                    "\"half=\"open\n"
                                                    "\"\"=empty key\n");
    ASSERT_EQ(TvLoadLanguageStrings(sheet.get()), OM_S_OK);
    EXPECT_EQ(TvLanguageStringCount(), 4u);
    const std::pair<const char*, const char*> cases[] = {
        {"couldnotstartvideo", "Could not start video"},
        {"quoted key", "Quoted value"},
        {"half", "open"},
        {"=", "empty key"},
        {"ignored", "STRING \"ignored\" NOT IN FILE"},
        {"aerovanterror", "STRING \"aerovanterror\" NOT IN FILE"},
    };
    for (const auto& [key, text] : cases) EXPECT_EQ(TvGetLanguageString(key), text) << key;
}

TEST_F(LanguageStrings, TheLanguageAndServerComeFromTheSettings) {
    dir_.write_file("language/english/strings.ini", "[strings]\ntitle=Aerovant\n");
    dir_.write_file("language/german/strings.ini", "[strings]\ntitle=Aerovant auf Deutsch\n");
    sheet->UseSection("language");
    sheet->SetString("language", "german");
    sheet->UseSection("server");
    sheet->SetString("ipaddress", "10.9.8.7");
    TvLoadLanguageStrings(sheet.get());
    EXPECT_EQ(TvGetLanguageString("title"), "Aerovant auf Deutsch");
    EXPECT_EQ(TvGetProgramSettings().language, "german");
    EXPECT_EQ(TvGetProgramSettings().server_address, "10.9.8.7");
}

TEST_F(LanguageStrings, AMissingFileGivesAnEmptyTable) {
    ASSERT_EQ(TvLoadLanguageStrings(sheet.get()), OM_S_OK);
    EXPECT_EQ(TvLanguageStringCount(), 0u);
    EXPECT_EQ(TvGetLanguageString("couldnotstartvideo"),
              "STRING \"couldnotstartvideo\" NOT IN FILE");
    TvReleaseLanguageStrings();
    EXPECT_EQ(TvGetLanguageString("x"), "STRING \"x\" NOT IN FILE");
}

} // namespace
