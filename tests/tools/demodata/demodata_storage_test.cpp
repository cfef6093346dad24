// The signed set: every file of the signing list opens through the game's data storage and is
// checked against the set (not passed through as unlisted).
#include "framework/crypto/secure_storage.h"
#include "frontend/settings/data_storage.h"
#include "platform/paths.h"
#include "tests/tools/demodata/demodata_fixture.h"

#include <filesystem>

namespace demodatatest {
namespace {

class SignedSet : public DemoDataTest {
protected:
    void SetUp() override {
        DemoDataTest::SetUp();
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(program_dir());
    }
    void TearDown() override {
        TvReleaseDataStorage();
        std::filesystem::current_path(previous_);
        DemoDataTest::TearDown();
    }
    std::filesystem::path previous_;
};

TEST_F(SignedSet, EveryListedFileOpensVerifiedThroughTheDataStorage) {
    for (const char* part : {"data/demo1.bin", "data/demo2.bin", "data/demo3.bin"})
        ASSERT_TRUE(std::filesystem::is_regular_file(part)) << part;
    ASSERT_EQ(tvfe::TvOpenDemoRecordings(), OM_S_OK);
    ComRef<ISecureStorage> secure;
    ASSERT_GE(TvGetDataStorage()->QueryInterface(IID_ISecureStorage, secure.put_void()), 0);

    Ini list("../demodata/signed_files.ini");
    size_t checked = 0;
    for (const char* section : {"warning", "secure"})
        for (const std::string& key : list.keys(section)) {
            SCOPED_TRACE(key);
            const bool ini = list.get(section, key.c_str()).value_or("") == "TEXT";
            // The game opens INI files as warnings and models as secure files.
            EXPECT_EQ(std::string(section), ini ? "warning" : "secure");
            ComRef<IByteStream> stream;
            EXPECT_EQ(
                TvOpenDataFile(key.c_str(), ini ? OM_OPEN_TEXT : OM_OPEN_BINARY, stream.put()),
                OM_S_OK);
            // The reader gets the whole file from its start, after the check read it.
            std::string got(1 << 20, '\0');
            uint32_t length = 0;
            if (stream) stream->Read(got.data(), uint32_t(got.size()), &length);
            got.resize(length);
            EXPECT_EQ(got, read_text(platform::resolve_path(key))) << "not the file's bytes";
            uint32_t status[2] = {};
            secure->GetStatus(nullptr, status);
            EXPECT_EQ(status[0], ini ? uint32_t(OM_SECURE_WARNING) : uint32_t(OM_SECURE_SECURE));
            ++checked;
        }
    EXPECT_GE(checked, 45u);
}

} // namespace
} // namespace demodatatest
