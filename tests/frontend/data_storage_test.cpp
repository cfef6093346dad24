// The data storage: every open passes through without a signed set; with one, files are
// checked, and a changed "warning" file still counts as opened.
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/crypto/secure_storage.h"
#include "framework/crypto/secure_storage_create.h"
#include "frontend/settings/data_storage.h"
#include "tests/frontend/frontend_fixture.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

class DataStorage : public frontendtest::FrontEndTest {
protected:
    void TearDown() override {
        TvReleaseDataStorage();
        FrontEndTest::TearDown();
    }
    std::string read(const char* path, OmResult* result) {
        ComRef<IByteStream> stream;
        *result = TvOpenDataFile(path, OM_OPEN_BINARY, stream.put());
        if (*result < 0 || !stream) return {};
        char buffer[256] = {};
        uint32_t got = 0;
        stream->Read(buffer, sizeof buffer - 1, &got);
        return std::string(buffer, got);
    }
    // Signs the menu page as "warning" and the layout as "secure" with the game's pass phrase.
    void sign_set() {
        dir_.write_file("secure.ini", "[warning]\nmenus/main.html=TEXT\n"
                                      "[secure]\ncontrols/keyboard.ini=TEXT\n");
        SecureFileSet set{};
        std::strcpy(set.plain_list_name, "secure.ini");
        std::strcpy(set.list_name, TV_DATA_SET_LIST);
        std::strcpy(set.public_key_name, TV_DATA_SET_PUBLIC_KEY);
        std::strcpy(set.signature_name, TV_DATA_SET_SIGNATURE);
        std::memcpy(set.list_pass_phrase, "cloudr1der", 10);
        set.list_pass_phrase_length = 10;
        ComRef<ISecureStorageCreate> creator;
        ASSERT_GE(OmCreate(CLSID_SecureStorageCreate, IID_ISecureStorageCreate, creator.put()), 0);
        ASSERT_GE(creator->SetBasePath(""), 0);
        ASSERT_GE(creator->Build(&set), 0);
    }
};

TEST_F(DataStorage, WithoutASignedSetEveryOpenPassesThrough) {
    dir_.write_file("menus/main.html", "<html>");
    ASSERT_EQ(tvfe::TvOpenDemoRecordings(), OM_S_OK);
    ASSERT_NE(TvGetDataStorage(), nullptr);
    EXPECT_EQ(OmLookupGlobalObject(CLSID_FileStorage), static_cast<IUnknown*>(TvGetDataStorage()));
    OmResult r = 0;
    EXPECT_EQ(read("menus/main.html", &r), "<html>");
    EXPECT_EQ(r, OM_S_OK);
    read("menus/missing.html", &r);
    EXPECT_LT(r, 0);
}

TEST_F(DataStorage, WithASignedSetChangedFilesAreCheckedAndWarningsCountAsOpened) {
    dir_.make_dir("data");
    dir_.write_file("menus/main.html", "<html>");
    dir_.write_file("controls/keyboard.ini", "[Player1Fire]\nkey=57\n");
    sign_set();
    dir_.write_file("menus/main.html", "<html>changed");
    dir_.write_file("controls/keyboard.ini", "[Player1Fire]\nkey=58\n");
    ASSERT_EQ(tvfe::TvOpenDemoRecordings(), OM_S_OK);
    OmResult r = 0;
    EXPECT_EQ(read("menus/main.html", &r), "<html>changed");
    EXPECT_EQ(r, OM_S_OK);
    read("controls/keyboard.ini", &r);
    EXPECT_LT(r, 0);

    // Opening the set again replaces the program's storage without leaking the old one.
    ASSERT_EQ(tvfe::TvOpenDemoRecordings(), OM_S_OK);
    read("controls/keyboard.ini", &r);
    EXPECT_LT(r, 0);
}

} // namespace
