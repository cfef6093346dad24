// Path resolution on a temporary tree.
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using testsupport::TempDir;

class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree.write_file("Data/Language/English/strings.ini", "x");
        tree.write_file("Data/menus/main.htm", "x");
        tree.write_file("Data/planes.ini", "exact");
        tree.write_file("Data/PLANES.INI", "upper");
    }
    TempDir tree;
};

TEST_F(PathsTest, ResolvesSeparatorsAndCaseAtEveryLevel) {
    struct Case {
        const char* written;
        const char* expected;
    } cases[] = {
        {"Data/Language/English/strings.ini", "Data/Language/English/strings.ini"},
        {"data\\language\\english\\STRINGS.INI", "Data/Language/English/strings.ini"},
        {"DATA\\Menus\\Main.htm", "Data/menus/main.htm"},
        {"data/menus\\", "Data/menus/"},
        {"Data//menus///main.htm", "Data/menus/main.htm"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::resolve_path(tree / c.written), tree / c.expected) << c.written;
}

TEST_F(PathsTest, ExactCaseWinsOverAnotherCase) {
    EXPECT_EQ(platform::resolve_path(tree / "data/planes.ini"), tree / "Data/planes.ini");
    EXPECT_EQ(platform::resolve_path(tree / "data/PLANES.INI"), tree / "Data/PLANES.INI");
    // Neither spelling exact: the first match in byte order, so the choice is stable.
    EXPECT_EQ(platform::resolve_path(tree / "data/Planes.Ini"), tree / "Data/PLANES.INI");
}

TEST_F(PathsTest, MissingComponentKeepsTheRestAsWritten) {
    EXPECT_EQ(platform::resolve_path(tree / "data\\Nowhere\\File.Txt"),
              tree / "Data/Nowhere/File.Txt");
    EXPECT_EQ(platform::resolve_path(tree / "DATA/menus/new.htm"), tree / "Data/menus/new.htm");
}

TEST_F(PathsTest, DriveFormsMapToTheirRoot) {
    platform::set_drive_root('D', tree.path());
    EXPECT_EQ(platform::resolve_path("/dev/drive-d/data/MENUS/main.htm"),
              tree / "Data/menus/main.htm");
    EXPECT_EQ(platform::resolve_path("d:\\DATA\\planes.ini"), tree / "Data/planes.ini");
    EXPECT_EQ(platform::resolve_path("/dev/drive-D"), tree.path());
    platform::set_drive_root('D', "");
    EXPECT_EQ(platform::drive_root('d'), "/");
}

TEST_F(PathsTest, FileCallsGoThroughTheResolver) {
    FILE* f = platform::open_file(tree / "DATA\\planes.ini", "rb");
    ASSERT_NE(f, nullptr);
    char buf[8] = {};
    EXPECT_EQ(std::fread(buf, 1, 5, f), 5u);
    std::fclose(f);
    EXPECT_STREQ(buf, "exact");
    DIR* d = platform::open_dir(tree / "data\\LANGUAGE");
    ASSERT_NE(d, nullptr);
    closedir(d);
}

TEST(ProgramDir, IsTheExecutablesFolderUnlessOverridden) {
    std::string real = platform::program_dir();
    EXPECT_FALSE(real.empty());
    EXPECT_NE(real.back(), '/');
    platform::set_program_dir("/some/where");
    EXPECT_EQ(platform::program_dir(), "/some/where");
    platform::set_program_dir("");
    EXPECT_EQ(platform::program_dir(), real);
}

} // namespace
