// Portable and native path forms, and the directory of a portable path.
#include "framework/core/portable_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct PathCase {
    const char* in;
    OmResult result;
    const char* out;
};

TEST(PortablePathTest, NativeToPortable) {
    const PathCase cases[] = {
        {"C:\\games\\data", 0, "/dev/drive-c/games/data"},
        {"d:\\", 0, "/dev/drive-d/"},
        {"Xy:\\a", 0, "/dev/drive-x/a"},
        {"data\\a.ini", 0, "data/a.ini"},
        {"", 0, ""},
        {"C:games", OM_E_FAIL, ""},
        {"C:", OM_E_FAIL, ""},
        {":\\a", OM_E_FAIL, ""},
    };
    for (const PathCase& c : cases) {
        char out[OM_MAX_PATH] = "junk";
        EXPECT_EQ(OmNativeToPortablePath(c.in, out, sizeof out), c.result) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
}

TEST(PortablePathTest, PortableToNative) {
    const PathCase cases[] = {
        {"/dev/drive-c/games", 0, "c:\\games"}, {"/dev/drive-C/x.ini", 0, "C:\\x.ini"},
        {"data/a.ini", 0, "data\\a.ini"},       {"/usr/share", 0, "\\usr\\share"},
        {"/dev/drive-c", OM_E_FAIL, ""},        {"/dev/drive-", OM_E_FAIL, ""},
    };
    for (const PathCase& c : cases) {
        char out[OM_MAX_PATH] = "junk";
        EXPECT_EQ(OmPortableToNativePath(c.in, out, sizeof out), c.result) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
}

TEST(PortablePathTest, ResultsThatDoNotFitFail) {
    std::string long_path(300, 'a');
    char out[OM_MAX_PATH] = "junk";
    EXPECT_EQ(OmPortableToNativePath(long_path.c_str(), out, sizeof out), OM_E_FAIL);
    EXPECT_STREQ(out, "");
    char small[8];
    EXPECT_EQ(OmNativeToPortablePath("c:\\a", small, sizeof small), OM_E_FAIL);
    EXPECT_EQ(OmPortableToNativePath("abcdefg", small, sizeof small), 0) << "7 + NUL fits";
    EXPECT_EQ(OmPortableToNativePath("abcdefgh", small, sizeof small), OM_E_FAIL);
}

TEST(PortablePathTest, DirectoryKeepsTheTrailingSeparator) {
    const PathCase cases[] = {
        {"a/b/c.ini", 0, "a/b/"}, {"/dev/drive-c/x", 0, "/dev/drive-c/"},
        {"dir/", 0, "dir/"},      {"a/\"b/c\"", 0, "a/"},
        {"c.ini", OM_E_FAIL, ""}, {"\"a/b\"", OM_E_FAIL, ""},
    };
    for (const PathCase& c : cases) {
        char out[OM_MAX_PATH] = "junk";
        EXPECT_EQ(OmPathGetDirectory(c.in, out, sizeof out), c.result) << c.in;
        EXPECT_STREQ(out, c.out) << c.in;
    }
}

} // namespace
